#include "games/hall/update/update_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "games/hall/text/utf.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace hall {
namespace {

class UpdateLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/update_log_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { platform::RemoveTree(dir_); }

  // The log file decoded from UTF-16LE; *bom tells whether it starts with FF FE.
  std::u16string ReadLog(bool* bom) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadFile(platform::JoinPath(dir_, kUpdateLogName), &bytes));
    EXPECT_EQ(bytes.size() % 2, 0u);
    *bom = bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0;
    std::u16string text;
    for (size_t i = *bom ? 2 : 0; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
  }

  std::string dir_;
  // 2023-11-14 22:13:20 UTC; the manual clock's local time is UTC.
  platform::ManualClock clock_{0, 1'700'000'000};
};

TEST_F(UpdateLogTest, AppendsStampedLinesAfterOneByteOrderMark) {
  UpdateLog log(dir_, platform::RealFileSystem(), clock_);
  log.Write("下载文件失败http://h/update.cl, 错误代码=7");
  clock_.Advance(61'000);
  log.Write("second");

  bool bom = false;
  const std::u16string text = ReadLog(&bom);
  EXPECT_TRUE(bom);
  EXPECT_EQ(text,
            u"2023-11-14 22:13:20下载文件失败http://h/update.cl, 错误代码=7\r\n"
            u"2023-11-14 22:14:21second\r\n");
}

TEST_F(UpdateLogTest, LongTextIsCutWithoutSplittingACharacter) {
  UpdateLog log(dir_, platform::RealFileSystem(), clock_);
  const std::u16string stamp = u"2023-11-14 22:13:20";
  const struct {
    std::u16string text;
    std::u16string kept;
  } cases[] = {
      {std::u16string(kUpdateLogMaxUnits, u'a'), std::u16string(kUpdateLogMaxUnits, u'a')},
      {std::u16string(kUpdateLogMaxUnits + 5, u'b'), std::u16string(kUpdateLogMaxUnits, u'b')},
      // A pair that would straddle the limit is left out whole.
      {std::u16string(kUpdateLogMaxUnits - 1, u'c') + u"\U0001F600",
       std::u16string(kUpdateLogMaxUnits - 1, u'c')},
  };
  std::u16string expected;
  for (const auto& c : cases) {
    log.Write(Utf16ToUtf8(c.text));
    expected += stamp + c.kept + u"\r\n";
  }
  bool bom = false;
  EXPECT_EQ(ReadLog(&bom), expected);
}

TEST_F(UpdateLogTest, ControlCharactersCannotForgeAnotherLine) {
  // Texts carry what the server sent, a refused list path among them.
  UpdateLog log(dir_, platform::RealFileSystem(), clock_);
  log.Write("invalid path: a\r\n2023-01-01 00:00:00forged");
  log.Write(std::string("nul\0tab\tdel\x7F", 12));
  bool bom = false;
  EXPECT_EQ(ReadLog(&bom),
            u"2023-11-14 22:13:20invalid path: a??2023-01-01 00:00:00forged\r\n"
            u"2023-11-14 22:13:20nul?tab?del?\r\n");
}

TEST_F(UpdateLogTest, SeparatorsThatViewersBreakLinesAtCannotForgeAnotherLine) {
  UpdateLog log(dir_, platform::RealFileSystem(), clock_);
  // NEL (U+0085), the line and paragraph separators, and CSI (U+009B) of the C1 controls; the
  // characters around them in the ranges stay.
  log.Write("a\u0085b\u2028c\u2029d\u009Be\u00A0f\u2027g\u202Ah\u007Ei");
  bool bom = false;
  EXPECT_EQ(ReadLog(&bom), u"2023-11-14 22:13:20a?b?c?d?e\u00A0f\u2027g\u202Ah~i\r\n");
}

TEST_F(UpdateLogTest, UnopenableLogWritesNothing) {
  UpdateLog log(platform::JoinPath(dir_, "missing/folder"), platform::RealFileSystem(), clock_);
  log.Write("lost");
  EXPECT_FALSE(platform::FileExists(log.path()));
  EXPECT_TRUE(platform::ListFilesBelow(dir_).empty());
}

}  // namespace
}  // namespace hall
