#include "platform/file_move.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_util.h"

namespace platform {
namespace {

std::string MakeTempFolder(const char* base) {
  std::string pattern = std::string(base) + "/file_move_test.XXXXXX";
  char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

void SetMtime(const std::string& path, time_t seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct stat Stat(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

class FileMoveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempFolder("/tmp");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    for (const char* name : {"a", "b", "c", "link", "sub/x", "sub"}) {
      std::string p = JoinPath(dir_, name);
      unlink(p.c_str());
      rmdir(p.c_str());
    }
    rmdir(dir_.c_str());
  }
  std::string dir_;
};

TEST_F(FileMoveTest, MoveReplacesAnExistingFile) {
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "a"), "new"));
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "b"), "old contents"));
  EXPECT_EQ(MoveFileReplacing(JoinPath(dir_, "a"), JoinPath(dir_, "b")), 0);
  std::string data;
  ASSERT_TRUE(ReadFile(JoinPath(dir_, "b"), &data));
  EXPECT_EQ(data, "new");
  EXPECT_FALSE(FileExists(JoinPath(dir_, "a")));
}

TEST_F(FileMoveTest, ReportsWhichPartIsMissing) {
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "a"), "x"));
  EXPECT_EQ(MoveFileReplacing(JoinPath(dir_, "a"), JoinPath(dir_, "sub/x")), ENOENT);
  EXPECT_TRUE(FileExists(JoinPath(dir_, "a")));
  EXPECT_EQ(MoveFileReplacing(JoinPath(dir_, "c"), JoinPath(dir_, "b")), ENOENT);
  EXPECT_EQ(MakeFolder(JoinPath(dir_, "sub")), 0);
  EXPECT_EQ(MakeFolder(JoinPath(dir_, "sub")), EEXIST);
  EXPECT_EQ(MoveFileReplacing(JoinPath(dir_, "a"), JoinPath(dir_, "sub/x")), 0);
}

TEST_F(FileMoveTest, RemoveEntryTakesALinkNotItsTargetAndRefusesFolders) {
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "a"), "keep"));
  ASSERT_EQ(symlink(JoinPath(dir_, "a").c_str(), JoinPath(dir_, "link").c_str()), 0);
  EXPECT_EQ(RemoveEntry(JoinPath(dir_, "link")), 0);
  EXPECT_TRUE(FileExists(JoinPath(dir_, "a")));
  ASSERT_EQ(MakeFolder(JoinPath(dir_, "sub")), 0);
  EXPECT_EQ(RemoveEntry(JoinPath(dir_, "sub")), EISDIR);
  EXPECT_EQ(RemoveEntry(JoinPath(dir_, "c")), ENOENT);
}

TEST_F(FileMoveTest, CopyKeepsModeAndTimeAndRefusesLinks) {
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "a"), std::string(200000, 'z'), 0750));
  SetMtime(JoinPath(dir_, "a"), 1'500'000'000);
  EXPECT_EQ(CopyFileKeepingTime(JoinPath(dir_, "a"), JoinPath(dir_, "b")), 0);
  struct stat st = Stat(JoinPath(dir_, "b"));
  EXPECT_EQ(st.st_mtim.tv_sec, 1'500'000'000);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
  EXPECT_EQ(st.st_size, 200000);
  ASSERT_EQ(symlink(JoinPath(dir_, "a").c_str(), JoinPath(dir_, "link").c_str()), 0);
  EXPECT_EQ(CopyFileKeepingTime(JoinPath(dir_, "link"), JoinPath(dir_, "c")), ELOOP);
  EXPECT_FALSE(FileExists(JoinPath(dir_, "c")));
}

// /dev/shm is a memory file system, so a move from there to /tmp cannot be a rename.
TEST_F(FileMoveTest, MoveAcrossFileSystemsCopiesKeepingTheTime) {
  std::string other = MakeTempFolder("/dev/shm");
  if (other.empty()) GTEST_SKIP() << "no /dev/shm";
  struct stat a {}, b {};
  ASSERT_EQ(stat(other.c_str(), &a), 0);
  ASSERT_EQ(stat(dir_.c_str(), &b), 0);
  if (a.st_dev == b.st_dev) GTEST_SKIP() << "one file system";
  std::string from = JoinPath(other, "f");
  ASSERT_TRUE(WriteFileAtomic(from, "across", 0640));
  SetMtime(from, 1'234'567'890);
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "b"), "old"));
  EXPECT_EQ(RenameReplacing(from, JoinPath(dir_, "b")), EXDEV);
  EXPECT_EQ(MoveFileReplacing(from, JoinPath(dir_, "b")), 0);
  std::string data;
  ASSERT_TRUE(ReadFile(JoinPath(dir_, "b"), &data));
  EXPECT_EQ(data, "across");
  struct stat st = Stat(JoinPath(dir_, "b"));
  EXPECT_EQ(st.st_mtim.tv_sec, 1'234'567'890);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(FileExists(from));
  rmdir(other.c_str());
  // No temporary copy is left beside the target.
  DIR* listing = opendir(dir_.c_str());
  ASSERT_NE(listing, nullptr);
  int entries = 0;
  while (dirent* e = readdir(listing)) entries += e->d_name[0] != '.';
  closedir(listing);
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace platform
