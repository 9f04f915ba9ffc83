#include "platform/named_sync.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

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
