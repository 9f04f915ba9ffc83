#include "gateclient/crypto/base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of an alphabet character, or -1.
int Sextet(unsigned char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

}  // namespace

int Base64Encode(char* out, std::size_t capacity, const uint8_t* in, std::size_t length) {
  const std::size_t needed = Base64EncodedSize(length);
  if (capacity < needed || needed > static_cast<std::size_t>(INT32_MAX))
    return -1;
  char* o = out;
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t v = static_cast<uint32_t>(in[i]) << 16 | in[i + 1] << 8 | in[i + 2];
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[(v >> 12) & 63];
    *o++ = kAlphabet[(v >> 6) & 63];
    *o++ = kAlphabet[v & 63];
  }
  if (i < length) {
    const bool two = i + 1 < length;
    const uint32_t v = static_cast<uint32_t>(in[i]) << 16 | (two ? in[i + 1] << 8 : 0);
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[(v >> 12) & 63];
    *o++ = two ? kAlphabet[(v >> 6) & 63] : '=';
    *o++ = '=';
  }
  *o++ = '\0';
  return static_cast<int>(o - out);
}

int Base64Decode(char* out, std::size_t capacity, const char* in) {
  std::size_t run = 0;
  while (Sextet(static_cast<unsigned char>(in[run])) >= 0)
    ++run;
  const std::size_t tail = run % 4;
  const std::size_t bytes = run / 4 * 3 + (tail >= 2 ? tail - 1 : 0);
  if (bytes >= capacity || bytes > static_cast<std::size_t>(INT32_MAX)) {
    if (capacity > 0)
      out[0] = '\0';
    return -1;
  }
  auto* o = reinterpret_cast<unsigned char*>(out);
  uint32_t acc = 0;
  int held = 0;  // sextets in acc
  for (std::size_t i = 0; i < run; ++i) {
    acc = (acc << 6) | static_cast<uint32_t>(Sextet(static_cast<unsigned char>(in[i])));
    if (++held == 4) {
      *o++ = static_cast<unsigned char>(acc >> 16);
      *o++ = static_cast<unsigned char>(acc >> 8);
      *o++ = static_cast<unsigned char>(acc);
      acc = 0;
      held = 0;
    }
  }
  if (held == 2) {
    *o++ = static_cast<unsigned char>(acc >> 4);
  } else if (held == 3) {
    *o++ = static_cast<unsigned char>(acc >> 10);
    *o++ = static_cast<unsigned char>(acc >> 2);
  }
  *o = '\0';
  return static_cast<int>(bytes);
}
