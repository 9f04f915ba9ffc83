#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/file_util.h"

namespace platform {
namespace {

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/file_system_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  FileSystem& fs_ = RealFileSystem();
  std::string dir_;
};

TEST_F(FileSystemTest, CreateTruncatesAndAppendOpenKeepsAndCounts) {
  const std::string path = JoinPath(dir_, "f");
  int error = 0;
  auto f = fs_.CreateFile(path, &error);
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(f->Append("hello"));
  EXPECT_EQ(f->Size(), 5);
  ASSERT_TRUE(f->Close(true));

  auto a = fs_.OpenForAppend(path, &error);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Size(), 5);
  ASSERT_TRUE(a->Append("!"));
  ASSERT_TRUE(a->Close(false));
  std::string back;
  ASSERT_TRUE(fs_.ReadFile(path, &back));
  EXPECT_EQ(back, "hello!");

  f = fs_.CreateFile(path, &error);
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(f->Close(false));
  ASSERT_TRUE(fs_.ReadFile(path, &back));
  EXPECT_EQ(back, "");
}

TEST_F(FileSystemTest, MissingFolderIsReportedAsENOENT) {
  int error = 0;
  EXPECT_EQ(fs_.CreateFile(JoinPath(dir_, "no/such/f"), &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  ASSERT_TRUE(fs_.MakeDirectories(JoinPath(dir_, "no/such")));
  EXPECT_NE(fs_.CreateFile(JoinPath(dir_, "no/such/f"), &error), nullptr);
}

TEST_F(FileSystemTest, ModifiedTimeIsSetAndRead) {
  const std::string path = JoinPath(dir_, "t");
  ASSERT_TRUE(fs_.WriteFileAtomic(path, "abc"));
  ASSERT_TRUE(fs_.SetModifiedTime(path, 1'234'567'890));
  FileInfo info;
  ASSERT_TRUE(fs_.Stat(path, &info));
  EXPECT_EQ(info.mtime_seconds, 1'234'567'890);
  EXPECT_EQ(info.size, 3);
  EXPECT_FALSE(info.is_directory);
  EXPECT_FALSE(fs_.Stat(JoinPath(dir_, "none"), &info));
  EXPECT_FALSE(fs_.SetModifiedTime(JoinPath(dir_, "none"), 1));
}

TEST_F(FileSystemTest, RenameReplacesAndRemoveToleratesMissing) {
  const std::string a = JoinPath(dir_, "a"), b = JoinPath(dir_, "b");
  ASSERT_TRUE(fs_.WriteFileAtomic(a, "new"));
  ASSERT_TRUE(fs_.WriteFileAtomic(b, "old"));
  ASSERT_TRUE(fs_.Rename(a, b));
  std::string back;
  ASSERT_TRUE(fs_.ReadFile(b, &back));
  EXPECT_EQ(back, "new");
  EXPECT_FALSE(FileExists(a));
  EXPECT_TRUE(fs_.RemoveFile(b));
  EXPECT_TRUE(fs_.RemoveFile(b));
  EXPECT_FALSE(fs_.Rename(a, b));
}

TEST_F(FileSystemTest, ListFilesWalksFoldersButNotLinks) {
  ASSERT_TRUE(MakeDirectories(JoinPath(dir_, "tree/sub/deep")));
  ASSERT_TRUE(MakeDirectories(JoinPath(dir_, "outside")));
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "tree/top"), "1"));
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "tree/sub/deep/x.cache"), "2"));
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "outside/secret"), "3"));
  ASSERT_EQ(::symlink(JoinPath(dir_, "outside").c_str(), JoinPath(dir_, "tree/link").c_str()), 0);

  std::vector<std::string> files;
  ASSERT_TRUE(fs_.ListFiles(JoinPath(dir_, "tree"), &files));
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"link", "sub/deep/x.cache", "top"}));
  FileInfo info;
  ASSERT_TRUE(fs_.Stat(JoinPath(dir_, "tree/link"), &info));
  EXPECT_TRUE(info.is_symlink);
  EXPECT_FALSE(fs_.ListFiles(JoinPath(dir_, "none"), &files));
}

}  // namespace
}  // namespace platform
