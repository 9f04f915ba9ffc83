// The named mutex against testing/platform_peer: a holder in another process whose word is
// rewritten, a word naming a process that has ended, and an owner that died and is not reaped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/mutex_scribbler_test.h"
#include "platform/named_sync.h"
#include "platform/process.h"

namespace platform {
namespace {

std::string UniqueName(const char* tag) {
  return std::string("tvx_mpeer_") + tag + "_" + std::to_string(getpid());
}

std::unique_ptr<Process> StartPeer(std::vector<std::string> args) {
  std::string error;
  auto p = SystemProcessLauncher().Launch({PLATFORM_PEER_PATH, std::move(args), "", {}}, &error);
  EXPECT_NE(p, nullptr) << error;
  return p;
}

// The peer takes the mutex; the word is rewritten while it holds it. Our wait ends as the
// rewritten word says, and the peer's unlock frees only a word that still names it.
TEST(CrossProcessMutexTest, WordRewrittenUnderAPeerHolder) {
  enum Writes { kGarbageTid, kOurTidInPeer, kPeerWaiting };
  struct Case {
    const char* tag;
    Writes writes;
    uint32_t timeout;
    WaitResult lock;
    bool peer_frees;  // the peer's unlock releases the word
  } cases[] = {
      {"garbage_tid", kGarbageTid, 100, WaitResult::kAbandoned, false},
      {"tid_not_in_peer", kOurTidInPeer, 100, WaitResult::kAbandoned, false},
      {"waiters_bit", kPeerWaiting, 40, WaitResult::kTimeout, true},
  };
  for (const Case& c : cases) {
    std::string name = UniqueName(c.tag);
    NamedMutex m;
    NamedEvent ready, release;
    MutexScribbler peer_word;
    ASSERT_TRUE(m.Create(name)) << c.tag;
    ASSERT_TRUE(peer_word.Open(name)) << c.tag;
    ASSERT_TRUE(ready.Create(name + "_ready", false, false)) << c.tag;
    ASSERT_TRUE(release.Create(name + "_release", false, false)) << c.tag;
    auto peer = StartPeer({"mutex-hold", name, name + "_ready", name + "_release"});
    ASSERT_NE(peer, nullptr) << c.tag;
    ASSERT_EQ(ready.Wait(10000), WaitResult::kSignaled) << c.tag;
    const uint64_t held = peer_word.Read();
    ASSERT_EQ(held >> 32, static_cast<uint64_t>(peer->pid())) << c.tag;
    switch (c.writes) {
      case kGarbageTid:
        peer_word.Write(OwnerWord(peer->pid(), 0x3FFFFFF));
        break;
      case kOurTidInPeer:
        peer_word.Write(OwnerWord(peer->pid(), static_cast<uint32_t>(getpid())));
        break;
      case kPeerWaiting:
        peer_word.Write(held | internal::kMutexWaitersBit);
        break;
    }
    auto start = std::chrono::steady_clock::now();
    WaitResult got = m.Lock(c.timeout);
    EXPECT_EQ(got, c.lock) << c.tag;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.tag;
    release.Set();
    ExitStatus s;
    EXPECT_EQ(peer->Wait(10000, &s), WaitOutcome::kExited) << c.tag;
    EXPECT_EQ(s.code, 0) << c.tag;
    if (c.peer_frees) {
      EXPECT_EQ(peer_word.Read(), 0u) << c.tag;
      EXPECT_EQ(m.Lock(0), WaitResult::kSignaled) << c.tag;
    } else {
      EXPECT_NE(peer_word.Read(), 0u) << c.tag << ": the peer freed a word it no longer owned";
    }
    EXPECT_TRUE(m.Unlock()) << c.tag;
  }
}

// A word naming a process that has ended (its own thread id and all) is abandoned, even when the
// mutex was never taken.
TEST(CrossProcessMutexTest, WordNamingAnEndedProcessIsAbandoned) {
  auto gone = StartPeer({"event-set", UniqueName("nothing")});
  ASSERT_NE(gone, nullptr);
  ExitStatus s;
  ASSERT_EQ(gone->Wait(10000, &s), WaitOutcome::kExited);
  const uint32_t pid = static_cast<uint32_t>(gone->pid());
  std::string name = UniqueName("ended");
  NamedMutex m;
  MutexScribbler word;
  ASSERT_TRUE(m.Create(name));
  ASSERT_TRUE(word.Open(name));
  for (uint32_t timeout : {0u, 100u, kWaitForever}) {
    word.Write(OwnerWord(pid, pid) | internal::kMutexWaitersBit);
    EXPECT_EQ(m.Lock(timeout), WaitResult::kAbandoned) << timeout;
    EXPECT_TRUE(m.Unlock()) << timeout;
  }
}

// An owner process that died holding the mutex is found dead while it is still a zombie nobody
// has reaped: its id still takes a signal, but its stat line says it is gone.
TEST(CrossProcessMutexTest, DeadOwnerNotYetReapedIsAbandoned) {
  std::string name = UniqueName("zombie");
  NamedMutex m;
  MutexScribbler word;
  ASSERT_TRUE(m.Create(name));
  ASSERT_TRUE(word.Open(name));
  auto peer = StartPeer({"mutex-hold-die", name});
  ASSERT_NE(peer, nullptr);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (word.Read() == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_NE(word.Read(), 0u) << "the peer never took the mutex";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m.Lock(kWaitForever), WaitResult::kAbandoned);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(m.Unlock());
  ExitStatus s;
  EXPECT_EQ(peer->Wait(10000, &s), WaitOutcome::kExited);
}

}  // namespace
}  // namespace platform
