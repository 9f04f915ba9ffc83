// The property the pending-deletions fuzzer checks on any record, and the replay of its kept
// inputs in the ordinary build. The record lies in the program folder, where the user and any
// program of the user's can change it, or a damaged disk.
#pragma once

#include <string>
#include <string_view>

namespace pending_check {

// `input` is a record's bytes in which every path is taken below a scratch folder (each field
// between zero bytes gets the folder's path in front, and a ".." that would climb out of it is
// dropped), so that whatever the record says, nothing outside the scratch folder is ever at stake.
// The record lies in the scratch folder's "prog" folder and the retry works on its "hall" folder,
// which holds two files set aside for deletion; a sibling folder, a file and a folder whose names
// start as "hall" does, and a link in "hall" to the sibling folder stand around it. After
// RetryAll:
// - everything outside "hall" is still there, and so is everything the link leads to;
// - the record holds only paths it held before, and has lost only paths that are gone (one
//   elsewhere is never acted on, so it stays).
// Returns "" when that holds, else what broke.
std::string CheckPendingDeletions(std::string_view input);

}  // namespace pending_check
