// The hall's start-up run whole in one process: the single instance against a first hall's
// window and lock, every way an update can end, the main window's run, and a failing applier
// leaving the program folder as it was.
#include "games/hall/app/hall_app.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "games/hall/text/code_page.h"
#include "games/hall/text/text_convert.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "skinui/headless_backend.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"
#include "skinui/paint_manager.h"
#include "skinui/test_driver.h"
#include "skinui/window_link_listener.h"
#include "skinui/window_wnd.h"

namespace hall {
namespace {

using namespace std::chrono_literals;

// A launcher that starts nothing: it records each start and succeeds or fails as told.
class FakeLauncher : public platform::ProcessLauncher {
 public:
  class Started : public platform::Process {
   public:
    pid_t pid() const override { return 4242; }
    platform::WaitOutcome Wait(uint32_t, platform::ExitStatus*) override {
      return platform::WaitOutcome::kRunning;
    }
    bool Terminate() override { return false; }
  };

  std::unique_ptr<platform::Process> Launch(const platform::LaunchOptions& options,
                                            std::string* error) override {
    launches.push_back(options);
    if (!succeed) {
      *error = "cannot start";
      return nullptr;
    }
    return std::make_unique<Started>();
  }
  platform::WaitOutcome WaitForPid(pid_t, uint32_t) override {
    return platform::WaitOutcome::kExited;
  }
  bool TerminatePid(pid_t) override { return false; }
  std::vector<platform::ProcessEntry> ListProcesses() override { return {}; }
  pid_t CurrentPid() override { return ::getpid(); }

  bool succeed = true;
  std::vector<platform::LaunchOptions> launches;
};

// What the main window saw of its run.
struct FrameLog {
  int made = 0;
  std::string title;
  RECT rect;
  bool shown = false;
  bool ended = false;
};

// A main window that closes itself once shown, deleting itself and ending the loop as the
// hall's main window does when the user leaves.
class ClosingFrame : public skinui::CWindowWnd {
 public:
  explicit ClosingFrame(FrameLog& log, bool refuse_create = false)
      : log_(log), refuse_create_(refuse_create) {
    ++log_.made;
  }
  const char* GetWindowClassName() const override { return "ClosingFrame"; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE && refuse_create_)
      return -1;
    if (message == WM_SHOWWINDOW && wParam != 0) {
      log_.shown = true;
      PostMessage(WM_CLOSE);
    }
    if (message == WM_CLOSE) {
      // Where the run left it once the loop took over.
      log_.title = GetTitle();
      log_.rect = GetWindowRect();
    }
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }

 protected:
  void OnFinalMessage(HWND) override {
    log_.ended = true;
    skinui::PostQuitMessage(0);
    delete this;
  }

 private:
  FrameLog& log_;
  bool refuse_create_;
};

// The first hall's window, as a second start meets it.
class FirstHallWindow : public skinui::CWindowWnd {
 public:
  const char* GetWindowClassName() const override { return "FirstHall"; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message >= WM_APP && message != skinui::kRaiseWindowMessage)
      received.push_back(message);
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }
  int raised() const {
    const skinui::HeadlessWindow* w = skinui::HeadlessWindowOf(GetHWND());
    return w != nullptr ? w->raise_count() : 0;
  }
  std::vector<UINT> received;
};

class HallAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/hall_app_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    dir_ = root_ + "/游戏 大厅";
    ASSERT_TRUE(platform::MakeDirectories(dir_));
    static int counter = 0;
    env_.program_path = dir_ + "/tarvix";
    env_.title = "大厅测试 " + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    env_.mutex_name = "hall-app-test";
    env_.lock_place = {root_, "/tmp", ::getuid()};
    env_.launcher = &launcher_;
    env_.check_hall_update = [this](bool& ready) {
      events_.push_back("check");
      ready = update_ready_;
      if (update_quits_)
        skinui::PostQuitMessage(0);
    };
    env_.make_main_frame = [this]() -> skinui::CWindowWnd* {
      events_.push_back("frame");
      return new ClosingFrame(frame_);
    };
    skinui::SetMessageBoxProvider(&boxes_);
  }
  void TearDown() override {
    skinui::SetMessageBoxProvider(nullptr);
    std::filesystem::remove_all(root_);
  }

  std::string root_, dir_;
  HallAppEnvironment env_;
  FakeLauncher launcher_;
  skinui::ScriptedMessageBoxes boxes_;
  std::vector<std::string> events_;
  FrameLog frame_;
  bool update_ready_ = false;
  bool update_quits_ = false;
};

TEST_F(HallAppTest, ASecondStartBringsTheFirstHallForwardAndMakesNoWindow) {
  FirstHallWindow first;
  ASSERT_NE(first.Create(nullptr, Utf8ToAnsi(env_.title).c_str(), 0, 0, 0, 0, 300, 200), nullptr);
  platform::InstanceLock first_lock;
  ASSERT_EQ(first_lock.TryAcquire(env_.mutex_name, env_.lock_place),
            platform::InstanceLock::Result::kAcquired);

  CHallApp second(env_);
  EXPECT_EQ(second.InitInstance(), FALSE);
  EXPECT_EQ(second.outcome(), CHallApp::Outcome::kAnotherHallRuns);
  EXPECT_TRUE(events_.empty()) << "neither the update nor a window";
  EXPECT_EQ(frame_.made, 0);

  // The requests come through the window's link, from its listener thread.
  skinui::TestDriver driver;
  const auto until = std::chrono::steady_clock::now() + 10s;
  while ((first.received.empty() || first.raised() == 0) &&
         std::chrono::steady_clock::now() < until) {
    driver.RunUntilIdle();
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(first.received, std::vector<UINT>{WM_ACTIVATE_INSTANCE});
  EXPECT_EQ(WM_ACTIVATE_INSTANCE, 0x95B3u);
  EXPECT_EQ(first.raised(), 1);
  EXPECT_TRUE(first.IsVisible());
  first.DestroyWindow();
}

TEST_F(HallAppTest, ASecondStartWithoutAWindowToFindOrALockToMakeEndsQuietly) {
  platform::InstanceLock first_lock;
  ASSERT_EQ(first_lock.TryAcquire(env_.mutex_name, env_.lock_place),
            platform::InstanceLock::Result::kAcquired);
  CHallApp second(env_);
  EXPECT_EQ(second.InitInstance(), FALSE);
  EXPECT_EQ(second.outcome(), CHallApp::Outcome::kAnotherHallRuns);
  first_lock.Release();

  // A lock that cannot be made counts as another hall.
  ASSERT_TRUE(platform::RemoveFile(env_.lock_place.LockFilePath(env_.mutex_name)));
  ASSERT_EQ(::mkdir(env_.lock_place.LockFilePath(env_.mutex_name).c_str(), 0700), 0);
  CHallApp third(env_);
  EXPECT_EQ(third.InitInstance(), FALSE);
  EXPECT_EQ(third.outcome(), CHallApp::Outcome::kAnotherHallRuns);
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(frame_.made, 0);
}

TEST_F(HallAppTest, TheFirstHallHoldsTheLockUntilItLetsItGo) {
  CHallApp app(env_);
  EXPECT_EQ(app.InitInstance(), FALSE);
  EXPECT_EQ(app.outcome(), CHallApp::Outcome::kMainFrameRan);
  platform::InstanceLock other;
  EXPECT_EQ(other.TryAcquire(env_.mutex_name, env_.lock_place),
            platform::InstanceLock::Result::kHeldElsewhere);
  app.ReleaseSingleInstance();
  EXPECT_EQ(other.TryAcquire(env_.mutex_name, env_.lock_place),
            platform::InstanceLock::Result::kAcquired);
  EXPECT_TRUE(platform::DirectoryExists(dir_ + "/cache"));
}

TEST_F(HallAppTest, EveryWayTheUpdateEnds) {
  struct Case {
    const char* name;
    bool ready;
    bool quits;  // the update's window posts WM_QUIT
    bool applier_starts;
    int answer;  // to the question, when it is asked
    CHallApp::Outcome outcome;
    bool frame;     // the main window ran
    bool launched;  // the applier was started
    bool asked;
  };
  using O = CHallApp::Outcome;
  const Case cases[] = {
      {"nothing new", false, false, true, 0, O::kMainFrameRan, true, false, false},
      {"handed over", true, false, true, 0, O::kApplierStarted, false, true, false},
      {"applier fails, skip it", true, false, false, IDYES, O::kMainFrameRan, true, true, true},
      {"applier fails, leave", true, false, false, IDNO, O::kUpdateFailedAndQuit, false, true,
       true},
      {"user leaves during the update", false, true, true, 0, O::kQuitDuringUpdate, false, false,
       false},
      {"user leaves, update ready", true, true, true, 0, O::kQuitDuringUpdate, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    events_.clear();
    frame_ = FrameLog();
    launcher_.launches.clear();
    launcher_.succeed = c.applier_starts;
    update_ready_ = c.ready;
    update_quits_ = c.quits;
    boxes_ = skinui::ScriptedMessageBoxes();
    if (c.answer != 0)
      boxes_.AnswerNext(c.answer);

    CHallApp app(env_);
    EXPECT_EQ(app.InitInstance(), FALSE);
    EXPECT_EQ(app.outcome(), c.outcome);
    EXPECT_EQ(events_.front(), "check");
    EXPECT_EQ(frame_.made, c.frame ? 1 : 0) << "a quitting hall makes no main window";
    EXPECT_EQ(frame_.ended, c.frame);
    EXPECT_EQ(app.update_skipped(), c.ready && c.frame);
    ASSERT_EQ(launcher_.launches.size(), c.launched ? 1u : 0u);
    if (c.launched) {
      const platform::LaunchOptions& l = launcher_.launches[0];
      EXPECT_EQ(l.program, dir_ + "/brimsett");
      EXPECT_EQ(l.working_dir, dir_);
      EXPECT_EQ(app.applier_parameters(),
                "/d:\"\"\"" + dir_ + "\"\"\" /s:\"\"\"" + dir_ + "/cache/Tarvix\"\"\" " +
                    "/n:\"\"\"Tarvix\"\"\" /l:\"\"\"" + dir_ + "/tarvix\"\"\" /waitparentexit");
      EXPECT_EQ(l.args, (std::vector<std::string>{
                            "/d:\"" + dir_ + "\"", "/s:\"" + dir_ + "/cache/Tarvix\"",
                            "/n:\"Tarvix\"", "/l:\"" + dir_ + "/tarvix\"", "/waitparentexit"}));
    }
    ASSERT_EQ(boxes_.shown().size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(boxes_.shown()[0].owner, nullptr);
      EXPECT_EQ(boxes_.shown()[0].text, "很抱歉,大厅更新失败! 是否跳过更新?");
      EXPECT_EQ(boxes_.shown()[0].caption, "信息");
      EXPECT_EQ(boxes_.shown()[0].type, 0x24u);
    }
  }
}

TEST_F(HallAppTest, TheApplierTextCarriesBlanksAndChineseAndRefusesWhatItCannotQuote) {
  EXPECT_EQ(HallApplierParameters("/opt/游戏 大厅", "/opt/游戏 大厅/cache/Tarvix",
                                  "/opt/游戏 大厅/tarvix"),
            R"(/d:"""/opt/游戏 大厅""" /s:"""/opt/游戏 大厅/cache/Tarvix""" )"
            R"(/n:"""Tarvix""" /l:"""/opt/游戏 大厅/tarvix""" /waitparentexit)");
  struct Case {
    std::string dir;
    bool reads_back;
  };
  const Case cases[] = {
      {"/opt/游戏 大厅", true},   {"/opt/a  b\tc", true},
      {"/opt/back\\slash", true}, {"/opt/a\"b", false},
      {"/opt/end\\", false},      {"/opt/q\\\"x", false},
      {"/opt/\"\"", false},       {"/opt/a\"\"\" /d:\"\"\"/etc", false},
  };
  for (const Case& c : cases) {
    const std::string cache = c.dir + "/cache/Tarvix";
    const std::string self = c.dir + "/tarvix";
    EXPECT_EQ(ApplierReadsBack(HallApplierParameters(c.dir, cache, self), c.dir, cache, self),
              c.reads_back)
        << c.dir;
  }
  // A text that lacks the wait, or names another product, is not what the hall hands over.
  EXPECT_FALSE(ApplierReadsBack(R"(/d:"""/a""" /s:"""/a/c""" /n:"""Tarvix""" /l:"""/a/t""")", "/a",
                                "/a/c", "/a/t"));
  EXPECT_FALSE(
      ApplierReadsBack(R"(/d:"""/a""" /s:"""/a/c""" /n:"""Game""" /l:"""/a/t""" /waitparentexit)",
                       "/a", "/a/c", "/a/t"));
}

TEST_F(HallAppTest, AFolderTheApplierWouldReadWronglyIsNotHandedOver) {
  dir_ = root_ + "/a\"b";
  ASSERT_TRUE(platform::MakeDirectories(dir_));
  env_.program_path = dir_ + "/tarvix";
  update_ready_ = true;
  boxes_.AnswerNext(IDYES);
  CHallApp app(env_);
  app.InitInstance();
  EXPECT_TRUE(launcher_.launches.empty());
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(app.outcome(), CHallApp::Outcome::kMainFrameRan);
  EXPECT_TRUE(app.update_skipped());
}

// The applier cannot start, and the user runs the hall as it is: the program folder is exactly as
// it was and the downloaded files still wait in the cache for the next start.
TEST_F(HallAppTest, YesToAFailedApplierRunsTheHallWithNothingHalfInstalled) {
  struct Case {
    const char* name;
    std::function<void(const std::string& applier)> make;
  };
  const Case cases[] = {
      {"missing", [](const std::string&) {}},
      {"not executable",
       [](const std::string& a) { ASSERT_TRUE(platform::WriteFileAtomic(a, "#!/bin/sh\n")); }},
      {"a folder", [](const std::string& a) { ASSERT_TRUE(platform::MakeDirectories(a)); }},
  };
  const std::map<std::string, std::string> files = {
      {"tarvix", "the hall"},
      {"tarvixresource/main_frame.xml", "<Window/>"},
      {"updateTarvix.cl", "<checklist/>"},
      {"cache/Tarvix/tarvixresource/main_frame.xml.cache", "<Window size=\"1,1\"/>"},
      {"cache/Tarvix/updateTarvix.cl.cache", "<checklist><file path=\"x\"/></checklist>"},
  };
  auto snapshot = [this] {
    std::vector<std::string> names;
    platform::RealFileSystem().ListFiles(dir_, &names);
    std::map<std::string, std::string> out;
    for (const std::string& n : names)
      platform::ReadFile(platform::JoinPath(dir_, n), &out[n]);
    return out;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(dir_);
    for (const auto& [name, text] : files)
      ASSERT_TRUE(platform::WriteFileAtomic(platform::JoinPath(dir_, name), text) ||
                  (platform::MakeDirectories(platform::DirName(platform::JoinPath(dir_, name))) &&
                   platform::WriteFileAtomic(platform::JoinPath(dir_, name), text)));
    c.make(dir_ + "/brimsett");
    const std::map<std::string, std::string> before = snapshot();

    HallAppEnvironment env = env_;
    env.launcher = &platform::SystemProcessLauncher();
    update_ready_ = true;
    frame_ = FrameLog();
    boxes_ = skinui::ScriptedMessageBoxes();
    boxes_.AnswerNext(IDYES);
    CHallApp app(env);
    app.InitInstance();
    EXPECT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(app.outcome(), CHallApp::Outcome::kMainFrameRan);
    EXPECT_TRUE(frame_.ended);
    EXPECT_EQ(snapshot(), before);
  }
}

TEST_F(HallAppTest, TheMainWindowRunsCentredAtItsSizeUntilItEnds) {
  CHallApp app(env_);
  app.InitInstance();
  ASSERT_EQ(frame_.made, 1);
  EXPECT_TRUE(frame_.shown);
  EXPECT_TRUE(frame_.ended);
  EXPECT_EQ(frame_.title, env_.title);
  EXPECT_EQ(skinui::CPaintManagerUI::GetResourcePath(), dir_);
  const SIZE screen = skinui::CurrentBackend().ScreenSize();
  EXPECT_EQ(frame_.rect.right - frame_.rect.left, kMainFrameWidth);
  EXPECT_EQ(frame_.rect.bottom - frame_.rect.top, kMainFrameHeight);
  EXPECT_EQ(frame_.rect.left, (screen.cx - kMainFrameWidth) / 2);
  EXPECT_EQ(frame_.rect.top, (screen.cy - kMainFrameHeight) / 2);
  EXPECT_EQ(kMainFrameStyle, 0x10CF0000u);
  EXPECT_EQ(kMainFrameExStyle, 0x60000u);
  EXPECT_EQ(std::string(kHallTitle).size(), 12u);

  // The title goes to the window in the ANSI code page.
  app.ReleaseSingleInstance();
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  frame_ = FrameLog();
  env_.title = kHallTitle;
  CHallApp gbk(env_);
  gbk.InitInstance();
  EXPECT_EQ(frame_.title, EncodeCharset(u"休闲游zeb", kGbkCodePage));
  EXPECT_EQ(frame_.title.size(), 9u);
  SetAnsiCodePage("");
}

// A main window that ends the loop with WM_QUIT and stays up, as the hall's close button does.
class QuittingFrame : public skinui::CWindowWnd {
 public:
  explicit QuittingFrame(FrameLog& log) : log_(log) { ++log_.made; }
  const char* GetWindowClassName() const override { return "QuittingFrame"; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SHOWWINDOW && wParam != 0) {
      log_.shown = true;
      skinui::PostQuitMessage(0);
    }
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }

 protected:
  void OnFinalMessage(HWND) override {
    log_.ended = true;
    delete this;
  }

 private:
  FrameLog& log_;
};

TEST_F(HallAppTest, AMainWindowLeftUpWhenTheLoopEndsIsDestroyedBeforeTheRunReturns) {
  FrameLog log;
  RunMainFrame(nullptr, "t", dir_, [&log] { return new QuittingFrame(log); });
  EXPECT_EQ(log.made, 1);
  EXPECT_TRUE(log.shown);
  EXPECT_TRUE(log.ended) << "the window stayed behind the ended loop";
  EXPECT_TRUE(skinui::internal::WindowsOfThread().empty());
}

TEST_F(HallAppTest, AMainWindowThatCannotBeMadeEndsTheRun) {
  RunMainFrame(nullptr, "t", dir_, [] { return nullptr; });
  FrameLog log;
  RunMainFrame(nullptr, "t", dir_, [&log] { return new ClosingFrame(log, true); });
  EXPECT_EQ(log.made, 1);
  EXPECT_FALSE(log.shown);
  EXPECT_TRUE(log.ended) << "the refused window went, and the run did not wait for it";
}

}  // namespace
}  // namespace hall
