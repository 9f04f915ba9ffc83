// MD5 digests (RFC 1321) as lower-case hexadecimal text: the login password field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The 16-byte digest of `length` bytes at `data`.
std::array<uint8_t, 16> Md5Digest(const void* data, std::size_t length);

// The digest as 32 lower-case hexadecimal digits.
std::string Md5Hex(const void* data, std::size_t length);
