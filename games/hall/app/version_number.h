// Version texts "a.b.c.d" as one 64-bit number that compares like the versions: the first part in
// bits 63-48, the second in 47-32, the third in 31-16, the fourth in 15-0.
//
// The text is split at each '.'; a part reads like C's atoi (leading blanks, a sign, the digits up
// to the first other character); an empty or unreadable part reads as 0; parts after the fourth
// are ignored. Each part keeps to its own 16 bits: a part above 65535 reads as 65535 and a
// negative part as 0, so that no part spills into its neighbour and a part written too large
// still compares at least as new as any part that fits.
#pragma once

#include <cstdint>
#include <string_view>

namespace hall {

inline constexpr int kVersionParts = 4;
inline constexpr int64_t kMaxVersionPart = 0xFFFF;

// One part of a version text, kept to 0..kMaxVersionPart.
uint16_t ReadVersionPart(std::string_view part);

// The whole text ("1.2" reads as 2^48 + 2^33).
uint64_t ReadVersionNumber(std::string_view text);

}  // namespace hall
