#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gateclient/crypto/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the output capacity; the rest is the text, NUL-terminated.
  const std::size_t capacity = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<char> out(capacity);  // exact size, so ASan sees any write past it
  const int n = Base64Decode(out.data(), capacity, text.c_str());
  if (n >= 0 && (static_cast<std::size_t>(n) >= capacity || out[n] != '\0')) std::abort();

  std::vector<char> encoded(Base64EncodedSize(size - 1));
  const int written = Base64Encode(encoded.data(), encoded.size(), data + 1, size - 1);
  if (written != static_cast<int>(encoded.size())) std::abort();
  std::vector<char> back(size);
  if (Base64Decode(back.data(), back.size(), encoded.data()) != static_cast<int>(size - 1)) {
    std::abort();
  }
  if (std::memcmp(back.data(), data + 1, size - 1) != 0) std::abort();
  return 0;
}
