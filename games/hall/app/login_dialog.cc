#include "games/hall/app/login_dialog.h"

#include <strings.h>

#include <utility>

#include "games/hall/app/account_record.h"
#include "games/hall/app/account_store.h"
#include "games/hall/app/hall_gate.h"
#include "games/hall/app/lobby_links.h"
#include "games/hall/app/register_dialog.h"
#include "games/hall/text/text_convert.h"
#include "games/hall/ui/control_text.h"
#include "gateclient/log/debug_trace.h"
#include "skinui/button.h"
#include "skinui/label.h"
#include "skinui/list.h"
#include "skinui/message_box.h"

namespace hall {
namespace {

// A visible popup with caption, border and system menu, as every hall dialog.
constexpr DWORD kDialogStyle = 0x96C80000;
// Bytes an account and a password may have, each.
constexpr size_t kMinField = 6;
constexpr size_t kMaxField = 32;
// The rows of the saved-account list.
constexpr int kAccountRowHeight = 30;
constexpr int kRemoveButtonSide = 16;
constexpr char kRemoveButtonImage[] = "logon\\delete2.png";

bool OutOfRange(const std::string& field) {
  return field.size() < kMinField || field.size() > kMaxField;
}

std::string TextOf(skinui::CControlUI* control) {
  return control != nullptr ? std::string(control->GetText()) : std::string();
}

void SetText(skinui::CControlUI* control, const std::string& ansi) {
  if (control != nullptr)
    control->SetText(ansi.c_str());
}

}  // namespace

LoginDialog::LoginDialog(const LoginServices& services) : services_(services) {}

void LoginDialog::InitWindow() {
  account_list_ = FindControl("Account");
  account_edit_ = FindControl("LogonAccount");
  password_edit_ = FindControl("PassWord");
  register_button_ = FindControl("Register");
  save_password_ = FindControl("SavePassword");
  if (register_button_ != nullptr)
    register_button_->OnNotify += skinui::MakeDelegate(this, &LoginDialog::OnRegisterNotify);
  if (save_password_ != nullptr) {
    save_password_->OnNotify += skinui::MakeDelegate(this, &LoginDialog::OnSavePasswordNotify);
    if (auto* option = static_cast<skinui::COptionUI*>(save_password_->GetInterface("Option")))
      option->Selected(services_.store->LoadSavePassword(), false);
  }
  LoadAccountList();
}

const skinui::NotifyMapEntry* LoginDialog::GetMessageMap() const {
  static const skinui::NotifyMapEntry kMap[] = {
      {skinui::kNotifyClick, nullptr, skinui::NotifyFn(&LoginDialog::OnClick)},
      {skinui::kNotifyItemSelect, nullptr, skinui::NotifyFn(&LoginDialog::OnItemSelect)},
      {nullptr, nullptr, nullptr}};
  return kMap;
}

void LoginDialog::Notify(skinui::TNotifyUI& msg) {
  if (msg.pSender != nullptr && msg.pSender->GetTag() != 0)
    DebugTrace("notify:name=%s\n", msg.pSender->GetName().c_str());
  WindowImplBase::Notify(msg);
}

LRESULT LoginDialog::MessageHandler(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
    handled = true;
    Close(kLoginQuit);
    return 0;
  }
  handled = false;
  return 0;
}

LRESULT LoginDialog::HandleCustomMessage(UINT message, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  if (message == WM_TIMER) {
    handled = TRUE;
  } else if (message == WM_REMOVE_ACCOUNT) {
    handled = TRUE;
    RemoveSavedAccount(std::exchange(pending_removal_, nullptr));
  }
  return 0;
}

void LoginDialog::OnClick(skinui::TNotifyUI& msg) {
  if (msg.pSender == nullptr)
    return;
  const std::string& name = msg.pSender->GetName();
  if (strcasecmp(name.c_str(), "closebtn") == 0) {
    // Leaving here means no login: the hall ends, as after Escape.
    Close(kLoginQuit);
  } else if (name == "LogonBtn") {
    CheckLogonInput();
  } else if (name == "WebIndex") {
    OpenLobbyLink("UrlHome");
  } else if (name == "Pay") {
    OpenLobbyLink("UrlPay");
  } else if (name == "RegisterTop") {
    OpenLobbyLink("UrlRegister");
  } else if (name == "ChatOnline") {
    OpenLobbyLink("UrlGM");
  }
  WindowImplBase::OnClick(msg);
}

void LoginDialog::OpenLobbyLink(const char* key) {
  if (services_.links != nullptr)
    OpenUrl(ReadLobbyUrl(services_.program_dir, key), *services_.links);
}

bool LoginDialog::CheckLogonInput() {
  const std::string account = TextOf(account_edit_);
  const std::string password = TextOf(password_edit_);
  if (OutOfRange(password)) {
    skinui::MessageBox(GetHWND(), "请输入密码,至少6位\n最多32位", "请输入密码", MB_ICONWARNING);
    return false;
  }
  if (OutOfRange(account)) {
    skinui::MessageBox(GetHWND(), "请输入账号,至少6位,最多32位", "请输入账号", MB_ICONWARNING);
    return false;
  }
  const std::string password_utf8 = AnsiToUtf8(password);
  if (services_.account != nullptr) {
    services_.account->account = account;
    services_.account->clear_password = password_utf8;
  }
  services_.gate->SetCredentials(account, password_utf8);
  services_.gate->StartLogin();
  Close(kLoginStarted);
  return true;
}

void LoginDialog::LoadAccountList() {
  accounts_.clear();
  const std::string last = services_.store->LoadLastAccount();
  Record selected;
  for (UserAccountAndPassword& saved : services_.store->LoadAccountList()) {
    auto record = std::make_shared<UserAccountAndPassword>(std::move(saved));
    if (strcasecmp(last.c_str(), record->account.c_str()) == 0)
      selected = record;
    accounts_.push_back(std::move(record));
  }
  auto* list = account_list_ != nullptr
                   ? static_cast<skinui::CComboUI*>(account_list_->GetInterface("Combo"))
                   : nullptr;
  for (const Record& record : accounts_) {
    const auto tag = reinterpret_cast<UINT_PTR>(record.get());
    if (list != nullptr) {
      auto* row = new skinui::CListContainerElementUI;
      row->SetFixedHeight(kAccountRowHeight);
      row->SetTag(tag);
      row->SetText(record->account.c_str());
      auto* layout = new skinui::CHorizontalLayoutUI;
      auto* label = new skinui::CLabelUI;
      label->SetText(record->account.c_str());
      label->SetTextPadding(RECT{10, 0, 4, 0});
      label->SetTextColor(0xFF333333);
      auto* remove = new skinui::CButtonUI;
      remove->SetName("removeaccount");
      remove->SetFixedWidth(kRemoveButtonSide);
      remove->SetFixedHeight(kRemoveButtonSide);
      const LONG gap = (kAccountRowHeight - kRemoveButtonSide) / 2;
      remove->SetPadding(RECT{0, gap, gap, gap});
      remove->SetButtonImage(kRemoveButtonImage, 4, true);
      remove->SetTag(tag);
      remove->OnNotify += skinui::MakeDelegate(this, &LoginDialog::OnRemoveAccountNotify);
      layout->Add(label);
      layout->Add(remove);
      row->Add(layout);
      list->Add(row);
    }
    SetText(account_edit_, record->account);
  }
  if (selected != nullptr) {
    SetText(account_edit_, selected->account);
    SetText(password_edit_, selected->password);
  }
}

LoginDialog::Record LoginDialog::FindRecord(const void* tag) const {
  for (const Record& record : accounts_) {
    if (record.get() == tag)
      return record;
  }
  return nullptr;
}

void LoginDialog::OnItemSelect(skinui::TNotifyUI& msg) {
  if (msg.pSender == nullptr || msg.pSender != account_list_)
    return;
  auto* list = static_cast<skinui::CComboUI*>(account_list_->GetInterface("Combo"));
  skinui::CControlUI* row = list != nullptr ? list->GetItemAt(list->GetCurSel()) : nullptr;
  if (row == nullptr)
    return;
  SetText(account_edit_, std::string(msg.pSender->GetText()));
  // The row names its own record, so two accounts of one text each give their own password.
  if (Record record = FindRecord(reinterpret_cast<const void*>(row->GetTag())))
    SetText(password_edit_, record->password);
}

bool LoginDialog::OnRemoveAccountNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  if (msg->sType == skinui::kNotifyClick && msg->pSender != nullptr) {
    if (Record record = FindRecord(reinterpret_cast<const void*>(msg->pSender->GetTag()))) {
      pending_removal_ = std::move(record);
      PostMessage(WM_REMOVE_ACCOUNT);
    }
  }
  return true;
}

void LoginDialog::RemoveSavedAccount(const Record& record) {
  if (record == nullptr || FindRecord(record.get()) == nullptr)
    return;
  auto* list = account_list_ != nullptr
                   ? static_cast<skinui::CComboUI*>(account_list_->GetInterface("Combo"))
                   : nullptr;
  SetText(account_edit_, "");
  SetText(password_edit_, "");
  accounts_.remove(record);
  services_.store->DeleteSavedAccount(record->user_id);
  if (list == nullptr)
    return;
  for (int i = 0; i < list->GetCount(); ++i) {
    if (list->GetItemAt(i)->GetTag() == reinterpret_cast<UINT_PTR>(record.get())) {
      list->RemoveAt(i);
      break;
    }
  }
  if (list->GetCount() > 0) {
    list->SelectItem(-1, false, false);  // so that selecting fills the fields even if it was so
    list->SelectItem(1);
  }
}

void LoginDialog::FillLoginFields(const std::string& account, const std::string& password) {
  SetControlTextUtf8(account_edit_, account.c_str());
  SetControlTextUtf8(password_edit_, password.c_str());
}

bool LoginDialog::OnSavePasswordNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  if (msg->sType == skinui::kNotifyClick)
    services_.store->SaveSavePassword(services_.store->LoadSavePassword() ? 0 : 1);
  return true;
}

bool LoginDialog::OnRegisterNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  if (msg->sType != skinui::kNotifyClick)
    return true;
  RegisterDialogServices services;
  services.gate = services_.gate;
  services.clock = services_.clock;
  services.captcha_throttle = services_.captcha_throttle;
  services.fill_login_fields = [this](const std::string& account, const std::string& password) {
    FillLoginFields(account, password);
  };
  ShowRegisterDialog(GetHWND(), std::move(services));
  return true;
}

UINT ShowLoginDialog(HWND owner, const LoginServices& services) {
  LoginDialog dialog(services);
  if (dialog.Create(owner, "", kDialogStyle, 0, 0, 0, 0, 0) == nullptr)
    return kLoginQuit;
  dialog.CenterWindow();
  // Anything but a started login (a quit that ended the loop early included) leaves the hall.
  return dialog.ShowModal() == kLoginStarted ? kLoginStarted : kLoginQuit;
}

}  // namespace hall
