#include "games/hall/text/text_convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "games/hall/text/code_page.h"

namespace hall {
namespace {

class TextConvertTest : public ::testing::Test {
 protected:
  void TearDown() override { SetAnsiCodePage(""); }
};

// One conversion, its code page, and the expected output character by character. At every
// capacity from 0 to one past the whole output, the result must be the longest run of whole
// characters that fits before the terminator. Buffers have exactly the capacity given, so a write
// past the end is caught by the address sanitizer.
template <typename Ch>
struct Case {
  const char* label;
  std::string_view code_page;
  std::function<void(Ch* out, size_t capacity)> convert;
  std::vector<std::basic_string<Ch>> expected_chars;
};

template <typename Ch>
void CheckEveryCapacity(const Case<Ch>& c) {
  ASSERT_TRUE(SetAnsiCodePage(c.code_page)) << c.label;
  size_t whole = 0;
  for (const auto& ch : c.expected_chars)
    whole += ch.size();
  for (size_t capacity = 0; capacity <= whole + 1; ++capacity) {
    SCOPED_TRACE(std::string(c.label) + ", capacity " + std::to_string(capacity));
    std::unique_ptr<Ch[]> out(new Ch[capacity > 0 ? capacity : 1]);
    out[0] = Ch('X');
    c.convert(out.get(), capacity);
    if (capacity == 0) {
      EXPECT_EQ(out[0], Ch('X'));
      continue;
    }
    std::basic_string<Ch> expected;
    for (const auto& ch : c.expected_chars) {
      if (expected.size() + ch.size() > capacity - 1)
        break;
      expected += ch;
    }
    EXPECT_EQ(std::basic_string<Ch>(out.get()), expected);
  }
}

TEST_F(TextConvertTest, NarrowOutputsTruncateAtWholeCharactersForEveryCapacity) {
  const std::string utf8 = "a\xE4\xB8\xAD\xC3\xA9\xF0\x9F\x98\x80z";  // a 中 é 😀 z
  const std::string gbk = "a\xD6\xD0\xA8\xA6z";                       // a 中 é z
  const std::u16string wide = u"a\u4E2D\u00E9\U0001F600z";
  const Case<char> cases[] = {
      {"Utf8ToAnsi as UTF-8",
       kUtf8CodePage,
       [&](char* out, size_t n) { Utf8ToAnsi(utf8.c_str(), out, n); },
       {"a", "\xE4\xB8\xAD", "\xC3\xA9", "\xF0\x9F\x98\x80", "z"}},
      {"Utf8ToAnsi as CP936",
       kGbkCodePage,
       [&](char* out, size_t n) { Utf8ToAnsi(utf8.c_str(), out, n); },
       {"a", "\xD6\xD0", "\xA8\xA6", "?", "z"}},
      {"Utf8ToAnsi malformed as CP936",
       kGbkCodePage,
       [&](char* out, size_t n) { Utf8ToAnsi("\xFF\xE4\xB8\xAD\xE4", out, n); },
       {"?", "\xD6\xD0", "?"}},
      {"AnsiToUtf8 from CP936",
       kGbkCodePage,
       [&](char* out, size_t n) { AnsiToUtf8(gbk.c_str(), out, static_cast<int>(n)); },
       {"a", "\xE4\xB8\xAD", "\xC3\xA9", "z"}},
      {"AnsiToUtf8 from bad CP936",
       kGbkCodePage,
       [&](char* out, size_t n) {
         AnsiToUtf8(
             "\xFF"
             "a\xD6",
             out, static_cast<int>(n));
       },
       {"\xEF\xBF\xBD", "a", "\xEF\xBF\xBD"}},
      {"AnsiToUtf8 as UTF-8",
       kUtf8CodePage,
       [&](char* out, size_t n) { AnsiToUtf8(utf8.c_str(), out, static_cast<int>(n)); },
       {"a", "\xE4\xB8\xAD", "\xC3\xA9", "\xF0\x9F\x98\x80", "z"}},
      {"WideToAnsi as CP936",
       kGbkCodePage,
       [&](char* out, size_t n) { WideToAnsi(wide.c_str(), out, n); },
       {"a", "\xD6\xD0", "\xA8\xA6", "?", "z"}},
      {"WideToAnsi as UTF-8",
       kUtf8CodePage,
       [&](char* out, size_t n) { WideToAnsi(wide.c_str(), out, n); },
       {"a", "\xE4\xB8\xAD", "\xC3\xA9", "\xF0\x9F\x98\x80", "z"}},
      {"WideToUtf8 with a lone surrogate",
       kGbkCodePage,
       [&](char* out, size_t n) {
         const char16_t text[] = {u'a', 0xD800, u'\u4E2D', 0};
         WideToUtf8(text, out, n);
       },
       {"a", "\xEF\xBF\xBD", "\xE4\xB8\xAD"}},
  };
  for (const auto& c : cases)
    CheckEveryCapacity(c);
}

TEST_F(TextConvertTest, WideOutputsKeepPairsTogetherForEveryCapacity) {
  const Case<char16_t> cases[] = {
      {"AnsiToWide from CP936",
       kGbkCodePage,
       [](char16_t* out, size_t n) { AnsiToWide("a\xD6\xD0\x80\xFFz", out, n); },
       {u"a", u"\u4E2D", u"\u20AC", u"\uFFFD", u"z"}},
      {"AnsiToWide as UTF-8",
       kUtf8CodePage,
       [](char16_t* out, size_t n) { AnsiToWide("a\xF0\x9F\x98\x80\xE4\xB8\xAD", out, n); },
       {u"a", u"\U0001F600", u"\u4E2D"}},
  };
  for (const auto& c : cases)
    CheckEveryCapacity(c);
}

TEST_F(TextConvertTest, NullInputsGiveEmptyOutputs) {
  char narrow[4] = "xyz";
  char16_t wide[4] = u"xyz";
  EXPECT_EQ(WideToAnsi(nullptr, narrow), nullptr);
  EXPECT_EQ(narrow[0], '\0');
  std::strcpy(narrow, "xyz");
  EXPECT_EQ(WideToUtf8(nullptr, narrow), narrow);
  EXPECT_EQ(narrow[0], '\0');
  EXPECT_EQ(AnsiToWide(nullptr, wide), nullptr);
  EXPECT_EQ(wide[0], 0);
  std::strcpy(narrow, "xyz");
  Utf8ToAnsi(nullptr, narrow, sizeof narrow);
  EXPECT_EQ(narrow[0], '\0');
  std::strcpy(narrow, "xyz");
  AnsiToUtf8(nullptr, narrow, sizeof narrow);
  EXPECT_EQ(narrow[0], '\0');
}

// The forms without a size assume the capacities their callers were written for; the buffers
// here are exactly that large.
TEST_F(TextConvertTest, ImpliedCapacitiesAreHonoured) {
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  std::string many_chinese;
  for (int i = 0; i < 200; ++i)
    many_chinese += "\xE4\xB8\xAD";
  auto path = std::make_unique<char[]>(kAnsiPathCapacity);
  Utf8ToAnsi(many_chinese.c_str(), path.get());
  EXPECT_EQ(std::strlen(path.get()), 258u);  // 129 double-byte characters; 259 would cut one
  EXPECT_EQ(std::string(path.get(), 2), "\xD6\xD0");

  Utf8ToAnsi(std::string(300, 'a').c_str(), path.get());
  EXPECT_EQ(std::string(path.get()), std::string(259, 'a'));

  ASSERT_TRUE(SetAnsiCodePage(kUtf8CodePage));
  Utf8ToAnsi(many_chinese.c_str(), path.get());
  EXPECT_EQ(std::strlen(path.get()), 258u);  // 86 three-byte characters

  // 2 x units + 2 bytes: enough for double-byte ANSI, a cut for UTF-8's three-byte characters.
  const char16_t text[] = u"\u4E2D\u6587\u4E2D";
  auto narrow = std::make_unique<char[]>(2 * 3 + 2);
  EXPECT_EQ(WideToAnsi(text, narrow.get()), narrow.get());
  EXPECT_EQ(std::string(narrow.get()), "\xE4\xB8\xAD\xE6\x96\x87");
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  WideToAnsi(text, narrow.get());
  EXPECT_EQ(std::string(narrow.get()), "\xD6\xD0\xCE\xC4\xD6\xD0");

  auto utf8 = std::make_unique<char[]>(10);
  EXPECT_EQ(WideToUtf8(text, utf8.get()), utf8.get());
  EXPECT_EQ(std::string(utf8.get()), "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD");

  const char gbk[] =
      "\xD6\xD0"
      "a";
  auto wide = std::make_unique<char16_t[]>(sizeof gbk);
  EXPECT_EQ(AnsiToWide(gbk, wide.get()), wide.get());
  EXPECT_EQ(std::u16string(wide.get()), u"\u4E2Da");
}

TEST_F(TextConvertTest, WholeTextFormsRoundTripThroughTheAnsiCodePage) {
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  const std::string title = "休闲游zeb";
  std::string ansi = Utf8ToAnsi(std::string_view(title));
  EXPECT_EQ(ansi.size(), 9u);  // three double-byte characters and three letters
  EXPECT_EQ(AnsiToUtf8(std::string_view(ansi)), title);
  EXPECT_EQ(AnsiToUtf16(ansi), u"休闲游zeb");
  EXPECT_EQ(Utf16ToAnsi(u"休闲游zeb"), ansi);
  ASSERT_TRUE(SetAnsiCodePage(kUtf8CodePage));
  EXPECT_EQ(Utf8ToAnsi(std::string_view(title)), title);
}

}  // namespace
}  // namespace hall
