#include "brimsett/file_remover.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "brimsett/in_use_files.h"
#include "brimsett/test_tree.h"

namespace brimsett {
namespace {

class FileRemoverTest : public ::testing::Test {
 protected:
  FileRemoverTest()
      : files_(RealApplierFiles()),
        pending_(tree_.Path("pending-deletions")),
        remover_(files_, pending_) {}

  TestTree tree_;
  InUseFiles files_;
  platform::PendingDeletions pending_;
  FileRemover remover_;
};

TEST_F(FileRemoverTest, RemovesAFileAndTakesAMissingOneAsGone) {
  tree_.Write("d/a.dll", "old");
  EXPECT_TRUE(remover_.RemoveFileOrDefer(tree_.Path("d/a.dll")));
  EXPECT_FALSE(tree_.Exists("d/a.dll"));
  EXPECT_TRUE(remover_.RemoveFileOrDefer(tree_.Path("d/never-there")));
  EXPECT_FALSE(remover_.reboot_pending());
  EXPECT_TRUE(pending_.Paths().empty());
}

TEST_F(FileRemoverTest, FileInUseIsRenamedToTheFirstFreeNameAndRecorded) {
  tree_.Write("d/a.dll", "locked");
  tree_.Write("d/a.dll.del0", "an earlier one, itself still in use");
  files_.MarkInUse(tree_.Path("d/a.dll"));
  files_.MarkInUse(tree_.Path("d/a.dll.del0"));
  EXPECT_TRUE(remover_.RemoveFileOrDefer(tree_.Path("d/a.dll")));
  EXPECT_FALSE(tree_.Exists("d/a.dll"));
  EXPECT_EQ(tree_.Read("d/a.dll.del1"), "locked");
  EXPECT_EQ(tree_.Read("d/a.dll.del0"), "an earlier one, itself still in use");
  EXPECT_TRUE(remover_.reboot_pending());
  EXPECT_EQ(pending_.Paths(), std::vector<std::string>{tree_.Path("d/a.dll.del1")});
}

TEST_F(FileRemoverTest, FreeAsideNameIsReplaced) {
  tree_.Write("d/a.dll", "locked");
  tree_.Write("d/a.dll.del0", "stale");
  files_.MarkInUse(tree_.Path("d/a.dll"));
  EXPECT_TRUE(remover_.RemoveFileOrDefer(tree_.Path("d/a.dll")));
  EXPECT_EQ(tree_.Read("d/a.dll.del0"), "locked");
}

TEST_F(FileRemoverTest, GivesUpAfterTenNames) {
  tree_.Write("d/a.dll", "locked");
  files_.MarkInUse(tree_.Path("d/a.dll"));
  for (int i = 0; i < kDeferredNameCount; ++i) {
    const std::string aside = "d/a.dll.del" + std::to_string(i);
    tree_.Write(aside, "busy");
    files_.MarkInUse(tree_.Path(aside));
  }
  EXPECT_FALSE(remover_.RemoveFileOrDefer(tree_.Path("d/a.dll")));
  EXPECT_EQ(remover_.last_error(), kInUseError);
  EXPECT_EQ(tree_.Read("d/a.dll"), "locked");
  EXPECT_FALSE(remover_.reboot_pending());
}

TEST_F(FileRemoverTest, PinnedFileOrOtherErrorIsNotRenamed) {
  tree_.Write("d/pinned", "x");
  files_.MarkInUse(tree_.Path("d/pinned"), /*pinned=*/true);
  EXPECT_FALSE(remover_.RemoveFileOrDefer(tree_.Path("d/pinned")));
  EXPECT_EQ(remover_.last_error(), kInUseError);
  EXPECT_FALSE(tree_.Exists("d/pinned.del0"));

  // A folder where a file was expected is not a file in use.
  tree_.Write("d/folder/inside", "x");
  EXPECT_FALSE(remover_.RemoveFileOrDefer(tree_.Path("d/folder")));
  EXPECT_EQ(remover_.last_error(), EISDIR);
  EXPECT_FALSE(tree_.Exists("d/folder.del0"));
  EXPECT_EQ(tree_.Read("d/folder/inside"), "x");
  EXPECT_FALSE(remover_.reboot_pending());
}

}  // namespace
}  // namespace brimsett
