#include "platform/named_sync.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <thread>

#include "platform/mapping_guard.h"
#include "platform/shared_memory.h"
#include "platform/thread_util.h"

namespace platform {

namespace internal {

namespace {

// Changed with the layout, so a segment left by an older build is refused rather than misread.
constexpr uint32_t kReadyMagic = 0x53594e32;  // "SYN2"
// How long an attacher waits for the maker of a segment to finish initialising it.
constexpr auto kInitWait = std::chrono::milliseconds(1000);

// Maps a segment, guarded (mapping_guard.h): a peer that truncates it makes it read zeros
// instead of raising SIGBUS here. MAP_FAILED when it cannot be mapped.
void* MapSegment(int fd) {
  void* view = mmap(nullptr, sizeof(SyncSegment), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view != MAP_FAILED)
    GuardMapping(view, sizeof(SyncSegment));
  return view;
}

void UnmapSegment(void* view) {
  UnguardMapping(view);
  munmap(view, sizeof(SyncSegment));
}

bool WaitUntilReady(int fd, SyncSegment** out) {
  auto deadline = std::chrono::steady_clock::now() + kInitWait;
  for (;;) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
      return false;
    if (static_cast<size_t>(st.st_size) >= sizeof(SyncSegment))
      break;
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void* view = MapSegment(fd);
  if (view == MAP_FAILED)
    return false;
  auto* seg = static_cast<SyncSegment*>(view);
  for (;;) {
    uint32_t ready = seg->ready.load(std::memory_order_acquire);
    if (ready == kReadyMagic)
      break;
    // The maker's segment starts zero-filled; anything else is another layout.
    if (ready != 0 || std::chrono::steady_clock::now() > deadline) {
      UnmapSegment(view);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  *out = seg;
  return true;
}

}  // namespace

SyncHandle::~SyncHandle() {
  Detach();
}

bool SyncHandle::Attach(std::string_view prefix, std::string_view name, uint32_t kind, bool create,
                        void (*init)(SyncSegment*, const void*), const void* init_arg) {
  if (segment_ != nullptr || name.empty())
    return false;
  std::string object = SharedObjectName(prefix, name);
  bool made = false;
  int fd = -1;
  if (create) {
    fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    made = fd >= 0;
    if (fd < 0 && errno != EEXIST)
      return false;
  }
  if (fd < 0)
    fd = shm_open(object.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0)
    return false;

  SyncSegment* seg = nullptr;
  struct stat st {};
  if (made) {
    void* view = MAP_FAILED;
    if (ftruncate(fd, sizeof(SyncSegment)) == 0 && fstat(fd, &st) == 0) {
      view = MapSegment(fd);
    }
    if (view == MAP_FAILED) {
      close(fd);
      shm_unlink(object.c_str());
      return false;
    }
    seg = static_cast<SyncSegment*>(view);
    seg->kind = kind;
    init(seg, init_arg);
    seg->ready.store(kReadyMagic, std::memory_order_release);
  } else if (!WaitUntilReady(fd, &seg)) {
    close(fd);
    return false;
  }
  close(fd);
  if (seg->kind != kind) {
    UnmapSegment(seg);
    return false;
  }
  segment_ = seg;
  creator_ = made;
  object_name_ = std::move(object);
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  return true;
}

void SyncHandle::Detach() {
  if (segment_ == nullptr)
    return;
  UnmapSegment(segment_);
  if (creator_)
    UnlinkSharedObjectIfSame(object_name_, dev_, ino_);
  segment_ = nullptr;
  creator_ = false;
  object_name_.clear();
}

}  // namespace internal

namespace {

using internal::kEventPrefix;
using internal::kKindEvent;
using internal::kKindMutex;
using internal::kMutexPrefix;
using internal::kMutexThreadMask;
using internal::kMutexWaitersBit;
using internal::SyncSegment;

void InitMutex(SyncSegment* seg, const void*) {
  seg->lock.store(0, std::memory_order_relaxed);
}

struct EventInit {
  bool manual_reset;
  bool initially_set;
};

void InitEvent(SyncSegment* seg, const void* arg) {
  const auto* e = static_cast<const EventInit*>(arg);
  seg->manual_reset = e->manual_reset ? 1 : 0;
  seg->event_state.store(e->initially_set ? 1 : 0, std::memory_order_relaxed);
}

timespec MonotonicDeadline(uint32_t timeout_ms) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  ts.tv_sec += timeout_ms / 1000;
  ts.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1'000'000L;
  if (ts.tv_nsec >= 1'000'000'000L) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1'000'000'000L;
  }
  return ts;
}

// Time left until `deadline`, or false when it has passed.
bool Remaining(const timespec& deadline, timespec* left) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  long long ns =
      (deadline.tv_sec - now.tv_sec) * 1'000'000'000LL + (deadline.tv_nsec - now.tv_nsec);
  if (ns <= 0)
    return false;
  left->tv_sec = ns / 1'000'000'000LL;
  left->tv_nsec = ns % 1'000'000'000LL;
  return true;
}

// Looks at a held mutex before its waiter goes to the kernel. The queue's critical sections
// are a few dozen stores, so the owner of another process usually lets go within this spin
// (a few microseconds); a waiter that sleeps instead sets the waiters bit, and then both the
// owner's unlock and the waiter's wake-up cost a system call and a handoff through the scheduler.
constexpr int kLockSpins = 200;

// How often a waiter looks again whether the owner still lives; it also bounds each futex sleep,
// so an owner that dies while we sleep is noticed without anyone waking us.
constexpr uint32_t kOwnerCheckMs = 20;

// Compare-and-swaps an unlock tries before it leaves a word that keeps changing under it.
constexpr int kUnlockTries = 64;

// The stat line's flag of a thread that has begun to exit and will not run user code again.
constexpr unsigned long kThreadExitingFlag = 0x4;

uint32_t* FutexWord(std::atomic<uint32_t>* a) {
  return reinterpret_cast<uint32_t*>(a);
}

// The mutex's futex is the low half of its word, where the thread id and the waiters bit are: the
// kernel compares and watches only those 32 bits.
uint32_t* FutexWord(std::atomic<uint64_t>* a) {
  auto* halves = reinterpret_cast<uint32_t*>(a);
  return std::endian::native == std::endian::little ? halves : halves + 1;
}

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

long long ElapsedMs(const timespec& from, const timespec& to) {
  return (to.tv_sec - from.tv_sec) * 1000LL + (to.tv_nsec - from.tv_nsec) / 1'000'000L;
}

// This thread's mutex word: its thread id, and its process id in the high half. The process id
// is kept with the thread id it was read under; a forked child has a new thread id, so its first
// call reads its own process id.
uint64_t OwnerWord() {
  thread_local uint64_t cached = 0;
  const uint32_t tid = CurrentThreadId();
  if (static_cast<uint32_t>(cached) != tid)
    cached = (uint64_t{static_cast<uint32_t>(getpid())} << 32) | tid;
  return cached;
}

// A thread that has begun to exit still takes a signal until the kernel releases its id: for a
// moment after it is gone (a join has returned by then), and while its process is a zombie
// nobody has reaped yet. Its stat line tells: state Z or X, or the exiting flag. Unreadable means
// "not known to be exiting".
bool ThreadExiting(uint32_t pid, uint32_t tid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%u/task/%u/stat", pid, tid);
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  char line[512];
  ssize_t n = read(fd, line, sizeof line - 1);
  close(fd);
  if (n <= 0)
    return false;
  line[n] = '\0';
  // "tid (name) state ppid pgrp session tty tpgid flags ...": the name may hold any character,
  // so the fields are read after its last ')'.
  const char* rest = std::strrchr(line, ')');
  char state = 0;
  unsigned long flags = 0;
  if (rest == nullptr || std::sscanf(rest + 1, " %c %*d %*d %*d %*d %*d %lu", &state, &flags) != 2)
    return false;
  return state == 'Z' || state == 'X' || state == 'x' || (flags & kThreadExitingFlag) != 0;
}

// Whether the owner a mutex word names still runs. The word holds whatever the other process
// wrote: ids that name no thread of that process count as gone, so the waiter takes the word
// over; nothing the word holds is ever used as an address. `thorough` also reads the owner's
// stat line, which costs a file read, so only the last look of a wait and the periodic ones do.
bool OwnerAlive(uint64_t word, bool thorough) {
  const uint32_t tid = static_cast<uint32_t>(word & kMutexThreadMask);
  const uint32_t pid = static_cast<uint32_t>(word >> 32);
  if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX))
    return false;
  // Signal 0 only checks that the thread exists in that process: ESRCH means it does not.
  if (syscall(SYS_tgkill, static_cast<pid_t>(pid), static_cast<pid_t>(tid), 0) != 0)
    return errno == EPERM;
  return !thorough || !ThreadExiting(pid, tid);
}

// Takes a free word; after a sleep the waiters bit stays set, as other waiters may sleep too and
// this thread's unlock must wake the next one.
bool TakeFree(std::atomic<uint64_t>* lock, uint64_t word, uint64_t me, bool slept) {
  const uint64_t mine = me | (slept ? kMutexWaitersBit : (word & kMutexWaitersBit));
  return lock->compare_exchange_strong(word, mine, std::memory_order_acquire,
                                       std::memory_order_relaxed);
}

WaitResult LockContended(std::atomic<uint64_t>* lock, uint64_t me, uint32_t timeout_ms) {
  // The deadline counts from the call, so the spin is part of the time-out, not added to it.
  const bool forever = timeout_ms == kWaitForever;
  const timespec deadline = MonotonicDeadline(forever ? 0 : timeout_ms);
  for (int i = 0; i < kLockSpins; ++i) {
    CpuRelax();
    uint64_t word = lock->load(std::memory_order_relaxed);
    if ((word & kMutexThreadMask) == 0 && TakeFree(lock, word, me, false))
      return WaitResult::kSignaled;
  }
  uint64_t checked = 0;  // the owner last found alive, and when
  timespec checked_at{};
  bool slept = false;
  for (;;) {
    // Every round looks at the clock, so a word the other process keeps changing under our
    // compare-and-swap still ends the wait at its time-out.
    const timespec now = Now();
    timespec left{};
    const bool last = !forever && !Remaining(deadline, &left);
    uint64_t word = lock->load(std::memory_order_relaxed);
    if ((word & kMutexThreadMask) == 0) {
      if (TakeFree(lock, word, me, slept))
        return WaitResult::kSignaled;
      if (last)
        return WaitResult::kTimeout;
      continue;
    }
    const uint64_t owner = word & ~kMutexWaitersBit;
    // Each new owner is looked at before we sleep on it; one that keeps the word is looked at
    // again (thoroughly) every kOwnerCheckMs, and the last look before a time-out is thorough.
    const bool same = owner == checked;
    if (!same || last || ElapsedMs(checked_at, now) >= kOwnerCheckMs) {
      if (!OwnerAlive(owner, same || last)) {
        // From the exact value seen: the owner may have let go, or another waiter taken over.
        if (lock->compare_exchange_strong(word, me | (word & kMutexWaitersBit),
                                          std::memory_order_acquire, std::memory_order_relaxed)) {
          return WaitResult::kAbandoned;
        }
        if (last)
          return WaitResult::kTimeout;
        continue;
      }
      checked = owner;
      checked_at = now;
    }
    if (last)
      return WaitResult::kTimeout;
    if ((word & kMutexWaitersBit) == 0) {
      if (!lock->compare_exchange_weak(word, word | kMutexWaitersBit, std::memory_order_relaxed))
        continue;
      word |= kMutexWaitersBit;
    }
    timespec sleep_for{0, kOwnerCheckMs * 1'000'000L};
    if (!forever && (left.tv_sec < sleep_for.tv_sec ||
                     (left.tv_sec == sleep_for.tv_sec && left.tv_nsec < sleep_for.tv_nsec))) {
      sleep_for = left;
    }
    slept = true;
    // Returns on a wake, a changed word, a signal or the time-out; the loop looks again.
    syscall(SYS_futex, FutexWord(lock), FUTEX_WAIT, static_cast<uint32_t>(word), &sleep_for,
            nullptr, 0);
  }
}

}  // namespace

bool NamedMutex::Create(std::string_view name) {
  return handle_.Attach(kMutexPrefix, name, kKindMutex, true, InitMutex, nullptr);
}

bool NamedMutex::Open(std::string_view name) {
  return handle_.Attach(kMutexPrefix, name, kKindMutex, false, InitMutex, nullptr);
}

WaitResult NamedMutex::Lock(uint32_t timeout_ms) {
  SyncSegment* seg = handle_.segment();
  if (seg == nullptr)
    return WaitResult::kFailed;
  const uint64_t me = OwnerWord();
  uint64_t word = 0;
  if (seg->lock.compare_exchange_strong(word, me, std::memory_order_acquire,
                                        std::memory_order_relaxed)) {
    return WaitResult::kSignaled;
  }
  return LockContended(&seg->lock, me, timeout_ms);
}

bool NamedMutex::Unlock() {
  SyncSegment* seg = handle_.segment();
  if (seg == nullptr)
    return false;
  const uint64_t me = OwnerWord();
  uint64_t word = seg->lock.load(std::memory_order_relaxed);
  // Released only from a word that still names us: one the other process rewrote, or a waiter
  // took over, is not ours to free. Only a waiter setting its bit changes it under us, once per
  // hold; a word that keeps changing is the other process's doing and is left to it.
  for (int tries = 0; tries < kUnlockTries && (word & ~kMutexWaitersBit) == me; ++tries) {
    if (seg->lock.compare_exchange_weak(word, 0, std::memory_order_release,
                                        std::memory_order_relaxed)) {
      if ((word & kMutexWaitersBit) != 0)
        syscall(SYS_futex, FutexWord(&seg->lock), FUTEX_WAKE, 1, nullptr, nullptr, 0);
      return true;
    }
  }
  return false;
}

bool NamedEvent::Create(std::string_view name, bool manual_reset, bool initially_set) {
  EventInit init{manual_reset, initially_set};
  return handle_.Attach(kEventPrefix, name, kKindEvent, true, InitEvent, &init);
}

bool NamedEvent::Open(std::string_view name) {
  return handle_.Attach(kEventPrefix, name, kKindEvent, false, InitEvent, nullptr);
}

WaitResult NamedEvent::Wait(uint32_t timeout_ms) {
  SyncSegment* seg = handle_.segment();
  if (seg == nullptr)
    return WaitResult::kFailed;
  const bool manual = seg->manual_reset != 0;
  timespec deadline = MonotonicDeadline(timeout_ms == kWaitForever ? 0 : timeout_ms);
  for (;;) {
    uint32_t state = seg->event_state.load(std::memory_order_acquire);
    if (state != 0) {
      if (manual)
        return WaitResult::kSignaled;
      if (seg->event_state.compare_exchange_weak(state, 0, std::memory_order_acq_rel)) {
        return WaitResult::kSignaled;
      }
      continue;
    }
    timespec left{};
    timespec* wait_for = nullptr;
    if (timeout_ms != kWaitForever) {
      if (!Remaining(deadline, &left))
        return WaitResult::kTimeout;
      wait_for = &left;
    }
    // Counted before the kernel checks the word: either Set sees the count, or the futex sees
    // the word already set. Returns on a wake, a changed word, a signal or the time-out.
    seg->waiters.fetch_add(1, std::memory_order_seq_cst);
    syscall(SYS_futex, FutexWord(&seg->event_state), FUTEX_WAIT, 0, wait_for, nullptr, 0);
    seg->waiters.fetch_sub(1, std::memory_order_seq_cst);
  }
}

bool NamedEvent::Set() {
  SyncSegment* seg = handle_.segment();
  if (seg == nullptr)
    return false;
  // Already set: whoever set it woke the waiters, and an auto-reset event releases one waiter
  // however often it is set.
  if (seg->event_state.exchange(1, std::memory_order_seq_cst) != 0)
    return true;
  if (seg->waiters.load(std::memory_order_seq_cst) != 0) {
    syscall(SYS_futex, FutexWord(&seg->event_state), FUTEX_WAKE, seg->manual_reset ? INT_MAX : 1,
            nullptr, nullptr, 0);
  }
  return true;
}

bool NamedEvent::Reset() {
  SyncSegment* seg = handle_.segment();
  if (seg == nullptr)
    return false;
  seg->event_state.store(0, std::memory_order_release);
  return true;
}

}  // namespace platform
