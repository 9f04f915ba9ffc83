// The property the applier must keep whatever the lists and the staging folder hold: it changes
// nothing outside the installation folder and the staging folder. Checked by the fuzzer on
// generated inputs and by the corpus replay test on the kept ones.
#pragma once

#include <string>
#include <string_view>

namespace brimsett {

// `input` holds three sections separated by lines of "--": the installed check-list's text, the
// new check-list's text, and the staging folder's files, one relative name per line. The
// applier runs over an in-memory file tree (the installed list's files present in D, the
// staging files in S; files whose name holds "busy" are in use; a folder named "link" counts as
// a symbolic link). Returns what it did wrong, empty when every removal, rename, move and new
// folder stayed inside D (and out of S, except moves from S), every move went from a staging
// file to its own place in D, only S itself was deleted as a tree, and the new list came last.
std::string CheckApplierRun(std::string_view input);

}  // namespace brimsett
