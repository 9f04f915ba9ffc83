#include "brimsett/test_tree.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace brimsett {

TestTree::TestTree(const std::string& base) {
  std::string pattern = base + "/brimsett_test.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    ADD_FAILURE() << "no temporary folder in " << base;
  root_ = pattern;
}

TestTree::~TestTree() {
  platform::RemoveTree(root_);
}

void TestTree::Write(const std::string& relative, const std::string& data) const {
  const std::string path = Path(relative);
  ASSERT_TRUE(platform::MakeDirectories(platform::DirName(path))) << path;
  ASSERT_TRUE(platform::WriteFileAtomic(path, data)) << path;
}

std::string TestTree::Read(const std::string& relative) const {
  std::string data;
  return platform::ReadFile(Path(relative), &data) ? data : "<missing>";
}

bool TestTree::Exists(const std::string& relative) const {
  struct stat st;
  return lstat(Path(relative).c_str(), &st) == 0;
}

std::vector<std::string> TestTree::FilesBelow(const std::string& relative) const {
  const std::string folder = Path(relative);
  std::vector<std::string> files = platform::ListFilesBelow(folder);
  for (std::string& f : files)
    f.erase(0, folder.size() + 1);
  return files;
}

void TestTree::Link(const std::string& target, const std::string& relative) const {
  ASSERT_EQ(symlink(target.c_str(), Path(relative).c_str()), 0) << relative;
}

std::string CheckListXml(const std::vector<std::string>& paths) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<checklist>\n";
  for (const std::string& p : paths) {
    xml += "  <file path=\"" + p + "\" size=\"1\" ftime=\"0\" />\n";
  }
  return xml + "</checklist>\n";
}

}  // namespace brimsett
