// What the hall does with any bytes a game sends as one channel message: the frame decoders read
// only what is there and encode back to the same bytes, and a plan table hands exactly the
// type-0 frames on to the gate, with the frame's kind, subid and payload. The fuzzer and the
// corpus test both run their inputs through it.
#pragma once

#include <string>
#include <string_view>

namespace qvc::frame_check {

// Empty when every promise held, else what went wrong.
std::string CheckGameFrame(std::string_view bytes);

}  // namespace qvc::frame_check
