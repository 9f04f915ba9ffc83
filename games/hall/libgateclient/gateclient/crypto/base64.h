// Base64 text coding (RFC 4648, standard alphabet, '=' padding) into caller-provided buffers whose
// capacity is always given, so stored or received text can never write past them.
#pragma once

#include <cstddef>
#include <cstdint>

// Characters Base64Encode writes for `length` bytes, its terminating NUL included.
constexpr std::size_t Base64EncodedSize(std::size_t length) {
  return (length + 2) / 3 * 4 + 1;
}

// Writes the base64 text of `in` and a NUL into `out`. Returns the characters written with the
// NUL, or -1 (writing nothing) when `capacity` is below Base64EncodedSize(length).
int Base64Encode(char* out, std::size_t capacity, const uint8_t* in, std::size_t length);

// Decodes the longest leading run of alphabet characters of the NUL-terminated `in` (the run ends
// at the first other byte: '=', NUL, a line break...): 3 bytes per group of 4, 1 for a trailing
// pair, 2 for a trailing triple, nothing for a single trailing character. Writes the bytes and a
// NUL into `out` and returns the number of bytes. Returns -1 when they and the NUL do not fit in
// `capacity` (then only a NUL is written, if there is room for it).
int Base64Decode(char* out, std::size_t capacity, const char* in);
