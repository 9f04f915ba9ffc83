#include "platform/named_sync.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/mutex_scribbler_test.h"
#include "platform/shared_memory.h"
#include "platform/thread_util.h"

namespace platform {
namespace {

std::string UniqueName(const char* tag) {
  return std::string("tvx_test_") + tag + "_" + std::to_string(getpid());
}

TEST(NamedMutexTest, OpenNeedsAnExistingMutex) {
  std::string name = UniqueName("mopen");
  NamedMutex m;
  EXPECT_FALSE(m.Open(name));
  EXPECT_EQ(m.Lock(0), WaitResult::kFailed);
  EXPECT_FALSE(m.Unlock());
  NamedMutex creator;
  ASSERT_TRUE(creator.Create(name));
  EXPECT_TRUE(m.Open(name));
  creator.Close();
  NamedMutex late;
  EXPECT_FALSE(late.Open(name)) << "the maker removes the name when it closes";
}

TEST(NamedMutexTest, CreateOnAnExistingNameAttaches) {
  std::string name = UniqueName("mattach");
  NamedMutex a, b;
  ASSERT_TRUE(a.Create(name));
  ASSERT_TRUE(b.Create(name));
  ASSERT_EQ(a.Lock(100), WaitResult::kSignaled);
  std::atomic<WaitResult> seen{WaitResult::kFailed};
  std::thread t([&] { seen = b.Lock(30); });
  t.join();
  EXPECT_EQ(seen, WaitResult::kTimeout);
  EXPECT_TRUE(a.Unlock());
  std::thread t2([&] {
    seen = b.Lock(100);
    if (seen == WaitResult::kSignaled)
      b.Unlock();
  });
  t2.join();
  EXPECT_EQ(seen, WaitResult::kSignaled);
}

TEST(NamedMutexTest, OwnerThreadGoneGivesAbandonedAndOwnership) {
  std::string name = UniqueName("mdead");
  NamedMutex m;
  ASSERT_TRUE(m.Create(name));
  std::thread([&] { ASSERT_EQ(m.Lock(100), WaitResult::kSignaled); }).join();
  EXPECT_EQ(m.Lock(100), WaitResult::kAbandoned);
  EXPECT_TRUE(m.Unlock());
  EXPECT_EQ(m.Lock(100), WaitResult::kSignaled) << "consistent again after the abandoned take";
  EXPECT_TRUE(m.Unlock());
}

TEST(NamedMutexTest, AbandonedIsReportedWhateverTheTimeOut) {
  const uint32_t timeouts[] = {0, 100, kWaitForever};
  for (uint32_t timeout : timeouts) {
    NamedMutex m;
    ASSERT_TRUE(m.Create(UniqueName("mdead_t")));
    std::thread([&] { ASSERT_EQ(m.Lock(100), WaitResult::kSignaled); }).join();
    EXPECT_EQ(m.Lock(timeout), WaitResult::kAbandoned) << timeout;
    EXPECT_TRUE(m.Unlock()) << timeout;
    EXPECT_EQ(m.Lock(timeout), WaitResult::kSignaled) << timeout;
    EXPECT_TRUE(m.Unlock()) << timeout;
  }
}

// A mutex held past the waiter's spin: the time-out still bounds the wait, a zero time-out only
// looks, and neither takes the mutex from its owner.
TEST(NamedMutexTest, HeldMutexTimesOutWithoutBeingTaken) {
  std::string name = UniqueName("mheld");
  NamedMutex owner, other;
  ASSERT_TRUE(owner.Create(name));
  ASSERT_TRUE(other.Open(name));
  ASSERT_EQ(owner.Lock(kWaitForever), WaitResult::kSignaled);
  struct Case {
    uint32_t timeout;
    std::chrono::milliseconds at_least;
  } cases[] = {{0, std::chrono::milliseconds(0)}, {40, std::chrono::milliseconds(40)}};
  for (const Case& c : cases) {
    std::atomic<WaitResult> seen{WaitResult::kFailed};
    std::atomic<bool> unlocked{true};
    auto start = std::chrono::steady_clock::now();
    std::thread t([&] {
      seen = other.Lock(c.timeout);
      unlocked = other.Unlock();
    });
    t.join();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(seen, WaitResult::kTimeout) << c.timeout;
    EXPECT_FALSE(unlocked) << "a timed-out waiter must not own the mutex";
    EXPECT_GE(took, c.at_least) << c.timeout;
    EXPECT_LT(took, std::chrono::seconds(5)) << c.timeout;
  }
  EXPECT_TRUE(owner.Unlock());
}

// Threads on separate handles of one mutex bump an unguarded counter; a lost update means two
// of them were inside at once. Some holds outlast the spin, so the kernel wait is taken as well.
TEST(NamedMutexTest, ContendedLockKeepsMutualExclusion) {
  std::string name = UniqueName("mcount");
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  NamedMutex handles[kThreads];
  ASSERT_TRUE(handles[0].Create(name));
  for (int i = 1; i < kThreads; ++i)
    ASSERT_TRUE(handles[i].Open(name));
  volatile long counter = 0;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const uint32_t timeout = t % 2 == 0 ? kWaitForever : 10000;
      for (int i = 0; i < kRounds; ++i) {
        if (handles[t].Lock(timeout) != WaitResult::kSignaled) {
          ++failures;
          continue;
        }
        long v = counter;
        if (i % 1000 == 0)
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        counter = v + 1;
        if (!handles[t].Unlock())
          ++failures;
      }
    });
  }
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(counter, long{kThreads} * kRounds);
}

TEST(NamedMutexTest, UnlockByANonOwnerFails) {
  std::string name = UniqueName("mnonowner");
  NamedMutex m;
  ASSERT_TRUE(m.Create(name));
  EXPECT_FALSE(m.Unlock());
}

// Another thread that holds `m` until released; Unlock's result is kept for the test.
class Holder {
 public:
  explicit Holder(NamedMutex* m) {
    std::promise<bool> taken;
    std::future<bool> taken_result = taken.get_future();
    thread_ = std::thread([this, m, taken = std::move(taken)]() mutable {
      taken.set_value(m->Lock(kWaitForever) == WaitResult::kSignaled);
      release_.get_future().wait();
      unlocked_ = m->Unlock();
    });
    ok_ = taken_result.get();
  }
  ~Holder() { Release(); }
  bool ok() const { return ok_; }
  // Lets the holder unlock; returns what its Unlock returned.
  bool Release() {
    if (thread_.joinable()) {
      release_.set_value();
      thread_.join();
    }
    return unlocked_;
  }

 private:
  std::promise<void> release_;
  std::thread thread_;
  bool ok_ = false;
  bool unlocked_ = false;
};

// A live thread that takes no part: its id is one a peer could write into the word.
class Bystander {
 public:
  Bystander() {
    std::promise<uint32_t> tid;
    std::future<uint32_t> tid_result = tid.get_future();
    thread_ = std::thread([this, tid = std::move(tid)]() mutable {
      tid.set_value(CurrentThreadId());
      release_.get_future().wait();
    });
    tid_ = tid_result.get();
  }
  ~Bystander() {
    release_.set_value();
    thread_.join();
  }
  uint32_t tid() const { return tid_; }

 private:
  std::promise<void> release_;
  std::thread thread_;
  uint32_t tid_ = 0;
};

// Whatever the other process writes into the word, with or without a holder, a Lock ends in a
// defined result within its time-out, a holder whose word was rewritten cannot free it, and the
// mutex works again once the word is free.
TEST(NamedMutexTest, ScribbledWordEndsInADefinedResult) {
  enum Writes {
    kGarbageTid,
    kNoSuchPid,
    kAllOnes,
    kLiveThread,
    kLiveThreadWaiting,
    kWaitersOnly,
    kPidOnly,
    kOurOwnId,
    kHolderWaiting,
    kZero
  };
  struct Case {
    const char* tag;
    bool held;  // another thread holds the mutex when the word is written
    Writes writes;
    uint32_t timeout;
    WaitResult lock;
    bool holder_unlocks;  // the holder's Unlock still succeeds afterwards
  } cases[] = {
      {"garbage_tid", false, kGarbageTid, 100, WaitResult::kAbandoned, false},
      {"no_such_pid", false, kNoSuchPid, 100, WaitResult::kAbandoned, false},
      {"all_ones", false, kAllOnes, 0, WaitResult::kAbandoned, false},
      {"live_thread", false, kLiveThread, 40, WaitResult::kTimeout, false},
      {"live_thread_0", false, kLiveThread, 0, WaitResult::kTimeout, false},
      {"live_thread_waiting", false, kLiveThreadWaiting, 40, WaitResult::kTimeout, false},
      {"waiters_bit_free", false, kWaitersOnly, 40, WaitResult::kSignaled, false},
      {"pid_without_tid", false, kPidOnly, 40, WaitResult::kSignaled, false},
      {"our_own_id", false, kOurOwnId, 40, WaitResult::kTimeout, false},
      {"held_garbage_tid", true, kGarbageTid, 100, WaitResult::kAbandoned, false},
      {"held_no_such_pid", true, kNoSuchPid, kWaitForever, WaitResult::kAbandoned, false},
      {"held_live_thread", true, kLiveThread, 40, WaitResult::kTimeout, false},
      {"held_waiters_bit", true, kHolderWaiting, 40, WaitResult::kTimeout, true},
      {"held_zeroed", true, kZero, 40, WaitResult::kSignaled, false},
  };
  const uint32_t pid = static_cast<uint32_t>(getpid());
  constexpr uint32_t kNoThread = 0x3FFFFFF;    // above the kernel's largest thread id
  constexpr uint32_t kNoProcess = 0x7FFFFFF0;  // likewise for process ids
  Bystander bystander;
  for (const Case& c : cases) {
    std::string name = UniqueName(c.tag);
    NamedMutex holder_handle, waiter;
    MutexScribbler peer;
    ASSERT_TRUE(holder_handle.Create(name)) << c.tag;
    ASSERT_TRUE(waiter.Open(name)) << c.tag;
    ASSERT_TRUE(peer.Open(name)) << c.tag;
    std::unique_ptr<Holder> holder;
    if (c.held) {
      holder = std::make_unique<Holder>(&holder_handle);
      ASSERT_TRUE(holder->ok()) << c.tag;
    }
    uint64_t word = 0;
    switch (c.writes) {
      case kGarbageTid:
        word = OwnerWord(pid, kNoThread);
        break;
      case kNoSuchPid:
        word = OwnerWord(kNoProcess, bystander.tid());
        break;
      case kAllOnes:
        word = ~uint64_t{0};
        break;
      case kLiveThread:
        word = OwnerWord(pid, bystander.tid());
        break;
      case kLiveThreadWaiting:
        word = OwnerWord(pid, bystander.tid()) | internal::kMutexWaitersBit;
        break;
      case kWaitersOnly:
        word = internal::kMutexWaitersBit;
        break;
      case kPidOnly:
        word = OwnerWord(pid, 0);
        break;
      case kOurOwnId:
        word = OwnerWord(pid, CurrentThreadId());
        break;
      case kHolderWaiting:
        word = peer.Read() | internal::kMutexWaitersBit;
        break;
      case kZero:
        word = 0;
        break;
    }
    peer.Write(word);

    auto start = std::chrono::steady_clock::now();
    WaitResult got = waiter.Lock(c.timeout);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(got, c.lock) << c.tag;
    EXPECT_LT(took, std::chrono::seconds(5)) << c.tag;
    if (c.lock == WaitResult::kTimeout) {
      EXPECT_GE(took, std::chrono::milliseconds(c.timeout)) << c.tag;
    }
    const bool owns = got == WaitResult::kSignaled || got == WaitResult::kAbandoned;
    if (holder != nullptr) {
      EXPECT_EQ(holder->Release(), c.holder_unlocks) << c.tag;
    }
    if (owns) {
      EXPECT_TRUE(waiter.Unlock()) << c.tag << ": a holder freed a word it no longer owned";
    } else if (c.writes != kOurOwnId) {
      EXPECT_FALSE(waiter.Unlock()) << c.tag;
      peer.Write(0);  // the peer lets go of the word it forged
    } else {
      EXPECT_TRUE(waiter.Unlock()) << c.tag << ": the word names us, so we may free it";
    }
    EXPECT_EQ(waiter.Lock(0), WaitResult::kSignaled) << c.tag;
    EXPECT_TRUE(waiter.Unlock()) << c.tag;
  }
}

// The other process rewrites the word as fast as it can while we lock and unlock: every Lock
// still ends within its time-out (the result is whatever the word said), and Unlock returns.
TEST(NamedMutexTest, WordChangingUnderTheWaiterEndsWithinTheTimeOut) {
  std::string name = UniqueName("mflap");
  NamedMutex m;
  MutexScribbler peer;
  ASSERT_TRUE(m.Create(name));
  ASSERT_TRUE(peer.Open(name));
  Bystander bystander;
  const uint64_t words[] = {0, internal::kMutexWaitersBit,
                            OwnerWord(static_cast<uint32_t>(getpid()), bystander.tid()),
                            OwnerWord(0x7FFFFFF0, 0x3FFFFFF),
                            OwnerWord(static_cast<uint32_t>(getpid()), CurrentThreadId())};
  std::atomic<bool> stop{false};
  std::thread flapper([&] {
    for (size_t i = 0; !stop; ++i)
      peer.Write(words[i % std::size(words)]);
  });
  for (int round = 0; round < 20; ++round) {
    auto start = std::chrono::steady_clock::now();
    WaitResult got = m.Lock(round % 2 == 0 ? 0 : 30);
    EXPECT_NE(got, WaitResult::kFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << round;
    m.Unlock();  // true or false, as the word happens to say: it must only return
  }
  stop = true;
  flapper.join();
  peer.Write(0);
  EXPECT_EQ(m.Lock(0), WaitResult::kSignaled);
  EXPECT_TRUE(m.Unlock());
}

// Only the thread the word names may unlock: another thread on the same handle gets false, and
// the owner keeps the mutex.
TEST(NamedMutexTest, UnlockByAnotherThreadLeavesTheOwnerHoldingIt) {
  std::string name = UniqueName("mforeign");
  NamedMutex m;
  ASSERT_TRUE(m.Create(name));
  Holder holder(&m);
  ASSERT_TRUE(holder.ok());
  EXPECT_FALSE(m.Unlock());
  EXPECT_EQ(m.Lock(20), WaitResult::kTimeout) << "still held by its owner";
  EXPECT_TRUE(holder.Release());
  EXPECT_EQ(m.Lock(0), WaitResult::kSignaled);
  EXPECT_TRUE(m.Unlock());
  EXPECT_FALSE(m.Unlock()) << "a second unlock frees nothing";
}

// Waiters asleep on a held mutex are all let in, one per unlock, well within their time-out:
// the unlock wakes one, and each taker that slept keeps the waiters bit so that its own unlock
// wakes the next rather than leaving it to its periodic look.
// Whether thread `tid` of this process is inside a futex wait: a waiter asleep on the mutex.
bool InFutexWait(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  return static_cast<bool>(in >> number) && number == SYS_futex;
}

TEST(NamedMutexTest, SleepingWaitersAreWokenInTurn) {
  std::string name = UniqueName("mturn");
  NamedMutex m;
  ASSERT_TRUE(m.Create(name));
  ASSERT_EQ(m.Lock(0), WaitResult::kSignaled);
  constexpr int kWaiters = 3;
  MutexScribbler peer;
  ASSERT_TRUE(peer.Open(name));
  std::atomic<int> taken{0}, flagged{0};
  std::atomic<pid_t> tids[kWaiters] = {};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&, i] {
      tids[i] = static_cast<pid_t>(syscall(SYS_gettid));
      NamedMutex mine;
      if (!mine.Open(name) || mine.Lock(5000) != WaitResult::kSignaled)
        return;
      ++taken;
      flagged += (peer.Read() & internal::kMutexWaitersBit) != 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      mine.Unlock();
    });
  }
  // Every waiter asleep at one look (each wakes every 20 ms to check the owner, so a look may
  // catch one awake; look again).
  const auto asleep = [&] {
    for (const std::atomic<pid_t>& tid : tids) {
      if (tid == 0 || !InFutexWait(tid))
        return false;
    }
    return true;
  };
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  while (!asleep() && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(asleep()) << "the waiters never all slept";
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(m.Unlock());
  for (std::thread& t : waiters)
    t.join();
  EXPECT_EQ(taken, kWaiters);
  EXPECT_EQ(flagged, kWaiters);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A segment whose marker is not this layout's (one left by an older build) is refused at once
// rather than read as a mutex.
TEST(NamedMutexTest, SegmentOfAnotherLayoutIsRefused) {
  std::string name = UniqueName("mlayout");
  NamedMutex maker;
  ASSERT_TRUE(maker.Create(name));
  internal::SyncHandle raw;
  ASSERT_TRUE(
      raw.Attach(internal::kMutexPrefix, name, internal::kKindMutex, false, nullptr, nullptr));
  const uint32_t ours = raw.segment()->ready.load();
  raw.segment()->ready.store(0x53594e43);  // the marker of the layout with a pthread mutex
  auto start = std::chrono::steady_clock::now();
  NamedMutex late;
  EXPECT_FALSE(late.Open(name));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  raw.segment()->ready.store(ours);
  EXPECT_TRUE(late.Open(name));
}

TEST(NamedMutexTest, APeerThatTruncatesTheSegmentCannotEndThisProcess) {
  std::string name = UniqueName("mtrunc");
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(name));
  ASSERT_EQ(mutex.Lock(100), WaitResult::kSignaled);
  // What a peer can do to any object it may write: without the guard the next touch of the
  // segment is a SIGBUS.
  int fd = shm_open(SharedObjectName(internal::kMutexPrefix, name).c_str(), O_RDWR, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 0), 0);
  close(fd);
  EXPECT_FALSE(mutex.Unlock()) << "the zeroed word names no owner";
  EXPECT_EQ(mutex.Lock(100), WaitResult::kSignaled) << "a zeroed word is a free mutex";
  EXPECT_TRUE(mutex.Unlock());
}

TEST(NamedEventTest, ResetModesAndInitialStates) {
  struct Case {
    const char* tag;
    bool manual, initially_set;
    WaitResult first, second;
  } cases[] = {
      {"auto_set", false, true, WaitResult::kSignaled, WaitResult::kTimeout},
      {"auto_clear", false, false, WaitResult::kTimeout, WaitResult::kTimeout},
      {"manual_set", true, true, WaitResult::kSignaled, WaitResult::kSignaled},
      {"manual_clear", true, false, WaitResult::kTimeout, WaitResult::kTimeout},
  };
  for (const Case& c : cases) {
    NamedEvent e;
    ASSERT_TRUE(e.Create(UniqueName(c.tag), c.manual, c.initially_set)) << c.tag;
    EXPECT_EQ(e.Wait(0), c.first) << c.tag;
    EXPECT_EQ(e.Wait(5), c.second) << c.tag;
    EXPECT_TRUE(e.Set());
    EXPECT_EQ(e.Wait(0), WaitResult::kSignaled) << c.tag;
    EXPECT_EQ(e.Wait(0), c.manual ? WaitResult::kSignaled : WaitResult::kTimeout) << c.tag;
    EXPECT_TRUE(e.Reset());
    EXPECT_EQ(e.Wait(0), WaitResult::kTimeout) << c.tag;
  }
}

TEST(NamedEventTest, AttachingKeepsModeAndState) {
  std::string name = UniqueName("eattach");
  NamedEvent maker, second, opener;
  ASSERT_TRUE(maker.Create(name, /*manual_reset=*/false, /*initially_set=*/true));
  ASSERT_TRUE(second.Create(name, /*manual_reset=*/true, /*initially_set=*/false));
  ASSERT_TRUE(opener.Open(name));
  EXPECT_EQ(opener.Wait(0), WaitResult::kSignaled);  // initial state kept, and auto-reset
  EXPECT_EQ(second.Wait(0), WaitResult::kTimeout);
}

TEST(NamedEventTest, SetWakesAWaiterBeforeItsTimeOut) {
  std::string name = UniqueName("ewake");
  NamedEvent setter, waiter;
  ASSERT_TRUE(setter.Create(name, false, false));
  ASSERT_TRUE(waiter.Open(name));
  std::atomic<WaitResult> seen{WaitResult::kFailed};
  auto start = std::chrono::steady_clock::now();
  std::thread t([&] { seen = waiter.Wait(10000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  setter.Set();
  t.join();
  EXPECT_EQ(seen, WaitResult::kSignaled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(NamedEventTest, AutoResetReleasesOneWaiterPerSet) {
  std::string name = UniqueName("eone");
  NamedEvent e;
  ASSERT_TRUE(e.Create(name, false, false));
  std::atomic<int> woken{0};
  std::thread a([&] { woken += e.Wait(300) == WaitResult::kSignaled; });
  std::thread b([&] { woken += e.Wait(300) == WaitResult::kSignaled; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  e.Set();
  a.join();
  b.join();
  EXPECT_EQ(woken, 1);
}

// Set skips the kernel when nobody waits; a ping-pong of many rounds shows that no wake is lost
// between a waiter getting ready to sleep and a Set.
TEST(NamedEventTest, PingPongLosesNoWake) {
  NamedEvent ping, pong;
  ASSERT_TRUE(ping.Create(UniqueName("ping"), false, false));
  ASSERT_TRUE(pong.Create(UniqueName("pong"), false, false));
  constexpr int kRounds = 3000;
  std::atomic<int> misses{0};
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (ping.Wait(2000) != WaitResult::kSignaled)
        ++misses;
      pong.Set();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    ping.Set();
    if (pong.Wait(2000) != WaitResult::kSignaled)
      ++misses;
  }
  other.join();
  EXPECT_EQ(misses, 0);
}

TEST(NamedEventTest, WaitHonoursItsTimeOut) {
  NamedEvent e;
  ASSERT_TRUE(e.Create(UniqueName("etime"), true, false));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(e.Wait(50), WaitResult::kTimeout);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(50));
  EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(NamedSyncTest, MutexAndEventNamesDoNotCollide) {
  std::string name = UniqueName("both");
  NamedMutex m;
  NamedEvent e;
  ASSERT_TRUE(m.Create(name));
  EXPECT_TRUE(e.Create(name, false, false));
  ASSERT_EQ(m.Lock(0), WaitResult::kSignaled);
  EXPECT_EQ(e.Wait(0), WaitResult::kTimeout);  // a separate object, not the mutex's segment
  EXPECT_TRUE(m.Unlock());
}

}  // namespace
}  // namespace platform
