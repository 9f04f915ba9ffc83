#include "gateclient/crypto/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Encode(const std::string& bytes, int* written = nullptr) {
  std::string out(Base64EncodedSize(bytes.size()), '?');
  const int n = Base64Encode(out.data(), out.size(), reinterpret_cast<const uint8_t*>(bytes.data()),
                             bytes.size());
  if (written != nullptr)
    *written = n;
  EXPECT_EQ(n, static_cast<int>(out.size()));
  EXPECT_EQ(out.back(), '\0');
  out.pop_back();
  return out;
}

TEST(Base64Test, EncodesTheRfcVectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xfb\xff\x00", 3), "+/8A"},
  };
  for (const auto& [bytes, text] : cases)
    EXPECT_EQ(Encode(bytes), text);
  int written = 0;
  Encode("abc", &written);
  EXPECT_EQ(written, 5);
}

TEST(Base64Test, EncodeRefusesTooSmallBuffers) {
  const uint8_t bytes[4] = {1, 2, 3, 4};
  char out[9];
  std::fill(out, out + sizeof out, '?');
  EXPECT_EQ(Base64Encode(out, 8, bytes, 4), -1);
  EXPECT_EQ(out[0], '?');
  EXPECT_EQ(Base64Encode(out, 9, bytes, 4), 9);
}

TEST(Base64Test, DecodesTheLeadingRunOfAlphabetCharacters) {
  struct Case {
    const char* text;
    std::string bytes;
  };
  const Case cases[] = {
      {"", ""},
      {"Zg==", "f"},
      {"Zm8=", "fo"},
      {"Zm9v", "foo"},
      {"Zm9vYmFy", "foobar"},
      {"Zm9vYg", "foob"},     // unpadded pair
      {"Zm9vYmE", "fooba"},   // unpadded triple
      {"Zm9vY", "foo"},       // a single trailing character yields nothing
      {"Zm9v\nYmFy", "foo"},  // stops at the line break
      {"=Zm9v", ""},          // starts with '='
      {"Zm9v YmFy", "foo"},   // stops at a blank
      {"+/8A", std::string("\xfb\xff\x00", 3)},
  };
  for (const Case& c : cases) {
    char out[16];
    const int n = Base64Decode(out, sizeof out, c.text);
    ASSERT_EQ(n, static_cast<int>(c.bytes.size())) << c.text;
    EXPECT_EQ(std::string(out, n), c.bytes) << c.text;
    EXPECT_EQ(out[n], '\0') << c.text;
  }
}

// Stored text longer than the caller's buffer must not be written past it.
TEST(Base64Test, DecodeRefusesWhatDoesNotFitWithItsNul) {
  struct Case {
    const char* text;
    std::size_t capacity;
    int result;
  };
  const Case cases[] = {
      {"Zm9vYmFy", 7, 6},   // six bytes and the NUL fit exactly
      {"Zm9vYmFy", 6, -1},  // no room for the NUL
      {"Zm9vYmFy", 1, -1}, {"Zm9vYmFy", 0, -1}, {"", 1, 0}, {"", 0, -1},
  };
  for (const Case& c : cases) {
    char out[8];
    std::fill(out, out + sizeof out, '?');
    EXPECT_EQ(Base64Decode(out, c.capacity, c.text), c.result) << c.text << " " << c.capacity;
    for (std::size_t i = c.capacity; i < sizeof out; ++i)
      EXPECT_EQ(out[i], '?') << i;
    if (c.result < 0 && c.capacity > 0) {
      EXPECT_EQ(out[0], '\0');
    }
  }
}

TEST(Base64Test, EveryByteValueRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  const std::string text = Encode(all);
  std::string back(all.size() + 1, '?');
  ASSERT_EQ(Base64Decode(back.data(), back.size(), text.c_str()), 256);
  back.pop_back();
  EXPECT_EQ(back, all);
}

}  // namespace
