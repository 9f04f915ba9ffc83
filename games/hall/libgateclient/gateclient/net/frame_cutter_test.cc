#include "gateclient/net/frame_cutter.h"

#include <gtest/gtest.h>

#include <vector>

#include "gateclient/net/frame_limits.h"

namespace gateframe {
namespace {

struct CutCase {
  const char* name;
  std::vector<uint8_t> prefix;
  size_t buffered;
  CutResult expected;
  uint64_t frame_bytes;  // when expected is kFrame or kNeedMore with a known length
};

TEST(FrameCutterTest, Table) {
  const std::vector<CutCase> cases = {
      {"nothing yet", {}, 0, CutResult::kNeedMore, 0},
      {"three prefix bytes", {0, 0, 0}, 3, CutResult::kNeedMore, 0},
      // Too short for a header, yet cut as frames: the decoder rejects them.
      {"length 0 is the prefix alone", {0, 0, 0, 0}, 4, CutResult::kFrame, 4},
      {"length 1, body not yet here", {0, 0, 0, 1}, 4, CutResult::kNeedMore, 5},
      {"length 7", {0, 0, 0, 7}, 11, CutResult::kFrame, 11},
      {"smallest frame, complete", {0, 0, 0, 8}, 12, CutResult::kFrame, 12},
      {"smallest frame, one byte short", {0, 0, 0, 8}, 11, CutResult::kNeedMore, 12},
      {"frame followed by more bytes", {0, 0, 0, 10}, 100, CutResult::kFrame, 14},
      {"largest frame", {0x00, 0xff, 0xff, 0xfc}, kMaxFrameBytes, CutResult::kFrame,
       kMaxFrameBytes},
      {"one over the cap", {0x00, 0xff, 0xff, 0xfd}, 4, CutResult::kLengthTooLong, 0},
      // 2^32-4 and above would wrap a 32-bit L + 4 to a tiny frame.
      {"2^32-4 does not wrap", {0xff, 0xff, 0xff, 0xfc}, 4, CutResult::kLengthTooLong, 0},
      {"2^32-1 does not wrap", {0xff, 0xff, 0xff, 0xff}, 4, CutResult::kLengthTooLong, 0},
  };
  for (const CutCase& c : cases) {
    uint64_t frame_bytes = 0;
    EXPECT_EQ(CutFrame(c.prefix.data(), c.buffered, &frame_bytes), c.expected)
        << c.name << ": got " << CutResultName(CutFrame(c.prefix.data(), c.buffered, &frame_bytes));
    if (c.expected == CutResult::kFrame || c.frame_bytes != 0) {
      EXPECT_EQ(frame_bytes, c.frame_bytes) << c.name;
    }
  }
}

}  // namespace
}  // namespace gateframe
