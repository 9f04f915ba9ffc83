#include "games/hall/app/login_dialog.h"

#include <gtest/gtest.h>

#include "games/hall/app/testing/login_fixture.h"
#include "platform/file_util.h"
#include "skinui/button.h"

namespace hall {
namespace {

using skinui::TestDriver;
using skinui::WindowImplBase;

class LoginDialogTest : public testing::LoginFixture {};

TEST_F(LoginDialogTest, CheckLogonInputTestsThePasswordFirstThenTheAccount) {
  const std::string bytes33(33, 'a');
  const std::string bytes32(32, 'b');
  struct Case {
    std::string account;
    std::string password;
    const char* text;  // of the message box; null when the login starts
    const char* caption;
  } cases[] = {
      {"player01", "12345", "请输入密码,至少6位\n最多32位", "请输入密码"},
      {"abc", "12345", "请输入密码,至少6位\n最多32位", "请输入密码"},  // both wrong
      {"player01", bytes33, "请输入密码,至少6位\n最多32位", "请输入密码"},
      {bytes33, "secret99", "请输入账号,至少6位,最多32位", "请输入账号"},
      {"abcde", "secret99", "请输入账号,至少6位,最多32位", "请输入账号"},
      {"", "secret99", "请输入账号,至少6位,最多32位", "请输入账号"},
      {bytes32, bytes32, nullptr, nullptr},
      {"玩家01", "密码12", nullptr, nullptr},  // lengths count bytes: 8 each
  };
  for (const Case& c : cases) {
    gate_.Clear();
    record_ = AccountRecord{};
    boxes_ = skinui::ScriptedMessageBoxes{};
    Answer([&](WindowImplBase& dialog) {
      driver_.Type(dialog, "LogonAccount", c.account);
      driver_.Type(dialog, "PassWord", c.password);
      driver_.Click(dialog, "LogonBtn");
      if (c.text != nullptr) {
        EXPECT_TRUE(skinui::IsWindow(dialog.GetHWND()));  // the user may correct the fields
        driver_.PressKey(dialog, VK_ESCAPE);
      }
    });
    const UINT result = ShowLoginDialog(nullptr, Services());
    SCOPED_TRACE(c.account + " / " + c.password);
    if (c.text != nullptr) {
      EXPECT_EQ(result, kLoginQuit);
      ASSERT_EQ(boxes_.shown().size(), 1u);
      EXPECT_EQ(boxes_.shown()[0].text, c.text);
      EXPECT_EQ(boxes_.shown()[0].caption, c.caption);
      EXPECT_EQ(boxes_.shown()[0].type, MB_ICONWARNING);
      EXPECT_TRUE(gate_.requests().empty());
      EXPECT_EQ(record_.account, "");
    } else {
      EXPECT_EQ(result, kLoginStarted);
      EXPECT_TRUE(boxes_.shown().empty());
      ASSERT_EQ(gate_.requests().size(), 2u);  // the session's credentials, then one login
      EXPECT_EQ(gate_.requests()[0].what, "credentials");
      EXPECT_EQ(gate_.requests()[0].account, c.account);
      EXPECT_EQ(gate_.requests()[0].password, c.password);
      EXPECT_EQ(gate_.requests()[1].what, "login");
      EXPECT_EQ(record_.account, c.account);
      EXPECT_EQ(record_.clear_password, c.password);
    }
  }
}

TEST_F(LoginDialogTest, ThePasswordReachesTheSessionAsUtf8WhateverTheCodePage) {
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  const std::string gbk_password =
      "\xC3\xDC\xC2\xEB"
      "12";  // 密码12: 6 bytes in CP936
  Answer([&](WindowImplBase& dialog) {
    SetTextOf(dialog, "LogonAccount", "player01");
    SetTextOf(dialog, "PassWord", gbk_password);
    driver_.Click(dialog, "LogonBtn");
  });
  EXPECT_EQ(ShowLoginDialog(nullptr, Services()), kLoginStarted);
  ASSERT_FALSE(gate_.RequestsOf("credentials").empty());
  EXPECT_EQ(gate_.RequestsOf("credentials")[0].password, "密码12");
  EXPECT_EQ(record_.clear_password, "密码12");
}

TEST_F(LoginDialogTest, EveryWayOfLeavingWithoutALoginEndsTheHall) {
  struct Case {
    const char* what;
    std::function<void(WindowImplBase&)> leave;
  } cases[] = {
      {"the close button", [&](WindowImplBase& d) { driver_.Click(d, "closebtn"); }},
      {"Escape", [&](WindowImplBase& d) { driver_.PressKey(d, VK_ESCAPE); }},
      {"the window manager",
       [&](WindowImplBase& d) {
         skinui::PostMessage(d.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
         driver_.RunUntilIdle();
       }},
  };
  for (const Case& c : cases) {
    Answer([&](WindowImplBase& dialog) {
      driver_.Type(dialog, "LogonAccount", "player01");
      driver_.Type(dialog, "PassWord", "secret99");
      c.leave(dialog);
    });
    EXPECT_EQ(ShowLoginDialog(nullptr, Services()), kLoginQuit) << c.what;
    EXPECT_TRUE(gate_.requests().empty()) << c.what;
  }
}

TEST_F(LoginDialogTest, EnterInAFieldLogsInAndTheBannerMovesTheDialog) {
  Answer([&](WindowImplBase& dialog) {
    const RECT before = dialog.GetWindowRect();
    driver_.Drag(dialog, POINT{60, 40}, 30, 20);  // on the banner, the dialog's caption
    const RECT after = dialog.GetWindowRect();
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 20);
    driver_.Type(dialog, "LogonAccount", "player01");
    driver_.Type(dialog, "PassWord", "secr");
    driver_.PressKey(dialog, VK_RETURN);  // still open: the password is too short
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].caption, "请输入密码");
    driver_.Type(dialog, "PassWord", "et99");
    driver_.PressKey(dialog, VK_RETURN);
  });
  EXPECT_EQ(ShowLoginDialog(nullptr, Services()), kLoginStarted);
  ASSERT_EQ(gate_.RequestsOf("credentials").size(), 1u);
  EXPECT_EQ(gate_.RequestsOf("credentials")[0].password, "secret99");
  EXPECT_EQ(gate_.RequestsOf("login").size(), 1u);
}

TEST_F(LoginDialogTest, TheLastAccountInAnotherCaseSelectsItsRecordAndFillsBothFields) {
  store_.SaveAccount("Player01", "secret99", 10001, true);
  store_.SaveAccount("player02", "pass0002", 10002, true);
  ASSERT_TRUE(store_.SaveLastAccount("PLAYER01"));
  Answer([&](WindowImplBase& dialog) {
    ASSERT_EQ(AccountList(dialog)->GetCount(), 2);
    EXPECT_EQ(TextOf(dialog, "LogonAccount"), "Player01");
    EXPECT_EQ(TextOf(dialog, "PassWord"), "secret99");
    // Picking the other row from the drop list fills in its account and password.
    OpenAccountList(dialog);
    driver_.ClickControl(dialog, AccountList(dialog)->GetItemAt(1));
    EXPECT_FALSE(AccountList(dialog)->IsDropped());
    EXPECT_EQ(TextOf(dialog, "LogonAccount"), "player02");
    EXPECT_EQ(TextOf(dialog, "PassWord"), "pass0002");
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
}

TEST_F(LoginDialogTest, WithoutAMatchingLastAccountTheLastRowStandsInTheField) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  store_.SaveAccount("player02", "pass0002", 10002, false);
  ASSERT_TRUE(store_.SaveLastAccount("nobody99"));
  Answer([&](WindowImplBase& dialog) {
    EXPECT_EQ(TextOf(dialog, "LogonAccount"), "player02");
    EXPECT_EQ(TextOf(dialog, "PassWord"), "");
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
}

TEST_F(LoginDialogTest, RemovingTheFirstOfTwoAccountsEmptiesTheFieldsAndForgetsIt) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  store_.SaveAccount("player02", "pass0002", 10002, true);
  Answer([&](WindowImplBase& dialog) {
    auto& login = static_cast<LoginDialog&>(dialog);
    OpenAccountList(dialog);
    ASSERT_TRUE(driver_.ClickControl(dialog, RemoveButton(dialog, 0)));
    EXPECT_EQ(TextOf(dialog, "LogonAccount"), "");
    EXPECT_EQ(TextOf(dialog, "PassWord"), "");
    ASSERT_EQ(AccountList(dialog)->GetCount(), 1);
    EXPECT_EQ(AccountList(dialog)->GetItemAt(0)->GetText(), "player02");
    EXPECT_EQ(AccountList(dialog)->GetCurSel(), -1);  // there is no row at index 1
    ASSERT_EQ(login.accounts().size(), 1u);
    EXPECT_EQ(login.accounts().front()->user_id, 10002u);
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
  EXPECT_FALSE(registry_.KeyExists(platform::RegistryRoot::kCurrentUser,
                                   std::string(kAccountStoreKey) + "\\10001"));
  const std::vector<UserAccountAndPassword> left = {{"player02", "pass0002", 10002}};
  EXPECT_EQ(store_.LoadAccountList(), left);
}

TEST_F(LoginDialogTest, RemovingTheFirstOfThreeSelectsTheRowAtIndexOne) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  store_.SaveAccount("player02", "pass0002", 10002, true);
  store_.SaveAccount("player03", "pass0003", 10003, true);
  Answer([&](WindowImplBase& dialog) {
    OpenAccountList(dialog);
    driver_.ClickControl(dialog, AccountList(dialog)->GetItemAt(2));  // selected, then removed
    OpenAccountList(dialog);
    ASSERT_TRUE(driver_.ClickControl(dialog, RemoveButton(dialog, 0)));
    ASSERT_EQ(AccountList(dialog)->GetCount(), 2);
    EXPECT_EQ(AccountList(dialog)->GetCurSel(), 1);
    EXPECT_EQ(TextOf(dialog, "LogonAccount"), "player03");
    EXPECT_EQ(TextOf(dialog, "PassWord"), "pass0003");
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
  EXPECT_EQ(store_.LoadAccountList().size(), 2u);
}

TEST_F(LoginDialogTest, TwoAccountsOfOneTextEachKeepTheirOwnPasswordAndKey) {
  store_.SaveAccount("same0001", "first111", 1, true);
  store_.SaveAccount("same0001", "second22", 2, true);
  Answer([&](WindowImplBase& dialog) {
    OpenAccountList(dialog);
    driver_.ClickControl(dialog, AccountList(dialog)->GetItemAt(1));
    EXPECT_EQ(TextOf(dialog, "PassWord"), "second22");
    OpenAccountList(dialog);
    ASSERT_TRUE(driver_.ClickControl(dialog, RemoveButton(dialog, 1)));
    ASSERT_EQ(AccountList(dialog)->GetCount(), 1);
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
  const std::vector<UserAccountAndPassword> left = {{"same0001", "first111", 1}};
  EXPECT_EQ(store_.LoadAccountList(), left);
}

TEST_F(LoginDialogTest, ARemovalWithNothingWaitingOrAGoneRecordChangesNothing) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  ASSERT_TRUE(store_.SaveLastAccount("player01"));
  Answer([&](WindowImplBase& dialog) {
    auto& login = static_cast<LoginDialog&>(dialog);
    dialog.PostMessage(WM_REMOVE_ACCOUNT);  // no button asked
    driver_.RunUntilIdle();
    auto gone =
        std::make_shared<UserAccountAndPassword>(UserAccountAndPassword{"player01", "", 10001});
    login.RemoveSavedAccount(gone);  // same contents, but not a listed record
    login.RemoveSavedAccount(nullptr);
    EXPECT_EQ(login.accounts().size(), 1u);
    EXPECT_EQ(AccountList(dialog)->GetCount(), 1);
    EXPECT_EQ(TextOf(dialog, "LogonAccount"), "player01");
    EXPECT_EQ(TextOf(dialog, "PassWord"), "secret99");
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
  EXPECT_EQ(store_.LoadAccountList().size(), 1u);
}

TEST_F(LoginDialogTest, ADamagedStoreStillOpensTheDialogWithTheGoodRecords) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  ASSERT_TRUE(registry_.SetString(platform::RegistryRoot::kCurrentUser,
                                  std::string(kAccountStoreKey) + "\\not-an-id", "UserAccount",
                                  "intruder"));
  ASSERT_TRUE(registry_.SetString(platform::RegistryRoot::kCurrentUser,
                                  std::string(kAccountStoreKey) + "\\10001", "UserPassword",
                                  "@@@@"));
  Answer([&](WindowImplBase& dialog) {
    ASSERT_EQ(AccountList(dialog)->GetCount(), 1);
    EXPECT_EQ(AccountList(dialog)->GetItemAt(0)->GetText(), "player01");
    EXPECT_EQ(TextOf(dialog, "PassWord"), "");
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  EXPECT_EQ(ShowLoginDialog(nullptr, Services()), kLoginQuit);
}

TEST_F(LoginDialogTest, TheSavePasswordBoxShowsAndFlipsTheStoredChoice) {
  ASSERT_TRUE(store_.SaveSavePassword(1));
  Answer([&](WindowImplBase& dialog) {
    auto* option = static_cast<skinui::COptionUI*>(
        TestDriver::Find(dialog, "SavePassword")->GetInterface("Option"));
    ASSERT_NE(option, nullptr);
    EXPECT_TRUE(option->IsSelected());
    for (bool want : {false, true, false}) {
      driver_.Click(dialog, "SavePassword");
      EXPECT_EQ(store_.LoadSavePassword(), want);
      EXPECT_EQ(option->IsSelected(), want);
    }
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
}

TEST_F(LoginDialogTest, TheLinksOpenTheLobbyPagesThatAreWebAddresses) {
  ASSERT_TRUE(platform::MakeDirectories(folder_.Sub("program/LobbyData")));
  ASSERT_TRUE(platform::WriteFileAtomic(folder_.Sub("program/LobbyData/lobby.cfg"),
                                        "[Lobby]\nUrlHome=https://home.example/\n"
                                        "UrlPay=http://pay.example/?u=\n"
                                        "UrlRegister=https://reg.example/new\n"
                                        "UrlGM=file:///etc/passwd\n"));
  Answer([&](WindowImplBase& dialog) {
    for (const char* link : {"WebIndex", "Pay", "RegisterTop", "ChatOnline"})
      EXPECT_TRUE(driver_.Click(dialog, link)) << link;
    EXPECT_TRUE(skinui::IsWindow(dialog.GetHWND()));
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
  const std::vector<std::string> want = {"https://home.example/",
                                         "http://pay.example/?u=", "https://reg.example/new"};
  EXPECT_EQ(links_.opened, want);
}

TEST_F(LoginDialogTest, FillLoginFieldsConvertsToTheCodePageOfTheFields) {
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  Answer([&](WindowImplBase& dialog) {
    static_cast<LoginDialog&>(dialog).FillLoginFields("newuser01", "密码12");
    EXPECT_EQ(TextOf(dialog, "LogonAccount"), "newuser01");
    EXPECT_EQ(TextOf(dialog, "PassWord"),
              "\xC3\xDC\xC2\xEB"
              "12");
    driver_.PressKey(dialog, VK_ESCAPE);
  });
  ShowLoginDialog(nullptr, Services());
}

}  // namespace
}  // namespace hall
