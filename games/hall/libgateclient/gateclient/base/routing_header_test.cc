#include "gateclient/base/routing_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A header whose every field holds a distinct value, so a field written at the wrong offset shows.
RoutingHeader DistinctHeader() {
  RoutingHeader h;
  h.from_connection = 0x01;
  h.reserved_a[0] = 0x04030201;
  h.reserved_a[1] = 0x08070605;
  h.reserved_a[2] = 0x0C0B0A09;
  h.connid = 0x1817161514131211ull;
  h.apptype = 0x1C1B1A19;
  h.appid = 0x201F1E1D;
  h.reserved_b = 0x24232221;
  h.reserved_c = 0x25;
  h.reserved_d = 0x2C2B2A29;
  h.conn_context = 0x302F2E2D;
  for (int i = 0; i < 5; ++i)
    h.reserved_e[i] = 0x34333231u + 0x04040404u * i;
  return h;
}

TEST(RoutingHeaderTest, EncodesEveryFieldAtItsOffsetLittleEndian) {
  uint8_t out[kRoutingHeaderSize];
  std::fill(out, out + kRoutingHeaderSize, 0xEE);
  EncodeRoutingHeader(DistinctHeader(), out);

  const std::vector<uint8_t> expected = {
      0x01, 0,    0,    0,                             // from_connection + padding
      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // reserved_a
      0x09, 0x0A, 0x0B, 0x0C,                          //
      0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,  // connid
      0x19, 0x1A, 0x1B, 0x1C,                          // apptype
      0x1D, 0x1E, 0x1F, 0x20,                          // appid
      0x21, 0x22, 0x23, 0x24,                          // reserved_b
      0x25, 0,    0,    0,                             // reserved_c + padding
      0x29, 0x2A, 0x2B, 0x2C,                          // reserved_d
      0x2D, 0x2E, 0x2F, 0x30,                          // conn_context
      0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38,  // reserved_e
      0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40,  //
      0x41, 0x42, 0x43, 0x44,                          //
      0,    0,    0,    0};                            // padding
  ASSERT_EQ(expected.size(), kRoutingHeaderSize);
  EXPECT_EQ(std::vector<uint8_t>(out, out + kRoutingHeaderSize), expected);
}

TEST(RoutingHeaderTest, DecodeRoundTripsAndIgnoresPadding) {
  uint8_t bytes[kRoutingHeaderSize];
  EncodeRoutingHeader(DistinctHeader(), bytes);
  for (int pad : {1, 2, 3, 37, 38, 39, 68, 69, 70, 71})
    bytes[pad] = 0xFF;

  RoutingHeader back;
  ASSERT_TRUE(DecodeRoutingHeader(bytes, sizeof bytes, &back));
  EXPECT_EQ(back, DistinctHeader());
}

TEST(RoutingHeaderTest, DecodeRejectsShortInputAndLeavesHeaderAlone) {
  uint8_t bytes[kRoutingHeaderSize];
  EncodeRoutingHeader(DistinctHeader(), bytes);
  for (std::size_t size = 0; size < kRoutingHeaderSize; ++size) {
    RoutingHeader h;
    h.appid = 7;
    EXPECT_FALSE(DecodeRoutingHeader(bytes, size, &h)) << size;
    EXPECT_EQ(h.appid, 7u);
  }
  RoutingHeader h;
  EXPECT_FALSE(DecodeRoutingHeader(nullptr, kRoutingHeaderSize, &h));
}

TEST(RoutingHeaderTest, DefaultHeaderEncodesAsZeroBytes) {
  uint8_t out[kRoutingHeaderSize];
  std::fill(out, out + kRoutingHeaderSize, 0xEE);
  EncodeRoutingHeader(RoutingHeader{}, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + kRoutingHeaderSize),
            std::vector<uint8_t>(kRoutingHeaderSize, 0));
}

}  // namespace
