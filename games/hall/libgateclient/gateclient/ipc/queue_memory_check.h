// What a block queue must do whatever the other process wrote into its shared area: every call
// returns one of its codes at once, touches nothing outside the mapping or the caller's buffer,
// and a queue whose corrupt message was dropped carries a message again. The fuzzer and the
// corpus test both run their inputs through it.
#pragma once

#include <string>
#include <string_view>

namespace queue_check {

// Input: byte 0 chooses how the rest lands in a freshly created queue's shared area (bit 0 set:
// 72 header bytes, then 24-byte block headers for blocks 0, 1, ...; clear: a raw prefix of the
// area; bit 1 set: a second queue object also opens the damaged area and is run the same way;
// bit 2 set: the rest is a script of calls with stores into the area in between).
// Empty when every call kept to its contract, else what went wrong.
std::string CheckQueueMemory(std::string_view input);

}  // namespace queue_check
