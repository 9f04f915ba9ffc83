#include "platform/file_tree.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_util.h"

namespace platform {
namespace {

class FileTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/file_tree_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    tree_ = root_ + "/tree";
    outside_ = root_ + "/outside";
    ASSERT_TRUE(MakeDirectories(tree_ + "/sub/deeper"));
    ASSERT_TRUE(MakeDirectories(outside_ + "/folder"));
    Write(outside_ + "/file", "outside");
    Write(outside_ + "/folder/kept", "outside");
    Write(tree_ + "/B.DLL.cache", "1");
    Write(tree_ + "/a.txt", "2");
    Write(tree_ + "/sub/deeper/c", "3");
    Link(outside_ + "/folder", tree_ + "/sub/linked_folder");
    Link(outside_ + "/file", tree_ + "/linked_file");
  }
  void TearDown() override { RemoveTree(root_); }

  static void Write(const std::string& path, const std::string& data) {
    ASSERT_TRUE(WriteFileAtomic(path, data)) << path;
  }
  static void Link(const std::string& target, const std::string& link) {
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
  }
  static bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
  }

  std::string root_, tree_, outside_;
};

TEST_F(FileTreeTest, RemoveTreeTakesLinksButNotWhatTheyPointAt) {
  EXPECT_TRUE(RemoveTree(tree_));
  EXPECT_FALSE(Exists(tree_));
  EXPECT_TRUE(FileExists(outside_ + "/file"));
  EXPECT_TRUE(FileExists(outside_ + "/folder/kept"));
  EXPECT_TRUE(RemoveTree(tree_));  // already gone
}

TEST_F(FileTreeTest, RemoveTreeOnALinkRemovesOnlyTheLink) {
  Link(outside_, root_ + "/link_to_outside");
  EXPECT_TRUE(RemoveTree(root_ + "/link_to_outside"));
  EXPECT_FALSE(Exists(root_ + "/link_to_outside"));
  EXPECT_TRUE(FileExists(outside_ + "/folder/kept"));
  EXPECT_TRUE(RemoveTree(tree_ + "/a.txt"));  // a plain file
  EXPECT_FALSE(Exists(tree_ + "/a.txt"));
}

TEST_F(FileTreeTest, ListingKeepsNamesSkipsLinksAndIsSorted) {
  std::vector<std::string> expected = {tree_ + "/B.DLL.cache", tree_ + "/a.txt",
                                       tree_ + "/sub/deeper/c"};
  EXPECT_EQ(ListFilesBelow(tree_), expected);
  EXPECT_TRUE(ListFilesBelow(root_ + "/missing").empty());
  Link(tree_, root_ + "/tree_link");
  EXPECT_TRUE(ListFilesBelow(root_ + "/tree_link").empty());
}

TEST_F(FileTreeTest, PathLeavesRootThroughALinkedOrFileFolder) {
  const std::pair<const char*, bool> cases[] = {
      {"a.txt", false},
      {"linked_file", false},  // the entry itself may be a link: it is replaced, not followed
      {"sub/deeper/c", false},
      {"sub/new/x", false},
      {"missing/deeper/x", false},
      {"sub/linked_folder/kept", true},
      {"sub/linked_folder/new/x", true},
      {"a.txt/x", true},
  };
  for (const auto& [relative, leaves] : cases) {
    EXPECT_EQ(PathLeavesRoot(tree_, relative), leaves) << relative;
  }
}

}  // namespace
}  // namespace platform
