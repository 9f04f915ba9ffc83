// Splitting of a one-text parameter list into arguments, by the rules of the Microsoft C
// runtime, so a program started with such a text receives the arguments its caller meant:
// - blanks and tabs outside quotes separate arguments;
// - a double quote starts or ends a quoted run, in which blanks are kept;
// - inside a quoted run, two double quotes give one literal quote and the run goes on;
// - 2n backslashes before a quote give n backslashes and the quote acts as above; 2n+1
//   backslashes before a quote give n backslashes and a literal quote;
// - backslashes not followed by a quote are kept as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::vector<std::string> SplitCommandLine(std::string_view text);

}  // namespace platform
