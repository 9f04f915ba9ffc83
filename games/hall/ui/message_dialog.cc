#include "games/hall/ui/message_dialog.h"

#include <cstdio>

#include "games/hall/ui/control_text.h"
#include "skinui/control.h"

namespace hall {
namespace {

// The dialog's window style: a visible popup with caption, border and system menu.
constexpr DWORD kDialogStyle = 0x96C80000;
constexpr int kButtonSlots = 3;

HWND g_owner = nullptr;

}  // namespace

void SetDialogOwnerWindow(HWND owner) {
  g_owner = owner;
}
HWND DialogOwnerWindow() {
  return skinui::IsWindow(g_owner) ? g_owner : nullptr;
}

MessageDialog::MessageDialog(int button_count, std::string title, std::string content,
                             std::string first, std::string second)
    : button_count_(button_count),
      title_(std::move(title)),
      content_(std::move(content)),
      first_button_(std::move(first)),
      second_button_(std::move(second)) {}

void MessageDialog::InitWindow() {
  skinui::CControlUI* buttons[kButtonSlots + 1] = {};
  for (int n = 1; n <= kButtonSlots; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "button_%d", n);
    buttons[n] = FindControl(name);
    if (buttons[n] == nullptr)
      continue;
    buttons[n]->SetTag(static_cast<UINT_PTR>(n));
    buttons[n]->OnNotify += skinui::MakeDelegate(this, &MessageDialog::OnButtonNotify);
  }
  auto show = [&](int n, bool visible) {
    if (buttons[n] != nullptr)
      buttons[n]->SetVisible(visible);
  };
  if (button_count_ == 1) {
    show(1, false);
    show(3, false);
    SetControlTextUtf8(buttons[2], first_button_.c_str());
  } else if (button_count_ == 2) {
    SetControlTextUtf8(buttons[1], first_button_.c_str());
    SetControlTextUtf8(buttons[3], second_button_.c_str());
    show(2, false);
  }
  for (int n = kButtonSlots; n >= 1; --n) {
    if (buttons[n] != nullptr && buttons[n]->IsVisible()) {
      dismiss_result_ = static_cast<UINT>(n);
      break;
    }
  }
  SetControlTextUtf8(FindControl("content"), content_.c_str());
  SetControlTextUtf8(FindControl("title"), title_.c_str());
}

bool MessageDialog::OnButtonNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  // Only a click answers: focus and hover notifications of a button must not.
  if (msg->sType == skinui::kNotifyClick && msg->pSender != nullptr) {
    Close(static_cast<UINT>(msg->pSender->GetTag()));
  }
  return true;
}

LRESULT MessageDialog::HandleCustomMessage(UINT message, WPARAM, LPARAM, BOOL& handled) {
  handled = message == WM_TIMER ? TRUE : FALSE;
  return 0;
}

const skinui::NotifyMapEntry* MessageDialog::GetMessageMap() const {
  static const skinui::NotifyMapEntry kEmpty[] = {{nullptr, nullptr, nullptr}};
  return kEmpty;
}

void MessageDialog::OnFinalMessage(HWND hwnd) {
  WindowImplBase::OnFinalMessage(hwnd);
  delete this;
}

UINT MessageDialog::GetDismissResult() const {
  return dismiss_result_;
}

int ShowMessageDialog(int button_count, const std::string& content, const std::string& title,
                      const std::string& first_button, const std::string& second_button) {
  auto* dialog = new MessageDialog(button_count, title, content, first_button, second_button);
  if (dialog->Create(DialogOwnerWindow(), "", kDialogStyle, 0, 0, 0, 0, 0) == nullptr) {
    return 0;  // Create failed and the window's end already deleted the dialog
  }
  dialog->CenterWindow();
  return static_cast<int>(dialog->ShowModal());
}

}  // namespace hall
