// The SDL backend: real windows drawn in software into a surface per window (SDL2_ttf for text in
// the WenQuanYi Micro Hei font, SDL2_image for PNG and BMP only, within the caps of
// image_header.h), shown through the window's own surface. Under SDL's "offscreen" video driver
// the same code runs with no display at all, which is what the window tests and screenshots use.
//
// Native events become window messages of the thread that made the backend (mouse, keys, an
// input method's committed and composed text through text_input.h, the window manager's close
// as WM_SYSCOMMAND SC_CLOSE); a post from another thread wakes the waiting loop through an SDL
// user event.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "skinui/backend.h"
#include "skinui/message_queue.h"

namespace skinui {

// The CJK font the hall's texts are drawn in.
inline constexpr char kDefaultFontFile[] = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

class SdlBackend : public Backend, public EventPump {
 public:
  // Initialises SDL video, SDL_ttf and SDL_image on the calling thread (the window thread) and
  // installs itself as that thread's event pump. Check ok() before use.
  explicit SdlBackend(std::string font_file = kDefaultFontFile);
  ~SdlBackend() override;

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  std::unique_ptr<NativeWindow> CreateNativeWindow(HWND hwnd, const std::string& title,
                                                   const RECT& bounds) override;
  SIZE ScreenSize() override;
  std::shared_ptr<Image> DecodeImage(const std::string& bytes) override;
  SIZE MeasureText(const std::string& text, const FontSpec& font) override;
  // SDL's clipboard: the X11 selection under a display, SDL's own store under the offscreen
  // driver.
  bool SetClipboardText(const std::string& utf8) override;
  std::string GetClipboardText() override;
  bool GetCursorScreenPos(POINT* pos) override;

  void Pump(int timeout_ms) override;
  void Wake() override;

  // The font of `spec` (opened once per size and style); null when the font file is unusable.
  struct Font;
  Font* FontFor(const FontSpec& spec);

  // Used by the native windows.
  void AddWindow(uint32_t sdl_id, HWND hwnd) { windows_[sdl_id] = hwnd; }
  void RemoveWindow(uint32_t sdl_id) { windows_.erase(sdl_id); }
  // The SDL window id of a window made by this backend, 0 for others.
  uint32_t SdlWindowId(HWND hwnd) const {
    for (const auto& [id, h] : windows_) {
      if (h == hwnd)
        return id;
    }
    return 0;
  }

 private:
  void Translate(const void* sdl_event);

  bool ok_ = false;
  std::string error_;
  std::string font_file_;
  uint32_t wake_event_ = 0;
  std::map<uint32_t, HWND> windows_;
  std::map<std::tuple<int, bool, bool, bool>, std::unique_ptr<Font>> fonts_;
};

}  // namespace skinui
