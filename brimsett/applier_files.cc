#include "brimsett/applier_files.h"

#include "platform/file_move.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace brimsett {
namespace {

class RealFiles : public ApplierFiles {
 public:
  int Move(const std::string& from, const std::string& to) override {
    return platform::MoveFileReplacing(from, to);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return platform::RenameReplacing(from, to);
  }
  int Remove(const std::string& path) override { return platform::RemoveEntry(path); }
  int MakeFolder(const std::string& path) override { return platform::MakeFolder(path); }
  std::vector<std::string> ListFilesBelow(const std::string& folder) override {
    return platform::ListFilesBelow(folder);
  }
  bool PathLeavesRoot(const std::string& root, std::string_view relative) override {
    return platform::PathLeavesRoot(root, relative);
  }
  bool RemoveTree(const std::string& path) override { return platform::RemoveTree(path); }
  bool IsFile(const std::string& path) override { return platform::FileExists(path); }
};

}  // namespace

ApplierFiles& RealApplierFiles() {
  static RealFiles* files = new RealFiles();
  return *files;
}

}  // namespace brimsett
