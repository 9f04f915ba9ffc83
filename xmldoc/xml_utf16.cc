#include "xmldoc/xml_utf16.h"

#include <cstdint>

#include "xmldoc/xml_entities.h"

namespace xmldoc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

template <typename UnitAt>
std::string Utf16UnitsToUtf8(size_t count, UnitAt unit_at) {
  std::string out;
  out.reserve(count * 3 / 2);
  for (size_t i = 0; i < count; ++i) {
    char32_t u = unit_at(i);
    if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(unit_at(i + 1))) {
      u = 0x10000 + ((u - 0xD800) << 10) + (unit_at(i + 1) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      u = kReplacement;
    }
    if (u == 0) {
      out.push_back('\0');  // a NUL unit stays a NUL byte
    } else {
      AppendUtf8(u, &out);
    }
  }
  return out;
}

// Decodes one UTF-8 sequence at text[*i], advancing *i; U+FFFD for an invalid one.
char32_t NextCodePoint(std::string_view text, size_t* i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(*i);
  ++*i;
  if (lead < 0x80)
    return lead;
  int extra;
  char32_t c;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    c = lead & 0x07;
  } else {
    return kReplacement;
  }
  size_t k = *i;
  for (int n = 0; n < extra; ++n, ++k) {
    if (k >= text.size() || (byte(k) & 0xC0) != 0x80)
      return kReplacement;
    c = (c << 6) | (byte(k) & 0x3F);
  }
  const bool overlong = (extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000);
  if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    return kReplacement;
  *i = k;
  return c;
}

}  // namespace

std::string Utf16LeBytesToUtf8(std::string_view bytes) {
  return Utf16UnitsToUtf8(bytes.size() / 2, [&](size_t i) {
    return static_cast<char32_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                 (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  });
}

std::string Utf16ToUtf8(std::u16string_view text) {
  return Utf16UnitsToUtf8(text.size(), [&](size_t i) { return static_cast<char32_t>(text[i]); });
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, &i);
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string Utf8ToUtf16LeBytes(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  std::string out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

}  // namespace xmldoc
