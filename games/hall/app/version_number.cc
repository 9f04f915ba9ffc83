#include "games/hall/app/version_number.h"

#include <algorithm>

namespace hall {

uint16_t ReadVersionPart(std::string_view part) {
  size_t i = 0;
  while (i < part.size() && (part[i] == ' ' || part[i] == '\t' || part[i] == '\n' ||
                             part[i] == '\v' || part[i] == '\f' || part[i] == '\r')) {
    ++i;
  }
  bool negative = false;
  if (i < part.size() && (part[i] == '+' || part[i] == '-')) {
    negative = part[i] == '-';
    ++i;
  }
  // Digits are added up only until the value is out of range, so any length of digits is safe.
  int64_t value = 0;
  for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (part[i] - '0'), kMaxVersionPart + 1);
  }
  if (negative)
    return 0;
  return static_cast<uint16_t>(std::min(value, kMaxVersionPart));
}

uint64_t ReadVersionNumber(std::string_view text) {
  uint64_t number = 0;
  size_t start = 0;
  for (int index = 0; index < kVersionParts && start <= text.size(); ++index) {
    size_t dot = text.find('.', start);
    if (dot == std::string_view::npos)
      dot = text.size();
    const int shift = 16 * (kVersionParts - 1 - index);
    number |= static_cast<uint64_t>(ReadVersionPart(text.substr(start, dot - start))) << shift;
    start = dot + 1;
  }
  return number;
}

}  // namespace hall
