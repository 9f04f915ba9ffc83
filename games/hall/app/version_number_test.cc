#include "games/hall/app/version_number.h"

#include <gtest/gtest.h>

#include <string>

namespace hall {
namespace {

constexpr uint64_t V(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
  return a << 48 | b << 32 | c << 16 | d;
}

TEST(VersionNumber, ReadsEachPartIntoItsOwnSixteenBits) {
  struct Case {
    const char* text;
    uint64_t want;
  } cases[] = {
      {"1.2", V(1, 2, 0, 0)},
      {"1.2.3.4", V(1, 2, 3, 4)},
      {"1.2.3.4.5.6", V(1, 2, 3, 4)},  // parts after the fourth are ignored
      {"", 0},
      {"0", 0},
      {"7", V(7, 0, 0, 0)},
      {"1..3", V(1, 0, 3, 0)},  // an empty part leaves its place 0
      {"1.2.", V(1, 2, 0, 0)},
      {".5", V(0, 5, 0, 0)},
      {" 3. 4", V(3, 4, 0, 0)},    // leading blanks, as atoi reads them
      {"2b.7rc1", V(2, 7, 0, 0)},  // reading stops at the first non-digit
      {"x.1", V(0, 1, 0, 0)},
      {"+4.1", V(4, 1, 0, 0)},
      {"65535.65535.65535.65535", ~uint64_t{0}},
      // Out of range: the part is held at its limit instead of spilling into its neighbour.
      {"1.70000", V(1, 65535, 0, 0)},
      {"1.65536.9", V(1, 65535, 9, 0)},
      {"99999999999999999999999.1", V(65535, 1, 0, 0)},
      {"1.-1.2", V(1, 0, 2, 0)},
      {"-5", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadVersionNumber(c.text), c.want) << '"' << c.text << '"';
  }
}

TEST(VersionNumber, ComparesLikeTheVersionsItReads) {
  struct Case {
    const char* older;
    const char* newer;
  } cases[] = {
      {"1.9", "1.10"},  // numeric parts, not text
      {"1.2.3.4", "1.2.3.5"}, {"1.65535.65535.65535", "2"},
      {"0", "0.0.0.1"},       {"1.9", "1.70000"},  // too large a part is still the newer
      {"1.-1", "1.0.0.1"},                         // a negative part is no newer than 0
      {"1.2.65535", "1.3"},                        // a full lower part does not reach the next one
  };
  for (const Case& c : cases) {
    EXPECT_LT(ReadVersionNumber(c.older), ReadVersionNumber(c.newer))
        << c.older << " < " << c.newer;
  }
  EXPECT_EQ(ReadVersionNumber("1.02"), ReadVersionNumber("1.2"));
}

}  // namespace
}  // namespace hall
