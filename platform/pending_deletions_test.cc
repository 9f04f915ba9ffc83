#include "platform/pending_deletions.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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

  EXPECT_EQ(pending.RetryAll(root_), 1u);
  EXPECT_FALSE(DirectoryExists(root_ + "/old.del0"));
  EXPECT_FALSE(FileExists(root_ + "/a.dll.del1"));
  EXPECT_EQ(pending.Paths(), std::vector<std::string>{blocked});

  ASSERT_TRUE(RemoveFile(root_ + "/plain"));
  EXPECT_EQ(pending.RetryAll(root_), 0u);  // gone already counts as done
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
  ASSERT_TRUE(
      WriteFileAtomic(root_ + "/record", std::string("relative\0/abs/one\0\0/cut/off", 27)));
  PendingDeletions pending(root_ + "/record");
  EXPECT_EQ(pending.Paths(), std::vector<std::string>{"/abs/one"});
  EXPECT_TRUE(PendingDeletions(root_ + "/missing").Paths().empty());
}

TEST_F(PendingDeletionsTest, OnlyPathsBelowTheGivenFolderAreRemoved) {
  ASSERT_TRUE(MakeDirectories(root_ + "/hall/old.del0"));
  ASSERT_TRUE(WriteFileAtomic(root_ + "/hall/a.del1", "x"));
  ASSERT_TRUE(MakeDirectories(root_ + "/outside"));
  ASSERT_TRUE(WriteFileAtomic(root_ + "/outside/file", "keep"));
  ASSERT_TRUE(WriteFileAtomic(root_ + "/hallmark", "keep"));
  ASSERT_EQ(::symlink((root_ + "/outside").c_str(), (root_ + "/hall/link").c_str()), 0);
  const std::string record = root_ + "/prog/pending-deletions";
  ASSERT_TRUE(MakeDirectories(root_ + "/prog"));
  // What a zero byte in the wrong place, or an edited record, could leave.
  const std::vector<std::string> elsewhere = {
      root_ + "/outside",        root_ + "/hallmark", root_ + "/hall/../outside",
      root_ + "/hall/link/file", root_ + "/hall",     root_ + "/hall/",
      root_ + "/hall/./a.del1",
  };
  std::string data = root_ + "/hall/old.del0" + '\0' + root_ + "/hall/a.del1" + '\0';
  for (const std::string& path : elsewhere)
    data += path + '\0';
  ASSERT_TRUE(WriteFileAtomic(record, data));
  PendingDeletions pending(record);
  EXPECT_EQ(pending.RetryAll(root_ + "/hall"), elsewhere.size());
  EXPECT_FALSE(DirectoryExists(root_ + "/hall/old.del0"));
  EXPECT_FALSE(FileExists(root_ + "/hall/a.del1"));
  std::string kept;
  EXPECT_TRUE(ReadFile(root_ + "/outside/file", &kept));
  EXPECT_TRUE(FileExists(root_ + "/hallmark"));
  EXPECT_TRUE(DirectoryExists(root_ + "/hall"));
  // Kept, for a run that works on their folder; never acted on by this one.
  EXPECT_EQ(pending.Paths(), elsewhere);
}

}  // namespace
}  // namespace platform
