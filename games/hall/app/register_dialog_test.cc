#include "games/hall/app/register_dialog.h"

#include <gtest/gtest.h>

#include <clocale>

#include "client/captcha.pb.h"
#include "client/userinfo.pb.h"
#include "games/hall/app/png_control.h"
#include "games/hall/app/testing/login_fixture.h"
#include "games/hall/text/utf.h"
#include "gateclient/command/typed_commands.h"
#include "skinui/message_queue.h"
#include "testing/gate/captcha_png.h"

namespace hall {
namespace {

using skinui::TestDriver;
using skinui::WindowImplBase;

// Runs a test under a locale whose idea of a letter takes in Chinese and accented letters, as a
// user's would: the checks must not depend on it.
class UnicodeLocale {
 public:
  UnicodeLocale() : old_(std::setlocale(LC_ALL, nullptr)) {
    EXPECT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  }
  ~UnicodeLocale() { std::setlocale(LC_ALL, old_.c_str()); }

 private:
  std::string old_;
};

TEST(CheckAccountNameTest, OnlyEnglishLettersAndDigitsWithALetterFirst) {
  UnicodeLocale locale;
  constexpr char kLength[] = "账号长度为6-32位。";
  constexpr char kFirst[] = "账号第一位必须是英文字母。";
  constexpr char kLetters[] = "账号第一位必须是英文字母,只能由数字与英文字母组成。";
  struct Case {
    std::u16string account;
    const char* message;  // null: passes
    std::u16string lowered;
  } cases[] = {
      {u"Abc123", nullptr, u"abc123"},
      {u"ABCDEFG", nullptr, u"abcdefg"},
      {std::u16string(32, u'z'), nullptr, std::u16string(32, u'z')},
      {u"1abcdef", kFirst, u""},
      {u"_abcdef", kFirst, u""},
      {u"中abcdef", kFirst, u""},
      {u"abc_def", kLetters, u""},
      {u"abc def", kLetters, u""},
      {u"abc中def", kLetters, u""},  // a letter to the locale, not an English one
      {u"abcdéf", kLetters, u""},
      {u"abc\uFF41def", kLetters, u""},  // a full-width a
      {u"abcde", kLength, u""},
      {u"", kLength, u""},
      {std::u16string(33, u'z'), kLength, u""},
  };
  for (const Case& c : cases) {
    std::u16string account = c.account;
    std::string message;
    const bool ok = CheckAccountName(account, message);
    SCOPED_TRACE(Utf16ToUtf8(c.account));
    EXPECT_EQ(ok, c.message == nullptr);
    if (ok) {
      EXPECT_EQ(account, c.lowered);
    } else {
      EXPECT_EQ(message, c.message);
    }
  }
}

TEST(CheckNicknameTest, WidthCountsChineseTwiceAndOnlyLettersDigitsAndChineseAreTaken) {
  UnicodeLocale locale;
  constexpr char kLength[] = "昵称长度必须是6-31个字符，一个汉字算二个。";
  constexpr char kCharacters[] = "昵称只能是数字、英文字符及常用中文简体汉字。";
  struct Case {
    std::u16string nickname;
    const char* message;  // null: passes
  } cases[] = {
      {u"新玩家", nullptr},  // width 6
      {u"abcdef", nullptr},
      {u"abc_12", nullptr},
      {u"玩家ab", nullptr},
      {u"\uFF41\uFF42\uFF43", nullptr},  // full-width letters, width 6
      {u"\uF900\uFAFF\uABFF", nullptr},  // the ends of the ranges
      {std::u16string(32, u'汉'), nullptr},
      {u"ab", kLength},
      {u"玩家", kLength},  // width 4
      {u"abcde", kLength},
      {std::u16string(33, u'a'), kLength},
      {u"abc def", kCharacters},
      {u"abc@def", kCharacters},
      {u"abc,def", kCharacters},
      {u"abc\\def", kCharacters},
      {u"abcdeé", kCharacters},            // a letter to the locale, not an English one
      {u"abc\u00B7def", kCharacters},      // a middle dot
      {u"玩家\u3042\u3042", kCharacters},  // kana, outside the ranges
      {u"玩家\U0001F600", kCharacters},    // a surrogate pair
      {u"abc-def", kCharacters},
  };
  for (const Case& c : cases) {
    std::string message;
    const bool ok = CheckNickname(c.nickname, message);
    SCOPED_TRACE(Utf16ToUtf8(c.nickname));
    EXPECT_EQ(ok, c.message == nullptr);
    if (!ok)
      EXPECT_EQ(message, c.message);
  }
}

TEST(CaptchaThrottleTest, OneUnforcedRequestASecondAcrossTheTickWrap) {
  CaptchaThrottle throttle;
  EXPECT_TRUE(throttle.Allow(0xFFFFFF00u, false));   // 0xFFFFFF00 - 0 is well over a second
  EXPECT_FALSE(throttle.Allow(0x00000100u, false));  // 512 ms later, across the wrap
  EXPECT_TRUE(throttle.Allow(0x00000100u, true));
  EXPECT_FALSE(throttle.Allow(0x000004E7u, false));  // 999 ms after the forced one
  EXPECT_TRUE(throttle.Allow(0x000004E8u, false));   // 1000 ms
}

class RegisterDialogTest : public testing::LoginFixture {
 protected:
  // The captcha requests the dialog sent, as their req_session ticks.
  std::vector<uint32_t> CaptchaTicks() {
    std::vector<uint32_t> ticks;
    for (const auto& r : gate_.requests()) {
      if (r.kind != 159)
        continue;
      EXPECT_EQ(r.what, "wrapped");
      EXPECT_EQ(r.subid, 1);
      EXPECT_EQ(r.routing.apptype, 20u);
      EXPECT_EQ(r.routing.appid, 2u);
      qv::captcha::CaptchaReq req;
      EXPECT_TRUE(req.ParseFromString(r.payload));
      ticks.push_back(req.req_session());
    }
    return ticks;
  }
  std::vector<qv::userinfo::RegisterReq> Registrations() {
    std::vector<qv::userinfo::RegisterReq> out;
    for (const auto& r : gate_.RequestsOf("through_gate")) {
      if (r.kind != 23)
        continue;
      EXPECT_EQ(r.subid, 3);
      EXPECT_EQ(r.routing.apptype, 20u);
      EXPECT_EQ(r.routing.appid, 2u);
      out.emplace_back();
      EXPECT_TRUE(out.back().ParseFromString(r.payload));
    }
    return out;
  }
  static void DeliverCaptcha(const std::string& png, const std::string& id) {
    qv::CmdCaptchaRsp reply;
    reply.message.set_img_data(png);
    reply.message.set_captcha_id(id);
    ProcessReqWinRegistry::Instance().Dispatch(&reply, 0, 0);
  }
  static void DeliverRegisterResult(uint32_t code, const std::string& info) {
    qv::CmdRegisterRsp reply;
    if (code != 0)  // a reply without a code is a success
      reply.message.set_result_code(code);
    if (!info.empty())
      reply.message.set_result_info(info);
    ProcessReqWinRegistry::Instance().Dispatch(&reply, 0, 0);
  }
  static const skinui::Image* ShownCaptcha(WindowImplBase& dialog) {
    return static_cast<RegisterDialog&>(dialog).captcha_image()->image();
  }
  static skinui::CControlUI* Focused(WindowImplBase& dialog) {
    return dialog.GetPaintManager().GetFocus();
  }
};

TEST_F(RegisterDialogTest, CaptchaRequestsAreForcedByTheUserAndThrottledOnTheTimer) {
  Answer([&](WindowImplBase& dialog) {
    EXPECT_EQ(CaptchaTicks(), (std::vector<uint32_t>{50'000}));  // at once, on opening
    driver_.Advance(2600);
    driver_.Click(dialog, "btn_captcha");
    driver_.Advance(300);
    driver_.Click(dialog, "btn_captcha");  // 300 ms later: forced, so it goes out too
    driver_.Advance(100);  // the timer at 3000 ms: 400 ms after the last request, dropped
    EXPECT_EQ(CaptchaTicks(), (std::vector<uint32_t>{50'000, 52'600, 52'900}));
    driver_.Advance(3000);  // the timer at 6000 ms
    EXPECT_EQ(CaptchaTicks(), (std::vector<uint32_t>{50'000, 52'600, 52'900, 56'000}));
    DeliverCaptcha(testgate::DrawCaptchaPng("AB23", 1), "cap-1");
    driver_.Advance(9000);  // the captcha came: no more asking
    EXPECT_EQ(CaptchaTicks().size(), 4u);
    EXPECT_EQ(static_cast<RegisterDialog&>(dialog).captcha_id(), "cap-1");
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
  EXPECT_TRUE(ProcessReqWinRegistry::Instance().registered().empty());
}

TEST_F(RegisterDialogTest, ACaptchaIsShownAndACaptchaWithoutAnIdClearsTheKeptOne) {
  Answer([&](WindowImplBase& dialog) {
    EXPECT_EQ(ShownCaptcha(dialog), nullptr);
    DeliverCaptcha(testgate::DrawCaptchaPng("AB23", 1), "cap-1");
    ASSERT_NE(ShownCaptcha(dialog), nullptr);
    EXPECT_EQ(ShownCaptcha(dialog)->width(), testgate::kCaptchaWidth);
    EXPECT_EQ(ShownCaptcha(dialog)->height(), testgate::kCaptchaHeight);
    DeliverCaptcha(testgate::DrawCaptchaPng("CD45", 2), "");
    EXPECT_EQ(static_cast<RegisterDialog&>(dialog).captcha_id(), "");
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
}

// A PNG whose header claims `width` x `height`, laid out properly but for its pixels.
std::string PngOfSize(uint32_t width, uint32_t height) {
  std::string png = testgate::DrawCaptchaPng("AB23", 3);
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
  }
  return png;
}

TEST_F(RegisterDialogTest, ARefusedCaptchaImageLeavesTheOldCaptchaAndItsId) {
  const std::string good = testgate::DrawCaptchaPng("AB23", 1);
  std::string huge_file = good;
  huge_file.insert(huge_file.size() - 12, std::string(kMaxPngBytes, '\0'));
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"garbage", "this is not an image at all"},
      {"empty", ""},
      {"cut in its pixels", good.substr(0, good.size() / 2)},
      {"cut before its end chunk", good.substr(0, good.size() - 12)},
      {"bytes after its end", good + "tail"},
      {"huge dimensions", PngOfSize(100'000, 100'000)},
      {"too wide", PngOfSize(kMaxPngSide + 1, 40)},
      {"no height", PngOfSize(120, 0)},
      {"over a mebibyte", huge_file},
  };
  Answer([&](WindowImplBase& dialog) {
    DeliverCaptcha(good, "cap-good");
    const skinui::Image* shown = ShownCaptcha(dialog);
    ASSERT_NE(shown, nullptr);
    for (const Case& c : cases) {
      DeliverCaptcha(c.bytes, std::string("cap-") + c.what);
      EXPECT_EQ(ShownCaptcha(dialog), shown) << c.what;
      EXPECT_EQ(static_cast<RegisterDialog&>(dialog).captcha_id(), "cap-good") << c.what;
    }
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
}

TEST_F(RegisterDialogTest, ARefusedFirstCaptchaKeepsTheTimerAsking) {
  Answer([&](WindowImplBase& dialog) {
    DeliverCaptcha("garbage", "cap-1");
    driver_.Advance(3000);
    EXPECT_EQ(CaptchaTicks().size(), 2u);
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
}

TEST_F(RegisterDialogTest, TheFieldsAreCheckedInOrderAndOnlyAGoodFormIsSent) {
  UnicodeLocale locale;
  constexpr char kPasswordsDiffer[] = "\n\n\n\n二次输入的密码不一样";
  struct Case {
    std::string account, nickname, password1, password2, captcha;
    const char* tips;   // "" when sent
    const char* focus;  // the field given the focus on a refusal
  } cases[] = {
      {"Abc123", "新玩家们", "secret99", "secret99", "K7WQ", "", nullptr},
      {"player01", "新玩家", "secret99", "secret99", "k7wq", "", nullptr},
      {"1abcdef", "新玩家们", "secret99", "secret99", "K7WQ", "账号第一位必须是英文字母。",
       "edit_account"},
      {"abc_def", "新玩家们", "secret99", "secret99", "K7WQ",
       "账号第一位必须是英文字母,只能由数字与英文字母组成。", "edit_account"},
      {"abc中def", "新玩家们", "secret99", "secret99", "K7WQ",
       "账号第一位必须是英文字母,只能由数字与英文字母组成。", "edit_account"},
      {std::string(33, 'a'), "新玩家们", "secret99", "secret99", "K7WQ", "账号长度为6-32位",
       "edit_account"},
      {"", "新玩家们", "secret99", "secret99", "K7WQ", "账号长度为6-32位。", "edit_account"},
      {"player01", "ab", "secret99", "secret99", "K7WQ",
       "昵称长度必须是6-31个字符，一个汉字算二个。", "edit_nickname"},
      {"player01", "new player", "secret99", "secret99", "K7WQ",
       "昵称只能是数字、英文字符及常用中文简体汉字。", "edit_nickname"},
      {"player01", "一二三四五六七八九十一", "secret99", "secret99", "K7WQ", "昵称长度为6-32位",
       "edit_nickname"},
      {"player01", "新玩家们", "secret99", "secret98", "K7WQ", kPasswordsDiffer, "edit_password1"},
      {"player01", "新玩家们", "12345", "12345", "K7WQ", "\n\n\n\n密码长度请控制6到32位",
       "edit_password1"},
      {"player01", "新玩家们", "secret99", "secret99", "K7W", "\n\n\n\n\n\n\n请输入四位验证码",
       "edit_captcha"},
      {"player01", "新玩家们", "secret99", "secret99", "", "\n\n\n\n\n\n\n请输入四位验证码",
       "edit_captcha"},
  };
  Answer([&](WindowImplBase& dialog) {
    DeliverCaptcha(testgate::DrawCaptchaPng("K7WQ", 1), "cap-1");
    for (const Case& c : cases) {
      gate_.Clear();
      SetTextOf(dialog, "edit_tips", "(old tip)");
      SetTextOf(dialog, "edit_account", c.account);
      SetTextOf(dialog, "edit_nickname", c.nickname);
      SetTextOf(dialog, "edit_password1", c.password1);
      SetTextOf(dialog, "edit_password2", c.password2);
      SetTextOf(dialog, "edit_captcha", c.captcha);
      driver_.Click(dialog, "btn_register");
      SCOPED_TRACE(c.account + " / " + c.nickname + " / " + c.captcha);
      EXPECT_EQ(TextOf(dialog, "edit_tips"), c.tips);
      const auto sent = Registrations();
      if (c.focus != nullptr) {
        EXPECT_TRUE(sent.empty());
        EXPECT_EQ(Focused(dialog), TestDriver::Find(dialog, c.focus));
      } else {
        ASSERT_EQ(sent.size(), 1u);
        std::string lowered = c.account;
        for (char& ch : lowered)
          ch = static_cast<char>(std::tolower(ch));
        EXPECT_EQ(sent[0].account(), lowered);
        EXPECT_EQ(sent[0].nick_name(), c.nickname);
        EXPECT_EQ(sent[0].clear_password(), c.password1);
        EXPECT_EQ(sent[0].captcha_id(), "cap-1");
        EXPECT_EQ(sent[0].captcha_text(), c.captcha);
        EXPECT_FALSE(sent[0].has_face_id());
        EXPECT_FALSE(sent[0].has_gender());
      }
    }
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
}

TEST_F(RegisterDialogTest, TypedFieldsGoOutAsTypedAndEnterRegisters) {
  Answer([&](WindowImplBase& dialog) {
    DeliverCaptcha(testgate::DrawCaptchaPng("K7WQ", 1), "cap-1");
    driver_.Type(dialog, "edit_account", "Abc123");
    driver_.Click(dialog, "edit_nickname");
    driver_.Compose(dialog, "xin", 3);  // an input method at work: nothing typed yet
    driver_.CommitText(dialog, "新玩家");
    driver_.Type(dialog, "edit_password1", "secret99");
    driver_.Type(dialog, "edit_password2", "secret99");
    driver_.Type(dialog, "edit_captcha", "K7WQX");  // the field takes four
    driver_.PressKey(dialog, VK_RETURN);            // the default button
    const auto sent = Registrations();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].account(), "abc123");
    EXPECT_EQ(sent[0].nick_name(), "新玩家");
    EXPECT_EQ(sent[0].captcha_text(), "K7WQ");
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
}

TEST_F(RegisterDialogTest, ARefusalShowsTheServersTextAndSuccessHandsTheFieldsOn) {
  const std::string long_info(1000, 'x');
  Answer([&](WindowImplBase& dialog) {
    DeliverCaptcha(testgate::DrawCaptchaPng("K7WQ", 1), "cap-1");
    SetTextOf(dialog, "edit_account", "NewUser01");
    SetTextOf(dialog, "edit_nickname", "新玩家");
    SetTextOf(dialog, "edit_password1", "secret99");
    SetTextOf(dialog, "edit_password2", "secret99");
    SetTextOf(dialog, "edit_captcha", "K7WQ");
    driver_.Click(dialog, "btn_register");
    DeliverRegisterResult(7, "该账号已被注册");
    DeliverRegisterResult(9, "");
    DeliverRegisterResult(9, long_info);
    DeliverRegisterResult(9, "bad \xFF byte");
    driver_.RunUntilIdle();
    EXPECT_TRUE(skinui::IsWindow(dialog.GetHWND()));
    EXPECT_TRUE(filled_.empty());
    DeliverRegisterResult(0, "");
    driver_.RunUntilIdle();
  });
  ShowRegisterDialog(nullptr, RegisterServicesFor());
  ASSERT_EQ(boxes_.shown().size(), 5u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(boxes_.shown()[i].caption, "注册失败");
    EXPECT_EQ(boxes_.shown()[i].type, MB_ICONINFORMATION);
  }
  EXPECT_EQ(boxes_.shown()[0].text, "该账号已被注册");
  EXPECT_EQ(boxes_.shown()[1].text, "");
  EXPECT_EQ(boxes_.shown()[2].text, std::string(256, 'x'));  // cut to what a box can show
  EXPECT_EQ(boxes_.shown()[3].text, "bad \uFFFD byte");
  EXPECT_EQ(boxes_.shown()[4].text, "注册完成");
  EXPECT_EQ(boxes_.shown()[4].caption, "注册完成");
  const std::vector<std::pair<std::string, std::string>> want = {{"newuser01", "secret99"}};
  EXPECT_EQ(filled_, want);
}

TEST_F(RegisterDialogTest, ASuccessfulRegistrationFillsTheLoginDialogThatOpenedIt) {
  Answer([&](WindowImplBase& login) {
    driver_.Click(login, "Register");  // the register dialog runs inside this click
    EXPECT_EQ(TextOf(login, "LogonAccount"), "newuser01");
    EXPECT_EQ(TextOf(login, "PassWord"), "secret99");
    EXPECT_TRUE(login.IsWindowEnabled());
    driver_.PressKey(login, VK_ESCAPE);
  });
  Answer([&](WindowImplBase& reg) {
    EXPECT_EQ(std::string(reg.GetWindowClassName()), "class_register_dialog");
    DeliverCaptcha(testgate::DrawCaptchaPng("K7WQ", 1), "cap-1");
    SetTextOf(reg, "edit_account", "NewUser01");
    SetTextOf(reg, "edit_nickname", "新玩家");
    SetTextOf(reg, "edit_password1", "secret99");
    SetTextOf(reg, "edit_password2", "secret99");
    SetTextOf(reg, "edit_captcha", "K7WQ");
    driver_.Click(reg, "btn_register");
    DeliverRegisterResult(0, "");
  });
  ShowLoginDialog(nullptr, Services());
  EXPECT_EQ(Registrations().size(), 1u);
}

}  // namespace
}  // namespace hall
