#include "platform/named_sync.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>
#include <new>
#include <thread>

#include "platform/shared_memory.h"

namespace platform {

namespace internal {

// Layout of every synchronisation segment. `ready` is written last by the maker, so an attacher
// never uses a half-initialised mutex.
struct SyncSegment {
  std::atomic<uint32_t> ready;
  uint32_t kind;
  pthread_mutex_t mutex;
  std::atomic<uint32_t> event_state;  // 1 set, 0 clear
  uint32_t manual_reset;
  // Threads inside a futex wait (or about to be). Set wakes only when there may be one, so the
  // common uncontended Set costs no system call; a waiter that died leaves it high, which only
  // costs a wake that finds nobody.
  std::atomic<uint32_t> waiters;
};

namespace {

constexpr uint32_t kReadyMagic = 0x53594e43;  // "SYNC"
// How long an attacher waits for the maker of a segment to finish initialising it.
constexpr auto kInitWait = std::chrono::milliseconds(1000);

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
  void* view = mmap(nullptr, sizeof(SyncSegment), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED)
    return false;
  auto* seg = static_cast<SyncSegment*>(view);
  while (seg->ready.load(std::memory_order_acquire) != kReadyMagic) {
    if (std::chrono::steady_clock::now() > deadline) {
      munmap(view, sizeof(SyncSegment));
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
      view = mmap(nullptr, sizeof(SyncSegment), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
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
    munmap(seg, sizeof(SyncSegment));
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
  munmap(segment_, sizeof(SyncSegment));
  if (creator_)
    UnlinkSharedObjectIfSame(object_name_, dev_, ino_);
  segment_ = nullptr;
  creator_ = false;
  object_name_.clear();
}

}  // namespace internal

namespace {

using internal::SyncSegment;

constexpr uint32_t kKindMutex = 1;
constexpr uint32_t kKindEvent = 2;
constexpr std::string_view kMutexPrefix = "mtx.";
constexpr std::string_view kEventPrefix = "evt.";

void InitMutex(SyncSegment* seg, const void*) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  pthread_mutex_init(&seg->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
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

// Tells the core this is a spin-wait: it eases off the memory bus and lets a sibling thread run.
inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield" ::: "memory");
#else
  std::atomic_signal_fence(std::memory_order_seq_cst);
#endif
}

// Try-locks of a held mutex before its waiter goes to the kernel. The queue's critical sections
// are a few dozen stores, so the owner of another process usually lets go within this spin
// (a few microseconds); a waiter that sleeps instead sets the waiters flag, and then both the
// owner's unlock and the waiter's wake-up cost a system call and a handoff through the scheduler.
constexpr int kLockSpins = 200;

// A try-lock only swaps the lock word from free to ours: it neither flags a waiter nor enters
// the kernel, and it reports a dead owner (EOWNERDEAD) as the blocking lock does. EBUSY when the
// mutex stayed held through the spin; any other result is final.
int SpinTryLock(pthread_mutex_t* mutex) {
  for (int i = 0; i < kLockSpins; ++i) {
    CpuRelax();
    int rc = pthread_mutex_trylock(mutex);
    if (rc != EBUSY)
      return rc;
  }
  return EBUSY;
}

uint32_t* FutexWord(std::atomic<uint32_t>* a) {
  return reinterpret_cast<uint32_t*>(a);
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
  int rc = pthread_mutex_trylock(&seg->mutex);
  if (rc == EBUSY) {
    // The deadline counts from the call, so the spin is part of the time-out, not added to it.
    const bool forever = timeout_ms == kWaitForever;
    timespec deadline{};
    if (!forever)
      deadline = MonotonicDeadline(timeout_ms);
    rc = SpinTryLock(&seg->mutex);
    if (rc == EBUSY) {
      if (timeout_ms == 0) {
        rc = ETIMEDOUT;  // nothing to wait for: the kernel would only flag a waiter and return
      } else if (forever) {
        rc = pthread_mutex_lock(&seg->mutex);
      } else {
        rc = pthread_mutex_clocklock(&seg->mutex, CLOCK_MONOTONIC, &deadline);
      }
    }
  }
  switch (rc) {
    case 0:
      return WaitResult::kSignaled;
    case ETIMEDOUT:
      return WaitResult::kTimeout;
    case EOWNERDEAD:
      pthread_mutex_consistent(&seg->mutex);
      return WaitResult::kAbandoned;
    default:
      return WaitResult::kFailed;
  }
}

bool NamedMutex::Unlock() {
  SyncSegment* seg = handle_.segment();
  return seg != nullptr && pthread_mutex_unlock(&seg->mutex) == 0;
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
