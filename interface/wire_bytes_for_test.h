#ifndef INTERFACE_WIRE_BYTES_FOR_TEST_H_
#define INTERFACE_WIRE_BYTES_FOR_TEST_H_

// Hand-built protobuf encodings for the wire tests, so expected bytes are written independently
// of the runtime that is under test.

#include <cstdint>
#include <cstdio>
#include <string>

namespace wire_test {

enum WireType : int { kVarint = 0, kFixed64 = 1, kLengthDelimited = 2, kFixed32 = 5 };

inline std::string Varint(std::uint64_t value) {
  std::string out;
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
  return out;
}

inline std::string Tag(int field, WireType type) {
  return Varint((static_cast<std::uint64_t>(field) << 3) | type);
}

// One varint field (for signed plain-varint fields pass the value cast to uint64).
inline std::string VarintField(int field, std::uint64_t value) {
  return Tag(field, kVarint) + Varint(value);
}

inline std::string BytesField(int field, const std::string& bytes) {
  return Tag(field, kLengthDelimited) + Varint(bytes.size()) + bytes;
}

// Varints of all elements in one length-delimited field, the packed form of a repeated scalar.
template <typename... Values>
std::string PackedField(int field, Values... values) {
  std::string payload = (std::string() + ... + Varint(static_cast<std::uint64_t>(values)));
  return BytesField(field, payload);
}

inline std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x ", c);
    out += buf;
  }
  if (!out.empty())
    out.pop_back();
  return out;
}

}  // namespace wire_test

#endif  // INTERFACE_WIRE_BYTES_FOR_TEST_H_
