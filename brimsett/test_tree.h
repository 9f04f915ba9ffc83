// A temporary folder tree for the applier's tests, removed when the test ends.
#pragma once

#include <string>
#include <vector>

namespace brimsett {

class TestTree {
 public:
  // A new folder below `base`.
  explicit TestTree(const std::string& base = "/tmp");
  ~TestTree();
  TestTree(const TestTree&) = delete;
  TestTree& operator=(const TestTree&) = delete;

  const std::string& root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  // Writes `data` to root/relative, creating its folders.
  void Write(const std::string& relative, const std::string& data) const;
  // Contents of root/relative; "<missing>" when it cannot be read.
  std::string Read(const std::string& relative) const;
  // Anything (also a dangling link) at root/relative.
  bool Exists(const std::string& relative) const;
  // Every regular file below root/relative, relative to that folder, sorted.
  std::vector<std::string> FilesBelow(const std::string& relative) const;
  void Link(const std::string& target, const std::string& relative) const;

 private:
  std::string root_;
};

// A check-list file naming `paths` (each with size 1 and time 0).
std::string CheckListXml(const std::vector<std::string>& paths);

}  // namespace brimsett
