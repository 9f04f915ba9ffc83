// The message dialog drawn for real (SDL offscreen, or a display the run chose).
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "games/hall/ui/message_dialog.h"
#include "skinui/control.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"

namespace hall {
namespace {

// Pixels inside `r` that differ from the pixel at the top-left corner of `r` (the background).
int InkIn(const std::string& png, const RECT& r) {
  SDL_Surface* raw = IMG_Load(png.c_str());
  if (raw == nullptr)
    return -1;
  SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(raw);
  auto px = [&](int x, int y) {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) +
                                             y * s->pitch)[x];
  };
  const uint32_t bg = px(r.left + 1, r.top + 1);
  int ink = 0;
  for (int y = r.top; y < std::min<LONG>(s->h, r.bottom); ++y) {
    for (int x = r.left; x < std::min<LONG>(s->w, r.right); ++x)
      ink += px(x, y) != bg;
  }
  SDL_FreeSurface(s);
  return ink;
}

TEST(HallMessageDialogWindow, ChineseTitleAndTextAreDrawn) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
  ASSERT_TRUE(backend->ok()) << backend->error();
  skinui::SetBackend(backend);
  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
  const std::string png = ::testing::TempDir() + "hall_message_dialog.png";
  RECT title{}, content{};
  skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    ASSERT_TRUE(skinui::TestDriver::SaveScreenshot(dialog, png));
    title = skinui::TestDriver::Find(dialog, "title")->GetPos();
    content = skinui::TestDriver::Find(dialog, "content")->GetPos();
    skinui::TestDriver d;
    d.Click(dialog, "button_2");
  });
  EXPECT_EQ(ShowMessageDialog(1, "登录失败：密码错误", "登录", "确定", "取消"), 2);
  skinui::SetBackend(nullptr);
  EXPECT_GT(InkIn(png, title), 60);
  EXPECT_GT(InkIn(png, content), 300);
}

}  // namespace
}  // namespace hall
