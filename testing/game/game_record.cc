#include "testing/game/game_record.h"

namespace fake_game {

std::vector<std::string> RecordLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string RecordField(const std::string& line, const std::string& name) {
  size_t at = line.find(" " + name + "=");
  if (at == std::string::npos)
    return {};
  at += name.size() + 2;
  return line.substr(at, line.find(' ', at) - at);
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace fake_game
