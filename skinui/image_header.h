// What an image says of itself before any pixel is decoded, and the caps every backend's
// DecodeImage holds images to. Skin images arrive with updates and the captcha from the gate, so
// their bytes may be anything: a decoder is handed only a PNG or a BMP whose header declares a
// size within the caps (the hall's own images are far inside them).
#pragma once

#include <cstddef>
#include <string_view>

namespace skinui {

inline constexpr size_t kMaxImageBytes = 1 << 20;
inline constexpr int kMaxImageSide = 4096;

enum class ImageFormat { kPng, kBmp };

struct ImageHeader {
  ImageFormat format = ImageFormat::kPng;
  int width = 0;
  int height = 0;
};

// The format and size that `bytes` declare. False unless they are at most kMaxImageBytes, start as
// a PNG (the signature, then an IHDR chunk of 13 bytes) or a BMP ("BM", the file header and the
// width and height of its core or info header: 16-bit for a 12-byte core header, 32-bit
// otherwise, a negative height meaning top-down rows) and declare 1 to kMaxImageSide pixels a side.
bool ReadImageHeader(std::string_view bytes, ImageHeader* header);

}  // namespace skinui
