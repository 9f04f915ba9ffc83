#include "games/hall/text/printable.h"

#include <gtest/gtest.h>

#include <string>

namespace hall {
namespace {

TEST(PrintableTest, ShowsEveryByteThatIsNotPlainAsciiAsItsHexCode) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"", ""},
      {"plain text 0-9 ~", "plain text 0-9 ~"},
      {"a\\b", "a\\x5cb"},
      {std::string("\0\x01\x1f", 3), "\\x00\\x01\\x1f"},
      {"line\nnext\r", "line\\x0anext\\x0d"},
      {"\x7f", "\\x7f"},
      {"\xe6\x9c\xb5", "\\xe6\\x9c\\xb5"},  // UTF-8 is shown byte by byte
  };
  for (const Case& c : cases)
    EXPECT_EQ(Printable(c.in), c.out) << c.out;
}

}  // namespace
}  // namespace hall
