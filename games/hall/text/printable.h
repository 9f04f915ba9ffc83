// Bytes shown in a diagnostic text (a check's failure, a log line about untrusted input):
// printable ASCII as it is, anything else (and '\') as \xNN, so the text names the exact input
// whatever it holds and never carries a control byte of its own.
#pragma once

#include <string>
#include <string_view>

namespace hall {

inline std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += ch;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

}  // namespace hall
