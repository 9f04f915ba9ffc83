// The routing header every command carries: which gate connection it came from or goes to and which
// peer application it is for. It crosses the process boundary inside the game IPC frame, so its
// 72-byte little-endian layout is fixed byte for byte and is written and read only through
// EncodeRoutingHeader / DecodeRoutingHeader, never by copying the struct.
//
//   offset  size  field
//        0     1  from_connection
//        1     3  padding (zero)
//        4    12  reserved_a[3]
//       16     8  connid
//       24     4  apptype
//       28     4  appid
//       32     4  reserved_b
//       36     1  reserved_c
//       37     3  padding (zero)
//       40     4  reserved_d
//       44     4  conn_context
//       48    20  reserved_e[5]
//       68     4  padding (zero)
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kRoutingHeaderSize = 72;

// The reserved words are zero in commands the hall builds and are carried unchanged otherwise.
struct RoutingHeader {
  uint8_t from_connection = 0;  // 1 when the network agent built the command
  uint32_t reserved_a[3] = {};
  uint64_t connid = 0;   // gate connection the command came from or goes to
  uint32_t apptype = 0;  // peer application type
  uint32_t appid = 0;    // peer application id
  uint32_t reserved_b = 0;
  uint8_t reserved_c = 0;
  uint32_t reserved_d = 0;
  uint32_t conn_context = 0;  // user context the connection was opened with
  uint32_t reserved_e[5] = {};

  bool operator==(const RoutingHeader&) const = default;
};

// Writes the 72-byte wire form of `header` to `out`; padding bytes are written as zero.
void EncodeRoutingHeader(const RoutingHeader& header, uint8_t out[kRoutingHeaderSize]);

// Reads a header from the first 72 bytes of `data`. Padding bytes are ignored. False (and `header`
// untouched) when `size` is below 72.
bool DecodeRoutingHeader(const void* data, std::size_t size, RoutingHeader* header);
