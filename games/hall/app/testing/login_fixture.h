// What the login and register dialog tests share: a hall's worth of the dialogs' services over a
// temporary folder (registry store, "account.ini", "LobbyData/lobby.cfg"), a recording gate, a
// recording link opener, scripted message boxes and a manual clock that drives the window timers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "games/hall/app/account_record.h"
#include "games/hall/app/account_store.h"
#include "games/hall/app/login_dialog.h"
#include "games/hall/app/register_dialog.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "games/hall/text/code_page.h"
#include "platform/registry.h"
#include "platform/web_link.h"
#include "skinui/control.h"
#include "skinui/list.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"
#include "testing/update_server/temp_folder.h"

namespace hall::testing {

class RecordingLinks : public platform::WebLinkOpener {
 public:
  bool Open(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

class LoginFixture : public ::testing::Test {
 protected:
  LoginFixture() {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    skinui::SetMessageBoxProvider(&boxes_);
  }
  ~LoginFixture() override {
    skinui::SetMessageBoxProvider(nullptr);
    SetAnsiCodePage("");
  }

  LoginServices Services() {
    LoginServices s;
    s.gate = &gate_;
    s.account = &record_;
    s.store = &store_;
    s.links = &links_;
    s.program_dir = folder_.Sub("program");
    s.clock = &clock_;
    s.captcha_throttle = &throttle_;
    return s;
  }
  RegisterDialogServices RegisterServicesFor() {
    RegisterDialogServices s;
    s.gate = &gate_;
    s.clock = &clock_;
    s.captcha_throttle = &throttle_;
    s.fill_login_fields = [this](const std::string& account, const std::string& password) {
      filled_.push_back({account, password});
    };
    return s;
  }

  // Runs `answer` with the next modal dialog, then closes the dialog if the answer left it open
  // (a failed assertion returns early), so a failing test ends instead of waiting forever.
  static void Answer(std::function<void(skinui::WindowImplBase&)> answer) {
    skinui::TestDriver::AnswerNextModal([answer = std::move(answer)](skinui::WindowImplBase& w) {
      answer(w);
      if (skinui::IsWindow(w.GetHWND()))
        w.Close(IDCANCEL);
    });
  }
  static std::string TextOf(skinui::WindowImplBase& w, const char* name) {
    skinui::CControlUI* c = skinui::TestDriver::Find(w, name);
    return c != nullptr ? std::string(c->GetText()) : "(missing)";
  }
  static void SetTextOf(skinui::WindowImplBase& w, const char* name, const std::string& text) {
    skinui::CControlUI* c = skinui::TestDriver::Find(w, name);
    ASSERT_NE(c, nullptr) << name;
    c->SetText(text.c_str());
  }
  static skinui::CComboUI* AccountList(skinui::WindowImplBase& w) {
    skinui::CControlUI* c = skinui::TestDriver::Find(w, "Account");
    return c != nullptr ? static_cast<skinui::CComboUI*>(c->GetInterface("Combo")) : nullptr;
  }
  // Presses the left mouse button at a point of the window and lets go there.
  void ClickAt(skinui::WindowImplBase& w, LONG x, LONG y) {
    const LPARAM at = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
    skinui::PostMessage(w.GetHWND(), WM_MOUSEMOVE, 0, at);
    skinui::PostMessage(w.GetHWND(), WM_LBUTTONDOWN, 0, at);
    skinui::PostMessage(w.GetHWND(), WM_LBUTTONUP, 0, at);
    driver_.RunUntilIdle();
  }
  // Opens the saved-account drop list through its arrow, the part the account field leaves free.
  void OpenAccountList(skinui::WindowImplBase& w) {
    driver_.RunUntilIdle();
    skinui::CComboUI* list = AccountList(w);
    ASSERT_NE(list, nullptr);
    const RECT r = list->GetPos();
    ClickAt(w, r.right - 8, (r.top + r.bottom) / 2);
    ASSERT_TRUE(list->IsDropped());
  }
  // The "removeaccount" button of row `index` of the drop list.
  static skinui::CControlUI* RemoveButton(skinui::WindowImplBase& w, int index) {
    skinui::CComboUI* list = AccountList(w);
    skinui::CControlUI* row = list != nullptr ? list->GetItemAt(index) : nullptr;
    return row != nullptr ? w.GetPaintManager().FindSubControlByName(row, "removeaccount")
                          : nullptr;
  }

  update_server::TempFolder folder_{"login_dialog"};
  platform::RegistryStore registry_{folder_.Sub("registry")};
  AccountStore store_{registry_, folder_.Sub("config")};
  RecordingHallGate gate_;
  AccountRecord record_;
  RecordingLinks links_;
  platform::ManualClock clock_{50'000};
  skinui::TestDriver driver_{&clock_};
  CaptchaThrottle throttle_;
  skinui::ScriptedMessageBoxes boxes_;
  std::vector<std::pair<std::string, std::string>> filled_;
};

}  // namespace hall::testing
