#include "platform/command_line.h"

namespace platform {

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = text.size();
  auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
  while (true) {
    while (i < n && is_blank(text[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !is_blank(text[i]))) {
      if (text[i] == '\\') {
        size_t slashes = 0;
        while (i < n && text[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && text[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            arg.push_back('"');
            ++i;
          }
          // An even count leaves the quote to the rules below.
        } else {
          arg.append(slashes, '\\');
        }
        continue;
      }
      if (text[i] == '"') {
        if (quoted && i + 1 < n && text[i + 1] == '"') {
          arg.push_back('"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      arg.push_back(text[i]);
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace platform
