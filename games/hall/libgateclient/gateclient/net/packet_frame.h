// The gate frame (`PacketFrame`) codec, on plain fields so that both ends of the gate link (the
// hall and the test gate) share one definition of the byte layout (see frame_limits.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gateframe {

struct PacketFrame {
  uint8_t tag1 = 'c';
  uint8_t tag2 = 'h';
  uint16_t kind = 0;
  uint16_t subid = 0;
  std::string text;     // written only when 1 to kMaxTextBytes long
  std::string payload;  // the message bytes
};

enum class DecodeError {
  kNone,
  kShorterThanHeader,  // fewer bytes than a length prefix and a minimal header
  kLengthMismatch,     // the length prefix does not account for exactly the bytes given
  kTooLong,            // more than kMaxFrameBytes
  kBadHeaderLength,    // header length below 6 or past the end of the frame
};

// Appends the encoded frame to `out`. False (out untouched) when the frame would exceed
// kMaxFrameBytes.
bool EncodeFrame(const PacketFrame& frame, std::string* out);

// Decodes one whole frame of `n` bytes. On an error `out` is left untouched. Tag bytes are taken
// as they stand; a text of 0 or more than kMaxTextBytes bytes is skipped, leaving the text empty.
DecodeError DecodeFrame(const void* bytes, size_t n, PacketFrame* out);

const char* DecodeErrorName(DecodeError error);

}  // namespace gateframe
