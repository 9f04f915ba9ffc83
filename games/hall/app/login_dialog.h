// The modal window in which the user types or picks an account and a password before the hall
// logs in (skin "logon.xml"). The accounts that logged in before are offered in the drop list
// "Account", each row with a "removeaccount" button; picking one fills "LogonAccount" and
// "PassWord". "LogonBtn" checks the two fields, hands them to the session and starts the login.
//
// Results of ShowLoginDialog: kLoginStarted when a login was started; kLoginQuit when the user
// left without one (Escape, the close button or the window manager's close), after which the
// hall ends.
//
// Window thread only.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "games/hall/app/account_store.h"
#include "skinui/window_impl_base.h"

namespace platform {
class Clock;
class WebLinkOpener;
}  // namespace platform

namespace hall {

class AccountStore;
class CaptchaThrottle;
class HallGate;
struct AccountRecord;

inline constexpr UINT kLoginStarted = 1;
inline constexpr UINT kLoginQuit = 2;

// Posted to the dialog by a "removeaccount" button: the removal happens outside the button's own
// notification, since it destroys the row the button sits in.
inline constexpr UINT WM_REMOVE_ACCOUNT = WM_USER + 102;

// What the login dialog (and the register dialog it opens) use, from their creator. Every pointer
// must outlive the dialogs.
struct LoginServices {
  HallGate* gate = nullptr;
  AccountRecord* account = nullptr;  // the account being logged in
  AccountStore* store = nullptr;
  platform::WebLinkOpener* links = nullptr;
  std::string program_dir;  // where "LobbyData/lobby.cfg" is read
  const platform::Clock* clock = nullptr;
  CaptchaThrottle* captcha_throttle = nullptr;  // one per hall
};

class LoginDialog : public skinui::WindowImplBase {
 public:
  using UserAccountAndPassword = hall::UserAccountAndPassword;
  using Record = std::shared_ptr<UserAccountAndPassword>;

  explicit LoginDialog(const LoginServices& services);

  const char* GetWindowClassName() const override { return "Tarvix_LoginWindow"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource\\"; }
  skinui::CDuiString GetSkinFile() override { return "logon.xml"; }
  void InitWindow() override;
  void Notify(skinui::TNotifyUI& msg) override;
  void OnClick(skinui::TNotifyUI& msg) override;
  LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
  const skinui::NotifyMapEntry* GetMessageMap() const override;

  // The drop list's selection: its row's account and password go into the fields.
  void OnItemSelect(skinui::TNotifyUI& msg);

  // Checks the two fields (password first, then account, each 6 to 32 bytes) and shows what is
  // wrong; when both pass, hands them to the account record and the session, starts the login and
  // closes with kLoginStarted. True when the login was started.
  bool CheckLogonInput();

  // Fills the saved accounts into "Account" and, when "lastaccount" names one of them (letter case
  // aside), its account and password into the fields.
  void LoadAccountList();
  // Removes `record`'s row and its saved key; the fields are emptied and the row at index 1 (if
  // there is one) is selected. A record no longer listed is ignored.
  void RemoveSavedAccount(const Record& record);
  // Puts `account` and `password` (UTF-8) into the fields: a registration's result.
  void FillLoginFields(const std::string& account, const std::string& password);

  const std::list<Record>& accounts() const { return accounts_; }

 protected:
  // The window manager's close leaves without a login, as Escape does.
  UINT GetDismissResult() const override { return kLoginQuit; }

 private:
  bool OnRemoveAccountNotify(void* param);
  bool OnRegisterNotify(void* param);
  bool OnSavePasswordNotify(void* param);
  Record FindRecord(const void* tag) const;
  void OpenLobbyLink(const char* key);

  LoginServices services_;
  Record pending_removal_;  // the record a "removeaccount" button asked to remove
  skinui::CControlUI* account_list_ = nullptr;     // "Account", a drop list
  skinui::CControlUI* account_edit_ = nullptr;     // "LogonAccount"
  skinui::CControlUI* password_edit_ = nullptr;    // "PassWord"
  skinui::CControlUI* register_button_ = nullptr;  // "Register"
  skinui::CControlUI* save_password_ = nullptr;    // "SavePassword", an option
  std::list<Record> accounts_;
};

// Shows a LoginDialog modally, owned by `owner`, and returns kLoginStarted or kLoginQuit.
UINT ShowLoginDialog(HWND owner, const LoginServices& services);

}  // namespace hall
