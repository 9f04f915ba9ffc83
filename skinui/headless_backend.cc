#include "skinui/headless_backend.h"

#include <atomic>

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

uint32_t ReadBigEndian32(const std::string& b, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3]));
}

int32_t ReadLittleEndian32(const std::string& b, size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24));
}

// Bounds that a decoder is asked to allocate for; bigger headers are taken as damage.
constexpr int64_t kMaxImageSide = 16384;

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
  static const char kPng[] = "\x89PNG\r\n\x1a\n";
  int64_t w = 0, h = 0;
  if (b.size() >= 24 && b.compare(0, 8, kPng, 8) == 0 && b.compare(12, 4, "IHDR") == 0) {
    w = ReadBigEndian32(b, 16);
    h = ReadBigEndian32(b, 20);
  } else if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
    w = ReadLittleEndian32(b, 18);
    h = ReadLittleEndian32(b, 22);
    if (h < 0)
      h = -h;  // top-down bitmap
  } else {
    return nullptr;
  }
  if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide)
    return nullptr;
  return std::make_shared<SizedImage>(static_cast<int>(w), static_cast<int>(h));
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
