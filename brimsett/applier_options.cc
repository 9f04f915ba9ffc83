#include "brimsett/applier_options.h"

namespace brimsett {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The parts of a '/' separated path with empty and "." parts dropped and ".." taking back the
// part before it; a leading '/' is kept as its own first part so that "/a" and "a" never compare
// equal.
std::vector<std::string_view> PathParts(std::string_view path) {
  std::vector<std::string_view> parts;
  if (!path.empty() && path.front() == '/')
    parts.push_back("/");
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string_view::npos)
      slash = path.size();
    std::string_view part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "/" && parts.back() != "..") {
        parts.pop_back();
      } else if (parts.empty() || parts.back() != "/") {
        parts.push_back(part);  // above a relative start: kept, so it never matches a name
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  return parts;
}

}  // namespace

std::string CleanSwitchValue(std::string_view value) {
  std::string v(value);
  if (v.size() > 1 && v.front() == '"') {
    v.erase(0, 1);
    if (!v.empty() && v.back() == '"')
      v.pop_back();
  }
  if (!v.empty() && (v.back() == '\\' || v.back() == '/'))
    v.pop_back();
  return v;
}

ApplierOptions ReadSwitches(const std::vector<std::string>& args) {
  ApplierOptions options;
  for (const std::string& arg : args) {
    if (arg.empty() || (arg[0] != '-' && arg[0] != '/'))
      continue;
    std::string_view sw = std::string_view(arg).substr(1);
    if (StartsWith(sw, "d:")) {
      options.destination = CleanSwitchValue(sw.substr(2));
    } else if (StartsWith(sw, "s:")) {
      options.source = CleanSwitchValue(sw.substr(2));
    } else if (StartsWith(sw, "n:")) {
      options.name = CleanSwitchValue(sw.substr(2));
    } else if (StartsWith(sw, "l:")) {
      options.launch = CleanSwitchValue(sw.substr(2));
    } else if (sw == "quiet") {
      options.quiet = true;
    } else if (sw == "waitparentexit") {
      options.wait_parent = true;
    }
  }
  return options;
}

bool IsPlainNamePart(std::string_view name) {
  if (name == "." || name == "..")
    return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\')
      return false;
  }
  return true;
}

bool PathIsWithin(std::string_view inner, std::string_view outer) {
  std::vector<std::string_view> in = PathParts(inner);
  std::vector<std::string_view> out = PathParts(outer);
  if (out.size() > in.size())
    return false;
  for (size_t i = 0; i < out.size(); ++i) {
    if (in[i] != out[i])
      return false;
  }
  return true;
}

}  // namespace brimsett
