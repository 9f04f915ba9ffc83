#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/file_util.h"

extern char** environ;

namespace platform {

namespace {

int PidfdOpen(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

int PidfdSendSignal(int pidfd, int sig) {
  return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0));
}

// Waits until `pidfd` becomes readable (the process ended) or `timeout_ms` passes.
bool PollEnded(int pidfd, uint32_t timeout_ms) {
  pollfd p{pidfd, POLLIN, 0};
  for (;;) {
    int rc = poll(&p, 1, timeout_ms > 0x7FFFFFFFu ? -1 : static_cast<int>(timeout_ms));
    if (rc > 0) return true;
    if (rc == 0) return false;
    if (errno != EINTR) return false;
  }
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    std::string_view entry(*e);
    std::string_view key = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& x : extra) {
      if (x.compare(0, x.find('='), key) == 0 && x.find('=') == key.size()) replaced = true;
    }
    if (!replaced) env.emplace_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

class SystemLauncher;

class ChildProcess : public Process {
 public:
  ChildProcess(SystemLauncher* owner, pid_t pid, int pidfd)
      : owner_(owner), pid_(pid), pidfd_(pidfd) {}
  ~ChildProcess() override;

  pid_t pid() const override { return pid_; }
  WaitOutcome Wait(uint32_t timeout_ms, ExitStatus* status) override;
  bool Terminate() override;

 private:
  bool Reap(ExitStatus* status);

  SystemLauncher* owner_;
  pid_t pid_;
  int pidfd_;
  bool reaped_ = false;
  ExitStatus status_;
};

class SystemLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<Process> Launch(const LaunchOptions& options, std::string* error) override;
  WaitOutcome WaitForPid(pid_t pid, uint32_t timeout_ms) override;
  bool TerminatePid(pid_t pid) override;
  std::vector<ProcessEntry> ListProcesses() override;
  pid_t CurrentPid() override { return getpid(); }

  // A child whose object went away before it was reaped.
  void GiveUp(pid_t pid) {
    std::lock_guard<std::mutex> lock(mutex_);
    orphans_.push_back(pid);
  }

 private:
  void SweepOrphans() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < orphans_.size();) {
      pid_t rc = waitpid(orphans_[i], nullptr, WNOHANG);
      if (rc == orphans_[i] || (rc < 0 && errno == ECHILD)) {
        orphans_[i] = orphans_.back();
        orphans_.pop_back();
      } else {
        ++i;
      }
    }
  }

  std::mutex mutex_;
  std::vector<pid_t> orphans_;
};

ChildProcess::~ChildProcess() {
  if (!reaped_ && !Reap(nullptr)) owner_->GiveUp(pid_);
  if (pidfd_ >= 0) close(pidfd_);
}

bool ChildProcess::Reap(ExitStatus* status) {
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG) != 0) return false;
  if (info.si_pid != pid_) return false;  // still running
  reaped_ = true;
  if (info.si_code == CLD_EXITED) {
    status_.code = static_cast<int8_t>(info.si_status & 0xFF);
    status_.signal = 0;
  } else {
    status_.code = -1;
    status_.signal = info.si_status;
  }
  if (status != nullptr) *status = status_;
  return true;
}

WaitOutcome ChildProcess::Wait(uint32_t timeout_ms, ExitStatus* status) {
  if (reaped_) {
    if (status != nullptr) *status = status_;
    return WaitOutcome::kExited;
  }
  if (Reap(status)) return WaitOutcome::kExited;
  if (timeout_ms == 0) return WaitOutcome::kRunning;
  if (pidfd_ < 0) return WaitOutcome::kFailed;
  PollEnded(pidfd_, timeout_ms);
  return Reap(status) ? WaitOutcome::kExited : WaitOutcome::kRunning;
}

bool ChildProcess::Terminate() {
  if (reaped_ || pidfd_ < 0) return false;
  return PidfdSendSignal(pidfd_, SIGKILL) == 0;
}

std::unique_ptr<Process> SystemLauncher::Launch(const LaunchOptions& options,
                                                std::string* error) {
  SweepOrphans();
  std::vector<std::string> env = MergedEnvironment(options.extra_env);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(options.program.c_str()));
  for (const std::string& a : options.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Nothing but the standard streams crosses into the child.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!options.working_dir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.working_dir.c_str());
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with default signal handling whatever the parent has set.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attr, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = 0;
  int rc = posix_spawn(&pid, options.program.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    if (error != nullptr) *error = std::string("cannot start ") + options.program + ": " +
                                   std::strerror(rc);
    return nullptr;
  }
  int pidfd = PidfdOpen(pid);  // valid even if the child already ended: it is not reaped yet
  return std::make_unique<ChildProcess>(this, pid, pidfd);
}

WaitOutcome SystemLauncher::WaitForPid(pid_t pid, uint32_t timeout_ms) {
  if (pid <= 0) return WaitOutcome::kFailed;
  int fd = PidfdOpen(pid);
  if (fd < 0) return errno == ESRCH ? WaitOutcome::kExited : WaitOutcome::kFailed;
  bool ended = PollEnded(fd, timeout_ms);
  close(fd);
  return ended ? WaitOutcome::kExited : WaitOutcome::kRunning;
}

bool SystemLauncher::TerminatePid(pid_t pid) {
  if (pid <= 0) return false;
  int fd = PidfdOpen(pid);
  if (fd < 0) return false;
  bool ok = PidfdSendSignal(fd, SIGKILL) == 0;
  close(fd);
  return ok;
}

std::vector<ProcessEntry> SystemLauncher::ListProcesses() {
  SweepOrphans();
  std::vector<ProcessEntry> out;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return out;
  while (dirent* d = readdir(dir)) {
    char* end = nullptr;
    long pid = std::strtol(d->d_name, &end, 10);
    if (pid <= 0 || end == d->d_name || *end != '\0') continue;
    std::string stat;
    if (!ReadFile(std::string("/proc/") + d->d_name + "/stat", &stat)) continue;
    // "pid (name) state ppid ...": the name may itself hold ')' and blanks.
    size_t open = stat.find('(');
    size_t close_paren = stat.rfind(')');
    if (open == std::string::npos || close_paren == std::string::npos || close_paren < open) {
      continue;
    }
    ProcessEntry e;
    e.pid = static_cast<pid_t>(pid);
    e.name = stat.substr(open + 1, close_paren - open - 1);
    int ppid = 0;
    char state = 0;
    if (std::sscanf(stat.c_str() + close_paren + 1, " %c %d", &state, &ppid) == 2) {
      e.parent_pid = ppid;
    }
    out.push_back(std::move(e));
  }
  closedir(dir);
  return out;
}

}  // namespace

ProcessLauncher& SystemProcessLauncher() {
  static SystemLauncher* launcher = new SystemLauncher();
  return *launcher;
}

}  // namespace platform
