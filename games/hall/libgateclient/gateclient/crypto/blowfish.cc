#include "gateclient/crypto/blowfish.h"

#include <cstring>

#include "gateclient/crypto/blowfish_tables.h"

namespace {

uint32_t LoadLe(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

void StoreLe(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

void Blowfish::SetKey(const uint8_t* key, std::size_t length) {
  std::memcpy(p_, crypto_internal::kPiP, sizeof p_);
  std::memcpy(s_, crypto_internal::kPiS, sizeof s_);
  std::size_t at = 0;
  for (uint32_t& p : p_) {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
      word = (word << 8) | key[at];
      at = (at + 1) % length;
    }
    p ^= word;
  }
  uint32_t left = 0;
  uint32_t right = 0;
  for (int i = 0; i < kRounds + 2; i += 2) {
    EncryptBlock(&left, &right);
    p_[i] = left;
    p_[i + 1] = right;
  }
  for (auto& box : s_) {
    for (int i = 0; i < 256; i += 2) {
      EncryptBlock(&left, &right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

void Blowfish::EncryptBlock(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left;
  uint32_t r = *right;
  for (int i = 0; i < kRounds; i += 2) {
    l ^= p_[i];
    r ^= F(l);
    r ^= p_[i + 1];
    l ^= F(r);
  }
  *left = r ^ p_[kRounds + 1];
  *right = l ^ p_[kRounds];
}

void Blowfish::DecryptBlock(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left;
  uint32_t r = *right;
  for (int i = kRounds + 1; i > 1; i -= 2) {
    l ^= p_[i];
    r ^= F(l);
    r ^= p_[i - 1];
    l ^= F(r);
  }
  *left = r ^ p_[0];
  *right = l ^ p_[1];
}

std::vector<uint8_t> Blowfish::Encrypt(const std::vector<uint8_t>& in) const {
  const std::size_t pad = kBlockSize - in.size() % kBlockSize;
  std::vector<uint8_t> out(in);
  out.insert(out.end(), pad, static_cast<uint8_t>(pad));
  for (std::size_t at = 0; at < out.size(); at += kBlockSize) {
    uint32_t l = LoadLe(&out[at]);
    uint32_t r = LoadLe(&out[at + 4]);
    EncryptBlock(&l, &r);
    StoreLe(&out[at], l);
    StoreLe(&out[at + 4], r);
  }
  return out;
}

std::vector<uint8_t> Blowfish::Decrypt(const std::vector<uint8_t>& in) const {
  std::vector<uint8_t> out(in);
  for (std::size_t at = 0; at + kBlockSize <= out.size(); at += kBlockSize) {
    uint32_t l = LoadLe(&out[at]);
    uint32_t r = LoadLe(&out[at + 4]);
    DecryptBlock(&l, &r);
    StoreLe(&out[at], l);
    StoreLe(&out[at + 4], r);
  }
  if (out.empty())
    return out;
  const uint8_t pad = out.back();
  if (pad < 1 || pad > kBlockSize || pad > out.size())
    return out;
  for (std::size_t i = out.size() - pad; i < out.size(); ++i) {
    if (out[i] != pad)
      return out;
  }
  out.resize(out.size() - pad);
  return out;
}
