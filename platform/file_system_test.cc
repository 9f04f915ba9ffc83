#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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

// The real file system's staged files (unnamed where the folder allows), and the ".part" files
// any other file system gets, must keep the same promises.
class PartFilesOnly : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::unique_ptr<StagedFile> CreateStagedFile(const std::string& path, int* error) override {
    return FileSystem::CreateStagedFile(path, error);
  }
};

struct StagedCase {
  const char* name;
  std::string root;  // empty: the test's folder under /tmp
  bool part_files;
};

std::vector<StagedCase> StagedCases() {
  return {{"unnamed", "", false}, {"unnamed on tmpfs", "/dev/shm", false}, {"part file", "", true}};
}

// The folder a case runs in: the test's own, or a new one on tmpfs (empty when there is none).
std::string CaseRoot(const StagedCase& c, const std::string& test_dir) {
  if (c.root.empty())
    return test_dir;
  char tmpl[] = "/dev/shm/file_system_test.XXXXXX";
  return ::mkdtemp(tmpl) != nullptr ? std::string(tmpl) : std::string();
}

TEST_F(FileSystemTest, AStagedFileHasNoNameUntilItIsPublishedWhole) {
  for (const StagedCase& c : StagedCases()) {
    const std::string root = CaseRoot(c, dir_);
    if (root.empty())
      continue;  // no tmpfs here
    PartFilesOnly part_files(fs_);
    FileSystem& fs = c.part_files ? static_cast<FileSystem&>(part_files) : fs_;
    const std::string path = JoinPath(root, "s.cache");
    ASSERT_TRUE(fs.WriteFileAtomic(path, "old contents"));
    int error = 0;
    std::unique_ptr<StagedFile> f = fs.CreateStagedFile(path, &error);
    ASSERT_NE(f, nullptr) << c.name << " errno " << error;
    ASSERT_TRUE(f->Append("new "));
    ASSERT_TRUE(f->Append("bytes"));
    EXPECT_EQ(f->Size(), 9) << c.name;
    std::string back;
    ASSERT_TRUE(fs.ReadFile(path, &back));
    EXPECT_EQ(back, "old contents") << c.name << ": the old file stays until the publish";
    ASSERT_TRUE(f->SetModifiedTime(1'500'000'000));
    ASSERT_TRUE(f->Publish(false)) << c.name;
    ASSERT_TRUE(fs.ReadFile(path, &back));
    EXPECT_EQ(back, "new bytes") << c.name;
    FileInfo info;
    ASSERT_TRUE(fs.Stat(path, &info));
    EXPECT_EQ(info.mtime_seconds, 1'500'000'000) << c.name;
    EXPECT_FALSE(f->Publish(false)) << c.name << ": once";
    std::vector<std::string> files;
    ASSERT_TRUE(fs.ListFiles(root, &files));
    EXPECT_EQ(files, std::vector<std::string>{"s.cache"}) << c.name;
    if (root != dir_)
      std::filesystem::remove_all(root);
  }
}

// Staged files handed out in order keep the promises of one made alone, whether they are made
// ahead on a thread of their own (the real file system on disk), when taken (in memory) or by the
// default every other file system has: each is published at its own path, a missing folder is
// reported for its own path only, and those closed, dropped or never taken leave nothing.
TEST_F(FileSystemTest, StagedFilesInOrderArePublishedAtTheirPathsAndTheRestLeaveNothing) {
  for (const StagedCase& c : StagedCases()) {
    const std::string root = CaseRoot(c, dir_);
    if (root.empty())
      continue;  // no tmpfs here
    PartFilesOnly part_files(fs_);
    FileSystem& fs = c.part_files ? static_cast<FileSystem&>(part_files) : fs_;
    // Several times as many paths as are made ahead.
    constexpr int kPaths = 40, kTaken = 30, kMissingFolder = 13;
    std::vector<std::string> paths;
    for (int i = 0; i < kPaths; ++i) {
      paths.push_back(JoinPath(root, i == kMissingFolder ? "no/such/f" : "f" + std::to_string(i)));
    }
    std::unique_ptr<StagedFileQueue> queue = fs.StageInOrder(paths);
    std::vector<std::string> published;
    for (int i = 0; i < kTaken; ++i) {
      int error = 0;
      std::unique_ptr<StagedFile> f = queue->Next(&error);
      if (i == kMissingFolder) {
        EXPECT_EQ(f, nullptr) << c.name;
        EXPECT_EQ(error, ENOENT) << c.name;
        continue;
      }
      ASSERT_NE(f, nullptr) << c.name << " file " << i << " errno " << error;
      ASSERT_TRUE(f->Append("file " + std::to_string(i)));
      if (i % 3 == 0) {
        EXPECT_TRUE(f->Close(false));
        continue;
      }
      if (i % 3 == 1) {
        f.reset();
        continue;
      }
      ASSERT_TRUE(f->Publish(false)) << c.name << " file " << i;
      published.push_back("f" + std::to_string(i));
    }
    queue.reset();
    // A queue dropped before anything was taken from it.
    std::vector<std::string> more;
    for (int i = 0; i < kPaths; ++i)
      more.push_back(JoinPath(root, "g" + std::to_string(i)));
    fs.StageInOrder(more).reset();

    std::vector<std::string> files;
    ASSERT_TRUE(fs.ListFiles(root, &files));
    std::sort(files.begin(), files.end());
    std::sort(published.begin(), published.end());
    EXPECT_EQ(files, published) << c.name;
    for (const std::string& name : published) {
      std::string back;
      ASSERT_TRUE(fs.ReadFile(JoinPath(root, name), &back));
      EXPECT_EQ(back, "file " + name.substr(1)) << c.name;
    }
    EXPECT_FALSE(DirectoryExists(JoinPath(root, "no"))) << c.name << ": no folder is made";
    if (root != dir_)
      std::filesystem::remove_all(root);
  }
}

// A program the update installs must be runnable; every other file is published without the
// right to run.
TEST_F(FileSystemTest, AStagedProgramIsPublishedRunnableAndOtherFilesAreNot) {
  for (const StagedCase& c : StagedCases()) {
    if (!c.root.empty())
      continue;
    PartFilesOnly part_files(fs_);
    FileSystem& fs = c.part_files ? static_cast<FileSystem&>(part_files) : fs_;
    for (bool program : {true, false}) {
      const std::string path = JoinPath(dir_, std::string(c.name) + (program ? ".prog" : ".data"));
      int error = 0;
      std::unique_ptr<StagedFile> f = fs.CreateStagedFile(path, &error);
      ASSERT_NE(f, nullptr) << c.name << " errno " << error;
      ASSERT_TRUE(
          f->Append("\x7f"
                    "ELF"));
      if (program)
        f->MarkProgram();
      ASSERT_TRUE(f->SetModifiedTime(1'500'000'000));
      ASSERT_TRUE(f->Publish(false)) << c.name;
      struct stat st {};
      ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
      if (program)
        EXPECT_EQ(st.st_mode & 0777, 0755u) << c.name;
      else
        EXPECT_EQ(st.st_mode & 0111, 0u) << c.name;
      EXPECT_EQ(st.st_mtim.tv_sec, 1'500'000'000) << c.name << ": the mode kept the time";
    }
  }
}

TEST_F(FileSystemTest, AStagedFileClosedOrDroppedUnpublishedLeavesNothing) {
  for (const StagedCase& c : StagedCases()) {
    if (!c.root.empty())
      continue;
    PartFilesOnly part_files(fs_);
    FileSystem& fs = c.part_files ? static_cast<FileSystem&>(part_files) : fs_;
    const std::string folder = JoinPath(dir_, c.name);
    ASSERT_TRUE(fs.MakeDirectories(folder));
    int error = 0;
    std::unique_ptr<StagedFile> closed = fs.CreateStagedFile(JoinPath(folder, "a"), &error);
    std::unique_ptr<StagedFile> dropped = fs.CreateStagedFile(JoinPath(folder, "b"), &error);
    ASSERT_NE(closed, nullptr);
    ASSERT_NE(dropped, nullptr);
    ASSERT_TRUE(closed->Append("half"));
    ASSERT_TRUE(dropped->Append("half"));
    EXPECT_TRUE(closed->Close(false));
    EXPECT_FALSE(closed->Publish(false)) << c.name << ": closed is closed";
    dropped.reset();
    std::vector<std::string> files;
    ASSERT_TRUE(fs.ListFiles(folder, &files));
    EXPECT_TRUE(files.empty()) << c.name << ": " << (files.empty() ? "" : files.front());

    EXPECT_EQ(fs.CreateStagedFile(JoinPath(folder, "no/such/c"), &error), nullptr) << c.name;
    EXPECT_EQ(error, ENOENT) << c.name;
  }
}

TEST_F(FileSystemTest, AnOverwrittenFileKeepsItsNameAndNeverShrinks) {
  const std::string path = JoinPath(dir_, "record");
  int error = 0;
  std::unique_ptr<OverwritableFile> f = fs_.OpenForOverwrite(path, &error);
  ASSERT_NE(f, nullptr) << error;
  EXPECT_EQ(f->Size(), 0);
  ASSERT_TRUE(f->Overwrite("abcdef"));
  FileInfo before;
  ASSERT_TRUE(fs_.Stat(path, &before));
  ASSERT_TRUE(f->Overwrite("xy"));
  EXPECT_EQ(f->Size(), 6);
  std::string back;
  ASSERT_TRUE(fs_.ReadFile(path, &back));
  EXPECT_EQ(back, "xycdef");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  std::unique_ptr<OverwritableFile> again = fs_.OpenForOverwrite(path, &error);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Size(), 6) << "opening keeps what is there";
  struct stat st_again {};
  ASSERT_EQ(::stat(path.c_str(), &st_again), 0);
  EXPECT_EQ(st_again.st_ino, st.st_ino) << "no new file";

  EXPECT_EQ(fs_.OpenForOverwrite(JoinPath(dir_, "no/such"), &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  const std::string elsewhere = JoinPath(dir_, "elsewhere"), link = JoinPath(dir_, "link");
  ASSERT_TRUE(WriteFileAtomic(elsewhere, "keep"));
  ASSERT_EQ(::symlink(elsewhere.c_str(), link.c_str()), 0);
  EXPECT_EQ(fs_.OpenForOverwrite(link, &error), nullptr) << "a link is not followed";
  EXPECT_EQ(error, ELOOP);
  // Another file system has none to offer and says so.
  struct NoOverwrite : ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    std::unique_ptr<OverwritableFile> OpenForOverwrite(const std::string& p, int* e) override {
      return FileSystem::OpenForOverwrite(p, e);
    }
  } other(fs_);
  EXPECT_EQ(other.OpenForOverwrite(path, &error), nullptr);
  EXPECT_EQ(error, ENOTSUP);
}

}  // namespace
}  // namespace platform
