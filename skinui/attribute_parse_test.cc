#include "skinui/attribute_parse.h"

#include <gtest/gtest.h>

#include "skinui/ui_defs.h"

namespace skinui {
namespace {

TEST(SkinuiAttributeParse, Colours) {
  struct Case {
    const char* text;
    DWORD want;
  } cases[] = {
      {"#FF102030", 0xFF102030},
      {"#102030", 0xFF102030},
      {"0x80102030", 0x80102030},
      {" #ffffff ", 0xFFFFFFFF},
      {"16777215", 16777215},
      {"#GG0000", 7},
      {"", 7},
      {"#", 7},
      {"#1234567890ab", 7},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseColour(c.text, 7), c.want) << c.text;
}

TEST(SkinuiAttributeParse, RectsSizesAndNumbersTolerateDamage) {
  const RECT r = ParseRect("1, 2,3 ,4");
  EXPECT_EQ(r, (RECT{1, 2, 3, 4}));
  EXPECT_EQ(ParseRect("5,6"), (RECT{5, 6, 0, 0}));
  EXPECT_EQ(ParseRect("x,y,z,w"), (RECT{0, 0, 0, 0}));
  EXPECT_EQ(ParseRect(""), (RECT{0, 0, 0, 0}));
  EXPECT_EQ(ParseSize("600,800").cx, 600);
  EXPECT_EQ(ParseSize("600,800").cy, 800);
  EXPECT_EQ(ParseInt("12a", -1), -1);
  EXPECT_EQ(ParseInt(" -3 ", 0), -3);
  EXPECT_TRUE(ParseBool("TRUE"));
  EXPECT_TRUE(ParseBool("1"));
  EXPECT_FALSE(ParseBool("yes"));
}

TEST(SkinuiAttributeParse, DistancesAreHeldToTheSkinCoordinateLimit) {
  constexpr int kMax = kMaxSkinCoordinate;
  EXPECT_EQ(ParseRect("2147483647,-2147483648,40000,-40000"), (RECT{kMax, -kMax, kMax, -kMax}));
  EXPECT_EQ(ParseRect("32767,-32767,0,1"), (RECT{kMax, -kMax, 0, 1}));
  EXPECT_EQ(ParseSize("99999999,3").cx, kMax);
  EXPECT_EQ(ParseCoordinate("-99999999"), -kMax);
  EXPECT_EQ(ParseCoordinate("x", 9999), 9999);
  EXPECT_EQ(ParseInt("99999999"), 99999999);  // other numbers are not distances
}

TEST(SkinuiAttributeParse, ImageSpecs) {
  ImageSpec plain = ParseImageSpec("logon\\delete2.png");
  EXPECT_EQ(plain.file, "logon\\delete2.png");
  EXPECT_FALSE(plain.has_source);
  ImageSpec full = ParseImageSpec("file='a.png' source='0,0,10,20' dest='1,1,5,5'");
  EXPECT_EQ(full.file, "a.png");
  ASSERT_TRUE(full.has_source);
  EXPECT_EQ(full.source, (RECT{0, 0, 10, 20}));
  ASSERT_TRUE(full.has_dest);
  EXPECT_EQ(full.dest, (RECT{1, 1, 5, 5}));
  ImageSpec cut = ParseImageSpec("file='a.png' source='0,0");
  EXPECT_EQ(cut.file, "a.png");
  EXPECT_TRUE(cut.has_source);
}

}  // namespace
}  // namespace skinui
