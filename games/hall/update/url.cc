#include "games/hall/update/url.h"

#include <cstring>

#include "games/hall/text/text_convert.h"

namespace hall {
namespace {

bool NeedsEscape(unsigned char c) {
  return c == ' ' || c == '=' || c == '%' || c >= 0x80;
}

void Append(std::string_view src, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (char ch : src) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      *out += '%';
      *out += kHex[c >> 4];
      *out += kHex[c & 0xF];
    } else {
      *out += ch;
    }
  }
}

}  // namespace

bool EscapeUrl(const char* src, char* dst) {
  if (src == nullptr || dst == nullptr)
    return false;
  std::string out = EscapeUrl(std::string_view(src));
  std::memcpy(dst, out.c_str(), out.size() + 1);
  return true;
}

std::string EscapeUrl(std::string_view src) {
  std::string out;
  out.reserve(src.size());
  Append(src, &out);
  return out;
}

std::string PathToUrl(std::string_view ansi) {
  std::string utf8 = AnsiToUtf8(ansi);
  for (char& c : utf8) {
    if (c == '\\')
      c = '/';
  }
  return EscapeUrl(utf8);
}

std::string ListFileUrl(std::string_view base, std::string_view list_path) {
  // '?' and '#' in a file name would end the URL's path and fetch another file.
  std::string url = PathToUrl(base);
  for (char c : PathToUrl(list_path)) {
    if (c == '?')
      url += "%3f";
    else if (c == '#')
      url += "%23";
    else
      url += c;
  }
  return url;
}

}  // namespace hall
