// The sign-up dialog drawn for real (SDL offscreen, or a display the run chose): the prizes'
// Chinese texts are drawn and the seats bar is filled to the share taken.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "games/hall/app/signup_dialog.h"
#include "games/hall/app/signup_flow.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "games/hall/app/testing/signup_catalogue.h"
#include "skinui/control.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"

namespace hall {
namespace {

using skinui::TestDriver;

class Screenshot {
 public:
  explicit Screenshot(const std::string& png) {
    if (SDL_Surface* raw = IMG_Load(png.c_str())) {
      surface_ = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
      SDL_FreeSurface(raw);
    }
  }
  ~Screenshot() { SDL_FreeSurface(surface_); }
  bool ok() const { return surface_ != nullptr; }
  uint32_t At(int x, int y) const {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface_->pixels) +
                                             y * surface_->pitch)[x];
  }
  // Pixels of `r` that differ from its top-left pixel (the background).
  int InkIn(const RECT& r) const {
    const uint32_t bg = At(r.left + 1, r.top + 1);
    int ink = 0;
    for (int y = r.top; y < std::min<LONG>(surface_->h, r.bottom); ++y) {
      for (int x = r.left; x < std::min<LONG>(surface_->w, r.right); ++x)
        ink += At(x, y) != bg;
    }
    return ink;
  }

 private:
  SDL_Surface* surface_ = nullptr;
};

bool Greenish(uint32_t argb) {
  const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  return g > r + 40 && g > b + 40;
}

TEST(SignupDialogWindow, PrizesAreDrawnAndTheSeatsBarIsFilledToTheShareTaken) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
  ASSERT_TRUE(backend->ok()) << backend->error();
  skinui::SetBackend(backend);
  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);

  testing::SignupCatalogue catalogue;
  catalogue.SetPlans({testing::Plan(7, "周末欢乐赛 · 六人桌", 1, 6, 502, 41)});
  catalogue.SetStartPoint(7, 6, 2);
  testing::RecordingHallGate gate;
  gate.SetCatalogue(catalogue.list());
  gate.SetMatchDetail(7, testing::Detail(7, 41,
                                         {{1, 1, "奖金1000元 + 冠军奖杯"},
                                          {2, 2, "奖金500元"},
                                          {3, 3, "奖金200元"},
                                          {4, 10, "参赛纪念品一份"},
                                          {11, 20, "积分50"},
                                          {21, 50, "积分20"}}));
  MyMatch my_match;
  SignupEnv env;
  env.gate = &gate;
  env.my_match = &my_match;

  const std::string png = ::testing::TempDir() + "hall_signup_dialog.png";
  RECT bar{}, rank{}, award{}, name{};
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    ASSERT_TRUE(TestDriver::SaveScreenshot(dialog, png));
    bar = TestDriver::Find(dialog, "MatchStartProgress")->GetPos();
    rank = TestDriver::Find(dialog, "Alexa3")->GetPos();
    award = TestDriver::Find(dialog, "Prize0")->GetPos();
    name = TestDriver::Find(dialog, "MatchName")->GetPos();
    TestDriver d;
    d.Click(dialog, "cancel");
  });
  ShowSignupDialog(env, 7);
  skinui::SetBackend(nullptr);
  std::printf("screenshot: %s\n", png.c_str());

  Screenshot shot(png);
  ASSERT_TRUE(shot.ok());
  EXPECT_GT(shot.InkIn(name), 300);
  EXPECT_GT(shot.InkIn(rank), 60);
  EXPECT_GT(shot.InkIn(award), 150);
  // 2 of 6 seats: green up to a third of the bar, none past the half.
  const int mid_y = (bar.top + bar.bottom) / 2 + 4;  // below the centred text
  const int width = bar.right - bar.left;
  EXPECT_TRUE(Greenish(shot.At(bar.left + width / 6, mid_y)));
  EXPECT_FALSE(Greenish(shot.At(bar.left + width * 2 / 3, mid_y)));
  EXPECT_FALSE(Greenish(shot.At(bar.left + width * 9 / 10, mid_y)));
}

}  // namespace
}  // namespace hall
