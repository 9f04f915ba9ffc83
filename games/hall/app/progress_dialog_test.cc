// The progress window on the headless backend, with the worker's side played by the test (or by
// a thread of its own) and the library clock in the test's hands.
#include "games/hall/app/progress_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "games/hall/text/code_page.h"
#include "games/hall/update/update_engine.h"
#include "platform/clock.h"
#include "skinui/control.h"
#include "skinui/label.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"

namespace hall {
namespace {

using skinui::TestDriver;

// Counts the progress messages that reach the window.
class CountingDialog : public ProgressDialog {
 public:
  using ProgressDialog::ProgressDialog;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
    if (message == WM_UPDATE_PROGRESS)
      ++progress_messages;
    return ProgressDialog::HandleCustomMessage(message, wParam, lParam, handled);
  }
  int progress_messages = 0;
};

class ProgressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    dialog_ = std::make_unique<CountingDialog>(kHallUpdateKind, run_, &current_);
    window_ = dialog_->Create(nullptr, "Update", 0x96C80000, 0x60000, 0, 0, 300, 80);
    ASSERT_NE(window_, nullptr);
    dialog_->ShowPercent(1);
    run_->AttachWindow(window_);
    current_ = dialog_.get();
    driver_.RunUntilIdle();
  }
  void TearDown() override {
    if (skinui::IsWindow(window_))
      dialog_->DestroyWindow();
    driver_.RunUntilIdle();
  }

  std::string Text(const char* name) {
    skinui::CControlUI* c = TestDriver::Find(*dialog_, name);
    return c != nullptr ? std::string(c->GetText()) : "(missing)";
  }
  int Bar() {
    auto* bar = static_cast<skinui::CProgressUI*>(
        TestDriver::Find(*dialog_, "updProgress")->GetInterface("Progress"));
    return bar != nullptr ? bar->GetValue() : -1;
  }
  bool Open() const { return skinui::IsWindow(window_); }

  platform::ManualClock clock_;
  TestDriver driver_{&clock_};
  std::shared_ptr<UpdateRunState> run_ = std::make_shared<UpdateRunState>(clock_);
  ProgressDialog* current_ = nullptr;
  std::unique_ptr<CountingDialog> dialog_;
  HWND window_ = nullptr;
};

TEST(ProgressPercent, IsDoneOverTotalHeldToOneThroughAHundred) {
  struct Case {
    uint64_t done, total;
    int want;
  } cases[] = {
      {0, 100, 1},
      {1, 1000, 1},
      {50, 100, 50},
      {99, 100, 99},
      {100, 100, 100},
      {250, 100, 100},
      {1, 3, 33},
      {2, 3, 66},
      {~uint64_t{0}, ~uint64_t{0}, 100},  // no overflow in done x 100
      {~uint64_t{0} / 2, ~uint64_t{0}, 49},
      {5, 0, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProgressPercent(c.done, c.total), c.want) << c.done << "/" << c.total;
}

TEST_F(ProgressDialogTest, StartsAtOnePercentAndFollowsTheReports) {
  EXPECT_EQ(Bar(), 1);
  EXPECT_EQ(Text("updProgress"), "1%");
  struct Step {
    uint64_t done, total;
    int bar;
    const char* name;  // reported
    const char* shown;
  } steps[] = {
      {10, 200, 5, "a.bin", "a.bin"},
      {0, 0, 5, "ignored.bin", "a.bin"},  // a report without a total changes nothing
      {150, 200, 75, "", "a.bin"},        // an empty name keeps the last one
      {200, 200, 100, "b.bin", "b.bin"},
  };
  for (const Step& s : steps) {
    clock_.Advance(kProgressIntervalMs);
    run_->ReportProgress(s.name, s.done, s.total);
    driver_.RunUntilIdle();
    EXPECT_EQ(Bar(), s.bar) << s.done;
    EXPECT_EQ(Text("updProgress"), std::to_string(s.bar) + "%");
    EXPECT_EQ(Text("updfilename"), s.shown);
  }
  EXPECT_TRUE(Open());
}

TEST_F(ProgressDialogTest, ReportsFromTheWorkerReachTheWindowAsOneWaitingMessage) {
  // Every control change happens here, on the window thread, when the message is handled; the
  // worker only stores and posts, and never more than one message waits.
  std::thread worker([this] {
    for (uint64_t done = 1; done <= 20'000; ++done)
      run_->ReportProgress("big.pak", done, 40'000);
  });
  worker.join();
  EXPECT_EQ(Bar(), 1);  // nothing changed before the window handled its message
  driver_.RunUntilIdle();
  EXPECT_EQ(dialog_->progress_messages, 1);
  EXPECT_EQ(Bar(), 50);
  EXPECT_EQ(Text("updfilename"), "big.pak");
  // After that the window hears of a change of what it shows, at most once per interval from
  // the last message; a change held back goes with the first report once the interval is over.
  struct Report {
    uint32_t after_ms;  // since the report before
    const char* name;
    uint64_t done;
    int messages;  // handled so far
    int bar;
    const char* shown;
  } reports[] = {
      {0, "big.pak", 20'300, 1, 50, "big.pak"},  // nothing new to show
      {0, "big.pak", 30'000, 1, 50, "big.pak"},  // too soon
      {kProgressIntervalMs - 1, "big.pak", 30'001, 1, 50, "big.pak"},
      {1, "big.pak", 30'002, 2, 75, "big.pak"},  // the held-back 75 % goes now
      {kProgressIntervalMs, "small.pak", 30'003, 3, 75, "small.pak"},
      {kProgressIntervalMs, "small.pak", 30'004, 3, 75, "small.pak"},
  };
  for (const Report& r : reports) {
    clock_.Advance(r.after_ms);
    run_->ReportProgress(r.name, r.done, 40'000);
    driver_.RunUntilIdle();
    EXPECT_EQ(dialog_->progress_messages, r.messages) << r.done;
    EXPECT_EQ(Bar(), r.bar) << r.done;
    EXPECT_EQ(Text("updfilename"), r.shown) << r.done;
  }
}

TEST_F(ProgressDialogTest, FileNameInTheAnsiCodePageIsShownAsTheText) {
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  clock_.Advance(kProgressIntervalMs);
  run_->ReportProgress("\xB6\xB7\xB5\xD8\xD6\xF7.exe", 1, 2);  // 斗地主.exe in GBK
  driver_.RunUntilIdle();
  const std::string shown = Text("updfilename");
  ASSERT_TRUE(SetAnsiCodePage(""));
  // SetControlTextUtf8 hands the control the ANSI form of its UTF-8 argument: here the same GBK
  // bytes again, which only holds when the name was turned into UTF-8 first.
  EXPECT_EQ(shown, "\xB6\xB7\xB5\xD8\xD6\xF7.exe");
}

TEST_F(ProgressDialogTest, ResultOfTheRunClosesTheWindow) {
  for (const int result : {kUpdateReady, kUpdateFailed}) {
    SCOPED_TRACE(result);
    if (!Open())
      SetUp();
    run_->Finish(result, {});
    driver_.RunUntilIdle();
    EXPECT_FALSE(Open());
    EXPECT_EQ(dialog_->ending(), ProgressDialog::Ending::kFinished);
    EXPECT_EQ(dialog_->result(), result);
    EXPECT_EQ(current_, nullptr);
    EXPECT_FALSE(run_->cancelled());
    run_ = std::make_shared<UpdateRunState>(clock_);
  }
}

TEST_F(ProgressDialogTest, NothingNewShowsFortyFiveSeventyAndAHundredOverOnePointTwoSeconds) {
  run_->Finish(kUpdateUnchanged, {});
  driver_.RunUntilIdle();
  struct Step {
    uint32_t advance_ms;
    int bar;
    bool open;
  } steps[] = {
      {0, 45, true},  {199, 45, true},  {1, 70, true},   {399, 70, true},
      {1, 100, true}, {599, 100, true}, {1, 100, false},
  };
  uint32_t at = 0;
  for (const Step& s : steps) {
    driver_.Advance(s.advance_ms);
    at += s.advance_ms;
    EXPECT_EQ(Open(), s.open) << at << " ms";
    if (Open()) {
      EXPECT_EQ(Bar(), s.bar) << at << " ms";
      EXPECT_EQ(Text("updProgress"), std::to_string(s.bar) + "%") << at << " ms";
    }
  }
  EXPECT_EQ(dialog_->ending(), ProgressDialog::Ending::kFinished);
  EXPECT_EQ(dialog_->result(), kUpdateUnchanged);
}

TEST_F(ProgressDialogTest, CloseButtonAsksAndOnlyTheFirstAnswerCancels) {
  struct Case {
    const char* press;
    bool cancelled;
  } cases[] = {{"button_3", false}, {"button_1", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.press);
    TestDriver::AnswerNextModal([&](skinui::WindowImplBase& question) {
      EXPECT_EQ(std::string(TestDriver::Find(question, "title")->GetText()), "更新取消");
      EXPECT_EQ(std::string(TestDriver::Find(question, "content")->GetText()), "确定要退出更新吗?");
      EXPECT_EQ(std::string(TestDriver::Find(question, "button_1")->GetText()), "我要走了");
      EXPECT_EQ(std::string(TestDriver::Find(question, "button_3")->GetText()), "那等会吧");
      TestDriver d;
      d.Click(question, c.press);
    });
    ASSERT_TRUE(driver_.Click(*dialog_, "btnclose"));
    driver_.RunUntilIdle();
    EXPECT_EQ(skinui::internal::PendingModalAnswers(), 0u);
    EXPECT_EQ(Open(), !c.cancelled);
    EXPECT_EQ(run_->cancelled(), c.cancelled);
    EXPECT_EQ(dialog_->cancelRequested(), c.cancelled);
    EXPECT_EQ(current_ == nullptr, c.cancelled);
    EXPECT_EQ(dialog_->ending(),
              c.cancelled ? ProgressDialog::Ending::kCancelled : ProgressDialog::Ending::kOpen);
  }
  // Reports after the cancel find no window: nothing to show, nothing posted.
  run_->ReportProgress("late.bin", 5, 10);
  run_->Finish(kUpdateFailed, {});
  driver_.RunUntilIdle();
  EXPECT_EQ(dialog_->ending(), ProgressDialog::Ending::kCancelled);
}

TEST_F(ProgressDialogTest, RunThatEndsWhileTheQuestionIsOpenKeepsItsResult) {
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& question) {
    run_->Finish(kUpdateReady, {});
    TestDriver d;
    d.RunUntilIdle();  // the progress window closes under the question
    EXPECT_FALSE(Open());
    d.Click(question, "button_1");
  });
  ASSERT_TRUE(driver_.Click(*dialog_, "btnclose"));
  driver_.RunUntilIdle();
  EXPECT_EQ(dialog_->ending(), ProgressDialog::Ending::kFinished);
  EXPECT_EQ(dialog_->result(), kUpdateReady);
  EXPECT_FALSE(run_->cancelled());
}

TEST_F(ProgressDialogTest, CancelFromTheProgramClosesAtOnceEvenDuringTheAnimation) {
  run_->Finish(kUpdateUnchanged, {});
  driver_.RunUntilIdle();
  driver_.Advance(250);
  EXPECT_EQ(Bar(), 70);
  dialog_->CancelAndClose();
  driver_.RunUntilIdle();
  EXPECT_FALSE(Open());
  EXPECT_TRUE(run_->cancelled());
  EXPECT_EQ(current_, nullptr);
  EXPECT_EQ(dialog_->ending(), ProgressDialog::Ending::kCancelled);
  driver_.Advance(2000);  // the animation's timer died with the window
  EXPECT_EQ(dialog_->ending(), ProgressDialog::Ending::kCancelled);
}

TEST_F(ProgressDialogTest, InstallingShowsAHundredPercentAndWhatHappens) {
  clock_.Advance(kProgressIntervalMs);
  run_->ReportProgress("a.bin", 10, 100);
  run_->ReportInstalling();
  driver_.RunUntilIdle();
  EXPECT_EQ(Bar(), 100);
  EXPECT_EQ(Text("updfilename"), "正在安装更新…");
  EXPECT_TRUE(Open());
}

}  // namespace
}  // namespace hall
