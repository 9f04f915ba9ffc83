#include "games/hall/app/register_dialog.h"

#include <strings.h>

#include <string_view>

#include "games/hall/app/hall_gate.h"
#include "games/hall/app/png_control.h"
#include "games/hall/text/text_convert.h"
#include "games/hall/text/utf.h"
#include "games/hall/ui/control_text.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/log/debug_trace.h"
#include "interface/command_ids.h"
#include "platform/clock.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"

namespace hall {
namespace {

constexpr DWORD kDialogStyle = 0x96C80000;
// The user-information service that registers accounts and hands out captchas.
constexpr uint32_t kUserInfoAppType = 20;
constexpr uint32_t kUserInfoAppId = 2;
// Byte limits of the fields as typed.
constexpr size_t kMaxAccountBytes = 32;
constexpr size_t kMaxNicknameBytes = 32;
constexpr size_t kMinPasswordBytes = 6;
constexpr size_t kMaxPasswordBytes = 32;
constexpr size_t kCaptchaBytes = 4;
// Units of UTF-16 a check takes.
constexpr size_t kMinAccountUnits = 6;
constexpr size_t kMaxAccountUnits = 32;
constexpr int kMinNicknameWidth = 6;
constexpr size_t kMaxNicknameUnits = 32;
// The most of a server's refusal text shown; the text arrives from the gate.
constexpr size_t kMaxResultInfoUnits = 256;

constexpr char16_t kNicknameForbidden[] = u"',\"!#$%^&*()`@~=:;<>,/?[]{}\\| ";

bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsAsciiDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

std::string TextOf(skinui::CControlUI* control) {
  return control != nullptr ? std::string(control->GetText()) : std::string();
}

// At most kMaxResultInfoUnits of `utf8`, cut at a whole character; malformed bytes become U+FFFD.
std::string ShownResultInfo(const std::string& utf8) {
  std::u16string text = Utf8ToUtf16(utf8);
  if (text.size() > kMaxResultInfoUnits) {
    text.resize(kMaxResultInfoUnits);
    if (text.back() >= 0xD800 && text.back() <= 0xDBFF)
      text.pop_back();
  }
  return Utf16ToUtf8(text);
}

}  // namespace

bool CaptchaThrottle::Allow(uint32_t now, bool force) {
  if (!force && platform::TicksSince(now, last_request_) < kMinIntervalMs)
    return false;
  last_request_ = now;
  return true;
}

bool CheckAccountName(std::u16string& account, std::string& message) {
  if (account.size() < kMinAccountUnits || account.size() > kMaxAccountUnits) {
    message = "账号长度为6-32位。";
    return false;
  }
  for (char16_t& c : account) {
    if (c >= u'A' && c <= u'Z')
      c = static_cast<char16_t>(c - u'A' + u'a');
  }
  if (account[0] < u'a' || account[0] > u'z') {
    message = "账号第一位必须是英文字母。";
    return false;
  }
  for (char16_t c : account) {
    // Only ASCII: the locale's idea of a letter takes Chinese and other scripts.
    if (!IsAsciiDigit(c) && !IsAsciiLetter(c)) {
      message = "账号第一位必须是英文字母,只能由数字与英文字母组成。";
      return false;
    }
  }
  return true;
}

bool CheckNickname(const std::u16string& nickname, std::string& message) {
  int narrow = 0;
  for (char16_t c : nickname)
    narrow += c < 0x7F ? 1 : 0;
  const int width = 2 * static_cast<int>(nickname.size()) - narrow;
  if (width < kMinNicknameWidth || nickname.size() > kMaxNicknameUnits) {
    message = "昵称长度必须是6-31个字符，一个汉字算二个。";
    return false;
  }
  static constexpr char kCharacterMessage[] = "昵称只能是数字、英文字符及常用中文简体汉字。";
  if (nickname.find_first_of(kNicknameForbidden) != std::u16string::npos) {
    message = kCharacterMessage;
    return false;
  }
  for (char16_t c : nickname) {
    const bool ok = c < 0xFF ? IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'_'
                             : (c >= 0x4E00 && c <= 0xABFF) || (c >= 0xF900 && c <= 0xFAFF) ||
                                   (c >= 0xFF01 && c <= 0xFFFD);
    if (!ok) {
      message = kCharacterMessage;
      return false;
    }
  }
  return true;
}

RegisterDialog::RegisterDialog(RegisterDialogServices services) : services_(std::move(services)) {}

skinui::CControlUI* RegisterDialog::CreateControl(const char* class_name) {
  if (class_name != nullptr && strcasecmp(class_name, "PngControl") == 0) {
    captcha_image_ = new PngControl;
    return captcha_image_;
  }
  return nullptr;
}

void RegisterDialog::InitWindow() {
  account_edit_ = FindControl("edit_account");
  password1_edit_ = FindControl("edit_password1");
  password2_edit_ = FindControl("edit_password2");
  nickname_edit_ = FindControl("edit_nickname");
  captcha_edit_ = FindControl("edit_captcha");
  tips_ = FindControl("edit_tips");
  if (skinui::CControlUI* b = FindControl("btn_register"))
    b->OnNotify += skinui::MakeDelegate(this, &RegisterDialog::OnRegisterClick);
  if (skinui::CControlUI* b = FindControl("btn_captcha"))
    b->OnNotify += skinui::MakeDelegate(this, &RegisterDialog::OnCaptchaClick);
  RequestCaptcha(true);
  skinui::SetTimer(GetHWND(), kCaptchaTimer, kCaptchaRetryMs);
}

void RegisterDialog::OnClick(skinui::TNotifyUI& msg) {
  if (msg.pSender != nullptr && strcasecmp(msg.pSender->GetName().c_str(), "closebtn") == 0)
    Close(IDCANCEL);
  WindowImplBase::OnClick(msg);
}

LRESULT RegisterDialog::HandleCustomMessage(UINT message, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  if (message == WM_TIMER) {
    handled = TRUE;
    if (captcha_id_.empty())
      RequestCaptcha(false);
  }
  return 0;
}

void RegisterDialog::RequestCaptcha(bool force) {
  const platform::Clock& clock = services_.clock != nullptr ? *services_.clock : skinui::UiClock();
  const uint32_t now = clock.TickCount();
  if (services_.captcha_throttle != nullptr && !services_.captcha_throttle->Allow(now, force))
    return;
  qv::CmdCaptchaReq request;
  request.message.set_req_session(now);
  request.routing.apptype = kUserInfoAppType;
  request.routing.appid = kUserInfoAppId;
  // The captcha's kind is not among those the gate's path lets travel, so it goes out wrapped
  // as it is.
  services_.gate->SendWrapped(request);
}

void RegisterDialog::OnNetResult(qv::CMD_base* command, uint32_t, uint32_t) {
  if (command == nullptr)
    return;
  if (command->kind == qv::cmd::kKindCaptcha && command->subid == qv::captcha::IDCaptchaRsp) {
    OnCaptchaRsp(command);
  } else if (command->kind == qv::cmd::kKindUserInfo &&
             command->subid == qv::userinfo::IDRegisterRsp) {
    OnRegisterResult(command);
  }
}

void RegisterDialog::OnCaptchaRsp(qv::CMD_base* command) {
  auto* reply = dynamic_cast<qv::CmdCaptchaRsp*>(command);
  if (reply == nullptr)
    return;
  // An image that cannot be shown is taken as no answer: the old captcha and its id stay
  // together, and until one has come the timer keeps asking.
  if (captcha_image_ != nullptr && !captcha_image_->LoadPng(reply->message.img_data())) {
    DebugTrace("register dialog: captcha image refused (%zu bytes)\n",
               reply->message.img_data().size());
    return;
  }
  captcha_id_ = reply->message.captcha_id();
  skinui::KillTimer(GetHWND(), kCaptchaTimer);
}

bool RegisterDialog::OnCaptchaClick(void* param) {
  if (static_cast<skinui::TNotifyUI*>(param)->sType == skinui::kNotifyClick)
    RequestCaptcha(true);
  return true;
}

void RegisterDialog::Refuse(const char* message, skinui::CControlUI* field) {
  SetControlTextUtf8(tips_, message);
  if (field != nullptr)
    field->SetFocus();
}

bool RegisterDialog::OnRegisterClick(void* param) {
  if (static_cast<skinui::TNotifyUI*>(param)->sType != skinui::kNotifyClick)
    return true;
  const std::string account = TextOf(account_edit_);
  const std::string nickname = TextOf(nickname_edit_);
  const std::string password1 = TextOf(password1_edit_);
  const std::string password2 = TextOf(password2_edit_);
  const std::string captcha = TextOf(captcha_edit_);
  if (account.size() > kMaxAccountBytes) {
    Refuse("账号长度为6-32位", account_edit_);
    return true;
  }
  std::u16string wide_account = AnsiToUtf16(account);
  std::string message;
  if (!CheckAccountName(wide_account, message)) {
    Refuse(message.c_str(), account_edit_);
    return true;
  }
  account_ = Utf16ToUtf8(wide_account);
  if (nickname.size() > kMaxNicknameBytes) {
    Refuse("昵称长度为6-32位", nickname_edit_);
    return true;
  }
  const std::u16string wide_nickname = AnsiToUtf16(nickname);
  if (!CheckNickname(wide_nickname, message)) {
    Refuse(message.c_str(), nickname_edit_);
    return true;
  }
  const std::string nickname_utf8 = Utf16ToUtf8(wide_nickname);
  if (password1 != password2) {
    Refuse("\n\n\n\n二次输入的密码不一样", password1_edit_);
    return true;
  }
  if (password1.size() < kMinPasswordBytes || password1.size() > kMaxPasswordBytes) {
    Refuse("\n\n\n\n密码长度请控制6到32位", password1_edit_);
    return true;
  }
  password_ = AnsiToUtf8(password1);
  if (captcha.size() != kCaptchaBytes) {
    Refuse("\n\n\n\n\n\n\n请输入四位验证码", captcha_edit_);
    return true;
  }
  SetControlTextUtf8(tips_, "");
  qv::CmdRegisterReq request;
  request.routing.apptype = kUserInfoAppType;
  request.routing.appid = kUserInfoAppId;
  request.message.set_account(account_);
  request.message.set_nick_name(nickname_utf8);
  request.message.set_clear_password(password_);
  request.message.set_captcha_id(captcha_id_);
  request.message.set_captcha_text(captcha);
  services_.gate->SendThroughGate(request);
  return true;
}

void RegisterDialog::OnRegisterResult(qv::CMD_base* command) {
  auto* reply = dynamic_cast<qv::CmdRegisterRsp*>(command);
  if (reply == nullptr)
    return;
  if (reply->message.result_code() != 0) {
    skinui::MessageBox(GetHWND(), ShownResultInfo(reply->message.result_info()), "注册失败",
                       MB_ICONINFORMATION);
    return;
  }
  if (services_.fill_login_fields)
    services_.fill_login_fields(account_, password_);
  skinui::MessageBox(GetHWND(), "注册完成", "注册完成", MB_ICONINFORMATION);
  PostMessage(WM_CLOSE);
}

void ShowRegisterDialog(HWND owner, RegisterDialogServices services) {
  RegisterDialog dialog(std::move(services));
  if (dialog.Create(owner, "", kDialogStyle, 0, 0, 0, 0, 0) == nullptr)
    return;
  dialog.CenterWindow();
  dialog.ShowModal();
}

}  // namespace hall
