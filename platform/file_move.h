// Single-entry file operations that report the system's error code (errno, 0 for success), for
// callers that must tell "folder missing" from "in use" from anything else.
#pragma once

#include <string>

namespace platform {

// Moves `from` to `to`, replacing an existing file at `to`. Across file systems the file is
// copied beside `to` under a temporary name (keeping its permission bits and modification time),
// renamed over `to`, and only then is `from` removed. Only regular files are copied. ENOENT when
// `from` or the folder of `to` is missing.
int MoveFileReplacing(const std::string& from, const std::string& to);

// Copies the regular file `from` to `to` (created or truncated), keeping its permission bits and
// its access and modification times; the copy is flushed to disk before it returns.
int CopyFileKeepingTime(const std::string& from, const std::string& to);

// Renames `from` to `to`, replacing `to`; never copies.
int RenameReplacing(const std::string& from, const std::string& to);

// Removes the directory entry `path` (a symbolic link itself, never its target). EISDIR for a
// folder.
int RemoveEntry(const std::string& path);

// Creates the one folder `path` (mode 0755). EEXIST when anything is there already.
int MakeFolder(const std::string& path);

}  // namespace platform
