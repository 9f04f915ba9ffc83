#include "skinui/headless_backend.h"

#include <atomic>

#include "skinui/image_header.h"
#include "skinui/message_queue.h"
#include "skinui/utf8.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

std::atomic<Backend*> g_backend{nullptr};

class SizedImage : public Image {
 public:
  SizedImage(int w, int h) : w_(w), h_(h) {}
  int width() const override { return w_; }
  int height() const override { return h_; }

 private:
  int w_, h_;
};

}  // namespace

class HeadlessWindow::Recorder : public RenderTarget {
 public:
  explicit Recorder(std::vector<DrawOp>* ops) : ops_(ops) {}
  void FillRect(const RECT& rect, DWORD argb) override {
    ops_->push_back(DrawOp{DrawOp::kFill, rect, argb, {}});
  }
  void DrawBorder(const RECT& rect, int, DWORD argb) override {
    ops_->push_back(DrawOp{DrawOp::kBorder, rect, argb, {}});
  }
  void DrawImage(const Image&, const RECT& dest, const RECT&) override {
    ops_->push_back(DrawOp{DrawOp::kImage, dest, 0, {}});
  }
  void DrawText(const std::string& text, const RECT& box, const FontSpec&, DWORD argb,
                UINT) override {
    ops_->push_back(DrawOp{DrawOp::kText, box, argb, text});
  }
  void PushClip(const RECT&) override {}
  void PopClip() override {}

 private:
  std::vector<DrawOp>* ops_;
};

RenderTarget& HeadlessWindow::BeginPaint() {
  ops_.clear();
  if (!recorder_)
    recorder_ = std::make_unique<Recorder>(&ops_);
  return *recorder_;
}

std::unique_ptr<NativeWindow> HeadlessBackend::CreateNativeWindow(HWND, const std::string& title,
                                                                  const RECT& bounds) {
  auto w = std::make_unique<HeadlessWindow>();
  w->SetTitle(title);
  w->SetBounds(bounds);
  return w;
}

std::shared_ptr<Image> HeadlessBackend::DecodeImage(const std::string& b) {
  ImageHeader header;
  if (!ReadImageHeader(b, &header))
    return nullptr;
  return std::make_shared<SizedImage>(header.width, header.height);
}

SIZE HeadlessBackend::MeasureText(const std::string& text, const FontSpec& font) {
  LONG width = 0;
  for (char32_t c : DecodeUtf8(text))
    width += c < 0x80 ? font.size / 2 : font.size;
  return SIZE{width, font.size + 2};
}

HeadlessWindow* HeadlessWindowOf(HWND hwnd) {
  CWindowWnd* w = WindowFromHandle(hwnd);
  return w != nullptr ? dynamic_cast<HeadlessWindow*>(w->native()) : nullptr;
}

void SetBackend(Backend* backend) {
  g_backend.store(backend);
}

Backend& CurrentBackend() {
  static HeadlessBackend headless;
  Backend* b = g_backend.load();
  return b != nullptr ? *b : headless;
}

}  // namespace skinui
