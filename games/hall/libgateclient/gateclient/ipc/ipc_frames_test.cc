#include "gateclient/ipc/ipc_frames.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

TEST(IpcFramesTest, HallFrameBytesAtTheirOffsets) {
  HallFrame f;
  f.type = kIpcFrameConnectionState;
  for (size_t i = 0; i < kIpcRoutingBytes; ++i)
    f.routing[i] = static_cast<unsigned char>(i + 1);
  f.kind = 9;
  f.subid = 0x0102;
  std::string b = EncodeHallFrame(f);
  ASSERT_EQ(b.size(), 80u) << "a connection-state frame has no body";
  EXPECT_EQ(b.substr(0, 4), std::string("\x01\0\0\0", 4));
  EXPECT_EQ(static_cast<unsigned char>(b[4]), 1);
  EXPECT_EQ(static_cast<unsigned char>(b[75]), 72);
  EXPECT_EQ(b.substr(76, 4), std::string("\x09\0\x02\x01", 4));
  f.type = kIpcFrameMessage;
  f.body = "xyz";
  auto back = DecodeHallFrame(EncodeHallFrame(f));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->type, 0u);
  EXPECT_EQ(back->routing, f.routing);
  EXPECT_EQ(back->kind, 9);
  EXPECT_EQ(back->subid, 0x0102);
  EXPECT_EQ(back->body, "xyz");
}

TEST(IpcFramesTest, GameFrameOfFourPayloadBytes) {
  std::string b = EncodeGameFrame({0, 14, 3, "abcd"});
  EXPECT_EQ(b, std::string("\0\0\0\0\x0e\0\x03\0abcd", 12));
  auto f = DecodeGameFrame(b);
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->kind, 14);
  EXPECT_EQ(f->subid, 3);
  EXPECT_EQ(f->payload, "abcd");
}

TEST(IpcFramesTest, EveryTruncatedHeaderIsRefused) {
  std::string hall = EncodeHallFrame(HallFrame{});
  for (size_t n = 0; n < kHallFrameHeaderBytes; ++n) {
    EXPECT_FALSE(DecodeHallFrame(std::string_view(hall).substr(0, n)).has_value()) << n;
  }
  EXPECT_TRUE(DecodeHallFrame(hall).has_value());
  std::string game = EncodeGameFrame(GameFrame{});
  for (size_t n = 0; n < kGameFrameHeaderBytes; ++n) {
    EXPECT_FALSE(DecodeGameFrame(std::string_view(game).substr(0, n)).has_value()) << n;
  }
  EXPECT_TRUE(DecodeGameFrame(game).has_value());
}

}  // namespace
}  // namespace qvc
