#include "games/hall/update/resume_record.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_tree.h"
#include "platform/file_util.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

TEST(ResumeRecordTest, WritesFiveFieldsWithTheListTimeInHalves) {
  const ResumeRecord record{12345, 0x01D9'1234'5678'9ABC, 678, "sub\\a b.dll"};
  EXPECT_EQ(FormatResumeRecord(record), "12345\n" + std::to_string(0x01D91234u) + "\n" +
                                            std::to_string(0x56789ABCu) + "\n678\nsub\\a b.dll");
}

TEST(ResumeRecordTest, ReadsBackWhatItWrote) {
  const ResumeRecord records[] = {
      {1, 133'000'000'000'000'000, 1, "a"},
      {0, 0, 0, "path with  two blanks\\and more.bin"},
      {int64_t{5} << 40, -1, int64_t{5} << 40, "\xE4\xB8\xAD.txt"},
  };
  for (const ResumeRecord& record : records) {
    auto back = ParseResumeRecord(FormatResumeRecord(record));
    ASSERT_TRUE(back.has_value()) << record.path;
    EXPECT_EQ(*back, record);
  }
  // A newline after the path (an editor's) is not part of it.
  auto edited = ParseResumeRecord("1\n2\n3\n4\nname\r\n");
  ASSERT_TRUE(edited.has_value());
  EXPECT_EQ(edited->path, "name");
}

TEST(ResumeRecordTest, RefusesIncompleteRecords) {
  const char* texts[] = {
      "",
      "1\n2\n3\n4\n",
      "1\n2\n3\n4",
      "1\n2\n3\nx\npath",
      "1\n2\n\n4\npath",
      "1 \n2\n3\n4\npath",
      "1\n99999999999\n3\n4\npath",
      "-\n2\n3\n4\np",
  };
  for (const char* text : texts)
    EXPECT_FALSE(ParseResumeRecord(text).has_value()) << text;
}

TEST(ResumeRecordTest, FitsOnlyARunThatHoldsItsCompletedBytes) {
  const struct {
    int64_t completed, total;
    bool fits;
  } cases[] = {
      {0, 0, true},    {5, 17, true},   {17, 17, true},
      {18, 17, false}, {-1, 17, false}, {std::numeric_limits<int64_t>::max(), 17, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResumeRecordFitsRun({c.total, 0, c.completed, "p"}, c.total), c.fits)
        << c.completed << " of " << c.total;
  }
}

TEST(ResumeRecordTest, StoredInItsFolder) {
  char pattern[] = "/tmp/resume_record_test.XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  platform::FileSystem& fs = platform::RealFileSystem();
  EXPECT_FALSE(ReadResumeRecord(fs, dir).has_value());
  const ResumeRecord record{10, 20, 30, "x y"};
  ASSERT_TRUE(WriteResumeRecord(fs, dir, record));
  EXPECT_EQ(ReadResumeRecord(fs, dir), record);
  EXPECT_TRUE(platform::FileExists(dir + "/updatecl.txt"));
  platform::RemoveTree(dir);
}

// Every record of a run reads back whole, whichever way it was written; in place the record file
// is never replaced (no new inode) and no temporary file appears.
TEST(ResumeRecordTest, AWriterKeepsEveryRecordReadableInPlaceOrByRename) {
  struct WholeFilesOnly : platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    std::unique_ptr<platform::OverwritableFile> OpenForOverwrite(const std::string& path,
                                                                 int* error) override {
      return FileSystem::OpenForOverwrite(path, error);
    }
  } whole_files(platform::RealFileSystem());
  struct Case {
    const char* name;
    platform::FileSystem* fs;
    bool in_place;
  };
  const Case cases[] = {{"in place", &platform::RealFileSystem(), true},
                        {"by rename", &whole_files, false}};
  // Long, short, then between: a shorter record must not keep the tail of a longer one.
  const ResumeRecord records[] = {
      {9000, 133'000'000'000'000'000, 100, "data\\a rather long folder name\\file0001.bin"},
      {9000, 133'000'000'000'000'000, 200, "b"},
      {9000, 133'000'000'000'000'000, 9000, "data\\c.bin"},
  };
  for (const Case& c : cases) {
    update_server::TempFolder dir("resume-writer");
    // A record left by an earlier run, longer than any of this run's.
    ASSERT_TRUE(WriteResumeRecord(*c.fs, dir.path(), {1, 2, 1, std::string(300, 'z')}));
    ResumeRecordWriter writer(*c.fs, dir.path());
    ino_t first_inode = 0;
    for (const ResumeRecord& record : records) {
      ASSERT_TRUE(writer.Write(record)) << c.name;
      EXPECT_EQ(ReadResumeRecord(*c.fs, dir.path()), record) << c.name << " " << record.path;
      struct stat st {};
      ASSERT_EQ(::stat(dir.Sub("updatecl.txt").c_str(), &st), 0);
      if (first_inode == 0) {
        first_inode = st.st_ino;
      } else if (c.in_place) {
        EXPECT_EQ(st.st_ino, first_inode) << c.name;
      }
      std::vector<std::string> files;
      ASSERT_TRUE(platform::RealFileSystem().ListFiles(dir.path(), &files));
      EXPECT_EQ(files, std::vector<std::string>{"updatecl.txt"}) << c.name;
    }
  }
}

TEST(ResumeRecordTest, AWriterDoesNotWriteThroughALinkAtTheRecordsPlace) {
  update_server::TempFolder dir("resume-writer-link");
  const std::string elsewhere = dir.Sub("elsewhere.txt");
  ASSERT_TRUE(platform::WriteFileAtomic(elsewhere, "someone else's file"));
  ASSERT_EQ(::symlink(elsewhere.c_str(), dir.Sub("updatecl.txt").c_str()), 0);
  ResumeRecordWriter writer(platform::RealFileSystem(), dir.path());
  const ResumeRecord record{10, 20, 10, "only.bin"};
  ASSERT_TRUE(writer.Write(record));
  EXPECT_EQ(ReadResumeRecord(platform::RealFileSystem(), dir.path()), record);
  std::string text;
  ASSERT_TRUE(platform::ReadFile(elsewhere, &text));
  EXPECT_EQ(text, "someone else's file");
}

}  // namespace
}  // namespace hall
