#include "games/hall/app/testing/xvfb_display.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/file_util.h"

namespace hall::testing {
namespace {

constexpr char kXvfb[] = "/usr/bin/Xvfb";
constexpr char kXdoTool[] = "/usr/bin/xdotool";
constexpr char kImport[] = "/usr/bin/import";
constexpr int kFirstDisplay = 90;
constexpr int kLastDisplay = 189;
constexpr auto kServerStartLimit = std::chrono::seconds(10);

std::string LockFile(int n) {
  return "/tmp/.X" + std::to_string(n) + "-lock";
}

std::string SocketFile(int n) {
  return "/tmp/.X11-unix/X" + std::to_string(n);
}

// The server process that holds display `n`'s lock, 0 when none does: the lock names a process
// that has ended (the server takes such a lock over) or there is no lock.
pid_t LockHolder(int n) {
  std::string text;
  if (!platform::ReadFile(LockFile(n), &text))
    return 0;
  const pid_t pid = static_cast<pid_t>(std::strtol(text.c_str(), nullptr, 10));
  if (pid <= 0)
    return 0;
  return platform::SystemProcessLauncher().WaitForPid(pid, 0) == platform::WaitOutcome::kRunning
             ? pid
             : 0;
}

}  // namespace

XvfbDisplay::~XvfbDisplay() {
  if (server_ == nullptr)
    return;
  // The launcher ends a process with SIGKILL, which leaves the server no time to remove its lock
  // and socket; they are removed here, since they name this server.
  server_->Terminate();
  platform::ExitStatus status;
  server_->Wait(5000, &status);
  platform::RemoveFile(LockFile(number_));
  platform::RemoveFile(SocketFile(number_));
}

bool XvfbDisplay::Available() {
  return platform::FileExists(kXvfb) && platform::FileExists(kXdoTool);
}

bool XvfbDisplay::Start(std::string* error) {
  platform::ProcessLauncher& launcher = platform::SystemProcessLauncher();
  for (int n = kFirstDisplay; n <= kLastDisplay; ++n) {
    const std::string number = std::to_string(n);
    if (LockHolder(n) != 0)
      continue;  // another server's
    platform::LaunchOptions options;
    options.program = kXvfb;
    options.args = {":" + number, "-screen",
                    "0",          std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24",
                    "-nolisten",  "tcp",
                    "-noreset"};
    std::string launch_error;
    std::unique_ptr<platform::Process> server = launcher.Launch(options, &launch_error);
    if (server == nullptr) {
      *error = "Xvfb: " + launch_error;
      return false;
    }
    // Ready once it holds the lock and a client can open the display; gone at once when another
    // server took the number first.
    name_ = ":" + number;
    const auto end = std::chrono::steady_clock::now() + kServerStartLimit;
    platform::ExitStatus status;
    bool ready = false;
    while (std::chrono::steady_clock::now() < end) {
      if (server->Wait(0, &status) == platform::WaitOutcome::kExited)
        break;
      if (LockHolder(n) == server->pid() && RunToEnd(kXdoTool, {"getmouselocation"}, 2000)) {
        ready = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ready) {
      name_.clear();
      server->Terminate();
      server->Wait(5000, &status);
      continue;
    }
    server_ = std::move(server);
    number_ = n;
    return true;
  }
  *error = "no free display from :" + std::to_string(kFirstDisplay);
  return false;
}

bool XvfbDisplay::RunToEnd(const std::string& program, const std::vector<std::string>& args,
                           uint32_t timeout_ms) {
  if (name_.empty())
    return false;
  platform::LaunchOptions options;
  options.program = program;
  options.args = args;
  options.extra_env = {DisplayEntry()};
  std::string error;
  std::unique_ptr<platform::Process> process =
      platform::SystemProcessLauncher().Launch(options, &error);
  if (process == nullptr)
    return false;
  platform::ExitStatus status;
  if (process->Wait(timeout_ms, &status) != platform::WaitOutcome::kExited) {
    process->Terminate();
    process->Wait(5000, &status);
    return false;
  }
  return status.code == 0 && status.signal == 0;
}

bool XvfbDisplay::XdoTool(const std::vector<std::string>& args, uint32_t timeout_ms) {
  return RunToEnd(kXdoTool, args, timeout_ms);
}

bool XvfbDisplay::PressKeyAtCentre(const std::string& key) {
  return XdoTool(
      {"mousemove", std::to_string(kWidth / 2), std::to_string(kHeight / 2), "key", key});
}

bool XvfbDisplay::SaveScreenshot(const std::string& png_path) {
  return platform::FileExists(kImport) && RunToEnd(kImport, {"-window", "root", png_path}, 20000);
}

}  // namespace hall::testing
