// The payload key: the gate's hello reply carries key bytes, and both ends key Blowfish with
// those bytes followed by this fixed suffix.
#pragma once

#include <string>

namespace qv {

inline constexpr char kPayloadKeySuffix[] = "Tv#8k2Qz";
static_assert(sizeof(kPayloadKeySuffix) == 8 + 1, "the suffix is 8 characters");

// The bytes the cipher is keyed with.
inline std::string PayloadKeyMaterial(const std::string& encrypt_key) {
  return encrypt_key + kPayloadKeySuffix;
}

}  // namespace qv
