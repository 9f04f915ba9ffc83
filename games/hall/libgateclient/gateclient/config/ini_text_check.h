// The property the ini fuzzer checks on any text, and the corpus replay test on its kept inputs.
#pragma once

#include <string>
#include <string_view>

namespace ini_check {

// Any bytes parse; the text the tables are saved as parses back into the same tables (it saves to
// the same text), so a value or comment read from a file survives being written and read again.
// Returns "" when that holds, else what differed.
std::string CheckIniRoundTrip(std::string_view text);

}  // namespace ini_check
