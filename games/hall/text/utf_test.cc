#include "games/hall/text/utf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace hall {
namespace {

struct DecodeCase {
  const char* label;
  std::string utf8;
  std::u16string expected;
};

TEST(Utf8ToUtf16Test, DecodesValidAndReplacesMalformedSequences) {
  const DecodeCase cases[] = {
      {"ascii", "abc", u"abc"},
      {"two byte", "\xC3\xA9", u"\u00E9"},
      {"three byte", "\xE4\xB8\xAD\xE6\x96\x87", u"\u4E2D\u6587"},
      {"four byte to pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"embedded zero kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"lone continuation",
       "a\x80"
       "b",
       u"a\uFFFDb"},
      {"invalid lead C0", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"truncated at end", "a\xE4\xB8", u"a\uFFFD"},
      {"truncated before ascii", "\xE4\xB8z", u"\uFFFDz"},
      {"byte FF", "\xFF", u"\uFFFD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.expected) << c.label;
  }
}

TEST(Utf16ToUtf8Test, EncodesPairsAndReplacesUnpairedSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u"a\u00E9\u4E2D\U0001F600"), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, u'a'}),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
  EXPECT_EQ(SanitizeUtf16(std::u16string{u'x', 0xDBFF}), u"x\uFFFD");
}

// At every capacity the output is the longest run of whole characters that fits before the
// terminator; the buffer is exactly `capacity` long so a write past it trips the sanitizer.
TEST(EncodeUtf8Test, TruncatesAtWholeCharactersForEveryCapacity) {
  const std::u16string text = u"a\u00E9\u4E2D\U0001F600z";
  const std::vector<std::string> chars = {"a", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "z"};
  for (size_t capacity = 0; capacity <= 13; ++capacity) {
    std::unique_ptr<char[]> out(new char[capacity > 0 ? capacity : 1]);
    out[0] = 'X';
    size_t n = EncodeUtf8(text, out.get(), capacity);
    if (capacity == 0) {
      EXPECT_EQ(n, 0u);
      EXPECT_EQ(out[0], 'X');
      continue;
    }
    std::string expected;
    for (const auto& c : chars) {
      if (expected.size() + c.size() > capacity - 1)
        break;
      expected += c;
    }
    EXPECT_EQ(n, expected.size()) << "capacity " << capacity;
    EXPECT_EQ(std::string(out.get(), n), expected) << "capacity " << capacity;
    EXPECT_EQ(out[n], '\0') << "capacity " << capacity;
  }
}

TEST(CopyUtf16Test, NeverSplitsASurrogatePair) {
  const std::u16string text = u"a\U0001F600b";
  const std::u16string expected_by_capacity[] = {
      u"", u"", u"a", u"a", u"a\U0001F600", u"a\U0001F600b", u"a\U0001F600b"};
  for (size_t capacity = 1; capacity <= 6; ++capacity) {
    std::unique_ptr<char16_t[]> out(new char16_t[capacity]);
    size_t n = CopyUtf16(text, out.get(), capacity);
    EXPECT_EQ(std::u16string(out.get(), n), expected_by_capacity[capacity]) << capacity;
    EXPECT_EQ(out[n], 0) << capacity;
  }
  char16_t untouched = u'X';
  EXPECT_EQ(CopyUtf16(text, &untouched, 0), 0u);
  EXPECT_EQ(untouched, u'X');
}

}  // namespace
}  // namespace hall
