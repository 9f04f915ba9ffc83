#include "games/hall/update/resume_record.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <limits>

#include "platform/file_tree.h"
#include "platform/file_util.h"

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

}  // namespace
}  // namespace hall
