#include "gateclient/net/packet_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gateclient/net/frame_limits.h"

namespace gateframe {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

std::string Encode(const PacketFrame& frame) {
  std::string out;
  EXPECT_TRUE(EncodeFrame(frame, &out));
  return out;
}

TEST(PacketFrameTest, EncodesTheDocumentedLayout) {
  PacketFrame frame;
  frame.kind = 12;
  frame.subid = 1;
  frame.payload = "abc";
  EXPECT_EQ(Encode(frame), Bytes({0, 0, 0, 0x0b, 0, 6, 'c', 'h', 0, 0x0c, 0, 1}) + "abc");

  frame.text = "hi";
  EXPECT_EQ(Encode(frame), Bytes({0, 0, 0, 0x0d, 0, 8, 'c', 'h', 0, 0x0c, 0, 1}) + "hi" + "abc");
}

TEST(PacketFrameTest, TextsOfEveryBoundaryLength) {
  struct Case {
    size_t text_bytes;
    bool written;
  };
  for (const Case& c : std::vector<Case>{{0, false}, {1, true}, {254, true}, {255, false}}) {
    PacketFrame frame;
    frame.kind = 18;
    frame.subid = 14;
    frame.text.assign(c.text_bytes, 't');
    frame.payload = "payload";
    const std::string bytes = Encode(frame);
    const size_t header_length = 6 + (c.written ? c.text_bytes : 0);
    EXPECT_EQ(bytes.size(), 4 + 2 + header_length + frame.payload.size()) << c.text_bytes;
    PacketFrame back;
    ASSERT_EQ(DecodeFrame(bytes.data(), bytes.size(), &back), DecodeError::kNone) << c.text_bytes;
    EXPECT_EQ(back.text, c.written ? frame.text : "") << c.text_bytes;
    EXPECT_EQ(back.payload, frame.payload) << c.text_bytes;
    EXPECT_EQ(back.kind, 18);
    EXPECT_EQ(back.subid, 14);
  }
}

TEST(PacketFrameTest, DeclaredTextOf255BytesIsSkippedAndThePayloadFollowsIt) {
  std::string bytes = Bytes({0, 0, 0, 0, 1, 5, 'c', 'h', 0, 12, 0, 3});  // H = 6 + 255
  bytes += std::string(255, 'x') + "body";
  const uint32_t length = static_cast<uint32_t>(bytes.size() - 4);
  bytes[2] = static_cast<char>(length >> 8);
  bytes[3] = static_cast<char>(length & 0xff);
  PacketFrame frame;
  ASSERT_EQ(DecodeFrame(bytes.data(), bytes.size(), &frame), DecodeError::kNone);
  EXPECT_EQ(frame.text, "");
  EXPECT_EQ(frame.payload, "body");
}

TEST(PacketFrameTest, TagBytesAreTakenAsTheyStand) {
  const std::string bytes = Bytes({0, 0, 0, 8, 0, 6, 'x', 'y', 0, 12, 0, 2});
  PacketFrame frame;
  ASSERT_EQ(DecodeFrame(bytes.data(), bytes.size(), &frame), DecodeError::kNone);
  EXPECT_EQ(frame.tag1, 'x');
  EXPECT_EQ(frame.tag2, 'y');
  EXPECT_EQ(frame.payload, "");
}

TEST(PacketFrameTest, EveryTruncationOfAValidFrameIsRejectedUntouched) {
  PacketFrame frame;
  frame.kind = 12;
  frame.subid = 8;
  frame.text = "t";
  frame.payload = "payload bytes";
  const std::string bytes = Encode(frame);
  for (size_t n = 0; n < bytes.size(); ++n) {
    PacketFrame out;
    out.payload = "untouched";
    // A copy of exactly n bytes, so a read past them is caught by the sanitizer.
    const std::vector<char> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
    EXPECT_NE(DecodeFrame(cut.data(), n, &out), DecodeError::kNone) << n;
    EXPECT_EQ(out.payload, "untouched") << n;
  }
  PacketFrame whole;
  EXPECT_EQ(DecodeFrame(bytes.data(), bytes.size(), &whole), DecodeError::kNone);
  EXPECT_EQ(whole.payload, frame.payload);
}

TEST(PacketFrameTest, BadLengthsTable) {
  struct Case {
    const char* name;
    std::string bytes;
    DecodeError expected;
  };
  const std::vector<Case> cases = {
      {"length prefix 0 alone", Bytes({0, 0, 0, 0}), DecodeError::kShorterThanHeader},
      {"length prefix 1", Bytes({0, 0, 0, 1, 0}), DecodeError::kShorterThanHeader},
      {"length prefix 2, header length only", Bytes({0, 0, 0, 2, 0, 6}),
       DecodeError::kShorterThanHeader},
      {"prefix one more than given", Bytes({0, 0, 0, 9, 0, 6, 'c', 'h', 0, 12, 0, 1}),
       DecodeError::kLengthMismatch},
      {"prefix one less than given", Bytes({0, 0, 0, 8, 0, 6, 'c', 'h', 0, 12, 0, 1, 'p'}),
       DecodeError::kLengthMismatch},
      {"2^32-4 would wrap to 0", Bytes({0xff, 0xff, 0xff, 0xfc, 0, 6, 'c', 'h', 0, 12, 0, 1}),
       DecodeError::kLengthMismatch},
      {"header length 5", Bytes({0, 0, 0, 8, 0, 5, 'c', 'h', 0, 12, 0, 1}),
       DecodeError::kBadHeaderLength},
      {"header length 0", Bytes({0, 0, 0, 8, 0, 0, 'c', 'h', 0, 12, 0, 1}),
       DecodeError::kBadHeaderLength},
      {"header length past the frame", Bytes({0, 0, 0, 8, 0, 7, 'c', 'h', 0, 12, 0, 1}),
       DecodeError::kBadHeaderLength},
      {"header length 0xffff", Bytes({0, 0, 0, 8, 0xff, 0xff, 'c', 'h', 0, 12, 0, 1}),
       DecodeError::kBadHeaderLength},
  };
  for (const Case& c : cases) {
    PacketFrame out;
    const std::vector<char> exact(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(DecodeFrame(exact.data(), exact.size(), &out), c.expected)
        << c.name << ": " << DecodeErrorName(DecodeFrame(exact.data(), exact.size(), &out));
  }
}

TEST(PacketFrameTest, FramesOverTheCapAreNeitherEncodedNorDecoded) {
  PacketFrame frame;
  frame.payload.assign(kMaxFrameBytes - 12, 'p');
  std::string out;
  ASSERT_TRUE(EncodeFrame(frame, &out));
  EXPECT_EQ(out.size(), kMaxFrameBytes);
  PacketFrame back;
  EXPECT_EQ(DecodeFrame(out.data(), out.size(), &back), DecodeError::kNone);

  frame.payload.push_back('p');
  std::string over = "kept";
  EXPECT_FALSE(EncodeFrame(frame, &over));
  EXPECT_EQ(over, "kept");
  out.push_back('p');  // the prefix is now wrong too, but the size is refused first
  EXPECT_EQ(DecodeFrame(out.data(), out.size(), &back), DecodeError::kTooLong);
}

}  // namespace
}  // namespace gateframe
