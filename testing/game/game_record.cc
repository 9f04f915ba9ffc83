#include "testing/game/game_record.h"

namespace fake_game {

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
