// The real `tarvix` of a program folder laid out by `cmake --install`, run on a private X display
// (Xvfb) against a local gate and handled as a person handles it, with xdotool.
//
// The hall restarting itself after a refused login: the gate refuses every login. The player
// presses Enter in the login dialog (its saved account filled in) and again on the refusal's
// notice; the hall then starts a new hall and ends. The new one must come up (take the
// single-instance lock, make its main window, reach the gate) once the old one is gone: a new hall
// that went ahead while the old one still held the lock and its window title would only bring the
// old window forward and end, which would leave no hall at all. So the test holds the old hall
// (SIGSTOP) the moment its successor appears, still holding both, and lets it go on only after a
// while in which the successor must have waited.
//
// The hall asked to end from outside (SIGTERM, as when the desktop session ends) ends in order:
// its connection to the gate is closed and it exits with 0.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "games/hall/app/account_store.h"
#include "games/hall/app/testing/xvfb_display.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "testing/gate/hall_services.h"
#include "testing/gate/local_gate.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using namespace std::chrono_literals;
using update_server::TempFolder;

constexpr char kAccount[] = "player01";
constexpr char kPassword[] = "secret99";
constexpr uint64_t kUserId = 10001;
// How often the player may press a key before a window is expected to have taken it.
constexpr int kPresses = 20;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// The arguments of process `pid` (argv[0] first), empty when it is gone.
std::vector<std::string> CommandLineOf(pid_t pid) {
  std::string text;
  std::vector<std::string> args;
  if (!platform::ReadFile("/proc/" + std::to_string(pid) + "/cmdline", &text))
    return args;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\0', start);
    args.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return args;
}

// A hall `program` that the hall `parent` started; 0 when there is none.
pid_t ChildHallOf(pid_t parent, const std::string& program) {
  for (const platform::ProcessEntry& entry : platform::SystemProcessLauncher().ListProcesses()) {
    if (entry.parent_pid != parent || entry.name != "tarvix")
      continue;
    const std::vector<std::string> args = CommandLineOf(entry.pid);
    if (!args.empty() && args[0] == program)
      return entry.pid;
  }
  return 0;
}

class TarvixProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::XvfbDisplay::Available())
      GTEST_SKIP() << "needs Xvfb and xdotool (scripts/setup --deps installs them)";
    std::string error;
    ASSERT_TRUE(display_.Start(&error)) << error;

    // The program folder, its path with blanks and Chinese characters like a user's.
    platform::LaunchOptions install;
    install.program = CMAKE_COMMAND_PATH;
    install.args = {"--install", BUILD_FOLDER, "--prefix", dir_};
    ASSERT_EQ(RunToEnd(install, 240000), 0);
    // No update server: the hall's check finds nothing and goes on to the main window.
    ASSERT_TRUE(platform::WriteFileAtomic(platform::JoinPath(dir_, "update.ini"),
                                          "[update]\nurl_update=http://127.0.0.1:9/\n"));

    services_.AddAccount({kAccount, kPassword, kUserId});
    ASSERT_TRUE(gate_.Start());
    ASSERT_TRUE(platform::WriteFileAtomic(
        platform::JoinPath(dir_, "LobbyData/addr.ini"),
        "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate_.port()) + "\n"));

    // The user's own folders: the single-instance lock, and the saved account the login dialog
    // fills in.
    ASSERT_TRUE(platform::MakeDirectories(runtime_dir_, 0700));
    platform::RegistryStore registry(platform::JoinPath(config_dir_, "tarvix/registry"));
    AccountStore accounts(registry, platform::JoinPath(config_dir_, "tarvix"));
    accounts.SaveAccount(kAccount, kPassword, kUserId, true);
    accounts.SaveLastAccount(kAccount);
    accounts.SaveSavePassword(true);
  }

  void TearDown() override {
    // Whatever happened, no hall of this test outlives it. Process ids come round again soon on
    // a busy machine, so only the test's own children (by their handles) and a successor that
    // still runs this test's program are ended.
    for (const auto& hall : halls_) {
      platform::ExitStatus status;
      if (hall->Terminate())
        hall->Wait(10000, &status);
    }
    platform::ProcessLauncher& launcher = platform::SystemProcessLauncher();
    for (pid_t pid : successors_) {
      if (HallRuns(pid) && launcher.TerminatePid(pid))
        launcher.WaitForPid(pid, 10000);
    }
    gate_.Stop();
  }

  static int RunToEnd(const platform::LaunchOptions& options, uint32_t timeout_ms) {
    std::string error;
    auto process = platform::SystemProcessLauncher().Launch(options, &error);
    EXPECT_NE(process, nullptr) << options.program << ": " << error;
    if (process == nullptr)
      return 999;
    platform::ExitStatus status;
    EXPECT_EQ(process->Wait(timeout_ms, &status), platform::WaitOutcome::kExited);
    return status.code;
  }

  // The hall stays the fixture's; null when it could not be started.
  platform::Process* StartHall() {
    platform::LaunchOptions options;
    options.program = Program();
    options.working_dir = dir_;
    options.extra_env = {display_.DisplayEntry(), "SDL_VIDEODRIVER=x11",
                         "XDG_RUNTIME_DIR=" + runtime_dir_, "XDG_CONFIG_HOME=" + config_dir_,
                         "TARVIX_LOG_LEVEL=2"};
    std::string error;
    auto hall = platform::SystemProcessLauncher().Launch(options, &error);
    EXPECT_NE(hall, nullptr) << error;
    if (hall == nullptr)
      return nullptr;
    halls_.push_back(std::move(hall));
    return halls_.back().get();
  }

  // Presses `key` until `taken` holds, a second or so apart; false when it never did.
  bool PressUntil(const std::string& key, const std::function<bool()>& taken) {
    for (int i = 0; i < kPresses; ++i) {
      display_.PressKeyAtCentre(key);
      if (taken())
        return true;
    }
    return false;
  }

  std::string Program() const { return platform::JoinPath(dir_, "tarvix"); }
  // Whether `pid` is a live hall of this test's program (an ended one has no command line).
  bool HallRuns(pid_t pid) const {
    const std::vector<std::string> args = CommandLineOf(pid);
    return !args.empty() && args[0] == Program();
  }

  testing::XvfbDisplay display_;
  TempFolder base_{"tvx_restart"};
  const std::string dir_ = base_.Sub("程序 文件夹 乙");
  const std::string runtime_dir_ = base_.Sub("run");
  const std::string config_dir_ = base_.Sub("config");
  testgate::LocalGate gate_;
  testgate::HallServices services_{gate_};
  std::vector<std::unique_ptr<platform::Process>> halls_;  // the test's children
  std::vector<pid_t> successors_;                          // halls those started
};

TEST_F(TarvixProcessTest, ARefusedLoginStartsANewHallThatComesUpOnceTheOldOneIsGone) {
  services_.SetLoginResult(testgate::HallServices::kLoginWrongPassword);
  platform::Process* old_hall = StartHall();
  ASSERT_NE(old_hall, nullptr);
  // Its main window's first layout started the gate client, and the login dialog is up.
  ASSERT_TRUE(gate_.WaitForAccepted(1, 60s)) << "the first hall never reached the gate";

  // Enter logs in with the saved account; the gate refuses it.
  ASSERT_TRUE(PressUntil("Return", [&] {
    return WaitFor([&] { return !services_.logins().empty(); }, 1s);
  })) << "the login dialog did not take Enter";
  const auto logins = services_.logins();
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(logins[0].account, kAccount);

  // Enter on the notice "登录失败：密码错误": the hall starts its successor, and is held the
  // moment the successor shows, before it has let go of anything.
  const pid_t old_pid = old_hall->pid();
  pid_t new_pid = 0;
  ASSERT_TRUE(PressUntil("Return", [&] {
    return WaitFor([&] { return (new_pid = ChildHallOf(old_pid, Program())) != 0; }, 1s);
  })) << "the refusal's notice started no new hall";
  ASSERT_EQ(::kill(old_pid, SIGSTOP), 0);
  successors_.push_back(new_pid);
  platform::ExitStatus status;
  ASSERT_EQ(old_hall->Wait(0, &status), platform::WaitOutcome::kRunning)
      << "the old hall ended before it could be held";
  EXPECT_EQ(CommandLineOf(new_pid),
            (std::vector<std::string>{Program(), "--after", std::to_string(old_pid)}));

  // While the old hall still holds its lock and title, the new one waits: it neither ends nor
  // reaches the gate.
  EXPECT_FALSE(WaitFor([&] { return !HallRuns(new_pid); }, 2s))
      << "the new hall gave up while the old one was there";
  EXPECT_EQ(gate_.accepted(), 1);

  // The old hall goes on, ends by itself, and only then does the new one come up.
  ASSERT_EQ(::kill(old_pid, SIGCONT), 0);
  ASSERT_EQ(old_hall->Wait(30000, &status), platform::WaitOutcome::kExited);
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(status.signal, 0);
  ASSERT_TRUE(gate_.WaitForAccepted(2, 60s)) << "no new hall reached the gate";
  EXPECT_TRUE(HallRuns(new_pid));
  EXPECT_EQ(services_.logins().size(), 1u) << "the new hall waits for the player";
  display_.SaveScreenshot(::testing::TempDir() + "hall_restarted.png");

  // Its login dialog is a working one: Escape leaves it and the new hall ends too.
  EXPECT_TRUE(PressUntil("Escape", [&] { return WaitFor([&] { return !HallRuns(new_pid); }, 1s); }))
      << "the new hall did not end";
}

TEST_F(TarvixProcessTest, ATermSignalEndsTheHallInOrderAtItsLoginOrLoggedIn) {
  struct Case {
    const char* what;
    bool log_in;
  } cases[] = {{"at its login dialog", false}, {"logged in", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int connections = gate_.accepted();
    platform::Process* hall = StartHall();
    ASSERT_NE(hall, nullptr);
    ASSERT_TRUE(gate_.WaitForAccepted(connections + 1, 60s)) << "the hall never reached the gate";
    ASSERT_TRUE(gate_.WaitForOpen(1, 10s));
    if (c.log_in) {
      const size_t logins = services_.logins().size();
      ASSERT_TRUE(PressUntil("Return", [&] {
        return WaitFor([&] { return services_.logins().size() > logins; }, 1s);
      })) << "the login dialog did not take Enter";
    }
    ASSERT_EQ(::kill(hall->pid(), SIGTERM), 0);
    platform::ExitStatus status;
    ASSERT_EQ(hall->Wait(30000, &status), platform::WaitOutcome::kExited)
        << "the hall did not end when asked to";
    EXPECT_EQ(status.signal, 0) << "the hall was ended by the signal, not in order";
    EXPECT_EQ(status.code, 0);
    EXPECT_TRUE(gate_.WaitForOpen(0, 10s)) << "the hall's connection stayed open";
  }
}

}  // namespace
}  // namespace hall
