// The property the base64 fuzzer checks on any input, and the replay of its kept inputs in the
// ordinary build (stored passwords and gate texts are base64).
#pragma once

#include <string>
#include <string_view>

namespace base64_check {

// The first byte is an output capacity, the rest a text. Decoding the text into exactly that
// capacity writes inside it and ends what it writes with a NUL, or refuses; and the text's bytes,
// encoded, take exactly Base64EncodedSize characters and decode back to themselves.
// Returns "" when that holds, else what broke.
std::string CheckBase64(std::string_view input);

}  // namespace base64_check
