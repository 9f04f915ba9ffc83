#include "games/hall/text/utf.h"

#include <cstdint>

namespace hall {
namespace {

bool IsHighSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

// Reads one code point at `i` of `in` and advances `i`; unpaired surrogates read as U+FFFD.
char32_t NextCodePoint(std::u16string_view in, size_t& i, size_t* units) {
  char32_t u = in[i];
  if (IsHighSurrogate(u) && i + 1 < in.size() && IsLowSurrogate(in[i + 1])) {
    char32_t cp = 0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00);
    i += 2;
    *units = 2;
    return cp;
  }
  ++i;
  *units = 1;
  if (IsHighSurrogate(u) || IsLowSurrogate(u))
    return kReplacementChar;
  return u;
}

// UTF-8 form of `cp` into `buf` (4 bytes); returns its length.
size_t EncodeCodePoint(char32_t cp, char* buf) {
  if (cp < 0x80) {
    buf[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    buf[0] = static_cast<char>(0xC0 | (cp >> 6));
    buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    buf[0] = static_cast<char>(0xE0 | (cp >> 12));
    buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  buf[0] = static_cast<char>(0xF0 | (cp >> 18));
  buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

void AppendUtf16(char32_t cp, std::u16string& out) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    uint8_t b = static_cast<uint8_t>(utf8[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    // Expected length and the allowed range of the second byte (which rules out overlong forms,
    // surrogates and code points above U+10FFFF).
    size_t len = 0;
    uint8_t lo = 0x80, hi = 0xBF;
    char32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
      if (b == 0xE0)
        lo = 0xA0;
      if (b == 0xED)
        hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
      if (b == 0xF0)
        lo = 0x90;
      if (b == 0xF4)
        hi = 0x8F;
    } else {
      out.push_back(kReplacementChar);
      ++i;
      continue;
    }
    size_t taken = 1;
    bool ok = true;
    while (taken < len) {
      if (i + taken >= utf8.size()) {
        ok = false;
        break;
      }
      uint8_t c = static_cast<uint8_t>(utf8[i + taken]);
      uint8_t min = taken == 1 ? lo : 0x80;
      uint8_t max = taken == 1 ? hi : 0xBF;
      if (c < min || c > max) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
      ++taken;
    }
    i += taken;
    if (ok) {
      AppendUtf16(cp, out);
    } else {
      out.push_back(kReplacementChar);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  char buf[4];
  size_t i = 0, units = 0;
  while (i < utf16.size()) {
    out.append(buf, EncodeCodePoint(NextCodePoint(utf16, i, &units), buf));
  }
  return out;
}

std::u16string SanitizeUtf16(std::u16string_view utf16) {
  std::u16string out;
  out.reserve(utf16.size());
  size_t i = 0, units = 0;
  while (i < utf16.size())
    AppendUtf16(NextCodePoint(utf16, i, &units), out);
  return out;
}

size_t EncodeUtf8(std::u16string_view utf16, char* out, size_t out_size) {
  if (out_size == 0)
    return 0;
  size_t written = 0;
  char buf[4];
  size_t i = 0, units = 0;
  while (i < utf16.size()) {
    size_t n = EncodeCodePoint(NextCodePoint(utf16, i, &units), buf);
    if (written + n > out_size - 1)
      break;
    for (size_t k = 0; k < n; ++k)
      out[written++] = buf[k];
  }
  out[written] = 0;
  return written;
}

size_t CopyUtf16(std::u16string_view utf16, char16_t* out, size_t out_size) {
  if (out_size == 0)
    return 0;
  size_t written = 0;
  size_t i = 0, units = 0;
  while (i < utf16.size()) {
    size_t start = i;
    char32_t cp = NextCodePoint(utf16, i, &units);
    if (written + units > out_size - 1)
      break;
    if (units == 2) {
      out[written++] = utf16[start];
      out[written++] = utf16[start + 1];
    } else {
      out[written++] = static_cast<char16_t>(cp);
    }
  }
  out[written] = 0;
  return written;
}

size_t Utf16Length(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0)
    ++n;
  return n;
}

}  // namespace hall
