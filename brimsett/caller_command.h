// The program the applier starts at the end (the "l:" switch): a command line of one text.
#pragma once

#include <string>

#include "platform/process.h"

namespace brimsett {

// How to start `command`. When the whole text names a file (`whole_text_is_file`, as when the
// hall passes its own path, which may hold blanks) it is the program with no arguments;
// otherwise the text is split by the C runtime's rules and the first argument is the program.
// The started program inherits the applier's current folder.
platform::LaunchOptions CallerLaunchOptions(const std::string& command, bool whole_text_is_file);

}  // namespace brimsett
