// Start times of matches as the hall shows them: "今天 hh:mm", "明天 hh:mm", "昨天 hh:mm" or
// "MM-DD hh:mm".
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace hall {

// Formats `time`, whose decimal digits read YYYYMMDDhhmmss in local time, against today's local
// date from `clock`, into `out` (UTF-8) and returns `out`. "Tomorrow" and "yesterday" compare the
// two dates as eight-digit numbers, so the first of the next month gets the "MM-DD" form.
std::string& FormatMatchTime(std::string& out, int64_t time,
                             const platform::Clock& clock = platform::SystemClock());

}  // namespace hall
