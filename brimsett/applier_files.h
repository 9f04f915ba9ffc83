// The file operations the applier performs, each reporting the system's error code (errno; 0 for
// success), behind an interface so tests can make any single operation fail the way a file in
// use would.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brimsett {

class ApplierFiles {
 public:
  virtual ~ApplierFiles() = default;
  // Moves `from` over `to`, replacing a file there; copies across file systems keeping the
  // file's time. ENOENT when a folder of `to` (or `from`) is missing.
  virtual int Move(const std::string& from, const std::string& to) = 0;
  // Renames `from` to `to` in place, replacing `to`; never copies.
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  // Removes the file (or link) `path`.
  virtual int Remove(const std::string& path) = 0;
  // Creates the one folder `path`; EEXIST when something is there, ENOENT when its parent is
  // missing.
  virtual int MakeFolder(const std::string& path) = 0;
  // Every regular file below `folder` as folder + "/" + relative path, names as on disk, sorted;
  // links are neither listed nor entered.
  virtual std::vector<std::string> ListFilesBelow(const std::string& folder) = 0;
  // True when a folder on the way from `root` to root/relative is a link or not a folder.
  virtual bool PathLeavesRoot(const std::string& root, std::string_view relative) = 0;
  // Removes `path` with everything below it, never following a link. True when nothing is left.
  virtual bool RemoveTree(const std::string& path) = 0;
  // True when `path` is there and is not a folder.
  virtual bool IsFile(const std::string& path) = 0;
};

// The real file system.
ApplierFiles& RealApplierFiles();

// Forwards every call; tests and fault models derive from it to replace single calls.
class ForwardingApplierFiles : public ApplierFiles {
 public:
  explicit ForwardingApplierFiles(ApplierFiles& target) : target_(target) {}
  int Move(const std::string& from, const std::string& to) override {
    return target_.Move(from, to);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return target_.Rename(from, to);
  }
  int Remove(const std::string& path) override { return target_.Remove(path); }
  int MakeFolder(const std::string& path) override { return target_.MakeFolder(path); }
  std::vector<std::string> ListFilesBelow(const std::string& folder) override {
    return target_.ListFilesBelow(folder);
  }
  bool PathLeavesRoot(const std::string& root, std::string_view relative) override {
    return target_.PathLeavesRoot(root, relative);
  }
  bool RemoveTree(const std::string& path) override { return target_.RemoveTree(path); }
  bool IsFile(const std::string& path) override { return target_.IsFile(path); }

 private:
  ApplierFiles& target_;
};

}  // namespace brimsett
