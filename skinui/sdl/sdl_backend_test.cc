#include "skinui/sdl/sdl_backend.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/file_util.h"
#include "skinui/edit.h"
#include "skinui/image_header.h"
#include "skinui/label.h"
#include "skinui/test_driver.h"
#include "skinui/test_window.h"

namespace skinui {
namespace {

class SdlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Offscreen unless the run chose a driver (xvfb-run with SDL_VIDEODRIVER=x11).
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
  }
  void SetUp() override {
    // One backend for the process, like the hall: SDL is brought up once and stays up.
    static SdlBackend* backend = new SdlBackend;
    backend_ = backend;
    ASSERT_TRUE(backend_->ok()) << backend_->error();
    SetBackend(backend_);
  }
  void TearDown() override { SetBackend(nullptr); }

  // Non-white pixels of a PNG inside `r`.
  static int InkIn(const std::string& png, const RECT& r) {
    SDL_Surface* raw = IMG_Load(png.c_str());
    if (raw == nullptr)
      return -1;
    SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(raw);
    int ink = 0;
    for (int y = std::max<LONG>(0, r.top); y < std::min<LONG>(s->h, r.bottom); ++y) {
      const auto* row =
          reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) + y * s->pitch);
      for (int x = std::max<LONG>(0, r.left); x < std::min<LONG>(s->w, r.right); ++x) {
        if ((row[x] & 0xFFFFFF) != 0xFFFFFF)
          ++ink;
      }
    }
    SDL_FreeSurface(s);
    return ink;
  }

  // Pixels of exactly `rgb` inside `r`.
  static int PixelsOf(const std::string& png, const RECT& r, uint32_t rgb) {
    SDL_Surface* raw = IMG_Load(png.c_str());
    if (raw == nullptr)
      return -1;
    SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(raw);
    int n = 0;
    for (int y = std::max<LONG>(0, r.top); y < std::min<LONG>(s->h, r.bottom); ++y) {
      const auto* row =
          reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) + y * s->pitch);
      for (int x = std::max<LONG>(0, r.left); x < std::min<LONG>(s->w, r.right); ++x) {
        if ((row[x] & 0xFFFFFF) == rgb)
          ++n;
      }
    }
    SDL_FreeSurface(s);
    return n;
  }

  SdlBackend* backend_ = nullptr;
};

constexpr char kChineseSkin[] =
    "<Window size=\"360,200\"><Font id=\"0\" size=\"16\" default=\"true\"/>"
    "<VerticalLayout>"
    "<Label name=\"title\" height=\"40\" text=\"登录\" align=\"center\"/>"
    "<Label name=\"content\" height=\"60\" text=\"登录失败：密码错误\" align=\"center\"/>"
    "<Control name=\"blank\"/>"
    "<Button name=\"ok\" height=\"40\" text=\"确定\" bkcolor=\"#FFDDDDDD\"/>"
    "</VerticalLayout></Window>";

TEST_F(SdlTest, ChineseTextIsDrawnWhereItsLabelsAreAndNowhereElse) {
  SkinTestWindow w(kChineseSkin);
  // Not the hall's own title: a process test running beside this one asserts that no window
  // carries that title but its peer's.
  ASSERT_NE(w.Create(nullptr, "休闲游zeb 中文", 0, 0), nullptr);
  w.ShowWindow();
  TestDriver d;
  d.RunUntilIdle();
  const std::string png = ::testing::TempDir() + "skinui_chinese.png";
  ASSERT_TRUE(TestDriver::SaveScreenshot(w, png));
  const RECT title = TestDriver::Find(w, "title")->GetPos();
  const RECT content = TestDriver::Find(w, "content")->GetPos();
  const RECT blank = TestDriver::Find(w, "blank")->GetPos();
  // A CJK glyph of 16 px has far more ink than a replacement box or a missing-glyph square.
  EXPECT_GT(InkIn(png, title), 60);
  EXPECT_GT(InkIn(png, content), 300);
  EXPECT_EQ(InkIn(png, blank), 0);
  // Measured with the real font: Chinese characters are about as wide as the font is tall.
  const SIZE two = backend_->MeasureText("登录", w.GetPaintManager().GetFont(-1));
  EXPECT_GE(two.cx, 28);
  EXPECT_LE(two.cx, 36);
}

TEST_F(SdlTest, NativeMouseEventsReachTheControlsAsClicks) {
  SkinTestWindow w(kChineseSkin);
  w.Create(nullptr, "t", 0, 0);
  w.ShowWindow();
  TestDriver d;
  d.RunUntilIdle();
  const RECT ok = TestDriver::Find(w, "ok")->GetPos();
  const uint32_t id = backend_->SdlWindowId(w.GetHWND());
  ASSERT_NE(id, 0u);
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = id;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.clicks = 1;
    e.button.x = (ok.left + ok.right) / 2;
    e.button.y = (ok.top + ok.bottom) / 2;
    SDL_PushEvent(&e);
  }
  d.RunUntilIdle();
  EXPECT_EQ(w.clicks, std::vector<std::string>{"ok"});
}

// Native keys with Shift and Ctrl select in an edit, and the selection and caret show in pixels.
TEST_F(SdlTest, NativeKeysWithModifiersSelectAndTheCaretIsDrawn) {
  SkinTestWindow w(
      "<Window size=\"300,100\"><Font id=\"0\" size=\"16\" default=\"true\"/>"
      "<VerticalLayout><Edit name=\"e\" height=\"30\" text=\"密码错误\"/>"
      "<Control/></VerticalLayout></Window>");
  w.Create(nullptr, "t", 0, 0);
  w.ShowWindow();
  TestDriver d;
  ASSERT_TRUE(d.Click(w, "e"));
  auto* edit = static_cast<CEditUI*>(TestDriver::Find(w, "e"));
  const uint32_t id = backend_->SdlWindowId(w.GetHWND());
  auto key = [&](SDL_Keycode sym, Uint16 mod) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
    d.RunUntilIdle();
  };
  int start = -1, end = -1;
  key(SDLK_END, KMOD_NONE);
  key(SDLK_LEFT, KMOD_LSHIFT);
  edit->GetSel(&start, &end);
  EXPECT_EQ(start, 3);
  EXPECT_EQ(end, 4);
  key(SDLK_a, KMOD_LCTRL);
  edit->GetSel(&start, &end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 4);

  const RECT box = edit->GetTextRect();
  const std::string png = ::testing::TempDir() + "skinui_edit_selection.png";
  ASSERT_TRUE(TestDriver::SaveScreenshot(w, png));
  EXPECT_GT(PixelsOf(png, box, 0xB5D5FF), 100);  // the marked text's background

  key(SDLK_RIGHT, KMOD_NONE);  // ends the selection at its end: just the caret after the text
  edit->GetSel(&start, &end);
  EXPECT_EQ(start, 4);
  const std::string caret_png = ::testing::TempDir() + "skinui_edit_caret.png";
  ASSERT_TRUE(TestDriver::SaveScreenshot(w, caret_png));
  EXPECT_EQ(PixelsOf(caret_png, box, 0xB5D5FF), 0);
  const int caret_x =
      box.left + backend_->MeasureText("密码错误", w.GetPaintManager().GetFont(-1)).cx;
  const int middle = (box.top + box.bottom) / 2;
  EXPECT_EQ(InkIn(caret_png, RECT{caret_x, middle - 4, caret_x + 1, middle + 4}), 8);
  EXPECT_EQ(InkIn(caret_png, RECT{caret_x + 2, middle - 4, box.right, middle + 4}), 0);
}

// SDL's input-method events reach the focused edit: the composition shown in it (also one
// longer than an SDL text event holds), the committed text typed in whole.
TEST_F(SdlTest, InputMethodTextArrivesWholeAndTheCompositionIsDrawn) {
  SkinTestWindow w(
      "<Window size=\"300,80\"><Font id=\"0\" size=\"16\" default=\"true\"/>"
      "<VerticalLayout inset=\"10,10,10,10\"><Edit name=\"e\" height=\"30\" text=\"账号\" "
      "bordersize=\"1\" bordercolor=\"#FF999999\"/>"
      "<Control/></VerticalLayout></Window>");
  w.Create(nullptr, "t", 0, 0);
  w.ShowWindow();
  TestDriver d;
  ASSERT_TRUE(d.Click(w, "e"));
  auto* edit = static_cast<CEditUI*>(TestDriver::Find(w, "e"));
  d.PressKey(w, VK_END);
  const uint32_t id = backend_->SdlWindowId(w.GetHWND());
  const RECT box = edit->GetTextRect();
  const int typed_x = box.left + backend_->MeasureText("账号", w.GetPaintManager().GetFont(-1)).cx;
  const std::string before = ::testing::TempDir() + "skinui_ime_before.png";
  ASSERT_TRUE(TestDriver::SaveScreenshot(w, before));
  const RECT after_text{typed_x + 2, box.top + 2, box.right, box.bottom - 2};  // inside the border
  EXPECT_EQ(InkIn(before, after_text), 0);

  SDL_Event e{};
  e.type = SDL_TEXTEDITING;
  e.edit.windowID = id;
  SDL_strlcpy(e.edit.text, "zhong guo", sizeof e.edit.text);
  e.edit.start = 5;
  SDL_PushEvent(&e);
  d.RunUntilIdle();
  EXPECT_EQ(edit->GetComposition(), "zhong guo");
  EXPECT_EQ(std::string(edit->GetText()), "账号");
  const std::string composing = ::testing::TempDir() + "skinui_ime_composition.png";
  ASSERT_TRUE(TestDriver::SaveScreenshot(w, composing));
  EXPECT_GT(InkIn(composing, after_text), 100) << "the composition is drawn after the text";

  // Longer than an SDL text event holds: it comes in the extended event, whole.
  const std::string long_composition = "zhong hua ren min gong he guo wan sui";
  e = SDL_Event{};
  e.type = SDL_TEXTEDITING_EXT;
  e.editExt.windowID = id;
  e.editExt.text = SDL_strdup(long_composition.c_str());
  e.editExt.start = 0;
  SDL_PushEvent(&e);
  d.RunUntilIdle();
  EXPECT_EQ(edit->GetComposition(), long_composition);

  e = SDL_Event{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = id;
  SDL_strlcpy(e.text.text, "中华人民共和国", sizeof e.text.text);
  SDL_PushEvent(&e);
  d.RunUntilIdle();
  EXPECT_EQ(std::string(edit->GetText()), "账号中华人民共和国");
  EXPECT_EQ(edit->GetComposition(), "");
}

TEST_F(SdlTest, CtrlCAndCtrlVUseSdlsClipboard) {
  SkinTestWindow w(
      "<Window size=\"300,80\"><VerticalLayout><Edit name=\"e\" height=\"30\" "
      "text=\"复制我\"/><Control/></VerticalLayout></Window>");
  w.Create(nullptr, "t", 0, 0);
  w.ShowWindow();
  TestDriver d;
  ASSERT_TRUE(d.Click(w, "e"));
  const uint32_t id = backend_->SdlWindowId(w.GetHWND());
  auto key = [&](SDL_Keycode sym, Uint16 mod) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
    d.RunUntilIdle();
  };
  ASSERT_EQ(SDL_SetClipboardText("old"), 0);
  key(SDLK_a, KMOD_LCTRL);
  key(SDLK_c, KMOD_LCTRL);
  char* copied = SDL_GetClipboardText();
  EXPECT_STREQ(copied, "复制我");
  SDL_free(copied);
  ASSERT_EQ(SDL_SetClipboardText("粘贴"), 0);
  key(SDLK_END, KMOD_NONE);
  key(SDLK_v, KMOD_RCTRL);
  EXPECT_EQ(std::string(TestDriver::Find(w, "e")->GetText()), "复制我粘贴");
}

TEST_F(SdlTest, EnterFromTheKeyboardPressesTheDefaultButton) {
  SkinTestWindow w(
      "<Window size=\"300,100\" defaultbutton=\"ok\"><VerticalLayout>"
      "<Edit name=\"e\" height=\"30\"/><Button name=\"ok\" height=\"30\" text=\"确定\"/>"
      "</VerticalLayout></Window>");
  w.Create(nullptr, "t", 0, 0);
  w.ShowWindow();
  TestDriver d;
  ASSERT_TRUE(d.Click(w, "e"));
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.windowID = backend_->SdlWindowId(w.GetHWND());
  e.key.keysym.sym = SDLK_RETURN;
  SDL_PushEvent(&e);
  d.RunUntilIdle();
  EXPECT_EQ(w.clicks, std::vector<std::string>{"ok"});
}

// A borderless window dragged by its caption with native mouse events moves on the screen.
TEST_F(SdlTest, DraggingTheCaptionMovesTheNativeWindow) {
  SkinTestWindow w(
      "<Window size=\"300,200\" caption=\"0,0,0,40\"><VerticalLayout>"
      "<Label name=\"title\" height=\"40\" text=\"标题\"/><Control/></VerticalLayout></Window>");
  w.Create(nullptr, "t", 0, 0, 100, 100);
  w.ShowWindow();
  TestDriver d;
  d.RunUntilIdle();
  const uint32_t id = backend_->SdlWindowId(w.GetHWND());
  SDL_Window* native = SDL_GetWindowFromID(id);
  ASSERT_NE(native, nullptr);
  auto mouse = [&](Uint32 type, int x, int y) {
    // Where the pointer is on the screen too, for a display that knows (X11); the offscreen
    // driver has no pointer and the window works from the events alone.
    const RECT r = w.GetWindowRect();
    SDL_WarpMouseGlobal(r.left + x, r.top + y);
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
      e.motion.windowID = id;
      e.motion.x = x;
      e.motion.y = y;
    } else {
      e.button.windowID = id;
      e.button.button = SDL_BUTTON_LEFT;
      e.button.clicks = 1;
      e.button.x = x;
      e.button.y = y;
    }
    SDL_PushEvent(&e);
    d.RunUntilIdle();
  };
  mouse(SDL_MOUSEBUTTONDOWN, 50, 20);
  mouse(SDL_MOUSEMOTION, 80, 30);  // 30 right, 10 down from the press
  mouse(SDL_MOUSEMOTION, 50, 20);  // the window came along: the same point inside it again
  mouse(SDL_MOUSEBUTTONUP, 50, 20);
  EXPECT_EQ(w.GetWindowRect().left, 130);
  EXPECT_EQ(w.GetWindowRect().top, 110);
  int x = 0, y = 0;
  SDL_GetWindowPosition(native, &x, &y);
  EXPECT_EQ(x, 130);
  EXPECT_EQ(y, 110);
}

TEST_F(SdlTest, APostFromAnotherThreadWakesTheWaitingLoop) {
  SkinTestWindow w("<VerticalLayout/>");
  w.Create(nullptr, "t", 0, 0, 0, 0, 50, 50);
  const HWND h = w.GetHWND();
  std::thread poster([h] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    PostMessage(h, WM_CLOSE, 6, 0);
  });
  EXPECT_EQ(w.ShowModal(), 6u);
  poster.join();
}

TEST_F(SdlTest, RealPngAndBmpBytesDecodeAndDamagedOnesDoNot) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 30, 12, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(s, nullptr, 0xFF336699);
  const std::string png = ::testing::TempDir() + "skinui_decode.png";
  const std::string bmp = ::testing::TempDir() + "skinui_decode.bmp";
  ASSERT_EQ(IMG_SavePNG(s, png.c_str()), 0);
  ASSERT_EQ(SDL_SaveBMP(s, bmp.c_str()), 0);
  SDL_FreeSurface(s);
  std::string bytes;
  ASSERT_TRUE(platform::ReadFile(png, &bytes));
  auto image = backend_->DecodeImage(bytes);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 30);
  EXPECT_EQ(backend_->DecodeImage(bytes.substr(0, bytes.size() / 3)), nullptr);
  EXPECT_EQ(backend_->DecodeImage(""), nullptr);
  ASSERT_TRUE(platform::ReadFile(bmp, &bytes));
  ASSERT_NE(backend_->DecodeImage(bytes), nullptr);
  EXPECT_EQ(backend_->DecodeImage(bytes)->height(), 12);
}

TEST_F(SdlTest, ImagesOutsideTheCapsOrOfOtherFormatsDecodeToNothing) {
  // Real images written by SDL, each `width` x `height`.
  auto encoded = [](int width, int height, bool png) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(s, nullptr, 0xFF336699);
    const std::string path = ::testing::TempDir() + (png ? "skinui_cap.png" : "skinui_cap.bmp");
    const int saved = png ? IMG_SavePNG(s, path.c_str()) : SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    std::string bytes;
    if (saved != 0 || !platform::ReadFile(path, &bytes))
      ADD_FAILURE() << "could not write " << path;
    return bytes;
  };
  std::string padded = encoded(30, 12, true);
  padded.resize(kMaxImageBytes + 1, '\0');  // bytes after the image's end, past the byte cap
  const struct {
    const char* name;
    std::string bytes;
    int width;  // 0: nothing decodes
  } cases[] = {
      {"png at the side cap", encoded(kMaxImageSide, 1, true), kMaxImageSide},
      {"png past the side cap", encoded(kMaxImageSide + 1, 1, true), 0},
      {"png past the byte cap", padded, 0},
      {"bmp at the side cap", encoded(1, kMaxImageSide, false), 1},
      {"bmp past the side cap", encoded(kMaxImageSide + 1, 1, false), 0},
      {"svg",
       "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='40'>"
       "<rect width='40' height='40' fill='red'/></svg>",
       0},
      {"gif",
       std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                   "!\xf9\x04\x00\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
                   "\x00\x02\x02D\x01\x00;",
                   43),
       0},
      {"png signature and header only", encoded(30, 12, true).substr(0, 33), 0},
  };
  for (const auto& c : cases) {
    auto image = backend_->DecodeImage(c.bytes);
    EXPECT_EQ(image != nullptr ? image->width() : 0, c.width) << c.name;
  }
}

}  // namespace
}  // namespace skinui
