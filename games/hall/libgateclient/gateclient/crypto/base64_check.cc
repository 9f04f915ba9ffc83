#include "gateclient/crypto/base64_check.h"

#include <cstring>
#include <vector>

#include "gateclient/crypto/base64.h"

namespace base64_check {

std::string CheckBase64(std::string_view input) {
  if (input.empty())
    return "";
  const auto capacity = static_cast<unsigned char>(input[0]);
  const std::string text(input.substr(1));
  std::vector<char> out(capacity);  // exact size, so a sanitizer sees any write past it
  const int n = Base64Decode(out.data(), capacity, text.c_str());
  if (n >= 0 && (static_cast<size_t>(n) >= capacity || out[n] != '\0'))
    return "a decode into " + std::to_string(capacity) + " bytes reported " + std::to_string(n);

  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  std::vector<char> encoded(Base64EncodedSize(text.size()));
  const int written = Base64Encode(encoded.data(), encoded.size(), bytes, text.size());
  if (written != static_cast<int>(encoded.size()))
    return "an encode wrote " + std::to_string(written) + " of " + std::to_string(encoded.size());
  std::vector<char> back(text.size() + 1);
  if (Base64Decode(back.data(), back.size(), encoded.data()) != static_cast<int>(text.size()) ||
      std::memcmp(back.data(), text.data(), text.size()) != 0) {
    return "the encoded bytes do not decode back";
  }
  return "";
}

}  // namespace base64_check
