#include "gateclient/net/frame_cutter.h"

#include "gateclient/net/frame_limits.h"

namespace gateframe {

CutResult CutFrame(const uint8_t* prefix, size_t buffered, uint64_t* frame_bytes) {
  if (buffered < kLengthPrefixBytes) return CutResult::kNeedMore;
  const uint64_t length = (uint64_t{prefix[0]} << 24) | (uint64_t{prefix[1]} << 16) |
                          (uint64_t{prefix[2]} << 8) | uint64_t{prefix[3]};
  const uint64_t total = length + kLengthPrefixBytes;
  if (total > kMaxFrameBytes) return CutResult::kLengthTooLong;
  *frame_bytes = total;
  return buffered < total ? CutResult::kNeedMore : CutResult::kFrame;
}

const char* CutResultName(CutResult result) {
  switch (result) {
    case CutResult::kNeedMore:
      return "need more";
    case CutResult::kFrame:
      return "frame";
    case CutResult::kLengthTooLong:
      return "length too long";
  }
  return "?";
}

}  // namespace gateframe
