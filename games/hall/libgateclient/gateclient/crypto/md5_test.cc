#include "gateclient/crypto/md5.h"

#include <gtest/gtest.h>

#include "gateclient/crypto/hex_string.h"

namespace {

TEST(Md5Test, MatchesTheReferenceSuite) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Md5Hex(c.message.data(), c.message.size()), c.digest) << c.message;
  }
}

// Lengths on either side of the padding boundaries (56 and 64 bytes), where the length field
// spills into a second block.
TEST(Md5Test, PaddingBoundaries) {
  struct Case {
    std::size_t length;
    const char* digest;
  };
  const Case cases[] = {
      {55u, "04364420e25c512fd958a70738aa8f72"},  {56u, "668a72d5ba17f08e62dabcafad6db14b"},
      {57u, "693037871c4a9d3d8685018905cb530a"},  {63u, "7dc2ca208106a2f703567bdff99d8981"},
      {64u, "c1bb4f81d892b2d57947682aeb252456"},  {65u, "1bc932052302d074bdec39795fe00cf6"},
      {119u, "ab347a5f68c8a443cfcddc633f12c24f"}, {120u, "fb98667f98096de92620b64f46e1c5b5"},
      {128u, "d69cb61a6ee87200676eb0d4b90edbcb"}, {1000u, "398533d48111e9f664b1f64cb10c4b63"},
  };
  for (const Case& c : cases) {
    const std::string message(c.length, 'x');
    EXPECT_EQ(Md5Hex(message.data(), message.size()), c.digest) << c.length;
  }
}

TEST(HexStringTest, TwoLowerCaseDigitsPerByte) {
  EXPECT_EQ(ToHexString(std::string("\x00\x0f\xa0\xff", 4)), "000fa0ff");
  EXPECT_EQ(ToHexString(""), "");
}

}  // namespace
