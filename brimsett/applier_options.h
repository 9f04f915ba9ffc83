// The applier's command line: the switches the hall passes and the cleaning of their values.
//
// A switch begins with '-' or '/'; names compare case-sensitively ("/D:x" is not the
// destination); arguments that begin with neither are ignored; a later switch of the same name
// replaces an earlier one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brimsett {

// Fewer arguments than this (the program's own name included) are refused before any switch is
// read, so "quiet" cannot silence that message.
inline constexpr size_t kMinArgumentCount = 3;

struct ApplierOptions {
  std::string destination;   // "d:": the installation folder D
  std::string source;        // "s:": the staging folder S with the downloaded files
  std::string name;          // "n:": the lists are "update" + name + ".cl"
  std::string launch;        // "l:": command line of the program to start at the end
  bool quiet = false;        // "quiet": no error boxes except the argument count and the question
  bool wait_parent = false;  // "waitparentexit": wait until the starting program has ended
};

// Reads the switches of `args` (the arguments after the program's own name).
ApplierOptions ReadSwitches(const std::vector<std::string>& args);

// One value as the hall quotes it: a leading double quote (when the value is longer than one
// character) is removed and then a trailing one; then one trailing separator ('\' or '/').
std::string CleanSwitchValue(std::string_view value);

// True when `name` can stand in a file name as it is: no separator, no control byte, not "." or
// "..". The name part builds "update<name>.cl" in D and S, so it must not lead out of them.
bool IsPlainNamePart(std::string_view name);

// True when `inner` is `outer` or lies below it, comparing the paths as written ('/' separated,
// repeated and trailing separators ignored). The staging folder is deleted at the end, so the
// installation must never lie inside it.
bool PathIsWithin(std::string_view inner, std::string_view outer);

}  // namespace brimsett
