// The check-list's path rules (see check_list.h): a list comes from the update server and is not
// trusted, so nothing it names may reach outside the product's folder.
#include <string>
#include <string_view>

#include "games/hall/update/check_list.h"

namespace hall {

bool ListPathToRelative(std::string_view list_path, std::string* relative) {
  if (list_path.empty() || list_path.size() > kMaxListPathBytes)
    return false;
  std::string out;
  out.reserve(list_path.size());
  size_t part_start = 0;
  for (size_t i = 0; i <= list_path.size(); ++i) {
    const bool end = i == list_path.size();
    const char c = end ? '\\' : list_path[i];
    if (c == '\\' || c == '/') {
      const std::string_view part = list_path.substr(part_start, i - part_start);
      // An empty part also refuses a leading separator ("\a", an absolute path) and "a\\b".
      if (part.empty() || part == "." || part == "..")
        return false;
      if (!out.empty())
        out += '/';
      out += part;
      part_start = i + 1;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == ':')
      return false;  // ':' also means a drive letter
  }
  *relative = std::move(out);
  return true;
}

}  // namespace hall
