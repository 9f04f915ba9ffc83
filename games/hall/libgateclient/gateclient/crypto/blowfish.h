// The Blowfish block cipher (16 rounds) in ECB mode with byte-vector entry points: the gate's
// payload transform and the scrambling of saved passwords.
//
// Byte order, on which the gate and stored passwords depend: an 8-byte block is two 32-bit words
// read little-endian (left half from bytes 0-3, right half from bytes 4-7) and written back the
// same way. The key schedule packs key bytes most significant first, as the standard does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Blowfish {
 public:
  static constexpr std::size_t kBlockSize = 8;

  // The standard key schedule over `length` key bytes, taken cyclically. Fills the whole context.
  // REQUIRES: length >= 1.
  void SetKey(const uint8_t* key, std::size_t length);

  // Pads `in` with n bytes of value n (n = 8 - length % 8, so 1 to 8) and encrypts every block
  // independently.
  std::vector<uint8_t> Encrypt(const std::vector<uint8_t>& in) const;
  // Decrypts every whole block (trailing bytes of a partial block stay as they are), then removes
  // the padding when the last byte n is 1..8 and the last n bytes all equal n; otherwise nothing
  // is removed. Bad padding is not an error.
  std::vector<uint8_t> Decrypt(const std::vector<uint8_t>& in) const;

  // One block as its two words, left and right.
  void EncryptBlock(uint32_t* left, uint32_t* right) const;
  void DecryptBlock(uint32_t* left, uint32_t* right) const;

 private:
  static constexpr int kRounds = 16;

  uint32_t F(uint32_t x) const {
    return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
  }

  uint32_t p_[kRounds + 2];
  uint32_t s_[4][256];
};
