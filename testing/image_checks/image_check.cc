#include "testing/image_checks/image_check.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "games/hall/app/png_control.h"
#include "skinui/backend.h"
#include "skinui/image_header.h"
#include "skinui/sdl/sdl_backend.h"
#include "testing/gate/captcha_png.h"

namespace image_check {
namespace {

using skinui::kMaxImageBytes;
using skinui::kMaxImageSide;

struct Size {
  int64_t width = 0;
  int64_t height = 0;
};

uint32_t At(std::string_view b, size_t i) {
  return static_cast<uint8_t>(b[i]);
}

// The size the bytes' own header names, read here on its own terms rather than through the
// library's reader, so a fault in that reader shows as a disagreement: a PNG's IHDR (big-endian),
// a BMP's core header (16-bit) or info header (signed 32-bit, a negative height for top-down rows).
std::optional<Size> DeclaredSize(std::string_view b) {
  if (b.size() >= 24 &&
      b.substr(0, 16) == std::string_view("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16)) {
    auto be = [&](size_t i) {
      return int64_t{At(b, i) << 24 | At(b, i + 1) << 16 | At(b, i + 2) << 8 | At(b, i + 3)};
    };
    return Size{be(16), be(20)};
  }
  if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
    auto le = [&](size_t i, int bytes) {
      uint32_t v = 0;
      for (int k = bytes - 1; k >= 0; --k)
        v = v << 8 | At(b, i + k);
      return v;
    };
    if (le(14, 4) == 12)
      return Size{le(18, 2), le(20, 2)};
    const int64_t height = static_cast<int32_t>(le(22, 4));
    return Size{static_cast<int32_t>(le(18, 4)), height < 0 ? -height : height};
  }
  return std::nullopt;
}

std::string Describe(const skinui::Image& image) {
  return std::to_string(image.width()) + "x" + std::to_string(image.height());
}

std::string Describe(const std::optional<Size>& size) {
  if (!size)
    return "no header";
  return std::to_string(size->width) + "x" + std::to_string(size->height);
}

skinui::SdlBackend& Backend() {
  // One backend for the process, like the hall; never torn down (SDL's video stays up).
  static skinui::SdlBackend* backend = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    auto* b = new skinui::SdlBackend;
    if (!b->ok())
      std::abort();  // nothing can be checked without the decoders
    skinui::SetBackend(b);
    return b;
  }();
  return *backend;
}

// A small captcha the control shows before each input is loaded over it.
const std::string& ShownBefore() {
  static const std::string png = testgate::EncodePng(3, 2, std::vector<uint8_t>(3 * 2 * 3, 0x80));
  return png;
}

std::string CheckBackend(std::string_view bytes, const std::optional<Size>& declared) {
  skinui::SdlBackend& backend = Backend();
  const std::string owned(bytes);
  const std::shared_ptr<skinui::Image> image = backend.DecodeImage(owned);
  if (image == nullptr)
    return "";
  if (bytes.size() > kMaxImageBytes)
    return "decoded " + std::to_string(bytes.size()) + " bytes, past the byte cap";
  if (!declared || image->width() != declared->width || image->height() != declared->height)
    return "decoded " + Describe(*image) + " where the header declares " + Describe(declared);
  if (image->width() < 1 || image->height() < 1 || image->width() > kMaxImageSide ||
      image->height() > kMaxImageSide) {
    return "decoded " + Describe(*image) + ", outside the side cap";
  }
  std::string padded = owned;
  padded.resize(kMaxImageBytes + 1, '\0');
  if (backend.DecodeImage(padded) != nullptr)
    return "the image padded past the byte cap decoded";
  return "";
}

std::string CheckCaptcha(std::string_view bytes, const std::optional<Size>& declared) {
  Backend();
  hall::PngControl control;
  if (!control.LoadPng(ShownBefore()))
    return "the control refused the captcha shown before";
  const skinui::Image* before = control.image();
  const std::string owned(bytes);
  hall::PngHeader header;
  const bool layout = hall::CheckPngLayout(owned, &header);
  const bool decodes = layout && Backend().DecodeImage(owned) != nullptr;
  const bool loaded = control.LoadPng(owned);
  if (loaded != decodes) {
    return std::string(loaded ? "took" : "refused") + " bytes that " +
           (layout ? "have a PNG's layout and " : "lack a PNG's layout and ") +
           (decodes ? "decode" : "do not decode");
  }
  if (!loaded) {
    if (control.image() != before || before->width() != 3 || before->height() != 2)
      return "a refusal changed the image shown";
    return "";
  }
  const skinui::Image* shown = control.image();
  if (shown == nullptr || !declared || shown->width() != declared->width ||
      shown->height() != declared->height || header.width != shown->width() ||
      header.height != shown->height()) {
    return "the control shows " + (shown ? Describe(*shown) : std::string("nothing")) +
           " where the header declares " + Describe(declared);
  }
  if (shown->width() > hall::kMaxPngSide || shown->height() > hall::kMaxPngSide)
    return "the control shows " + Describe(*shown) + ", past its side cap";
  return "";
}

uint32_t Crc32(std::string_view data) {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(256);
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (char ch : data)
    c = table[(c ^ static_cast<uint8_t>(ch)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// `bytes` with the CRC of every whole chunk after a PNG signature made right, or "" when they
// are no PNG or already right. The PNG decoder stops at a chunk whose CRC is wrong, which nearly
// every change to a chunk makes, so the changed chunk is also checked as if it had been sent so.
std::string WithChunkCrcsMended(std::string_view bytes) {
  if (bytes.size() < 8 || bytes.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
    return "";
  std::string mended(bytes);
  size_t at = 8;
  while (mended.size() - at >= 12) {
    const uint32_t length = At(mended, at) << 24 | At(mended, at + 1) << 16 |
                            At(mended, at + 2) << 8 | At(mended, at + 3);
    if (length > mended.size() - at - 12)
      break;
    const uint32_t crc = Crc32(std::string_view(mended).substr(at + 4, 4 + length));
    for (int k = 0; k < 4; ++k)
      mended[at + 8 + length + k] = static_cast<char>(crc >> (24 - 8 * k));
    at += 12 + length;
  }
  return mended == bytes ? "" : mended;
}

std::string CheckAsSent(std::string_view bytes) {
  const std::optional<Size> declared = DeclaredSize(bytes);
  std::string failure = CheckBackend(bytes, declared);
  if (failure.empty())
    failure = CheckCaptcha(bytes, declared);
  return failure;
}

}  // namespace

std::string CheckImage(std::string_view bytes) {
  std::string failure = CheckAsSent(bytes);
  if (!failure.empty())
    return failure;
  const std::string mended = WithChunkCrcsMended(bytes);
  if (!mended.empty()) {
    failure = CheckAsSent(mended);
    if (!failure.empty())
      return "with its chunks' CRCs made right: " + failure;
  }
  return "";
}

}  // namespace image_check
