#include "games/hall/text/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace hall {
namespace {

class CodePageTest : public ::testing::Test {
 protected:
  void TearDown() override { SetAnsiCodePage(""); }
};

TEST_F(CodePageTest, LocaleCharsetIsUtf8ForPlainAsciiAndUnknownLocales) {
  EXPECT_EQ(CharsetOfLocale("C"), "UTF-8");
  EXPECT_EQ(CharsetOfLocale("POSIX"), "UTF-8");
  EXPECT_TRUE(IsUtf8Charset(CharsetOfLocale("C.UTF-8")));
  EXPECT_EQ(CharsetOfLocale("xx_NOWHERE.NO-SUCH-SET"), "UTF-8");
}

TEST_F(CodePageTest, ChoosingACodePageChecksThatIconvKnowsIt) {
  std::string initial = AnsiCodePage();
  EXPECT_FALSE(SetAnsiCodePage("NO-SUCH-CHARSET"));
  EXPECT_EQ(AnsiCodePage(), initial);
  EXPECT_TRUE(SetAnsiCodePage(kGbkCodePage));
  EXPECT_EQ(AnsiCodePage(), kGbkCodePage);
  EXPECT_TRUE(SetAnsiCodePage(""));
  EXPECT_EQ(AnsiCodePage(), initial);
}

TEST_F(CodePageTest, Utf8NamesAreRecognisedWhateverTheirSpelling) {
  for (const char* name : {"UTF-8", "utf8", "Utf_8", "UTF8"})
    EXPECT_TRUE(IsUtf8Charset(name));
  for (const char* name : {"UTF-16", "CP936", "", "UTF-88"})
    EXPECT_FALSE(IsUtf8Charset(name));
}

struct DecodeCase {
  const char* label;
  std::string bytes;
  std::u16string expected;
};

TEST_F(CodePageTest, DecodesGbkAndReplacesBytesThatStartNoCharacter) {
  const DecodeCase cases[] = {
      {"ascii", "ab", u"ab"},
      {"double byte", "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
      {"single-byte euro", "\x80", u"\u20AC"},
      {"byte FF",
       "a\xFF"
       "b",
       u"a\uFFFDb"},
      {"lead byte cut off at the end", "a\xD6", u"a\uFFFD"},
      {"embedded zero", std::string("\xD6\xD0\0a", 4), std::u16string(u"\u4E2D\0a", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeCharset(c.bytes, kGbkCodePage), c.expected) << c.label;
  }
}

TEST_F(CodePageTest, EncodesGbkWithQuestionMarksForMissingCharacters) {
  EXPECT_EQ(EncodeCharset(u"a\u4E2D\u00E9", kGbkCodePage), "a\xD6\xD0\xA8\xA6");
  EXPECT_EQ(EncodeCharset(u"x\U0001F600y", kGbkCodePage), "x?y");
  EXPECT_EQ(EncodeCharset(std::u16string{u'x', 0xD800, u'y'}, kGbkCodePage), "x?y");
  EXPECT_EQ(EncodeCharset(u"\u20AC", kGbkCodePage), "\x80");
}

// A double-byte character is written whole or not at all.
TEST_F(CodePageTest, GbkEncodingNeverCutsADoubleByteCharacter) {
  const std::u16string text = u"\u4E2Da\U0001F600\u6587";
  const char* expected_by_capacity[] = {"",
                                        "",
                                        "",
                                        "\xD6\xD0",
                                        "\xD6\xD0"
                                        "a",
                                        "\xD6\xD0"
                                        "a?",
                                        "\xD6\xD0"
                                        "a?",
                                        "\xD6\xD0"
                                        "a?\xCE\xC4"};
  for (size_t capacity = 1; capacity < std::size(expected_by_capacity); ++capacity) {
    std::string out(capacity, 'X');
    size_t n = EncodeCharset(text, kGbkCodePage, out.data(), capacity);
    EXPECT_EQ(out.substr(0, n), expected_by_capacity[capacity]) << capacity;
    EXPECT_EQ(out[n], '\0') << capacity;
  }
}

}  // namespace
}  // namespace hall
