#include "skinui/attribute_parse.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace skinui {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
    s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
    s.remove_suffix(1);
  return s;
}

// Reads up to four comma-separated numbers.
void ReadNumbers(std::string_view text, LONG* out, int count) {
  for (int i = 0; i < count; ++i)
    out[i] = 0;
  int i = 0;
  while (i < count && !text.empty()) {
    const size_t comma = text.find(',');
    out[i++] = ParseCoordinate(text.substr(0, comma));
    if (comma == std::string_view::npos)
      break;
    text.remove_prefix(comma + 1);
  }
}

}  // namespace

int ParseInt(std::string_view text, int fallback) {
  text = Trim(text);
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() ? v : fallback;
}

int ParseCoordinate(std::string_view text, int fallback) {
  return std::clamp(ParseInt(text, fallback), -kMaxSkinCoordinate, kMaxSkinCoordinate);
}

DWORD ParseColour(std::string_view text, DWORD fallback) {
  text = Trim(text);
  bool hex = false;
  if (!text.empty() && text.front() == '#') {
    text.remove_prefix(1);
    hex = true;
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    hex = true;
  }
  if (text.empty() || text.size() > 10)
    return fallback;
  uint32_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, hex ? 16 : 10);
  if (ec != std::errc() || end != text.data() + text.size())
    return fallback;
  if (hex && text.size() <= 6)
    v |= 0xFF000000u;
  return v;
}

RECT ParseRect(std::string_view text) {
  LONG n[4];
  ReadNumbers(text, n, 4);
  return RECT{n[0], n[1], n[2], n[3]};
}

SIZE ParseSize(std::string_view text) {
  LONG n[2];
  ReadNumbers(text, n, 2);
  return SIZE{n[0], n[1]};
}

bool ParseBool(std::string_view text) {
  text = Trim(text);
  return text == "1" || (text.size() == 4 && strncasecmp(text.data(), "true", 4) == 0);
}

ImageSpec ParseImageSpec(std::string_view text) {
  ImageSpec spec;
  if (text.find('\'') == std::string_view::npos) {
    spec.file = std::string(Trim(text));
    return spec;
  }
  // key='value' pairs; an unterminated value ends the text.
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (std::isspace(static_cast<unsigned char>(text[i]))))
      ++i;
    const size_t eq = text.find('=', i);
    if (eq == std::string_view::npos || eq + 1 >= text.size() || text[eq + 1] != '\'')
      break;
    const std::string_view key = Trim(text.substr(i, eq - i));
    const size_t close = text.find('\'', eq + 2);
    const std::string_view value = text.substr(
        eq + 2, close == std::string_view::npos ? std::string_view::npos : close - (eq + 2));
    if (key == "file") {
      spec.file = std::string(value);
    } else if (key == "source") {
      spec.has_source = true;
      spec.source = ParseRect(value);
    } else if (key == "dest") {
      spec.has_dest = true;
      spec.dest = ParseRect(value);
    }
    if (close == std::string_view::npos)
      break;
    i = close + 1;
  }
  return spec;
}

}  // namespace skinui
