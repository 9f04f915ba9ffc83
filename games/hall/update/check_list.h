// The update check-list: the XML file "update.cl" that names every file of a product with its
// size and last-write time. The download engine compares the server's list with the installed
// one; the update applier reads the same lists to know what to move and what to remove.
//
//   <checklist>
//     <file path="sub\game.bin" size="1024" ftime="1700000000" />
//   </checklist>
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace hall {

struct CheckListEntry {
  std::string path;   // as stored in the list ('\' separated), in the ANSI code page
  int64_t size = 0;   // bytes
  int32_t ftime = 0;  // last-write time, seconds since 1970-01-01 UTC
};

// Key: the entry's path exactly as stored (case-sensitive); a later element with the same path
// replaces an earlier one.
using CheckList = std::map<std::string, CheckListEntry>;

// Longest list path that fits the 260-byte path field other programs keep it in.
inline constexpr size_t kMaxListPathBytes = 259;

// Clears `list` and reads the check-list file at `path`. False when the file cannot be loaded as
// XML or its root element is not "checklist"; true otherwise, also with no entries. Elements
// other than "file" and entries with an empty path are skipped; a missing "size" or "ftime"
// reads as 0. The file is only read, never written back.
bool LoadCheckList(const std::string& path, CheckList& list);
// The same for a list already in memory: `text` is the file's contents.
bool ParseCheckList(std::string_view text, CheckList& list);

// The one conversion of a list path to a path on disk: '\' (and '/') become '/', and the result
// is relative to the product's folder. False, with `relative` untouched, for a path that could
// leave that folder or that no file system takes: empty, absolute, with a drive letter or any
// ':', with an empty, "." or ".." part, with a control byte, or longer than kMaxListPathBytes.
bool ListPathToRelative(std::string_view list_path, std::string* relative);

}  // namespace hall
