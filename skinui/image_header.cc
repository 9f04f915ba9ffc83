#include "skinui/image_header.h"

#include <cstdint>

namespace skinui {
namespace {

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr size_t kPngHeaderEnd = 8 + 4 + 4 + 13;  // signature, chunk length and type, IHDR data
constexpr size_t kBmpCoreHeaderEnd = 14 + 12;
constexpr size_t kBmpInfoSizesEnd = 14 + 4 + 8;  // file header, header size, width, height
constexpr uint32_t kBmpCoreHeaderSize = 12;

uint32_t Byte(std::string_view b, size_t at) {
  return static_cast<uint8_t>(b[at]);
}

uint32_t BigEndian32(std::string_view b, size_t at) {
  return Byte(b, at) << 24 | Byte(b, at + 1) << 16 | Byte(b, at + 2) << 8 | Byte(b, at + 3);
}

uint32_t LittleEndian32(std::string_view b, size_t at) {
  return Byte(b, at) | Byte(b, at + 1) << 8 | Byte(b, at + 2) << 16 | Byte(b, at + 3) << 24;
}

uint32_t LittleEndian16(std::string_view b, size_t at) {
  return Byte(b, at) | Byte(b, at + 1) << 8;
}

bool Accept(ImageFormat format, int64_t width, int64_t height, ImageHeader* header) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
    return false;
  header->format = format;
  header->width = static_cast<int>(width);
  header->height = static_cast<int>(height);
  return true;
}

}  // namespace

bool ReadImageHeader(std::string_view bytes, ImageHeader* header) {
  if (bytes.size() > kMaxImageBytes)
    return false;
  if (bytes.size() >= kPngHeaderEnd && bytes.substr(0, 8) == kPngSignature) {
    if (BigEndian32(bytes, 8) != 13 || bytes.substr(12, 4) != "IHDR")
      return false;
    return Accept(ImageFormat::kPng, BigEndian32(bytes, 16), BigEndian32(bytes, 20), header);
  }
  if (bytes.size() >= 18 && bytes[0] == 'B' && bytes[1] == 'M') {
    // The sizes are read as the BMP decoder reads them, so the caps hold for what it allocates.
    if (LittleEndian32(bytes, 14) == kBmpCoreHeaderSize) {
      if (bytes.size() < kBmpCoreHeaderEnd)
        return false;
      return Accept(ImageFormat::kBmp, LittleEndian16(bytes, 18), LittleEndian16(bytes, 20),
                    header);
    }
    if (bytes.size() < kBmpInfoSizesEnd)
      return false;
    const int64_t height = static_cast<int32_t>(LittleEndian32(bytes, 22));
    return Accept(ImageFormat::kBmp, static_cast<int32_t>(LittleEndian32(bytes, 18)),
                  height < 0 ? -height : height, header);
  }
  return false;
}

}  // namespace skinui
