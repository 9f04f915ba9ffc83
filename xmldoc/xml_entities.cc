#include "xmldoc/xml_entities.h"

#include <cstdint>

namespace xmldoc {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

struct NamedEntity {
  std::string_view text;  // without the leading '&'
  char value;
};
constexpr NamedEntity kNamedEntities[] = {
    {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}, {"lt;", '<'}, {"gt;", '>'},
};

std::string_view EscapeFor(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    default:
      return {};
  }
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (!hex)
    return -1;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Reads a numeric reference at in[i] (which is '&'). Returns the number of bytes it spans, 0 when
// it is none; *code_point is the character, U+FFFD for one that is not a character.
size_t ReadNumericReference(std::string_view in, size_t i, char32_t* code_point) {
  size_t p = i + 1;
  if (p >= in.size() || in[p] != '#')
    return 0;
  ++p;
  bool hex = false;
  if (p < in.size() && (in[p] == 'x' || in[p] == 'X')) {
    hex = true;
    ++p;
  }
  const size_t digits_start = p;
  uint64_t value = 0;
  for (int d; p < in.size() && (d = DigitValue(in[p], hex)) >= 0; ++p) {
    // Saturate instead of overflowing; anything past the last code point is no character.
    if (value <= kMaxCodePoint)
      value = value * (hex ? 16 : 10) + d;
  }
  if (p == digits_start)
    return 0;
  if (p < in.size() && in[p] == ';')
    ++p;
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  *code_point = (value == 0 || surrogate || value > kMaxCodePoint) ? kReplacementCharacter
                                                                   : static_cast<char32_t>(value);
  return p - i;
}

}  // namespace

void AppendUtf8(char32_t c, std::string* out) {
  if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > kMaxCodePoint)
    c = kReplacementCharacter;
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

size_t XmlEncodeEntities(std::string_view in, std::string* out, bool keep_numeric_references) {
  size_t length = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    std::string_view escaped = EscapeFor(c);
    if (c == '&' && keep_numeric_references && i + 1 < in.size() && in[i + 1] == '#') {
      escaped = {};
    }
    if (escaped.empty()) {
      ++length;
      if (out)
        out->push_back(c);
    } else {
      length += escaped.size();
      if (out)
        out->append(escaped);
    }
  }
  return length;
}

std::string XmlEncodeEntities(std::string_view in, bool keep_numeric_references) {
  std::string out;
  out.reserve(in.size());
  XmlEncodeEntities(in, &out, keep_numeric_references);
  return out;
}

size_t XmlDecodeEntities(std::string_view in, std::string* out) {
  const size_t start = out->size();
  size_t i = 0;
  while (i < in.size()) {
    const size_t amp = in.find('&', i);
    if (amp == std::string_view::npos) {
      out->append(in.substr(i));
      break;
    }
    out->append(in.substr(i, amp - i));
    i = amp;
    char32_t code_point;
    if (size_t n = ReadNumericReference(in, i, &code_point)) {
      AppendUtf8(code_point, out);
      i += n;
      continue;
    }
    const std::string_view rest = in.substr(i + 1);
    bool named = false;
    for (const NamedEntity& e : kNamedEntities) {
      if (rest.starts_with(e.text)) {
        out->push_back(e.value);
        i += 1 + e.text.size();
        named = true;
        break;
      }
    }
    if (!named) {
      out->push_back('&');
      ++i;
    }
  }
  return out->size() - start;
}

std::string XmlDecodeEntities(std::string_view in) {
  std::string out;
  XmlDecodeEntities(in, &out);
  return out;
}

}  // namespace xmldoc
