// The constants of the Blowfish key schedule.
#pragma once

#include <cstdint>

namespace crypto_internal {

extern const uint32_t kPiP[18];
extern const uint32_t kPiS[4][256];

}  // namespace crypto_internal
