#include "gateclient/base/routing_header.h"

#include <cstring>

namespace {

void PutU32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutU64(uint8_t* out, uint64_t v) {
  for (int i = 0; i < 8; ++i)
    out[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* in) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | in[i];
  return v;
}

uint64_t GetU64(const uint8_t* in) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i)
    v = (v << 8) | in[i];
  return v;
}

}  // namespace

void EncodeRoutingHeader(const RoutingHeader& h, uint8_t out[kRoutingHeaderSize]) {
  std::memset(out, 0, kRoutingHeaderSize);
  out[0] = h.from_connection;
  for (int i = 0; i < 3; ++i)
    PutU32(out + 4 + 4 * i, h.reserved_a[i]);
  PutU64(out + 16, h.connid);
  PutU32(out + 24, h.apptype);
  PutU32(out + 28, h.appid);
  PutU32(out + 32, h.reserved_b);
  out[36] = h.reserved_c;
  PutU32(out + 40, h.reserved_d);
  PutU32(out + 44, h.conn_context);
  for (int i = 0; i < 5; ++i)
    PutU32(out + 48 + 4 * i, h.reserved_e[i]);
}

bool DecodeRoutingHeader(const void* data, std::size_t size, RoutingHeader* header) {
  if (data == nullptr || size < kRoutingHeaderSize)
    return false;
  const auto* in = static_cast<const uint8_t*>(data);
  RoutingHeader h;
  h.from_connection = in[0];
  for (int i = 0; i < 3; ++i)
    h.reserved_a[i] = GetU32(in + 4 + 4 * i);
  h.connid = GetU64(in + 16);
  h.apptype = GetU32(in + 24);
  h.appid = GetU32(in + 28);
  h.reserved_b = GetU32(in + 32);
  h.reserved_c = in[36];
  h.reserved_d = GetU32(in + 40);
  h.conn_context = GetU32(in + 44);
  for (int i = 0; i < 5; ++i)
    h.reserved_e[i] = GetU32(in + 48 + 4 * i);
  *header = h;
  return true;
}
