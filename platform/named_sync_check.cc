#include "platform/named_sync_check.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/named_sync.h"
#include "platform/script_reader.h"
#include "platform/shared_memory.h"
#include "platform/thread_util.h"

namespace sync_check {
namespace {

using platform::WaitResult;
using platform::internal::kEventPrefix;
using platform::internal::kKindEvent;
using platform::internal::kKindMutex;
using platform::internal::kMutexPrefix;
using platform::internal::kMutexThreadMask;
using platform::internal::kMutexWaitersBit;
using platform::internal::SyncHandle;
using platform::internal::SyncSegment;

// A call may take this much longer than its time-out (sanitizers, a loaded machine) before it
// counts as not returning.
constexpr auto kSlack = std::chrono::milliseconds(2000);
constexpr size_t kMaxSteps = 64;

uint64_t OwnerWordOf(uint32_t pid, uint32_t tid) {
  return uint64_t{pid} << 32 | tid;
}

uint64_t Me() {
  return OwnerWordOf(static_cast<uint32_t>(getpid()), platform::CurrentThreadId());
}

// A thread that lives as long as the process and holds nothing: a live owner a word can name.
class Bystander {
 public:
  Bystander() {
    thread_ = std::thread([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      tid_ = platform::CurrentThreadId();
      started_.notify_all();
      stop_.wait(lock, [this] { return stopping_; });
    });
    std::unique_lock<std::mutex> lock(mutex_);
    started_.wait(lock, [this] { return tid_ != 0; });
  }
  ~Bystander() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    thread_.join();
  }
  uint64_t word() const { return OwnerWordOf(static_cast<uint32_t>(getpid()), tid_); }

 private:
  std::mutex mutex_;
  std::condition_variable started_, stop_;
  uint32_t tid_ = 0;       // guarded by mutex_ until started_
  bool stopping_ = false;  // guarded by mutex_
  std::thread thread_;
};

// Whether the thread an owner word names exists, found another way than the mutex looks.
bool ThreadExists(uint64_t word) {
  const auto pid = static_cast<uint32_t>(word >> 32);
  const auto tid = static_cast<uint32_t>(word & kMutexThreadMask);
  if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX))
    return false;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%u/task/%u", pid, tid);
  return access(path, F_OK) == 0;
}

using Script = platform::ScriptReader;

const char* ResultName(WaitResult r) {
  switch (r) {
    case WaitResult::kSignaled:
      return "signaled";
    case WaitResult::kTimeout:
      return "timeout";
    case WaitResult::kAbandoned:
      return "abandoned";
    case WaitResult::kFailed:
      return "failed";
  }
  return "not a result";
}

// What the hall's side of a segment holds. While the segment is whole it is what the game's side
// reads; once truncated, each side sees private zeros, and the hall's words change only by the
// hall's own calls, which the check then follows itself.
struct HallView {
  SyncSegment* game = nullptr;
  bool truncated = false;
  uint64_t lock = 0;
  uint32_t state = 0;

  uint64_t Lock() const { return truncated ? lock : game->lock.load(); }
  uint32_t State() const { return truncated ? state : game->event_state.load(); }
  bool Manual() const { return truncated ? false : game->manual_reset != 0; }
};

bool Truncate(std::string_view prefix, const std::string& name) {
  const int fd = shm_open(platform::SharedObjectName(prefix, name).c_str(), O_RDWR, 0);
  if (fd < 0)
    return false;
  const bool done = ftruncate(fd, 0) == 0;
  close(fd);
  return done;
}

template <typename Call>
bool Timed(uint32_t timeout_ms, const Call& call) {
  const auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::steady_clock::now() - start <= std::chrono::milliseconds(timeout_ms) + kSlack;
}

}  // namespace

std::string CheckNamedSync(std::string_view bytes) {
  static Bystander bystander;
  static int serial = 0;
  Script script(bytes);
  const std::string name =
      "tvx_sync_check_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
  const uint8_t mode = script.Byte();
  platform::NamedMutex mutex;
  platform::NamedEvent event;
  if (!mutex.Create(name) || !event.Create(name, (mode & 1) != 0, (mode & 2) != 0))
    return "the objects could not be made";
  SyncHandle game_mutex, game_event;
  if (!game_mutex.Attach(kMutexPrefix, name, kKindMutex, false, nullptr, nullptr) ||
      !game_event.Attach(kEventPrefix, name, kKindEvent, false, nullptr, nullptr)) {
    return "the game's side could not attach";
  }
  SyncSegment* gm = game_mutex.segment();
  SyncSegment* ge = game_event.segment();
  const uint32_t ready_mark = gm->ready.load();
  HallView m{gm}, e{ge};

  for (size_t step = 0; step < kMaxSteps && !script.done(); ++step) {
    const uint8_t op = script.Byte() % 16;
    switch (op) {
      case 0:
        gm->lock.store(script.U64());
        break;
      case 1: {
        const bool other = script.Byte() & 1;
        const bool waiters = script.Byte() & 1;
        gm->lock.store((other ? bystander.word() : Me()) | (waiters ? kMutexWaitersBit : 0));
        break;
      }
      case 2:
        gm->ready.store(script.U32());
        break;
      case 3:
        gm->kind = script.U32();
        break;
      case 4:
        ge->event_state.store(script.U32());
        break;
      case 5:
        ge->manual_reset = script.U32();
        break;
      case 6:
        ge->waiters.store(script.U32());
        break;
      case 7:
        ge->ready.store(script.U32());
        ge->kind = script.U32();
        break;
      case 8: {
        const uint32_t timeout = script.Byte() % 3;
        const uint64_t before = m.Lock();
        const uint64_t owner = before & ~kMutexWaitersBit;
        const bool existed_before = ThreadExists(owner);
        WaitResult got = WaitResult::kFailed;
        if (!Timed(timeout, [&] { got = mutex.Lock(timeout); }))
          return "Lock outlasted its time-out";
        const bool ours = got == WaitResult::kSignaled || got == WaitResult::kAbandoned;
        // Looked at after the call too: a thread made meanwhile under that id may be found alive.
        const bool existed_after = ThreadExists(owner);
        WaitResult want = got;  // for an owner that exists but may be exiting, either is right
        if ((owner & kMutexThreadMask) == 0) {
          want = WaitResult::kSignaled;
        } else if (owner == Me() || owner == bystander.word()) {
          want = WaitResult::kTimeout;
        } else if (!existed_before && !existed_after) {
          want = WaitResult::kAbandoned;
        }
        if (got != want || (!ours && got != WaitResult::kTimeout)) {
          return std::string("Lock on word ") + std::to_string(before) + " gave " +
                 ResultName(got) + " for " + ResultName(want);
        }
        if (m.truncated && ours)
          m.lock = Me() | (before & kMutexWaitersBit);
        const uint64_t after = m.Lock() & ~kMutexWaitersBit;
        if (ours ? after != Me() : after != owner)
          return "Lock left the word naming " + std::to_string(after);
        break;
      }
      case 9: {
        const uint64_t before = m.Lock();
        bool freed = false;
        if (!Timed(0, [&] { freed = mutex.Unlock(); }))
          return "Unlock did not return";
        const bool mine = (before & ~kMutexWaitersBit) == Me();
        if (freed != mine)
          return "Unlock of word " + std::to_string(before) + " gave " + std::to_string(freed);
        if (m.truncated && freed)
          m.lock = 0;
        if (m.Lock() != (freed ? 0 : before))
          return "Unlock left the word " + std::to_string(m.Lock());
        break;
      }
      case 10: {
        const uint32_t timeout = script.Byte() % 3;
        const uint32_t before = e.State();
        const bool manual = e.Manual();
        WaitResult got = WaitResult::kFailed;
        if (!Timed(timeout, [&] { got = event.Wait(timeout); }))
          return "Wait outlasted its time-out";
        const WaitResult want = before != 0 ? WaitResult::kSignaled : WaitResult::kTimeout;
        if (got != want)
          return std::string("Wait on state ") + std::to_string(before) + " gave " +
                 ResultName(got);
        if (e.truncated && before != 0 && !manual)
          e.state = 0;
        const uint32_t after = e.State();
        if (after != (before != 0 && !manual ? 0 : before))
          return "Wait left the state " + std::to_string(after);
        break;
      }
      case 11:
      case 12: {
        const bool set = op == 11;
        bool done = false;
        if (!Timed(0, [&] { done = set ? event.Set() : event.Reset(); }))
          return "Set or Reset did not return";
        if (e.truncated)
          e.state = set ? 1 : 0;
        if (!done || e.State() != (set ? 1u : 0u))
          return set ? "Set left the event clear" : "Reset left the event set";
        break;
      }
      case 13: {
        // A segment that says it is not made yet is waited on for a second; not each time.
        if (m.truncated || gm->ready.load() == 0)
          break;
        const bool fits = gm->ready.load() == ready_mark && gm->kind == kKindMutex;
        platform::NamedMutex again;
        if (again.Open(name) != fits)
          return fits ? "a sound mutex segment was refused" : "a damaged mutex segment was taken";
        break;
      }
      case 14: {
        if (e.truncated || ge->ready.load() == 0)
          break;
        const bool fits = ge->ready.load() == ready_mark && ge->kind == kKindEvent;
        platform::NamedEvent again;
        if (again.Open(name) != fits)
          return fits ? "a sound event segment was refused" : "a damaged event segment was taken";
        break;
      }
      default: {
        const bool of_mutex = script.Byte() & 1;
        HallView& view = of_mutex ? m : e;
        if (view.truncated)
          break;
        if (!Truncate(of_mutex ? kMutexPrefix : kEventPrefix, name))
          return "the segment could not be truncated";
        view.truncated = true;
        view.lock = 0;
        view.state = 0;
        break;
      }
    }
  }
  return "";
}

}  // namespace sync_check
