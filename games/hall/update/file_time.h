// File times as the update check-lists compare them: 100-nanosecond units since 1601-01-01 UTC
// (the unit the lists' comparison tolerance is defined in), converted from Unix seconds.
#pragma once

#include <cstdint>

namespace hall {

// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr int64_t kFileTimeEpochOffsetSeconds = 11'644'473'600;
inline constexpr int64_t kFileTimeUnitsPerSecond = 10'000'000;
// Two times closer than this compare as equal (file systems keep times at 2-second steps).
inline constexpr int64_t kFileTimeTolerance = 2 * kFileTimeUnitsPerSecond;

// The file time of `seconds` since 1970. Seconds outside what a file time can hold are clamped.
int64_t FileTimeFromUnixSeconds(int64_t seconds);

// -1, 0 or 1: 0 when a and b lie within the tolerance (-2 s <= a - b < 2 s), otherwise the sign
// of a - b. Correct for any two values (the difference does not overflow).
int CompareFileTimes(int64_t a, int64_t b);

}  // namespace hall
