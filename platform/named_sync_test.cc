#include "platform/named_sync.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

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
    if (seen == WaitResult::kSignaled) b.Unlock();
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
      if (ping.Wait(2000) != WaitResult::kSignaled) ++misses;
      pong.Set();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    ping.Set();
    if (pong.Wait(2000) != WaitResult::kSignaled) ++misses;
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
