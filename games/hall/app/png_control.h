// A control that shows one PNG image given as bytes, stretched over its whole area: the register
// dialog's captcha, which arrives from the gate. The bytes are checked before they reach the
// decoder (size, the PNG layout, the image's width and height), and anything refused or not
// decodable leaves the image shown before.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "skinui/control.h"

namespace hall {

// Most bytes a PNG may have to be decoded.
inline constexpr size_t kMaxPngBytes = 1 << 20;
// Widest and tallest image taken (a captcha is a small strip).
inline constexpr int kMaxPngSide = 1024;

struct PngHeader {
  int width = 0;
  int height = 0;
};

// True when `bytes` has the layout of a whole PNG of at most kMaxPngBytes: the signature, an IHDR
// chunk of 13 bytes first, every chunk's length inside the data, and an IEND chunk that ends it;
// with a width and height of 1 to kMaxPngSide, which go to `header`. The chunks' contents are left
// to the decoder.
bool CheckPngLayout(const std::string& bytes, PngHeader* header);

class PngControl : public skinui::CControlUI {
 public:
  const char* GetClass() const override { return "PngControlUI"; }
  // Itself for "pngcontrol" (exactly), else the base's answer.
  void* GetInterface(const char* name) override;

  // Decodes `bytes` with the window library's backend and shows the image. False, with the old
  // image kept, when the bytes fail CheckPngLayout or do not decode.
  bool LoadPng(const std::string& bytes);
  // The image shown, null before the first one.
  const skinui::Image* image() const { return image_.get(); }

  // Draws the image over the whole control when there is one; nothing otherwise.
  void DoPaint(skinui::RenderTarget& hdc, const RECT& paint) override;

 private:
  std::shared_ptr<skinui::Image> image_;
};

}  // namespace hall
