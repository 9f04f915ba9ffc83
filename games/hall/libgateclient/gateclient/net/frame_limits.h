// Size limits of a gate frame, shared by the connection manager's frame cutter and the frame codec.
//
//   | u32 L | u16 H | 'c' 'h' | u16 kind | u16 subid | text (H-6) | payload (L-H-2) |
//   0       4       6         8          10          12
#pragma once

#include <cstdint>

namespace gateframe {

// The big-endian length prefix in front of every frame.
inline constexpr uint32_t kLengthPrefixBytes = 4;
// Header bytes after the header-length field when the frame carries no text.
inline constexpr uint32_t kMinHeaderLength = 6;
// The smallest length prefix a frame can carry: the header-length field and a header without text.
inline constexpr uint32_t kMinFrameLength = 2 + kMinHeaderLength;
// The largest whole frame (prefix included) accepted in either direction; a peer announcing more
// is cut off rather than trusted with our memory.
inline constexpr uint64_t kMaxFrameBytes = 16u * 1024u * 1024u;
// A frame text is written only when it is 1 to this many bytes long.
inline constexpr uint32_t kMaxTextBytes = 254;

}  // namespace gateframe
