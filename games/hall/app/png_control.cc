#include "games/hall/app/png_control.h"

#include <cstdint>
#include <cstring>

#include "skinui/backend.h"

namespace hall {
namespace {

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr size_t kSignatureSize = 8;
constexpr size_t kChunkOverhead = 12;  // length, type, CRC
constexpr uint32_t kIhdrSize = 13;
// The format's own limit on a chunk length.
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

uint32_t ReadFixed32BE(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3]));
}

}  // namespace

bool CheckPngLayout(const std::string& bytes, PngHeader* header) {
  if (bytes.size() > kMaxPngBytes || bytes.size() < kSignatureSize ||
      std::memcmp(bytes.data(), kPngSignature, kSignatureSize) != 0) {
    return false;
  }
  PngHeader found;
  size_t at = kSignatureSize;
  bool first = true;
  while (bytes.size() - at >= kChunkOverhead) {
    const uint32_t length = ReadFixed32BE(bytes, at);
    if (length > kMaxChunkLength || length > bytes.size() - at - kChunkOverhead)
      return false;
    const std::string type = bytes.substr(at + 4, 4);
    if (first) {
      if (type != "IHDR" || length != kIhdrSize)
        return false;
      const uint32_t w = ReadFixed32BE(bytes, at + 8);
      const uint32_t h = ReadFixed32BE(bytes, at + 12);
      if (w == 0 || h == 0 || w > static_cast<uint32_t>(kMaxPngSide) ||
          h > static_cast<uint32_t>(kMaxPngSide)) {
        return false;
      }
      found.width = static_cast<int>(w);
      found.height = static_cast<int>(h);
      first = false;
    }
    at += kChunkOverhead + length;
    if (type == "IEND") {
      if (at != bytes.size())
        return false;  // bytes after the end
      if (header != nullptr)
        *header = found;
      return true;
    }
  }
  return false;  // cut short: no IEND
}

void* PngControl::GetInterface(const char* name) {
  if (name != nullptr && std::strcmp(name, "pngcontrol") == 0)
    return this;
  return CControlUI::GetInterface(name);
}

bool PngControl::LoadPng(const std::string& bytes) {
  PngHeader header;
  if (!CheckPngLayout(bytes, &header))
    return false;
  std::shared_ptr<skinui::Image> decoded = skinui::CurrentBackend().DecodeImage(bytes);
  // The decoder must agree with the header it was shown, or something else was decoded.
  if (decoded == nullptr || decoded->width() != header.width ||
      decoded->height() != header.height) {
    return false;
  }
  image_ = std::move(decoded);
  Invalidate();
  return true;
}

void PngControl::DoPaint(skinui::RenderTarget& hdc, const RECT& paint) {
  if (image_ == nullptr || skinui::RectEmpty(skinui::IntersectRects(paint, rect_)))
    return;
  hdc.DrawImage(*image_, rect_, RECT{0, 0, image_->width(), image_->height()});
}

}  // namespace hall
