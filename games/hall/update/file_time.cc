#include "games/hall/update/file_time.h"

#include <limits>

namespace hall {

int64_t FileTimeFromUnixSeconds(int64_t seconds) {
  constexpr int64_t kMax =
      std::numeric_limits<int64_t>::max() / kFileTimeUnitsPerSecond - kFileTimeEpochOffsetSeconds;
  constexpr int64_t kMin = -kFileTimeEpochOffsetSeconds;
  if (seconds > kMax)
    seconds = kMax;
  if (seconds < kMin)
    seconds = kMin;
  return (seconds + kFileTimeEpochOffsetSeconds) * kFileTimeUnitsPerSecond;
}

int CompareFileTimes(int64_t a, int64_t b) {
  const __int128 d = static_cast<__int128>(a) - b;
  if (d >= -kFileTimeTolerance && d < kFileTimeTolerance)
    return 0;
  return d < 0 ? -1 : 1;
}

}  // namespace hall
