// The backend for tests: no pixels. Native windows remember their bounds and visibility, paints
// are recorded as a list of drawing operations a test can inspect, images are "decoded" by reading
// the size from a PNG or BMP header, and text is measured with fixed advances (half the font size
// for a byte below 0x80, the full size for any other character). The clipboard lives in the
// backend object.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "skinui/backend.h"

namespace skinui {

struct DrawOp {
  enum Kind { kFill, kBorder, kImage, kText } kind;
  RECT rect;
  DWORD colour = 0;
  std::string text;  // kText
};

class HeadlessWindow : public NativeWindow {
 public:
  void Show(bool show) override { visible_ = show; }
  void Raise() override {
    ++raise_count_;
    raise_order_ = NextRaiseOrder();
  }
  void SetTitle(const std::string& title) override { title_ = title; }
  void SetBounds(const RECT& rect) override { bounds_ = rect; }
  RenderTarget& BeginPaint() override;
  void EndPaint() override { ++paint_count_; }
  bool SaveScreenshot(const std::string&) override { return false; }

  bool visible() const { return visible_; }
  int raise_count() const { return raise_count_; }
  // Increases with every raise of any headless window: the window raised last has the highest
  // (0: never raised).
  int raise_order() const { return raise_order_; }
  const std::string& title() const { return title_; }
  const RECT& bounds() const { return bounds_; }
  int paint_count() const { return paint_count_; }
  // Operations of the last paint, in drawing order.
  const std::vector<DrawOp>& ops() const { return ops_; }

 private:
  class Recorder;
  bool visible_ = false;
  static int NextRaiseOrder() {
    static std::atomic<int> order{0};
    return ++order;
  }
  int raise_count_ = 0;
  int raise_order_ = 0;
  std::string title_;
  RECT bounds_;
  int paint_count_ = 0;
  std::vector<DrawOp> ops_;
  std::unique_ptr<RenderTarget> recorder_;
};

class HeadlessBackend : public Backend {
 public:
  std::unique_ptr<NativeWindow> CreateNativeWindow(HWND hwnd, const std::string& title,
                                                   const RECT& bounds) override;
  SIZE ScreenSize() override { return SIZE{1920, 1080}; }
  std::shared_ptr<Image> DecodeImage(const std::string& bytes) override;
  SIZE MeasureText(const std::string& text, const FontSpec& font) override;
  // An in-process clipboard: what one window puts there, every window of the process reads.
  bool SetClipboardText(const std::string& utf8) override {
    clipboard_ = utf8;
    return true;
  }
  std::string GetClipboardText() override { return clipboard_; }

 private:
  std::string clipboard_;
};

// The native window of `hwnd` when the headless backend made it, else null.
HeadlessWindow* HeadlessWindowOf(HWND hwnd);

}  // namespace skinui
