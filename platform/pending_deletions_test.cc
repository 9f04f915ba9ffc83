#include "platform/pending_deletions.h"

#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace platform {
namespace {

class PendingDeletionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pending_deletions_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { RemoveTree(root_); }
  std::string root_;
};

TEST_F(PendingDeletionsTest, RecordsRetriesAndKeepsOnlyWhatStillFails) {
  PendingDeletions pending(root_ + "/record");
  ASSERT_TRUE(MakeDirectories(root_ + "/old.del0/inner"));
  ASSERT_TRUE(WriteFileAtomic(root_ + "/old.del0/inner/f", "x"));
  ASSERT_TRUE(WriteFileAtomic(root_ + "/a.dll.del1", "x"));
  ASSERT_TRUE(WriteFileAtomic(root_ + "/plain", "x"));
  const std::string blocked = root_ + "/plain/child";  // its folder is a file: cannot go
  EXPECT_TRUE(pending.Add(root_ + "/old.del0"));
  EXPECT_TRUE(pending.Add(root_ + "/a.dll.del1"));
  EXPECT_TRUE(pending.Add(root_ + "/a.dll.del1"));  // once only
  EXPECT_TRUE(pending.Add(blocked));
  EXPECT_FALSE(pending.Add(std::string("bad\0path", 8)));
  EXPECT_EQ(pending.Paths(),
            (std::vector<std::string>{root_ + "/old.del0", root_ + "/a.dll.del1", blocked}));

  EXPECT_EQ(pending.RetryAll(), 1u);
  EXPECT_FALSE(DirectoryExists(root_ + "/old.del0"));
  EXPECT_FALSE(FileExists(root_ + "/a.dll.del1"));
  EXPECT_EQ(pending.Paths(), std::vector<std::string>{blocked});

  ASSERT_TRUE(RemoveFile(root_ + "/plain"));
  EXPECT_EQ(pending.RetryAll(), 0u);  // gone already counts as done
  EXPECT_FALSE(FileExists(root_ + "/record"));
}

TEST_F(PendingDeletionsTest, RelativePathsAreMadeAbsolute) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  PendingDeletions pending(root_ + "/record");
  ASSERT_TRUE(pending.Add("some.del0"));
  EXPECT_EQ(pending.Paths(), std::vector<std::string>{JoinPath(cwd, "some.del0")});
}

TEST_F(PendingDeletionsTest, DamagedRecordsAreIgnored) {
  ASSERT_TRUE(WriteFileAtomic(root_ + "/record",
                              std::string("relative\0/abs/one\0\0/cut/off", 27)));
  PendingDeletions pending(root_ + "/record");
  EXPECT_EQ(pending.Paths(), std::vector<std::string>{"/abs/one"});
  EXPECT_TRUE(PendingDeletions(root_ + "/missing").Paths().empty());
}

}  // namespace
}  // namespace platform
