// Starting, watching and ending other programs, behind an interface tests can replace.
//
// Programs are started with an argument vector, never through a shell. The child gets the
// parent's standard input, output and error and no other descriptor. Exit codes are read back as
// signed 8-bit values, so a program that ends with exit(-1) reads as -1.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct LaunchOptions {
  std::string program;            // path of the executable; not looked up on PATH
  std::vector<std::string> args;  // argv[1..]; argv[0] is `program`
  std::string working_dir;        // empty: the parent's current folder
  std::vector<std::string> extra_env;  // "NAME=value" entries set on top of the parent's
};

// How a process ended.
struct ExitStatus {
  int code = 0;         // exit code as a signed byte; -1 when ended by a signal
  int signal = 0;       // the signal that ended it, else 0
};

enum class WaitOutcome { kExited, kRunning, kFailed };

// A started child. Destroying it neither waits for nor ends the program; the system launcher
// reaps a child that was given up before it ended at its next Launch or ListProcesses.
class Process {
 public:
  virtual ~Process() = default;
  virtual pid_t pid() const = 0;
  // Waits up to `timeout_ms` (0 polls) for the child to end. kExited fills *status (also on
  // every later call).
  virtual WaitOutcome Wait(uint32_t timeout_ms, ExitStatus* status) = 0;
  // Ends the child at once (SIGKILL). True when it was running and has been signalled.
  virtual bool Terminate() = 0;
};

struct ProcessEntry {
  pid_t pid = 0;
  pid_t parent_pid = 0;
  std::string name;  // executable name (the kernel's short command name)
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;

  // Starts `options.program`. Null, with *error set, when it cannot be started (missing or not
  // executable, bad working folder).
  virtual std::unique_ptr<Process> Launch(const LaunchOptions& options, std::string* error) = 0;

  // For any process, child or not: waits up to `timeout_ms` for `pid` to end. kExited also when
  // no such process exists. The exit code of a process that is not our child is unknown.
  virtual WaitOutcome WaitForPid(pid_t pid, uint32_t timeout_ms) = 0;

  // Sends SIGKILL to `pid`. True when the signal was delivered.
  virtual bool TerminatePid(pid_t pid) = 0;

  // The running processes, read from /proc.
  virtual std::vector<ProcessEntry> ListProcesses() = 0;

  // Id of the calling process.
  virtual pid_t CurrentPid() = 0;
};

// The real launcher.
ProcessLauncher& SystemProcessLauncher();

}  // namespace platform
