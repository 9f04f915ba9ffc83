#include "brimsett/caller_command.h"

#include "platform/command_line.h"

namespace brimsett {

platform::LaunchOptions CallerLaunchOptions(const std::string& command, bool whole_text_is_file) {
  platform::LaunchOptions options;
  if (whole_text_is_file) {
    options.program = command;
    return options;
  }
  std::vector<std::string> parts = platform::SplitCommandLine(command);
  if (parts.empty())
    return options;
  options.program = parts.front();
  options.args.assign(parts.begin() + 1, parts.end());
  return options;
}

}  // namespace brimsett
