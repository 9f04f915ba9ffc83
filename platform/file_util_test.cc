#include "platform/file_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace platform {
namespace {

class FileUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/file_util_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(FileUtilTest, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
  const std::string path = JoinPath(dir_, "a.ini");
  ASSERT_TRUE(WriteFileAtomic(path, "old"));
  ASSERT_TRUE(WriteFileAtomic(path, std::string("new\0bytes", 9), 0600));
  std::string back;
  ASSERT_TRUE(ReadFile(path, &back));
  EXPECT_EQ(back, std::string("new\0bytes", 9));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(FileUtilTest, FailuresAreReported) {
  std::string out = "untouched";
  EXPECT_FALSE(ReadFile(JoinPath(dir_, "missing"), &out));
  EXPECT_FALSE(WriteFileAtomic(JoinPath(dir_, "no/such/folder/x"), "data"));
  // A folder in the way of the rename: the write fails and the folder stays.
  ASSERT_TRUE(MakeDirectories(JoinPath(dir_, "taken")));
  EXPECT_FALSE(WriteFileAtomic(JoinPath(dir_, "taken"), "data"));
  EXPECT_TRUE(DirectoryExists(JoinPath(dir_, "taken")));
}

TEST_F(FileUtilTest, BoundedReadTakesOnlyRegularFilesWithinTheLimit) {
  const std::string file = JoinPath(dir_, "image.png");
  ASSERT_TRUE(WriteFileAtomic(file, std::string(100, 'x')));
  const std::string fifo = JoinPath(dir_, "pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    size_t limit;
    bool read;
  } cases[] = {
      {file, 100, true},
      {file, 99, false},
      {file, 1 << 20, true},
      {dir_, 1 << 20, false},
      {fifo, 1 << 20, false},         // never waits for a writer
      {"/dev/zero", 1 << 20, false},  // never reads without end
      {JoinPath(dir_, "missing"), 1 << 20, false},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(ReadRegularFileAtMost(c.path, c.limit, &out), c.read) << c.path << " " << c.limit;
    if (c.read) {
      EXPECT_EQ(out, std::string(100, 'x'));
    }
  }
}

TEST_F(FileUtilTest, MakeDirectoriesCreatesParents) {
  const std::string deep = JoinPath(dir_, "a/b/c");
  EXPECT_TRUE(MakeDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(MakeDirectories(deep));  // already there
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "file"), "x"));
  EXPECT_FALSE(MakeDirectories(JoinPath(dir_, "file/sub")));
}

TEST(PathTest, JoinAndDirName) {
  struct Case {
    const char *a, *b, *joined;
  } joins[] = {
      {"a", "b", "a/b"}, {"a/", "b", "a/b"}, {"a", "/b", "a/b"}, {"", "b", "b"}, {"a", "", "a"}};
  for (const auto& c : joins)
    EXPECT_EQ(JoinPath(c.a, c.b), c.joined) << c.a << " + " << c.b;
  struct DirCase {
    const char *path, *dir;
  } dirs[] = {{"a/b/c", "a/b"}, {"c", "."}, {"/c", "/"}, {"a/b/", "a"}, {"/", "/"}};
  for (const auto& c : dirs)
    EXPECT_EQ(DirName(c.path), c.dir) << c.path;
}

TEST(PathTest, ProgramFolderHoldsTheRunningExecutable) {
  const std::string folder = ProgramFolder();
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_TRUE(FileExists(JoinPath(folder, "platform_file_util_test")));
  EXPECT_EQ(ProgramPath(), JoinPath(folder, "platform_file_util_test"));
}

}  // namespace
}  // namespace platform
