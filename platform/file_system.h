// The file operations of the update engine and its tests (streamed writes, file times, renames,
// folder walks) behind one interface, so a test can make any single step fail. Paths use '/'.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FileInfo {
  int64_t size = 0;
  int64_t mtime_seconds = 0;  // last-write time, seconds since the Unix epoch
  bool is_directory = false;
  bool is_symlink = false;  // the path itself is a link (never followed)
};

// A file open for writing. Closing flushes it; destroying it unclosed closes it without the sync.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Appends all of `data`. False on any write error.
  virtual bool Append(std::string_view data) = 0;
  // Bytes in the file (including what was there before an append-open).
  virtual int64_t Size() const = 0;
  // Closes the file, first forcing its contents to disk when `sync` is set. False on an error.
  virtual bool Close(bool sync) = 0;
};

// A file written whole before it gets its name. Until Publish nothing new is visible at its path,
// and one closed or dropped unpublished, or whose process dies, leaves nothing there. The real
// file system writes it without any name where the folder's file system allows that, else under
// its path + ".part", which Publish renames (and Close removes).
class StagedFile : public WritableFile {
 public:
  // The last-write time (seconds since the Unix epoch) the published file carries.
  virtual bool SetModifiedTime(int64_t seconds) = 0;
  // Closes the file, first forcing it to disk when `sync` is set, and gives it its name,
  // replacing a file there. False on any error; then what was at the path may be gone, but
  // nothing half-written is there.
  virtual bool Publish(bool sync) = 0;
  // The published file is a program that may be run (mode 0755 rather than 0644). A file system
  // without modes ignores it.
  virtual void MarkProgram() {}
};

// A small file kept open and written over in place, for a record that changes often: each
// Overwrite puts `data` at the start of the file in one write, making no new file or name. The
// file never shrinks: bytes past `data` stay as they were, so a caller pads shorter contents.
class OverwritableFile {
 public:
  virtual ~OverwritableFile() = default;
  virtual bool Overwrite(std::string_view data) = 0;
  // Bytes in the file.
  virtual int64_t Size() const = 0;
};

// Staged files for a list of paths, handed out in the list's order. Making a file can cost more
// than fetching its few bytes (a file system that searches for a free inode), so the real file
// system makes the next few on a thread of its own while the caller works on the current one;
// those never taken are dropped unpublished and leave nothing.
class StagedFileQueue {
 public:
  virtual ~StagedFileQueue() = default;
  // The staged file of the next path, or null with *error as CreateStagedFile gives it (ENOENT
  // when a folder of the path is missing: the caller makes it and asks CreateStagedFile).
  // REQUIRES: fewer calls so far than paths.
  virtual std::unique_ptr<StagedFile> Next(int* error) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates or truncates `path` for writing. Null with *error = errno on failure (ENOENT when a
  // folder of the path is missing).
  virtual std::unique_ptr<WritableFile> CreateFile(const std::string& path, int* error) = 0;
  // Opens `path` for appending (creating it when missing), holding an exclusive lock until it is
  // closed. Null with *error = errno on failure.
  virtual std::unique_ptr<WritableFile> OpenForAppend(const std::string& path, int* error) = 0;
  // A staged file for `path`. Null with *error = errno on failure (ENOENT when a folder of the
  // path is missing). This default writes path + ".part" through this file system's own
  // CreateFile, Rename, SetModifiedTime and RemoveFile.
  virtual std::unique_ptr<StagedFile> CreateStagedFile(const std::string& path, int* error);
  // Staged files for `paths` in order. This default makes each through CreateStagedFile when it
  // is taken, on the caller's thread; a forwarding file system keeps it, so a test that replaces
  // CreateStagedFile sees every file made.
  virtual std::unique_ptr<StagedFileQueue> StageInOrder(std::vector<std::string> paths);
  // Opens `path` (creating it when missing) for overwriting in place; a link there is not
  // followed. Null with *error = errno on failure; this default has none to offer (ENOTSUP), and
  // a caller writes the file anew instead.
  virtual std::unique_ptr<OverwritableFile> OpenForOverwrite(const std::string& path, int* error);

  virtual bool ReadFile(const std::string& path, std::string* out) = 0;
  // Temporary file, sync, rename: readers see the old or the new contents, never a mix.
  virtual bool WriteFileAtomic(const std::string& path, std::string_view data) = 0;

  // Facts about `path` itself (a link is not followed). False when it does not exist.
  virtual bool Stat(const std::string& path, FileInfo* info) = 0;
  virtual bool SetModifiedTime(const std::string& path, int64_t seconds) = 0;
  // Lets the file at `path` be run (mode 0755). A file system without modes does nothing.
  virtual bool MakeProgram(const std::string& path) { return !path.empty(); }
  // Renames `from` over `to`, replacing a file there.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // Removes a file (or a link). True also when it did not exist.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Creates `path` and its missing parents; true when the folder exists afterwards.
  virtual bool MakeDirectories(const std::string& path) = 0;
  // Every file below `root`, as paths relative to it joined with '/', in no particular order.
  // Links are listed as files and never descended into. False when `root` cannot be listed.
  virtual bool ListFiles(const std::string& root, std::vector<std::string>* relative) = 0;
};

// The real file system.
FileSystem& RealFileSystem();

// Forwards every call to another file system; tests derive from it to replace a single call.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}
  std::unique_ptr<WritableFile> CreateFile(const std::string& path, int* error) override {
    return target_.CreateFile(path, error);
  }
  std::unique_ptr<WritableFile> OpenForAppend(const std::string& path, int* error) override {
    return target_.OpenForAppend(path, error);
  }
  std::unique_ptr<StagedFile> CreateStagedFile(const std::string& path, int* error) override {
    return target_.CreateStagedFile(path, error);
  }
  std::unique_ptr<OverwritableFile> OpenForOverwrite(const std::string& path, int* error) override {
    return target_.OpenForOverwrite(path, error);
  }
  bool ReadFile(const std::string& path, std::string* out) override {
    return target_.ReadFile(path, out);
  }
  bool WriteFileAtomic(const std::string& path, std::string_view data) override {
    return target_.WriteFileAtomic(path, data);
  }
  bool Stat(const std::string& path, FileInfo* info) override { return target_.Stat(path, info); }
  bool SetModifiedTime(const std::string& path, int64_t seconds) override {
    return target_.SetModifiedTime(path, seconds);
  }
  bool MakeProgram(const std::string& path) override { return target_.MakeProgram(path); }
  bool Rename(const std::string& from, const std::string& to) override {
    return target_.Rename(from, to);
  }
  bool RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  bool MakeDirectories(const std::string& path) override { return target_.MakeDirectories(path); }
  bool ListFiles(const std::string& root, std::vector<std::string>* relative) override {
    return target_.ListFiles(root, relative);
  }

 private:
  FileSystem& target_;
};

}  // namespace platform
