// Reads the scripts the fuzz checks run: any bytes, taken one after another in statement order
// (never as function arguments, whose order the compiler picks), with zeros past the end, so
// that a kept input takes the same steps whichever compiler built the check.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class ScriptReader {
 public:
  explicit ScriptReader(std::string_view bytes) : rest_(bytes) {}

  bool done() const { return rest_.empty(); }

  uint8_t Byte() {
    if (rest_.empty())
      return 0;
    const auto b = static_cast<uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }

  // Little-endian.
  uint32_t U32() {
    uint32_t v = 0;
    for (int shift = 0; shift < 32; shift += 8)
      v |= uint32_t{Byte()} << shift;
    return v;
  }

  uint64_t U64() {
    const uint64_t low = U32();
    return low | uint64_t{U32()} << 32;
  }

  // A text of one length byte and as many of the bytes that follow as there are.
  std::string Text() {
    const size_t length = Byte();  // before the size is looked at: it takes a byte
    const size_t n = std::min(length, rest_.size());
    std::string out(rest_.substr(0, n));
    rest_.remove_prefix(n);
    return out;
  }

 private:
  std::string_view rest_;
};

}  // namespace platform
