// Cuts a received byte stream into whole frames by their 4-byte big-endian length prefix, and
// rejects prefixes over the frame cap before any byte of the frame is buffered for it. A prefix
// too short for a frame header still cuts a frame: the frame decoder rejects it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gateframe {

enum class CutResult {
  kNeedMore,      // the prefix or the rest of the frame has not arrived yet
  kFrame,         // a whole frame of *frame_bytes bytes (prefix included) is buffered
  kLengthTooLong,   // the prefix announces more than kMaxFrameBytes
};

// Looks at the start of the buffered input: `prefix` holds its first min(4, buffered) bytes.
// Computes in 64 bits, so no prefix value can wrap.
CutResult CutFrame(const uint8_t* prefix, size_t buffered, uint64_t* frame_bytes);

const char* CutResultName(CutResult result);

}  // namespace gateframe
