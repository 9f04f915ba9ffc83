// The start-up with real processes: halls started as programs of their own (testing/
// hall_app_peer_main.cc), the single instance between them, a hall killed and started again, and
// a ready update handed to the real applier, which installs it and starts the hall again.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "games/hall/app/hall_app.h"
#include "platform/file_move.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "platform/window_link.h"
#include "testing/update_server/check_list_maker.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using namespace std::chrono_literals;
using update_server::TempFolder;

// What the peer's main window takes as the user leaving.
constexpr uint32_t kPeerQuitMessage = WM_APP + 1;
constexpr int kAnotherHallRuns = static_cast<int>(CHallApp::Outcome::kAnotherHallRuns);
constexpr int kApplierStarted = static_cast<int>(CHallApp::Outcome::kApplierStarted);
constexpr int kUpdateFailedAndQuit = static_cast<int>(CHallApp::Outcome::kUpdateFailedAndQuit);
constexpr int kMainFrameRan = static_cast<int>(CHallApp::Outcome::kMainFrameRan);

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= until)
      return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

class HallProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    const std::string tag = std::to_string(::getpid()) + "-" + std::to_string(++counter);
    title_ = "大厅进程测试 " + tag;
    runtime_ = root_.Sub("runtime");
    ASSERT_TRUE(platform::MakeDirectories(runtime_, 0700));
    record_ = root_.Sub("record.txt");
    env_ = {"XDG_RUNTIME_DIR=" + runtime_, "TARVIX_HALL_PEER_TITLE=" + title_,
            "TARVIX_HALL_PEER_MUTEX=hall-process-test-" + tag, "TARVIX_HALL_PEER_RECORD=" + record_,
            "TARVIX_HALL_PEER_LIFE_MS=60000"};
  }
  void TearDown() override {
    // A hall the applier restarted is nobody's child here: end every one still running.
    for (pid_t pid : Pids())
      platform::SystemProcessLauncher().TerminatePid(pid);
  }

  std::unique_ptr<platform::Process> StartHall(const std::string& program,
                                               const std::vector<std::string>& more_env = {}) {
    platform::LaunchOptions o;
    o.program = program;
    o.extra_env = env_;
    o.extra_env.insert(o.extra_env.end(), more_env.begin(), more_env.end());
    std::string error;
    auto p = platform::SystemProcessLauncher().Launch(o, &error);
    EXPECT_NE(p, nullptr) << error;
    return p;
  }

  // The record's events of `pid`, in order.
  std::vector<std::string> Events(pid_t pid) const {
    std::string text;
    platform::ReadFile(record_, &text);
    std::vector<std::string> out;
    const std::string prefix = std::to_string(pid) + " ";
    size_t start = 0;
    while (start < text.size()) {
      const size_t end = std::min(text.find('\n', start), text.size());
      const std::string line = text.substr(start, end - start);
      if (line.rfind(prefix, 0) == 0)
        out.push_back(line.substr(prefix.size()));
      start = end + 1;
    }
    return out;
  }
  bool Has(pid_t pid, const std::string& event) const {
    const std::vector<std::string> e = Events(pid);
    return std::find(e.begin(), e.end(), event) != e.end();
  }
  // Every hall process that wrote to the record.
  std::set<pid_t> Pids() const {
    std::string text;
    platform::ReadFile(record_, &text);
    std::set<pid_t> pids;
    size_t start = 0;
    while (start < text.size()) {
      pids.insert(static_cast<pid_t>(std::atoi(text.c_str() + start)));
      const size_t end = text.find('\n', start);
      start = end == std::string::npos ? text.size() : end + 1;
    }
    pids.erase(0);
    return pids;
  }
  std::string AllEvents() const {
    std::string text;
    platform::ReadFile(record_, &text);
    return text;
  }

  bool Leave() {
    return platform::SendToWindowLink(title_, {platform::LinkKind::kPost, kPeerQuitMessage, 0, 0});
  }

  static int ExitCode(platform::Process& p) {
    platform::ExitStatus status;
    EXPECT_EQ(p.Wait(60000, &status), platform::WaitOutcome::kExited);
    return status.code;
  }

  // A program folder of its own: the hall peer as "tarvix", and the applier when wanted.
  std::string MakeProgramFolder(const std::string& name, bool with_applier) {
    const std::string dir = root_.Sub(name);
    EXPECT_TRUE(platform::MakeDirectories(dir));
    EXPECT_EQ(platform::CopyFileKeepingTime(HALL_APP_PEER_PATH, dir + "/tarvix"), 0);
    if (with_applier)
      EXPECT_EQ(platform::CopyFileKeepingTime(BRIMSETT_PATH, dir + "/brimsett"), 0);
    return dir;
  }

  TempFolder root_{"tvx_hall_process"};
  std::string title_, runtime_, record_;
  std::vector<std::string> env_;
};

TEST_F(HallProcessTest, ASecondStartComesToTheFirstAndAKilledHallLeavesNoLock) {
  auto first = StartHall(HALL_APP_PEER_PATH);
  ASSERT_TRUE(WaitFor([&] { return Has(first->pid(), "window shown"); })) << AllEvents();
  ASSERT_TRUE(platform::WindowLinkExists(title_));

  auto second = StartHall(HALL_APP_PEER_PATH);
  EXPECT_EQ(ExitCode(*second), kAnotherHallRuns);
  EXPECT_EQ(Events(second->pid()),
            (std::vector<std::string>{"start", "outcome " + std::to_string(kAnotherHallRuns)}))
      << "the second start neither updates nor shows a window";
  ASSERT_TRUE(WaitFor([&] {
    return Has(first->pid(), "message 38323 0 0") && Has(first->pid(), "foreground");
  })) << AllEvents();

  // The first hall dies without a word: the next start runs as the only hall.
  ASSERT_TRUE(first->Terminate());
  EXPECT_EQ(ExitCode(*first), -1);
  auto third = StartHall(HALL_APP_PEER_PATH);
  ASSERT_TRUE(WaitFor([&] { return Has(third->pid(), "window shown"); })) << AllEvents();
  ASSERT_TRUE(WaitFor([&] { return Leave(); }));
  EXPECT_EQ(ExitCode(*third), kMainFrameRan);
  EXPECT_TRUE(Has(third->pid(), "window closed"));
}

TEST_F(HallProcessTest, AReadyUpdateIsInstalledByTheApplierWhichStartsTheHallAgain) {
  TempFolder docroot("tvx_hall_process_www");
  for (const auto& [path, text] :
       std::map<std::string, std::string>{{"Tarvix/tarvixresource/new.xml", "<Window/>"},
                                          {"Tarvix/LobbyData/gamelist.xml", "<gamelist/>"},
                                          {"Tarvix/中文 目录/说明 文件.txt", "说明"}}) {
    ASSERT_TRUE(update_server::PutFile(docroot.path(), path, text, 1'700'000'000));
  }
  std::string error;
  ASSERT_EQ(update_server::WriteCheckListOf(docroot.Sub("Tarvix"), docroot.Sub("Tarvix/update.cl"),
                                            {}, &error),
            3)
      << error;
  auto nginx = update_server::NginxServer::Start({docroot.path(), 1024}, &error);
  ASSERT_NE(nginx, nullptr) << error;
  const std::string dir = MakeProgramFolder("游戏 大厅 program", true);

  auto hall = StartHall(dir + "/tarvix", {"TARVIX_HALL_PEER_UPDATE=http:" + nginx->Url()});
  EXPECT_EQ(ExitCode(*hall), kApplierStarted) << AllEvents();
  const std::vector<std::string> first = Events(hall->pid());
  EXPECT_EQ(std::count(first.begin(), first.end(), "window shown"), 0)
      << "the hall ends without a main window";
  EXPECT_TRUE(Has(hall->pid(),
                  "applier " + HallApplierParameters(dir, dir + "/cache/Tarvix", dir + "/tarvix")))
      << AllEvents();

  // The applier waits for the hall, installs, and starts it again, which finds nothing new.
  pid_t restarted = 0;
  ASSERT_TRUE(WaitFor([&] {
    for (pid_t pid : Pids()) {
      if (pid != hall->pid() && Has(pid, "window shown"))
        restarted = pid;
    }
    return restarted != 0;
  })) << AllEvents();
  EXPECT_TRUE(Has(restarted, "update http:" + nginx->Url() + " ready=0"));
  std::string text;
  EXPECT_TRUE(platform::ReadFile(dir + "/中文 目录/说明 文件.txt", &text));
  EXPECT_EQ(text, "说明");
  EXPECT_TRUE(platform::FileExists(dir + "/tarvixresource/new.xml"));
  EXPECT_TRUE(platform::FileExists(dir + "/updateTarvix.cl"));
  // Nothing staged is left (the restarted hall's check makes the empty folder again).
  std::vector<std::string> staged;
  platform::RealFileSystem().ListFiles(dir + "/cache/Tarvix", &staged);
  EXPECT_TRUE(staged.empty()) << staged.front();

  ASSERT_TRUE(WaitFor([&] { return Leave(); }));
  EXPECT_TRUE(WaitFor([&] { return Has(restarted, "outcome " + std::to_string(kMainFrameRan)); }))
      << AllEvents();
}

TEST_F(HallProcessTest, WithoutTheApplierYesRunsTheHallAndNoEndsIt) {
  const std::string dir = MakeProgramFolder("大厅 no applier", false);
  const std::string question =
      std::string("question 信息 很抱歉,大厅更新失败! 是否跳过更新? type=36");

  auto yes =
      StartHall(dir + "/tarvix", {"TARVIX_HALL_PEER_UPDATE=ready", "TARVIX_HALL_PEER_ANSWER=yes"});
  ASSERT_TRUE(WaitFor([&] { return Has(yes->pid(), "window shown"); })) << AllEvents();
  EXPECT_TRUE(Has(yes->pid(), question)) << AllEvents();
  ASSERT_TRUE(WaitFor([&] { return Leave(); }));
  EXPECT_EQ(ExitCode(*yes), kMainFrameRan);

  auto no =
      StartHall(dir + "/tarvix", {"TARVIX_HALL_PEER_UPDATE=ready", "TARVIX_HALL_PEER_ANSWER=no"});
  EXPECT_EQ(ExitCode(*no), kUpdateFailedAndQuit);
  EXPECT_TRUE(Has(no->pid(), question)) << AllEvents();
  EXPECT_FALSE(Has(no->pid(), "window shown"));
}

}  // namespace
}  // namespace hall
