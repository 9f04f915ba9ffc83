// The modal window, opened from the login dialog, in which a new user chooses an account, a
// nickname and a password and types the four characters of a captcha (skin "register.xml"). It
// asks the gate for a captcha at once and then every 3 s until one arrives ("btn_captcha" asks
// again at any time), checks every field itself and shows what is wrong in "edit_tips", sends the
// registration and, when it succeeds, hands account and password to the login dialog.
//
// It receives the gate's results as a ProcessReqWin while it is open. Window thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "games/hall/ui/process_req_win.h"
#include "skinui/window_impl_base.h"

namespace platform {
class Clock;
}

namespace hall {

class HallGate;
class PngControl;

// At most one captcha request a second unless the user asked for it: the register dialogs of one
// hall share one.
class CaptchaThrottle {
 public:
  static constexpr uint32_t kMinIntervalMs = 1000;
  // True, and `now` noted as the last request, when a request may go out at tick `now`: always
  // when `force`d, else when a second has passed since the last one.
  bool Allow(uint32_t now, bool force);

 private:
  uint32_t last_request_ = 0;
};

// The account as the registration sends it: 6 to 32 units, an English letter first, then only
// English letters and digits (ASCII, whatever the locale calls a letter). On success `account` is
// lower-cased; on failure `message` (UTF-8) says why.
bool CheckAccountName(std::u16string& account, std::string& message);
// The nickname: 6 to 31 wide (a unit from 0x7F up counts two), at most 32 units, none of the
// forbidden punctuation or a blank, only English letters, digits and '_' below 0xFF and only the
// CJK ranges 0x4E00-0xABFF, 0xF900-0xFAFF and 0xFF01-0xFFFD from 0xFF up.
bool CheckNickname(const std::u16string& nickname, std::string& message);

// What the register dialog uses, from its creator; every pointer outlives the dialog.
struct RegisterDialogServices {
  HallGate* gate = nullptr;
  const platform::Clock* clock = nullptr;
  CaptchaThrottle* captcha_throttle = nullptr;
  // Receives account and password (UTF-8) after a successful registration.
  std::function<void(const std::string& account, const std::string& password)> fill_login_fields;
};

class RegisterDialog : public skinui::WindowImplBase, public ProcessReqWin {
 public:
  // The timer that asks again for a captcha until one arrives.
  static constexpr UINT_PTR kCaptchaTimer = 1;
  static constexpr UINT kCaptchaRetryMs = 3000;

  explicit RegisterDialog(RegisterDialogServices services);

  const char* GetWindowClassName() const override { return "class_register_dialog"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource\\"; }
  skinui::CDuiString GetSkinFile() override { return "register.xml"; }
  skinui::CControlUI* CreateControl(const char* class_name) override;
  void InitWindow() override;
  // "closebtn" leaves the dialog without registering.
  void OnClick(skinui::TNotifyUI& msg) override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

  // CaptchaRsp (159,2) and RegisterRsp (23,4); every other result is ignored.
  void OnNetResult(qv::CMD_base* command, uint32_t a, uint32_t b) override;

  // Sends a CaptchaReq unless the throttle holds it back (never when `force`).
  void RequestCaptcha(bool force);

  const std::string& captcha_id() const { return captcha_id_; }
  PngControl* captcha_image() const { return captcha_image_; }

 private:
  bool OnRegisterClick(void* param);
  bool OnCaptchaClick(void* param);
  void OnCaptchaRsp(qv::CMD_base* command);
  void OnRegisterResult(qv::CMD_base* command);
  // Shows `message` (UTF-8) in "edit_tips" and gives the focus to `field`.
  void Refuse(const char* message, skinui::CControlUI* field);

  RegisterDialogServices services_;
  PngControl* captcha_image_ = nullptr;
  skinui::CControlUI* account_edit_ = nullptr;    // "edit_account"
  skinui::CControlUI* password1_edit_ = nullptr;  // "edit_password1"
  skinui::CControlUI* password2_edit_ = nullptr;  // "edit_password2"
  skinui::CControlUI* nickname_edit_ = nullptr;   // "edit_nickname"
  skinui::CControlUI* captcha_edit_ = nullptr;    // "edit_captcha"
  skinui::CControlUI* tips_ = nullptr;            // "edit_tips"
  std::string captcha_id_;                        // of the last captcha shown
  std::string account_;                           // as sent, UTF-8
  std::string password_;                          // as sent, UTF-8
};

// Shows a RegisterDialog modally, owned by `owner`, until it closes.
void ShowRegisterDialog(HWND owner, RegisterDialogServices services);

}  // namespace hall
