#include "platform/thread_util.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace platform {
namespace {

// The kernel is asked once per thread: the block queue stamps every message it moves with the
// thread's id, and a system call per message cost more than copying a small message. A forked
// child starts with a copy of its parent's value, so the child forgets it.
thread_local uint32_t cached_thread_id = 0;

void ForgetThreadId() {
  cached_thread_id = 0;
}

std::once_flag fork_handler_once;

}  // namespace

uint32_t CurrentThreadId() {
  if (cached_thread_id == 0) {
    std::call_once(fork_handler_once, [] { pthread_atfork(nullptr, nullptr, &ForgetThreadId); });
    cached_thread_id = static_cast<uint32_t>(syscall(SYS_gettid));
  }
  return cached_thread_id;
}

void SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void YieldThread() {
  std::this_thread::yield();
}

}  // namespace platform
