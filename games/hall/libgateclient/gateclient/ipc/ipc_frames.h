// The frames the hall and a game client exchange over the channel; one frame per queue message,
// integers little-endian.
//
//   hall -> game: | u32 type | 72-byte routing header | u16 kind | u16 subid | body |
//   game -> hall: | u32 type | u16 kind | u16 subid | payload |
//
// Type 1 (hall -> game) carries a connection-state command and no body; type 0 a message.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvc {

inline constexpr uint32_t kIpcFrameMessage = 0;
inline constexpr uint32_t kIpcFrameConnectionState = 1;
inline constexpr size_t kIpcRoutingBytes = 72;
inline constexpr size_t kHallFrameHeaderBytes = 4 + kIpcRoutingBytes + 2 + 2;  // 80
inline constexpr size_t kGameFrameHeaderBytes = 4 + 2 + 2;                     // 8

struct HallFrame {
  uint32_t type = kIpcFrameMessage;
  std::array<unsigned char, kIpcRoutingBytes> routing{};
  uint16_t kind = 0;
  uint16_t subid = 0;
  std::string body;
};

struct GameFrame {
  uint32_t type = kIpcFrameMessage;
  uint16_t kind = 0;
  uint16_t subid = 0;
  std::string payload;
};

std::string EncodeHallFrame(const HallFrame& frame);
// Empty when the bytes are shorter than the frame header.
std::optional<HallFrame> DecodeHallFrame(std::string_view bytes);

std::string EncodeGameFrame(const GameFrame& frame);
std::optional<GameFrame> DecodeGameFrame(std::string_view bytes);

}  // namespace qvc
