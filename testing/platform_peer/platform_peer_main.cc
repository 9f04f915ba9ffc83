// The other side of the platform tests. Usage: platform_peer <command> [arguments]; the exit code
// tells the outcome (kFailed when the command could not do its work).
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform/end_request.h"
#include "platform/file_util.h"
#include "platform/named_sync.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

namespace {

constexpr int kFailed = 90;
constexpr int kUsage = 91;

int WriteOut(const char* path, const std::string& text) {
  return platform::WriteFileAtomic(path, text) ? 0 : kFailed;
}

std::string OpenDescriptors() {
  std::string out;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return "?";
  int own = dirfd(dir);
  while (dirent* d = readdir(dir)) {
    if (d->d_name[0] == '.' || std::atoi(d->d_name) == own) continue;
    out += d->d_name;
    out += '\n';
  }
  closedir(dir);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return kUsage;
  std::string cmd = argv[1];
  auto arg = [&](int i) -> const char* { return i < argc ? argv[i] : ""; };

  if (cmd == "exit") return std::atoi(arg(2));  // "-1" reads back as -1
  if (cmd == "sleep") {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(arg(2))));
    return 0;
  }
  if (cmd == "cwd") {
    char buf[4096];
    return getcwd(buf, sizeof buf) != nullptr ? WriteOut(arg(2), buf) : kFailed;
  }
  if (cmd == "fds") return WriteOut(arg(2), OpenDescriptors());
  if (cmd == "env") {
    const char* v = std::getenv(arg(2));
    return WriteOut(arg(3), v != nullptr ? v : "<unset>");
  }
  if (cmd == "args") {
    std::string out;
    for (int i = 3; i < argc; ++i) out += std::string(argv[i]) + "\n";
    return WriteOut(arg(2), out);
  }
  if (cmd == "end-request") {  // end-request <out> orderly|hang|child
    // Writes "ready", then "got <signal>" at the first request; "orderly" then ends, "hang"
    // stays until it is ended, "child" first starts `sleep` and writes "child <pid>".
    const std::string out = arg(2), mode = arg(3);
    std::atomic<int> got{0};
    platform::EndRequestWatcher watcher([&got](int signal) { got.store(signal); });
    if (!watcher.ok()) return kFailed;
    std::unique_ptr<platform::Process> child;
    if (mode == "child") {
      platform::LaunchOptions o;
      o.program = argv[0];
      o.args = {"sleep", "60000"};
      std::string error;
      child = platform::SystemProcessLauncher().Launch(o, &error);
      if (child == nullptr) return kFailed;
      if (WriteOut(out.c_str(), "child " + std::to_string(child->pid())) != 0) return kFailed;
    } else if (WriteOut(out.c_str(), "ready") != 0) {
      return kFailed;
    }
    while (got.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (WriteOut(out.c_str(), "got " + std::to_string(got.load())) != 0) return kFailed;
    if (mode == "hang") std::this_thread::sleep_for(std::chrono::seconds(60));
    return 0;
  }
  if (cmd == "shm-fill") {  // shm-fill <name> <size> <byte>
    platform::SharedMemory shm;
    if (!shm.Open(arg(2), std::strtoul(arg(3), nullptr, 10))) return kFailed;
    std::memset(shm.data(), std::atoi(arg(4)), shm.size());
    return 0;
  }
  if (cmd == "mutex-hold-die") {  // mutex-hold-die <mutex> : takes it and exits holding it
    platform::NamedMutex m;
    if (!m.Open(arg(2))) return kFailed;
    if (m.Lock(1000) != platform::WaitResult::kSignaled) return kFailed;
    _exit(0);
  }
  if (cmd == "mutex-hold") {  // mutex-hold <mutex> <ready-event> <release-event>
    platform::NamedMutex m;
    platform::NamedEvent ready, release;
    if (!m.Open(arg(2)) || !ready.Open(arg(3)) || !release.Open(arg(4))) return kFailed;
    if (m.Lock(1000) != platform::WaitResult::kSignaled) return kFailed;
    ready.Set();
    bool released = release.Wait(10000) == platform::WaitResult::kSignaled;
    m.Unlock();
    return released ? 0 : kFailed;
  }
  if (cmd == "event-wait") {  // event-wait <event> <ms>: 0 set, 1 time-out
    platform::NamedEvent e;
    if (!e.Open(arg(2))) return kFailed;
    platform::WaitResult r = e.Wait(static_cast<uint32_t>(std::atoi(arg(3))));
    return r == platform::WaitResult::kSignaled ? 0 : r == platform::WaitResult::kTimeout ? 1
                                                                                          : kFailed;
  }
  if (cmd == "event-set") {
    platform::NamedEvent e;
    if (!e.Open(arg(2))) return kFailed;
    return e.Set() ? 0 : kFailed;
  }
  return kUsage;
}
