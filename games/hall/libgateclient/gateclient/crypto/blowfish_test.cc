#include "gateclient/crypto/blowfish.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

uint64_t FromHex64(const std::string& hex) {
  return std::stoull(hex, nullptr, 16);
}

Blowfish Keyed(const std::vector<uint8_t>& key) {
  Blowfish cipher;
  cipher.SetKey(key.data(), key.size());
  return cipher;
}

// The standard vectors, written as the published 64-bit big-endian numbers: left word first.
struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};
const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    // Keys shorter than a block are taken cyclically.
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1", "FEDCBA9876543210", "E91D21C1D961A6D6"},
    {"F0E1D2", "FEDCBA9876543210", "E9C2B70A1BC65CF3"},
};

TEST(BlowfishTest, BlocksMatchThePublishedVectors) {
  for (const Vector& v : kVectors) {
    const Blowfish cipher = Keyed(FromHex(v.key));
    const uint64_t plain = FromHex64(v.plain);
    uint32_t left = static_cast<uint32_t>(plain >> 32);
    uint32_t right = static_cast<uint32_t>(plain);
    cipher.EncryptBlock(&left, &right);
    EXPECT_EQ((static_cast<uint64_t>(left) << 32) | right, FromHex64(v.cipher)) << v.key;
    cipher.DecryptBlock(&left, &right);
    EXPECT_EQ((static_cast<uint64_t>(left) << 32) | right, plain) << v.key;
  }
}

TEST(BlowfishTest, TextKeyVector) {
  const std::string key = "abcdefghijklmnopqrstuvwxyz";
  const Blowfish cipher = Keyed(std::vector<uint8_t>(key.begin(), key.end()));
  uint32_t left = 0x424C4F57;   // "BLOW"
  uint32_t right = 0x46495348;  // "FISH"
  cipher.EncryptBlock(&left, &right);
  EXPECT_EQ(left, 0x324ED0FEu);
  EXPECT_EQ(right, 0xF413A203u);
}

// Each block's halves are read and written little-endian: the published plain block
// 1000000000000001 is the byte sequence 00 00 00 10 01 00 00 00, and its cipher block 7D856F9A
// 613063F2 comes out as 9A 6F 85 7D F2 63 30 61.
TEST(BlowfishTest, BlockHalvesAreLittleEndianInTheByteVectors) {
  const Blowfish cipher = Keyed(FromHex("3000000000000000"));
  const std::vector<uint8_t> out = cipher.Encrypt(FromHex("0000001001000000"));
  ASSERT_EQ(out.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 8), FromHex("9A6F857DF2633061"));
}

TEST(BlowfishTest, EncryptAlwaysPadsOneToEightBytesAndDecryptRemovesThem) {
  const Blowfish cipher = Keyed(FromHex("0123456789ABCDEF"));
  for (std::size_t length = 0; length <= 24; ++length) {
    std::vector<uint8_t> plain(length);
    for (std::size_t i = 0; i < length; ++i)
      plain[i] = static_cast<uint8_t>(i * 37 + 1);
    const std::vector<uint8_t> sealed = cipher.Encrypt(plain);
    EXPECT_EQ(sealed.size(), (length / 8 + 1) * 8) << length;
    EXPECT_EQ(cipher.Decrypt(sealed), plain) << length;
  }
}

TEST(BlowfishTest, EmptyInputEncryptsToOneBlockOfPadding) {
  const Blowfish cipher = Keyed(FromHex("0123456789ABCDEF"));
  const std::vector<uint8_t> sealed = cipher.Encrypt({});
  ASSERT_EQ(sealed.size(), 8u);
  uint32_t left =
      sealed[0] | sealed[1] << 8 | sealed[2] << 16 | static_cast<uint32_t>(sealed[3]) << 24;
  uint32_t right =
      sealed[4] | sealed[5] << 8 | sealed[6] << 16 | static_cast<uint32_t>(sealed[7]) << 24;
  cipher.DecryptBlock(&left, &right);
  EXPECT_EQ(left, 0x08080808u);
  EXPECT_EQ(right, 0x08080808u);
  EXPECT_TRUE(cipher.Decrypt(sealed).empty());
  EXPECT_TRUE(cipher.Decrypt({}).empty());
}

// Decrypt of blocks whose plaintext ends in the given bytes: what padding, if any, comes off.
TEST(BlowfishTest, DecryptRemovesOnlyValidPadding) {
  const Blowfish cipher = Keyed(FromHex("FEDCBA9876543210"));
  struct Case {
    const char* plain_hex;  // whole blocks, encrypted without padding
    std::size_t kept;
  };
  const Case cases[] = {
      {"4142434445464701", 7},                  // one byte of 1
      {"4142434445460202", 6},                  //
      {"0808080808080808", 0},                  // a whole block of padding
      {"41424344454647480808080808080808", 8},  //
      {"4142434445464700", 8},                  // 0 is not padding
      {"4142434445464709", 8},                  // above 8
      {"4142434445460302", 8},                  // 2 announced, bytes differ
      {"4142434403030303", 5},                  // more equal bytes than announced
      {"0909090909090909", 8},                  //
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> plain = FromHex(c.plain_hex);
    std::vector<uint8_t> sealed = cipher.Encrypt(plain);
    sealed.resize(plain.size());  // drop the block that Encrypt's own padding filled
    const std::vector<uint8_t> back = cipher.Decrypt(sealed);
    EXPECT_EQ(back, std::vector<uint8_t>(plain.begin(), plain.begin() + c.kept)) << c.plain_hex;
  }
}

TEST(BlowfishTest, TrailingPartialBlockIsKeptAsItWas) {
  const Blowfish cipher = Keyed(FromHex("FEDCBA9876543210"));
  std::vector<uint8_t> sealed = cipher.Encrypt(FromHex("41424344454647"));  // 7 bytes + 1 pad
  const std::vector<uint8_t> tail = FromHex("AABBCC07");
  sealed.insert(sealed.end(), tail.begin(), tail.end());
  const std::vector<uint8_t> back = cipher.Decrypt(sealed);
  // 7 is the last byte, but the bytes before it are not all 7: nothing is removed.
  ASSERT_EQ(back.size(), 12u);
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 8), FromHex("4142434445464701"));
  EXPECT_EQ(std::vector<uint8_t>(back.begin() + 8, back.end()), tail);

  const std::vector<uint8_t> short_tail = FromHex("0101");
  EXPECT_EQ(cipher.Decrypt(short_tail), FromHex("01"));  // no whole block; padding test still runs
}

}  // namespace
