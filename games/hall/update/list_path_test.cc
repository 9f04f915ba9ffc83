#include <gtest/gtest.h>

#include <string>

#include "games/hall/update/check_list.h"

namespace hall {
namespace {

TEST(ListPathTest, AcceptsRelativePathsAndMapsSeparators) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a.dll", "a.dll"},
      {"sub\\deep\\b.bin", "sub/deep/b.bin"},
      {"mixed/sep\\c", "mixed/sep/c"},
      {"with blank\\x y.txt", "with blank/x y.txt"},
      {"..hidden\\.cfg", "..hidden/.cfg"},
      {"\xE4\xB8\xAD\\\xE6\x96\x87.txt", "\xE4\xB8\xAD/\xE6\x96\x87.txt"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_TRUE(ListPathToRelative(c.in, &out)) << c.in;
    EXPECT_EQ(out, c.out);
  }
}

TEST(ListPathTest, RefusesPathsThatLeaveTheFolder) {
  const std::string refused[] = {
      "",
      "..",
      "..\\x",
      "a\\..\\..\\x",
      "a\\..",
      ".\\a",
      "\\abs",
      "/etc/passwd",
      "C:\\x",
      "C:x",
      "a\\\\b",
      "a\\",
      "a\\.\\b",
      "a:b",
      "a\x01"
      "b",
      std::string("a\0b", 3),
      "tab\there",
      std::string(kMaxListPathBytes + 1, 'a'),
  };
  for (const std::string& path : refused) {
    std::string out = "untouched";
    EXPECT_FALSE(ListPathToRelative(path, &out)) << path;
    EXPECT_EQ(out, "untouched");
  }
  std::string out;
  EXPECT_TRUE(ListPathToRelative(std::string(kMaxListPathBytes, 'a'), &out));
}

}  // namespace
}  // namespace hall
