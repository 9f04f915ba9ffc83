#include "gateclient/net/packet_frame.h"

#include "gateclient/net/frame_limits.h"

namespace gateframe {
namespace {

void PutU16(std::string* out, uint16_t v) {
  out->push_back(static_cast<char>(v >> 8));
  out->push_back(static_cast<char>(v & 0xff));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint32_t GetU32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

}  // namespace

bool EncodeFrame(const PacketFrame& frame, std::string* out) {
  const bool with_text = !frame.text.empty() && frame.text.size() <= kMaxTextBytes;
  const uint64_t text_bytes = with_text ? frame.text.size() : 0;
  const uint64_t header_length = kMinHeaderLength + text_bytes;
  const uint64_t length = 2 + header_length + frame.payload.size();
  if (length + kLengthPrefixBytes > kMaxFrameBytes) return false;
  out->reserve(out->size() + kLengthPrefixBytes + length);
  PutU16(out, static_cast<uint16_t>(length >> 16));
  PutU16(out, static_cast<uint16_t>(length & 0xffff));
  PutU16(out, static_cast<uint16_t>(header_length));
  out->push_back(static_cast<char>(frame.tag1));
  out->push_back(static_cast<char>(frame.tag2));
  PutU16(out, frame.kind);
  PutU16(out, frame.subid);
  if (with_text) out->append(frame.text);
  out->append(frame.payload);
  return true;
}

DecodeError DecodeFrame(const void* bytes, size_t n, PacketFrame* out) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  // Every field up to the subid must be inside the bytes before any of it is read.
  if (n < kLengthPrefixBytes + kMinFrameLength) return DecodeError::kShorterThanHeader;
  if (n > kMaxFrameBytes) return DecodeError::kTooLong;
  const uint64_t length = GetU32(p);
  if (length + kLengthPrefixBytes != n) return DecodeError::kLengthMismatch;
  const uint64_t header_length = GetU16(p + 4);
  if (header_length < kMinHeaderLength || header_length + 2 > length) {
    return DecodeError::kBadHeaderLength;
  }
  out->tag1 = p[6];
  out->tag2 = p[7];
  out->kind = GetU16(p + 8);
  out->subid = GetU16(p + 10);
  const uint64_t text_bytes = header_length - kMinHeaderLength;
  if (text_bytes >= 1 && text_bytes <= kMaxTextBytes) {
    out->text.assign(reinterpret_cast<const char*>(p + 12), text_bytes);
  } else {
    out->text.clear();
  }
  const uint64_t payload_at = kLengthPrefixBytes + 2 + header_length;
  out->payload.assign(reinterpret_cast<const char*>(p + payload_at), n - payload_at);
  return DecodeError::kNone;
}

const char* DecodeErrorName(DecodeError error) {
  switch (error) {
    case DecodeError::kNone:
      return "none";
    case DecodeError::kShorterThanHeader:
      return "shorter than header";
    case DecodeError::kLengthMismatch:
      return "length mismatch";
    case DecodeError::kTooLong:
      return "too long";
    case DecodeError::kBadHeaderLength:
      return "bad header length";
  }
  return "?";
}

}  // namespace gateframe
