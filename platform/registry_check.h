// The property the registry-file fuzzer checks on any input, and the corpus replay test on its
// kept inputs. The registry file is what the saved accounts are read from, and the user (or any
// program of the user's) can write it.
#pragma once

#include <string>
#include <string_view>

namespace registry_check {

// The first byte picks what the rest is.
// Even: the bytes of a registry file. ParseRegistryTree gives a tree or refuses and leaves the
// tree empty; a tree it gives is written out to a text that reads back into the same tree.
// Odd: a script of edits (create and remove keys, set string and binary values, remove values)
// with any names and bytes. Each edit the tree takes can be read back at once, and the tree
// written out reads back into the same tree, names, case and bytes alike.
// Returns "" when that holds, else what broke.
std::string CheckRegistryInput(std::string_view input);

}  // namespace registry_check
