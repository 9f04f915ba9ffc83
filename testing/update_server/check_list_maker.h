// Writes the check-list of a folder: every file below it with its size and last-write time, in
// the format the update engine and the applier read (games/hall/update/check_list.h), so that a
// local update server can offer a product's files and an installed program folder can name its
// own.
//
//   <checklist>
//     <file path="tarvixresource\MessageDialog.xml" size="1830" ftime="1700000000"/>
//   </checklist>
//
// A file that a reader would misread or refuse is not written into a list at all: the whole list
// fails instead (a name the engine refuses as a list path, a symbolic link, a size or time that
// does not fit the list's 32-bit fields), since the engine rejects a whole list for one bad path
// and the applier removes what a list no longer names.
#pragma once

#include <string>
#include <vector>

#include "games/hall/update/check_list.h"

namespace update_server {

struct CheckListOptions {
  // When not empty, exactly these files are listed (paths relative to the folder, '/' between
  // parts) instead of everything below it: an installed program's own files in a folder that
  // also holds games, caches and the user's files. Each must exist.
  std::vector<std::string> only;
  // Paths relative to the folder ('/' between parts) that are left out: a file itself, or a
  // folder with everything below it.
  std::vector<std::string> exclude;
};

// The entries of every file below `folder`, in path order. False with *error naming the first
// file that cannot be listed.
bool CollectCheckList(const std::string& folder, const CheckListOptions& options,
                      std::vector<hall::CheckListEntry>* entries, std::string* error);

// The list file's text for `entries`.
std::string CheckListText(const std::vector<hall::CheckListEntry>& entries);

// Collects `folder` and writes its list to `list_path` (atomically); a list inside the folder is
// left out of itself. The engine tells a new list from the installed one by the list file's time
// alone, so a list whose text has not changed is left as it is, and one that replaces another is
// given a time at least the readers' tolerance after the old one's (lists written in quick
// succession would otherwise read as unchanged). Returns the number of files listed, -1 with
// *error on failure.
int WriteCheckListOf(const std::string& folder, const std::string& list_path,
                     const CheckListOptions& options, std::string* error);

}  // namespace update_server
