#include "games/hall/update/url.h"

#include <gtest/gtest.h>

#include <cstring>

#include "games/hall/text/code_page.h"

namespace hall {
namespace {

TEST(UrlTest, EscapesBlankEqualsPercentAndHighBytes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a b=c%", "a%20b%3dc%25"},
      {"\xE4", "%e4"},
      {"http://h/p?q#f", "http://h/p?q#f"},  // everything else stays
      {"", ""},
      {"\xFF\x80 ", "%ff%80%20"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeUrl(c.in), c.out) << c.in;
    char buffer[64];
    std::memset(buffer, 'X', sizeof(buffer));
    ASSERT_TRUE(EscapeUrl(c.in, buffer));
    EXPECT_STREQ(buffer, c.out);
  }
  char buffer[4];
  EXPECT_FALSE(EscapeUrl(nullptr, buffer));
  EXPECT_FALSE(EscapeUrl("a", nullptr));
}

TEST(UrlTest, PathToUrlTurnsSeparatorsAndEscapesTheWhole) {
  EXPECT_EQ(PathToUrl("http://h:8/Tarvix/sub dir\\a=b.bin"),
            "http://h:8/Tarvix/sub%20dir/a%3db.bin");
  EXPECT_EQ(PathToUrl("x\\\xE4\xB8\xAD"), "x/%e4%b8%ad");  // UTF-8 ANSI code page
}

TEST(UrlTest, PathToUrlConvertsTheAnsiCodePageToUtf8) {
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  // "中" is D6 D0 in GBK and E4 B8 AD in UTF-8.
  EXPECT_EQ(PathToUrl("p\\\xD6\xD0.txt"), "p/%e4%b8%ad.txt");
  SetAnsiCodePage("");
}

TEST(UrlTest, ListFileUrlKeepsQueryAndFragmentMarksInTheFileName) {
  // A list may name "a#b" or "x?y": as bare marks they would ask the server for "a" or "x".
  const struct {
    const char* path;
    const char* url;
  } cases[] = {
      {"sub\\game.bin", "http://h/Tarvix/sub/game.bin"},
      {"a#b.txt", "http://h/Tarvix/a%23b.txt"},
      {"x?y=1", "http://h/Tarvix/x%3fy%3d1"},
      {"d\\#?\\e f", "http://h/Tarvix/d/%23%3f/e%20f"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ListFileUrl("http://h/Tarvix/", c.path), c.url) << c.path;
}

}  // namespace
}  // namespace hall
