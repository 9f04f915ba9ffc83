// Whole-file reads and atomic whole-file writes, and the few path operations the programs need.
// Paths use '/' on disk.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace platform {

// Reads the whole of `path` into `out`. False when it cannot be opened or read.
bool ReadFile(const std::string& path, std::string* out);

// Reads `path` into `out` when it is a regular file of at most `max_bytes`. False otherwise, and
// for anything else at that path (a folder, a device, a pipe): such a file is never waited on or
// read without end.
bool ReadRegularFileAtMost(const std::string& path, size_t max_bytes, std::string* out);

// Writes `data` to a temporary file in the folder of `path`, flushes it to disk and renames it
// over `path`, so that readers see either the old or the new contents, never a mix. False (and
// `path` untouched) when any step fails.
bool WriteFileAtomic(const std::string& path, std::string_view data, mode_t mode = 0644);

bool FileExists(const std::string& path);  // anything but a folder
bool DirectoryExists(const std::string& path);
// Creates `path` and any missing parent folders. True when the folder exists afterwards.
bool MakeDirectories(const std::string& path, mode_t mode = 0755);
bool RemoveFile(const std::string& path);

// "a" + "b" -> "a/b", without doubling a separator.
std::string JoinPath(std::string_view a, std::string_view b);
// Folder part of a path ("a/b/c" -> "a/b", "c" -> ".").
std::string DirName(std::string_view path);

// The running executable's own file (what a program that restarts itself starts again); empty
// when it cannot be read.
std::string ProgramPath();
// The folder the running executable was started from (the program folder).
std::string ProgramFolder();

}  // namespace platform
