// The progress window drawn for real (SDL's offscreen driver) in the middle of a download from
// nginx: the bar part-filled with its percentage, and a Chinese file name.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "games/hall/app/update_flow.h"
#include "skinui/control.h"
#include "skinui/label.h"
#include "skinui/message_queue.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

struct Pixels {
  explicit Pixels(const std::string& png) {
    if (SDL_Surface* raw = IMG_Load(png.c_str())) {
      surface = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
      SDL_FreeSurface(raw);
    }
  }
  ~Pixels() {
    if (surface != nullptr)
      SDL_FreeSurface(surface);
  }
  uint32_t At(int x, int y) const {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface->pixels) +
                                             y * surface->pitch)[x];
  }
  // Pixels of `r` that differ from `background`.
  int Ink(const RECT& r, uint32_t background) const {
    int ink = 0;
    for (int y = r.top; y < std::min<LONG>(surface->h, r.bottom); ++y) {
      for (int x = r.left; x < std::min<LONG>(surface->w, r.right); ++x)
        ink += At(x, y) != background;
    }
    return ink;
  }
  SDL_Surface* surface = nullptr;
};

int Green(uint32_t argb) {
  return static_cast<int>((argb >> 8) & 0xFF) - static_cast<int>((argb >> 16) & 0xFF);
}

TEST(HallProgressDialogWindow, MidDownloadShowsTheBarItsPercentageAndTheChineseFileName) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
  ASSERT_TRUE(backend->ok()) << backend->error();
  skinui::SetBackend(backend);
  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);

  update_server::TempFolder root("progress-http"), dir("progress-dir");
  ASSERT_TRUE(update_server::PutFile(
      root.path(), "Tarvix/update.cl",
      "<checklist><file path=\"tarvixresource\\大厅背景图片.png\" size=\"262144\" "
      "ftime=\"1600000000\" /></checklist>",
      1'650'000'000));
  ASSERT_TRUE(update_server::PutFile(root.path(), "Tarvix/tarvixresource/大厅背景图片.png",
                                     std::string(262'144, 'x')));
  std::string error;
  auto nginx = update_server::NginxServer::Start({root.path(), 64 * 1024}, &error);
  ASSERT_NE(nginx, nullptr) << error;
  ASSERT_TRUE(update_server::PutFile(dir.path(), kUpdateIniFile,
                                     "[update]\nurl_update=" + nginx->Url(update_server::kSlow)));
  UpdateFlowEnvironment environment;
  environment.program_dir = dir.path();
  UpdateFlow flow(environment);

  const std::string png = ::testing::TempDir() + "hall_progress_dialog.png";
  RECT bar{}, name{};
  int percent = 0;
  skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& window) {
    auto* progress = static_cast<skinui::CProgressUI*>(
        skinui::TestDriver::Find(window, "updProgress")->GetInterface("Progress"));
    skinui::TestDriver driver;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (progress->GetValue() < 30 && std::chrono::steady_clock::now() < deadline) {
      driver.RunUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    percent = progress->GetValue();
    ASSERT_TRUE(skinui::TestDriver::SaveScreenshot(window, png));
    bar = progress->GetPos();
    name = skinui::TestDriver::Find(window, "updfilename")->GetPos();
    EXPECT_EQ(std::string(skinui::TestDriver::Find(window, "updfilename")->GetText()),
              "大厅背景图片.png");
    EXPECT_EQ(std::string(progress->GetText()), std::to_string(percent) + "%");
    flow.CloseProgressWindow();
  });
  bool ready = true;
  flow.CheckHallUpdate(ready);
  flow.Shutdown();
  skinui::SetBackend(nullptr);
  EXPECT_FALSE(ready);
  ASSERT_GE(percent, 30);
  ASSERT_LT(percent, 100);

  Pixels pixels(png);
  ASSERT_NE(pixels.surface, nullptr);
  const int mid = (bar.top + bar.bottom) / 2;
  const int filled_to = bar.left + (bar.right - bar.left) * percent / 100;
  // Green fill before the share done, the light track after it.
  EXPECT_GT(Green(pixels.At(bar.left + 4, bar.top + 3)), 40);
  EXPECT_LT(Green(pixels.At(bar.right - 6, mid)), 10);
  EXPECT_GT(filled_to, bar.left + 10);
  // The percentage is drawn in the middle of the bar, the name on its line.
  const RECT middle{(bar.left + bar.right) / 2 - 20, bar.top + 2, (bar.left + bar.right) / 2 + 20,
                    bar.bottom - 2};
  const uint32_t track = pixels.At(bar.right - 6, mid);
  EXPECT_GT(pixels.Ink(middle, pixels.At(middle.left, middle.top)), 20);
  (void)track;
  EXPECT_GT(pixels.Ink(name, pixels.At(name.right - 2, name.top + 1)), 150);
  std::printf("screenshot: %s (%d%%)\n", png.c_str(), percent);
}

}  // namespace
}  // namespace hall
