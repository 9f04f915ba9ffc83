// The login and register dialogs drawn for real (SDL offscreen, or a display the run chose), with
// the screenshots a person looks at, and the captcha decoded by the real decoder.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "games/hall/app/png_control.h"
#include "games/hall/app/testing/login_fixture.h"
#include "gateclient/command/typed_commands.h"
#include "skinui/sdl/sdl_backend.h"
#include "testing/gate/captcha_png.h"

namespace hall {
namespace {

using skinui::TestDriver;
using skinui::WindowImplBase;

// Pixels inside `r` of the picture that differ from the pixel at `r`'s top-left corner.
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

class LoginWindowTest : public testing::LoginFixture {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
    ASSERT_TRUE(backend->ok()) << backend->error();
    skinui::SetBackend(backend);
  }
  static void TearDownTestSuite() { skinui::SetBackend(nullptr); }

  static RECT PosOf(WindowImplBase& w, const char* name) {
    skinui::CControlUI* c = TestDriver::Find(w, name);
    return c != nullptr ? c->GetPos() : RECT{};
  }
  static void Deliver(qv::CMD_base& command) {
    ProcessReqWinRegistry::Instance().Dispatch(&command, 0, 0);
  }
};

TEST_F(LoginWindowTest, TheLoginDialogWithTwoSavedAccounts) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  store_.SaveAccount("玩家小张88", "pass0002", 10002, true);
  ASSERT_TRUE(store_.SaveLastAccount("player01"));
  ASSERT_TRUE(store_.SaveSavePassword(1));
  const std::string closed = ::testing::TempDir() + "hall_login_dialog.png";
  const std::string dropped = ::testing::TempDir() + "hall_login_dialog_accounts.png";
  RECT account{}, password{}, banner{}, links{}, rows{};
  Answer([&](WindowImplBase& dialog) {
    ASSERT_TRUE(TestDriver::SaveScreenshot(dialog, closed));
    account = PosOf(dialog, "LogonAccount");
    password = PosOf(dialog, "PassWord");
    links = PosOf(dialog, "WebIndex");
    banner = RECT{0, 0, 440, 124};
    OpenAccountList(dialog);
    rows = AccountList(dialog)->OverlayRect();
    ASSERT_TRUE(TestDriver::SaveScreenshot(dialog, dropped));
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  EXPECT_EQ(ShowLoginDialog(nullptr, Services()), kLoginQuit);
  EXPECT_GT(InkIn(closed, account), 100);  // "player01"
  EXPECT_GT(InkIn(closed, password), 40);  // eight stars
  EXPECT_GT(InkIn(closed, links), 60);     // "官方网站"
  EXPECT_GT(InkIn(closed, banner), 5000);
  EXPECT_EQ(rows.bottom - rows.top, 60);  // two rows of 30
  const RECT second_row{rows.left, rows.top + 30, rows.right, rows.bottom};
  EXPECT_GT(InkIn(dropped, second_row), 150);  // "玩家小张88" and its remove button
}

TEST_F(LoginWindowTest, TheRegisterDialogWithItsCaptcha) {
  const std::string shot = ::testing::TempDir() + "hall_register_dialog.png";
  RECT captcha{}, tips{};
  Answer([&](WindowImplBase& dialog) {
    qv::CmdCaptchaRsp reply;
    reply.message.set_img_data(testgate::DrawCaptchaPng("K7WQ", 4));
    reply.message.set_captcha_id("cap-1");
    Deliver(reply);
    ASSERT_NE(static_cast<RegisterDialog&>(dialog).captcha_image()->image(), nullptr);
    driver_.Type(dialog, "edit_account", "newuser01");
    driver_.Type(dialog, "edit_nickname", "新玩家");
    driver_.Type(dialog, "edit_password1", "secret99");
    driver_.Type(dialog, "edit_password2", "secret98");
    driver_.Type(dialog, "edit_captcha", "K7WQ");
    driver_.Click(dialog, "btn_register");  // the passwords differ: the tip shows
    captcha = PosOf(dialog, "captcha_image");
    tips = PosOf(dialog, "edit_tips");
    ASSERT_TRUE(TestDriver::SaveScreenshot(dialog, shot));
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
  EXPECT_EQ(captcha.right - captcha.left, testgate::kCaptchaWidth);  // drawn at its own size
  EXPECT_GT(InkIn(shot, captcha), 2000);
  // The tip's leading line breaks leave its text at the bottom of its box, where it is seen.
  EXPECT_GT(InkIn(shot, tips), 100);
}

TEST_F(LoginWindowTest, ACaptchaTheDecoderCannotReadLeavesTheOldOne) {
  std::string damaged = testgate::DrawCaptchaPng("AB23", 2);
  ASSERT_TRUE(CheckPngLayout(damaged, nullptr));
  for (size_t i = 41; i < 80; ++i)
    damaged[i] = static_cast<char>(0xA5);         // inside the pixels
  ASSERT_TRUE(CheckPngLayout(damaged, nullptr));  // laid out as a PNG, but not one
  Answer([&](WindowImplBase& dialog) {
    auto& reg = static_cast<RegisterDialog&>(dialog);
    qv::CmdCaptchaRsp good;
    good.message.set_img_data(testgate::DrawCaptchaPng("AB23", 1));
    good.message.set_captcha_id("cap-1");
    Deliver(good);
    const skinui::Image* shown = reg.captcha_image()->image();
    ASSERT_NE(shown, nullptr);
    qv::CmdCaptchaRsp bad;
    bad.message.set_img_data(damaged);
    bad.message.set_captcha_id("cap-2");
    Deliver(bad);
    EXPECT_EQ(reg.captcha_image()->image(), shown);
    EXPECT_EQ(reg.captcha_id(), "cap-1");
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
}

}  // namespace
}  // namespace hall
