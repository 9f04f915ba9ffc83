#include "testing/skin_checks/skin_check.h"

#include <cstdint>
#include <memory>

#include "skinui/control.h"
#include "skinui/dialog_builder.h"
#include "skinui/image_header.h"
#include "skinui/paint_manager.h"
#include "skinui/ui_log.h"
#include "testing/update_server/temp_folder.h"

namespace skin_check {
namespace {

using skinui::Image;

// A PNG's signature and header chunk: all the headless backend reads of it.
std::string PngHeader(uint32_t width, uint32_t height) {
  std::string out("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      out += static_cast<char>(v >> shift);
  }
  out += std::string("\x08\x06\0\0\0", 5);
  out += std::string(4, '\0');  // CRC, not checked here
  return out;
}

// The images every skin can name. The ones outside the resource folder have sizes no image
// inside has, so painting one shows that the skin reached it.
constexpr int kOutsideWidth = 7, kOutsideHeight = 3;

class Folders {
 public:
  Folders() : root_("skin_check") {
    ok_ = !root_.path().empty() &&
          update_server::PutFile(root_.path(), "skin/a.png", PngHeader(16, 8)) &&
          update_server::PutFile(root_.path(), "skin/main/b.png", PngHeader(40, 10)) &&
          update_server::PutFile(root_.path(), "skin/huge.png", PngHeader(50'000, 50'000)) &&
          update_server::PutFile(root_.path(), "skin/text.png", "not an image") &&
          update_server::PutFile(root_.path(), "outside.png",
                                 PngHeader(kOutsideWidth, kOutsideHeight)) &&
          update_server::PutFile(root_.path(), "skinother/c.png",
                                 PngHeader(kOutsideWidth, kOutsideHeight));
  }
  bool ok() const { return ok_; }
  std::string resources() const { return root_.Sub("skin"); }

 private:
  update_server::TempFolder root_;
  bool ok_ = false;
};

class RecordingTarget : public skinui::RenderTarget {
 public:
  void FillRect(const RECT&, DWORD) override {}
  void DrawBorder(const RECT&, int, DWORD) override {}
  void DrawImage(const Image& image, const RECT&, const RECT& source) override {
    if (!failure.empty())
      return;
    if (image.width() == kOutsideWidth && image.height() == kOutsideHeight) {
      failure = "painted an image from outside the resource folder";
    } else if (image.width() <= 0 || image.height() <= 0 || image.width() > skinui::kMaxImageSide ||
               image.height() > skinui::kMaxImageSide) {
      failure = "painted an image of " + std::to_string(image.width()) + "x" +
                std::to_string(image.height());
    } else if (source.left < 0 || source.top < 0 || source.right > image.width() ||
               source.bottom > image.height() || source.left >= source.right ||
               source.top >= source.bottom) {
      failure = "painted a source outside its image";
    }
  }
  void DrawText(const std::string&, const RECT&, const skinui::FontSpec&, DWORD, UINT) override {}
  void PushClip(const RECT&) override { ++depth; }
  void PopClip() override {
    if (--depth < 0 && failure.empty())
      failure = "a clip popped that was not pushed";
  }

  std::string failure;
  int depth = 0;
};

class NoControls : public skinui::IDialogBuilderCallback {
 public:
  skinui::CControlUI* CreateControl(const char*) override { return nullptr; }
};

// Quiet while a check runs: a damaged skin is logged, which is not what the check looks at.
class QuietLog {
 public:
  QuietLog() {
    skinui::SetUiLogSink([](const std::string&) {});
  }
  ~QuietLog() { skinui::SetUiLogSink(nullptr); }
};

}  // namespace

std::string CheckSkin(std::string_view text) {
  if (text.empty() || text[0] != '<')
    return "";  // a file name, which skins do not carry
  static Folders folders;
  if (!folders.ok())
    return "the image folders could not be made";
  QuietLog quiet;
  skinui::CPaintManagerUI manager;
  manager.SetResourceFolder(folders.resources());
  skinui::CDialogBuilder builder;
  NoControls callback;
  skinui::CControlUI* root = builder.Create(std::string(text), &callback, &manager);
  if (root == nullptr)
    return "";
  manager.AttachDialog(root);
  const SIZE init = manager.GetInitSize();
  const SIZE sizes[] = {{std::clamp<LONG>(init.cx, 1, 4096), std::clamp<LONG>(init.cy, 1, 4096)},
                        {1, 1},
                        {3000, 2000}};
  RecordingTarget target;
  for (const SIZE& size : sizes) {
    const RECT all{0, 0, size.cx, size.cy};
    root->SetPos(all);
    root->EstimateSize(size);
    root->DoPaint(target, all);
    for (const POINT pt : {POINT{0, 0}, POINT{size.cx / 2, size.cy / 2}, POINT{-5, 7},
                           POINT{size.cx + 3, size.cy}}) {
      manager.FindControl(pt);
    }
    if (!target.failure.empty())
      return target.failure;
  }
  if (target.depth != 0)
    return "the clips pushed and popped do not match";
  return "";
}

}  // namespace skin_check
