// What the window library needs from a rendering backend: native windows, a surface to paint on,
// image decoding and text measuring. The model, layout and message loop never draw themselves;
// they go through these interfaces, so the same windows run headless in tests and under SDL.
#pragma once

#include <memory>
#include <string>

#include "platform/win_types.h"

namespace skinui {

// Text placement flags for DrawText.
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

struct FontSpec {
  std::string name;
  int size = 12;  // pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
};

// A decoded image; the backend keeps the pixels.
class Image {
 public:
  virtual ~Image() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};

// A surface being painted. Colours are 0xAARRGGBB; a zero alpha byte means opaque (skins often
// write 0xRRGGBB).
class RenderTarget {
 public:
  virtual ~RenderTarget() = default;
  virtual void FillRect(const RECT& rect, DWORD argb) = 0;
  virtual void DrawBorder(const RECT& rect, int size, DWORD argb) = 0;
  // Draws `source` of `image` stretched over `dest`.
  virtual void DrawImage(const Image& image, const RECT& dest, const RECT& source) = 0;
  // UTF-8 text inside `box` with the DT_* placement of `format`.
  virtual void DrawText(const std::string& text, const RECT& box, const FontSpec& font, DWORD argb,
                        UINT format) = 0;
  // Drawing is limited to the intersection of the pushed rectangles.
  virtual void PushClip(const RECT& rect) = 0;
  virtual void PopClip() = 0;
};

// The native side of one top-level window.
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual void Show(bool show) = 0;
  // Brings a shown window in front of the others (the foreground request).
  virtual void Raise() = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // Outer rectangle in screen coordinates; the client area has the same size.
  virtual void SetBounds(const RECT& rect) = 0;
  // A target covering the client area; EndPaint presents what was painted.
  virtual RenderTarget& BeginPaint() = 0;
  virtual void EndPaint() = 0;
  // Writes the last presented picture as a PNG file; false when the backend has no pixels.
  virtual bool SaveScreenshot(const std::string& png_path) = 0;
  // While set, the mouse keeps reporting to this window when it leaves it (a window being
  // dragged by its caption). Backends without the notion ignore it.
  virtual void SetMouseCapture(bool /*capture*/) {}
  // Where text being typed goes (the caret of the focused edit, client coordinates), so that an
  // input method places its candidate list beside it. Backends without one ignore it.
  virtual void SetTextInputRect(const RECT& /*rect*/) {}
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::unique_ptr<NativeWindow> CreateNativeWindow(HWND hwnd, const std::string& title,
                                                           const RECT& bounds) = 0;
  virtual SIZE ScreenSize() = 0;
  // Decodes PNG or BMP bytes; null when they are neither, are damaged, or are outside the caps of
  // image_header.h (kMaxImageBytes, kMaxImageSide).
  virtual std::shared_ptr<Image> DecodeImage(const std::string& bytes) = 0;
  // Size of one line of `text` (UTF-8) in `font`.
  virtual SIZE MeasureText(const std::string& text, const FontSpec& font) = 0;

  // The system clipboard's text (UTF-8): what Ctrl+C and Ctrl+X put there and Ctrl+V takes.
  // Get gives an empty text when the clipboard holds none. False when it cannot be set.
  virtual bool SetClipboardText(const std::string& utf8) = 0;
  virtual std::string GetClipboardText() = 0;
  // The mouse pointer in screen coordinates; false when the backend cannot tell (the window
  // library then works from the position of the window and the mouse messages).
  virtual bool GetCursorScreenPos(POINT* /*pos*/) { return false; }
};

// The process-wide backend; the headless one until set.
// REQUIRES: set before the first window and outliving every window.
void SetBackend(Backend* backend);
Backend& CurrentBackend();

}  // namespace skinui
