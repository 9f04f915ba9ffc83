#include "skinui/sdl/sdl_backend.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <list>
#include <string_view>
#include <tuple>
#include <vector>

#include "skinui/image_header.h"
#include "skinui/text_input.h"
#include "skinui/ui_defs.h"
#include "skinui/utf8.h"

namespace skinui {

struct SdlBackend::Font {
  TTF_Font* font = nullptr;
  ~Font() {
    if (font != nullptr)
      TTF_CloseFont(font);
  }
};

namespace {

// Text pictures kept per window so that a repaint of unchanged text costs one copy.
constexpr size_t kTextCacheEntries = 2048;

SDL_Color ToColour(DWORD argb) {
  const Uint8 a = static_cast<Uint8>(argb >> 24);
  return SDL_Color{static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
                   static_cast<Uint8>(argb), a == 0 ? Uint8{255} : a};
}

SDL_Rect ToSdl(const RECT& r) {
  return SDL_Rect{r.left, r.top, std::max<LONG>(0, r.right - r.left),
                  std::max<LONG>(0, r.bottom - r.top)};
}

class SdlImage : public Image {
 public:
  explicit SdlImage(SDL_Surface* s) : surface_(s) {}
  ~SdlImage() override { SDL_FreeSurface(surface_); }
  int width() const override { return surface_->w; }
  int height() const override { return surface_->h; }
  SDL_Surface* surface() const { return surface_; }

 private:
  SDL_Surface* surface_;
};

class SdlTarget : public RenderTarget {
 public:
  SdlTarget(SdlBackend* backend) : backend_(backend) {}
  ~SdlTarget() override { Reset(); }

  // Points the target at a new renderer (a resized surface); cached pictures belong to the old.
  void Attach(SDL_Renderer* renderer, SIZE size) {
    Reset();
    renderer_ = renderer;
    size_ = size;
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
  }

  void FillRect(const RECT& rect, DWORD argb) override {
    const SDL_Color c = ToColour(argb);
    SDL_SetRenderDrawColor(renderer_, c.r, c.g, c.b, c.a);
    const SDL_Rect r = ToSdl(rect);
    SDL_RenderFillRect(renderer_, &r);
  }

  void DrawBorder(const RECT& rect, int size, DWORD argb) override {
    const SDL_Color c = ToColour(argb);
    SDL_SetRenderDrawColor(renderer_, c.r, c.g, c.b, c.a);
    for (int i = 0; i < size; ++i) {
      const SDL_Rect r = ToSdl(RECT{rect.left + i, rect.top + i, rect.right - i, rect.bottom - i});
      SDL_RenderDrawRect(renderer_, &r);
    }
  }

  void DrawImage(const Image& image, const RECT& dest, const RECT& source) override {
    const auto* img = dynamic_cast<const SdlImage*>(&image);
    if (img == nullptr)
      return;
    SDL_Texture*& tex = images_[img];
    if (tex == nullptr)
      tex = SDL_CreateTextureFromSurface(renderer_, img->surface());
    if (tex == nullptr)
      return;
    const SDL_Rect s = ToSdl(source);
    const SDL_Rect d = ToSdl(dest);
    SDL_RenderCopy(renderer_, tex, &s, &d);
  }

  void DrawText(const std::string& text, const RECT& box, const FontSpec& font, DWORD argb,
                UINT format) override {
    if (text.empty() || RectEmpty(box))
      return;
    const int wrap = (format & DT_WORDBREAK) ? box.right - box.left : 0;
    SDL_Texture* tex = TextPicture(text, font, argb, wrap);
    if (tex == nullptr)
      return;
    int w = 0, h = 0;
    SDL_QueryTexture(tex, nullptr, nullptr, &w, &h);
    LONG x = box.left, y = box.top;
    if (format & DT_CENTER)
      x = box.left + (box.right - box.left - w) / 2;
    if (format & DT_RIGHT)
      x = box.right - w;
    if (format & DT_VCENTER)
      y = box.top + (box.bottom - box.top - h) / 2;
    if (format & DT_BOTTOM)
      y = box.bottom - h;
    // Text never spills out of its box.
    PushClip(box);
    const SDL_Rect d{x, y, w, h};
    SDL_RenderCopy(renderer_, tex, nullptr, &d);
    PopClip();
  }

  void PushClip(const RECT& rect) override {
    RECT r = clips_.empty() ? rect : IntersectRects(clips_.back(), rect);
    clips_.push_back(r);
    ApplyClip();
  }

  void PopClip() override {
    if (!clips_.empty())
      clips_.pop_back();
    ApplyClip();
  }

 private:
  using TextKey = std::tuple<std::string, int, bool, DWORD, int>;

  void ApplyClip() {
    if (clips_.empty()) {
      SDL_RenderSetClipRect(renderer_, nullptr);
      return;
    }
    SDL_Rect r = ToSdl(clips_.back());
    if (r.w == 0 || r.h == 0)
      r = SDL_Rect{-1, -1, 1, 1};  // nothing visible
    SDL_RenderSetClipRect(renderer_, &r);
  }

  SDL_Texture* TextPicture(const std::string& text, const FontSpec& spec, DWORD argb, int wrap) {
    const TextKey key{text, spec.size, spec.bold, argb, wrap};
    const auto it = text_index_.find(key);
    if (it != text_index_.end()) {
      text_lru_.splice(text_lru_.begin(), text_lru_, it->second);
      return it->second->second;
    }
    SdlBackend::Font* font = backend_->FontFor(spec);
    if (font == nullptr)
      return nullptr;
    SDL_Surface* s =
        wrap > 0 ? TTF_RenderUTF8_Blended_Wrapped(font->font, text.c_str(), ToColour(argb), wrap)
                 : TTF_RenderUTF8_Blended(font->font, text.c_str(), ToColour(argb));
    if (s == nullptr)
      return nullptr;
    SDL_Texture* tex = SDL_CreateTextureFromSurface(renderer_, s);
    SDL_FreeSurface(s);
    if (tex == nullptr)
      return nullptr;
    text_lru_.emplace_front(key, tex);
    text_index_[key] = text_lru_.begin();
    if (text_lru_.size() > kTextCacheEntries) {
      SDL_DestroyTexture(text_lru_.back().second);
      text_index_.erase(text_lru_.back().first);
      text_lru_.pop_back();
    }
    return tex;
  }

  void Reset() {
    for (auto& [img, tex] : images_) {
      if (tex != nullptr)
        SDL_DestroyTexture(tex);
    }
    images_.clear();
    for (auto& [key, tex] : text_lru_)
      SDL_DestroyTexture(tex);
    text_lru_.clear();
    text_index_.clear();
    clips_.clear();
  }

  SdlBackend* backend_;
  SDL_Renderer* renderer_ = nullptr;
  SIZE size_;
  std::vector<RECT> clips_;
  std::map<const SdlImage*, SDL_Texture*> images_;
  std::list<std::pair<TextKey, SDL_Texture*>> text_lru_;
  std::map<TextKey, std::list<std::pair<TextKey, SDL_Texture*>>::iterator> text_index_;
};

class SdlWindow : public NativeWindow {
 public:
  SdlWindow(SdlBackend* backend, HWND hwnd, const std::string& title, const RECT& bounds)
      : backend_(backend), target_(backend) {
    const int w = std::max<LONG>(1, bounds.right - bounds.left);
    const int h = std::max<LONG>(1, bounds.bottom - bounds.top);
    window_ = SDL_CreateWindow(title.c_str(), bounds.left, bounds.top, w, h,
                               SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (window_ != nullptr)
      backend_->AddWindow(SDL_GetWindowID(window_), hwnd);
    size_ = SIZE{w, h};
  }

  ~SdlWindow() override {
    target_.Attach(nullptr, SIZE{});
    if (renderer_ != nullptr)
      SDL_DestroyRenderer(renderer_);
    if (surface_ != nullptr)
      SDL_FreeSurface(surface_);
    if (window_ != nullptr) {
      backend_->RemoveWindow(SDL_GetWindowID(window_));
      SDL_DestroyWindow(window_);
    }
  }

  void Show(bool show) override {
    if (window_ == nullptr)
      return;
    if (show) {
      SDL_ShowWindow(window_);
      SDL_RaiseWindow(window_);
    } else {
      SDL_HideWindow(window_);
    }
  }

  void Raise() override {
    if (window_ != nullptr)
      SDL_RaiseWindow(window_);
  }

  void SetTitle(const std::string& title) override {
    if (window_ != nullptr)
      SDL_SetWindowTitle(window_, title.c_str());
  }

  void SetBounds(const RECT& rect) override {
    size_ =
        SIZE{std::max<LONG>(1, rect.right - rect.left), std::max<LONG>(1, rect.bottom - rect.top)};
    if (window_ == nullptr)
      return;
    SDL_SetWindowPosition(window_, rect.left, rect.top);
    SDL_SetWindowSize(window_, size_.cx, size_.cy);
  }

  RenderTarget& BeginPaint() override {
    if (surface_ == nullptr || surface_->w != size_.cx || surface_->h != size_.cy) {
      target_.Attach(nullptr, SIZE{});
      if (renderer_ != nullptr)
        SDL_DestroyRenderer(renderer_);
      if (surface_ != nullptr)
        SDL_FreeSurface(surface_);
      surface_ =
          SDL_CreateRGBSurfaceWithFormat(0, size_.cx, size_.cy, 32, SDL_PIXELFORMAT_ARGB8888);
      renderer_ = surface_ != nullptr ? SDL_CreateSoftwareRenderer(surface_) : nullptr;
      target_.Attach(renderer_, size_);
    }
    if (renderer_ != nullptr) {
      SDL_SetRenderDrawColor(renderer_, 255, 255, 255, 255);
      SDL_RenderClear(renderer_);
    }
    return target_;
  }

  void EndPaint() override {
    if (renderer_ == nullptr)
      return;
    SDL_RenderPresent(renderer_);
    if (window_ == nullptr)
      return;
    if (SDL_Surface* screen = SDL_GetWindowSurface(window_)) {
      SDL_BlitSurface(surface_, nullptr, screen, nullptr);
      SDL_UpdateWindowSurface(window_);
    }
  }

  bool SaveScreenshot(const std::string& png_path) override {
    return surface_ != nullptr && IMG_SavePNG(surface_, png_path.c_str()) == 0;
  }

  void SetMouseCapture(bool capture) override {
    // Acts on the window with the keyboard focus, which is the one being pressed.
    SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
  }

  void SetTextInputRect(const RECT& rect) override {
    if (rect == input_rect_)
      return;
    input_rect_ = rect;
    SDL_Rect r = ToSdl(rect);
    SDL_SetTextInputRect(&r);
  }

 private:
  SdlBackend* backend_;
  SDL_Window* window_ = nullptr;
  SDL_Surface* surface_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SIZE size_;
  SdlTarget target_;
  RECT input_rect_;
};

// Virtual keys of the SDL keys the controls act on; 0 for the others.
WPARAM VirtualKey(SDL_Keycode k) {
  switch (k) {
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_RETURN:
      return VK_RETURN;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_END:
      return VK_END;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_DELETE:
      return VK_DELETE;
    default:
      return 0;
  }
}

}  // namespace

SdlBackend::SdlBackend(std::string font_file) : font_file_(std::move(font_file)) {
  // Everything is drawn in software; a window's surface needs no GL driver behind it.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // A composition longer than a text event holds arrives whole (SDL_TEXTEDITING_EXT).
  SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error_ = SDL_GetError();
    return;
  }
  if (TTF_Init() != 0) {
    error_ = TTF_GetError();
    return;
  }
  IMG_Init(IMG_INIT_PNG);
  wake_event_ = SDL_RegisterEvents(1);
  SDL_StartTextInput();
  SetThreadEventPump(this);
  ok_ = true;
}

SdlBackend::~SdlBackend() {
  SetThreadEventPump(nullptr);
  fonts_.clear();
  if (ok_) {
    IMG_Quit();
    TTF_Quit();
    // The video subsystem stays up for the life of the process: shutting it down unloads the
    // libraries it opened, and what they keep (never freed by design) could then no longer be
    // told apart from leaks of our own.
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }
}

std::unique_ptr<NativeWindow> SdlBackend::CreateNativeWindow(HWND hwnd, const std::string& title,
                                                             const RECT& bounds) {
  return std::make_unique<SdlWindow>(this, hwnd, title, bounds);
}

SIZE SdlBackend::ScreenSize() {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
    return SIZE{1920, 1080};
  return SIZE{mode.w, mode.h};
}

std::shared_ptr<Image> SdlBackend::DecodeImage(const std::string& bytes) {
  // Only the decoder of the format the header names runs, and only once the header's size is
  // within the caps: SDL_image's own detection would hand other bytes to decoders of formats the
  // hall never uses (vector images among them, drawn at whatever size they name).
  ImageHeader header;
  if (!ReadImageHeader(bytes, &header))
    return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  if (rw == nullptr)
    return nullptr;
  SDL_Surface* s = header.format == ImageFormat::kPng ? IMG_LoadPNG_RW(rw) : IMG_LoadBMP_RW(rw);
  SDL_RWclose(rw);
  if (s == nullptr)
    return nullptr;
  if (s->w != header.width || s->h != header.height) {
    SDL_FreeSurface(s);
    return nullptr;
  }
  return std::make_shared<SdlImage>(s);
}

SdlBackend::Font* SdlBackend::FontFor(const FontSpec& spec) {
  const auto key = std::make_tuple(spec.size, spec.bold, spec.italic, spec.underline);
  auto& slot = fonts_[key];
  if (!slot) {
    slot = std::make_unique<Font>();
    slot->font = TTF_OpenFont(font_file_.c_str(), std::clamp(spec.size, 6, 96));
    if (slot->font != nullptr) {
      int style = TTF_STYLE_NORMAL;
      if (spec.bold)
        style |= TTF_STYLE_BOLD;
      if (spec.italic)
        style |= TTF_STYLE_ITALIC;
      if (spec.underline)
        style |= TTF_STYLE_UNDERLINE;
      TTF_SetFontStyle(slot->font, style);
    }
  }
  return slot->font != nullptr ? slot.get() : nullptr;
}

SIZE SdlBackend::MeasureText(const std::string& text, const FontSpec& spec) {
  Font* f = FontFor(spec);
  int w = 0, h = 0;
  if (f == nullptr || TTF_SizeUTF8(f->font, text.c_str(), &w, &h) != 0)
    return SIZE{0, 0};
  return SIZE{w, h};
}

bool SdlBackend::SetClipboardText(const std::string& utf8) {
  return SDL_SetClipboardText(utf8.c_str()) == 0;
}

std::string SdlBackend::GetClipboardText() {
  char* text = SDL_GetClipboardText();
  std::string out = text != nullptr ? text : "";
  SDL_free(text);
  return out;
}

bool SdlBackend::GetCursorScreenPos(POINT* pos) {
  // Only X11 knows where the pointer is on the screen; elsewhere SDL would answer with the
  // position inside the window, which would throw a dragged window about.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::string_view(driver) != "x11")
    return false;
  int x = 0, y = 0;
  SDL_GetGlobalMouseState(&x, &y);
  *pos = POINT{x, y};
  return true;
}

void SdlBackend::Pump(int timeout_ms) {
  SDL_Event e;
  if (timeout_ms != 0 && SDL_WaitEventTimeout(&e, timeout_ms < 0 ? 50 : timeout_ms) == 1) {
    Translate(&e);
  }
  while (SDL_PollEvent(&e) == 1)
    Translate(&e);
}

void SdlBackend::Wake() {
  SDL_Event e{};
  e.type = wake_event_;
  SDL_PushEvent(&e);
}

void SdlBackend::Translate(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  auto target = [this](uint32_t id) -> HWND {
    const auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second;
  };
  auto at = [](int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                      static_cast<WORD>(static_cast<int16_t>(y)));
  };
  switch (e.type) {
    case SDL_MOUSEMOTION:
      PostMessage(target(e.motion.windowID), WM_MOUSEMOVE, 0, at(e.motion.x, e.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) {
        const UINT m = e.type == SDL_MOUSEBUTTONUP ? WM_LBUTTONUP
                       : e.button.clicks >= 2      ? WM_LBUTTONDBLCLK
                                                   : WM_LBUTTONDOWN;
        PostMessage(target(e.button.windowID), m, 0, at(e.button.x, e.button.y));
      }
      break;
    case SDL_MOUSEWHEEL: {
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      const WORD delta = static_cast<WORD>(static_cast<int16_t>(e.wheel.y * 120));
      PostMessage(target(e.wheel.windowID), WM_MOUSEWHEEL, MAKELPARAM(0, delta), at(x, y));
      break;
    }
    case SDL_KEYDOWN: {
      const Uint16 mod = e.key.keysym.mod;
      const LPARAM held =
          ((mod & KMOD_SHIFT) ? MK_SHIFT : 0) | ((mod & KMOD_CTRL) ? MK_CONTROL : 0);
      WPARAM vk = VirtualKey(e.key.keysym.sym);
      // Letters come as text input; only with Ctrl held (Ctrl+A) are they keys.
      if (vk == 0 && (mod & KMOD_CTRL) && e.key.keysym.sym >= SDLK_a && e.key.keysym.sym <= SDLK_z)
        vk = 'A' + (e.key.keysym.sym - SDLK_a);
      if (vk != 0)
        PostMessage(target(e.key.windowID), WM_KEYDOWN, vk, held);
      break;
    }
    case SDL_TEXTINPUT:
      // Committed text, whole (SDL cuts a long one into several events at character bounds).
      PostTextInput(target(e.text.windowID), e.text.text);
      break;
    case SDL_TEXTEDITING:
      PostComposition(target(e.edit.windowID), e.edit.text, e.edit.start);
      break;
    case SDL_TEXTEDITING_EXT:
      if (e.editExt.text != nullptr) {
        PostComposition(target(e.editExt.windowID), e.editExt.text, e.editExt.start);
        SDL_free(e.editExt.text);  // the event's text is ours to free
      }
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        PostMessage(target(e.window.windowID), WM_SYSCOMMAND, SC_CLOSE, 0);
      } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
        InvalidateWindow(target(e.window.windowID));
      }
      break;
    default:
      break;
  }
}

}  // namespace skinui
