#include "gateclient/ipc/ipc_frames.h"

#include <cstring>

namespace qvc {

namespace {

void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutU16(std::string* out, uint16_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>(v >> 8));
}

uint32_t GetU32(std::string_view b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

uint16_t GetU16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

}  // namespace

std::string EncodeHallFrame(const HallFrame& frame) {
  std::string out;
  out.reserve(kHallFrameHeaderBytes + frame.body.size());
  PutU32(&out, frame.type);
  out.append(reinterpret_cast<const char*>(frame.routing.data()), frame.routing.size());
  PutU16(&out, frame.kind);
  PutU16(&out, frame.subid);
  out += frame.body;
  return out;
}

std::optional<HallFrame> DecodeHallFrame(std::string_view bytes) {
  if (bytes.size() < kHallFrameHeaderBytes)
    return std::nullopt;
  HallFrame f;
  f.type = GetU32(bytes, 0);
  std::memcpy(f.routing.data(), bytes.data() + 4, kIpcRoutingBytes);
  f.kind = GetU16(bytes, 4 + kIpcRoutingBytes);
  f.subid = GetU16(bytes, 6 + kIpcRoutingBytes);
  f.body.assign(bytes.substr(kHallFrameHeaderBytes));
  return f;
}

std::string EncodeGameFrame(const GameFrame& frame) {
  std::string out;
  out.reserve(kGameFrameHeaderBytes + frame.payload.size());
  PutU32(&out, frame.type);
  PutU16(&out, frame.kind);
  PutU16(&out, frame.subid);
  out += frame.payload;
  return out;
}

std::optional<GameFrame> DecodeGameFrame(std::string_view bytes) {
  if (bytes.size() < kGameFrameHeaderBytes)
    return std::nullopt;
  GameFrame f;
  f.type = GetU32(bytes, 0);
  f.kind = GetU16(bytes, 4);
  f.subid = GetU16(bytes, 6);
  f.payload.assign(bytes.substr(kGameFrameHeaderBytes));
  return f;
}

}  // namespace qvc
