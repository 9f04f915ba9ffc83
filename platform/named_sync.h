// Mutexes and events shared between processes by name.
//
// Each object lives in a small shared-memory segment of its own (see SharedObjectName), so a peer
// built against this library attaches to it by the same name. The mutex is one 64-bit word
// naming its owner (thread id and process id) taken by compare-and-swap and slept on with a shared
// futex: it keeps no pointer in the segment, so a peer that scribbles on it can make a wait time
// out or report abandoned but never make us write outside the segment. A waiter that finds the
// owner dead takes the word over and gets kAbandoned.
// An event is one 32-bit word waited on with a shared futex; unlike a condition variable it keeps
// no record of its waiters, so a waiter that dies cannot wedge the side that sets it.
//
// Create attaches to an object that already exists under the name (as the kernel objects these
// stand for do); only the process that made the segment removes its name when it closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// A time-out that never ends.
inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

enum class WaitResult {
  kSignaled,   // mutex taken / event observed set
  kTimeout,
  kAbandoned,  // mutex taken, but its previous owner died holding it: guarded data may be torn
  kFailed,     // not open, or the system call failed
};

namespace internal {

// Layout of every synchronisation segment, shared only with peers built from this library.
// `ready` is written last by the maker, so an attacher never uses a half-initialised object.
struct SyncSegment {
  std::atomic<uint32_t> ready;
  uint32_t kind;
  // Mutex owner: thread id in the low half (plus kMutexWaitersBit), process id in the high
  // half; 0 when free. One word, so the two always change together.
  std::atomic<uint64_t> lock;
  std::atomic<uint32_t> event_state;  // 1 set, 0 clear
  uint32_t manual_reset;
  // Threads inside an event's futex wait (or about to be). Set wakes only when there may be one,
  // so the common uncontended Set costs no system call; a waiter that died leaves it high, which
  // only costs a wake that finds nobody.
  std::atomic<uint32_t> waiters;
};

// Set in the mutex word when a waiter may sleep on it: the unlock must wake one.
inline constexpr uint64_t kMutexWaitersBit = 1u << 31;
inline constexpr uint64_t kMutexThreadMask = kMutexWaitersBit - 1;
inline constexpr uint32_t kKindMutex = 1;
inline constexpr uint32_t kKindEvent = 2;
inline constexpr std::string_view kMutexPrefix = "mtx.";
inline constexpr std::string_view kEventPrefix = "evt.";

// One attached segment; shared by the mutex and the event.
class SyncHandle {
 public:
  SyncHandle() = default;
  ~SyncHandle();
  SyncHandle(const SyncHandle&) = delete;
  SyncHandle& operator=(const SyncHandle&) = delete;

  // kind: which object the segment holds; init runs once, in the process that makes it.
  bool Attach(std::string_view prefix, std::string_view name, uint32_t kind, bool create,
              void (*init)(SyncSegment*, const void*), const void* init_arg);
  void Detach();
  SyncSegment* segment() const { return segment_; }

 private:
  SyncSegment* segment_ = nullptr;
  bool creator_ = false;
  std::string object_name_;
  unsigned long long dev_ = 0;
  unsigned long long ino_ = 0;
};
}  // namespace internal

class NamedMutex {
 public:
  // Makes the mutex `name` (not owned), or attaches to it when it exists. REQUIRES: not open.
  bool Create(std::string_view name);
  // Attaches to the existing mutex `name`; false when there is none. REQUIRES: not open.
  bool Open(std::string_view name);
  void Close() { handle_.Detach(); }
  bool is_open() const { return handle_.segment() != nullptr; }

  // Takes the mutex within `timeout_ms` (kWaitForever: no limit; 0: only tries). kSignaled or
  // kAbandoned mean the caller owns it and must Unlock. kAbandoned: the word named a thread that
  // is gone (or none at all); a waiter looks before it sleeps and every 20 ms while it waits.
  WaitResult Lock(uint32_t timeout_ms);
  // REQUIRES: owned by the calling thread. False otherwise.
  bool Unlock();

 private:
  internal::SyncHandle handle_;
};

class NamedEvent {
 public:
  // Makes the event `name` with the given reset mode and initial state, or attaches to the
  // existing one (whose mode and state are kept). REQUIRES: not open.
  bool Create(std::string_view name, bool manual_reset, bool initially_set);
  // Attaches to the existing event `name`; false when there is none. REQUIRES: not open.
  bool Open(std::string_view name);
  void Close() { handle_.Detach(); }
  bool is_open() const { return handle_.segment() != nullptr; }

  // Waits until the event is set (kSignaled) or `timeout_ms` passes (kTimeout; 0 only looks).
  // An auto-reset event is cleared by the one wait that observes it set.
  WaitResult Wait(uint32_t timeout_ms);
  bool Set();
  bool Reset();

 private:
  internal::SyncHandle handle_;
};

}  // namespace platform
