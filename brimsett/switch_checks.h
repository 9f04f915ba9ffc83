// The properties the command-line fuzzer checks on any input, and the replay of its kept inputs
// in the ordinary build: the applier must receive exactly the values its caller meant, whatever
// bytes they hold.
#pragma once

#include <string>
#include <string_view>

namespace brimsett {

// The first byte picks what the rest is.
// Even: a parameter text as a caller could pass it. Split by the C runtime's rules into
// arguments, quoted back with the same rules (an encoder of this check's own) and split again, it
// gives the same arguments; and ReadSwitches reads each switch's value as CleanSwitchValue makes
// it from the last argument that gives the switch.
// Odd: the values of /d:, /s:, /n: and /l: (separated by zero bytes), sent in the text the hall
// writes (each value between two runs of three double quotes). A value without a double quote
// that does not end in '\' arrives as exactly itself, less one trailing '/'; any other value
// makes the text split into other arguments than the five the hall sends, so the hall's own
// check refuses it before starting the applier.
// Returns "" when that holds, else what broke.
std::string CheckCommandLine(std::string_view input);

}  // namespace brimsett
