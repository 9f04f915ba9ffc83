// The property check of gate input streams, run by the gate_stream fuzz target and by the replay
// of its corpus.
//
// Input: byte 0 chooses how the rest is cut into chunks; the rest is the byte stream a gate sends.
#pragma once

#include <string>
#include <string_view>

namespace gatecheck {

// Feeds the stream chunk by chunk through a real connection channel (over a socket pair) and
// checks: the channel delivers exactly the frames that cutting the whole stream at once gives, in
// order, each within the frame cap, and gives up exactly when a prefix announces more than the
// cap; every delivered frame decodes exactly when its header fits, the decoded fields are the
// frame's bytes, and encoding the decoded frame gives the frame back (less a text the codec
// skips); a payload long enough for a routing header decodes and re-encodes to its bytes.
// Returns "" when all hold, else what failed.
std::string CheckGateStream(std::string_view input);

}  // namespace gatecheck
