// Named mappings, mutexes and events between this process and testing/platform_peer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/named_sync.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

namespace platform {
namespace {

std::string UniqueName(const char* tag) {
  return std::string("tvx_xtest_") + tag + "_" + std::to_string(getpid());
}

std::unique_ptr<Process> StartPeer(std::vector<std::string> args) {
  std::string error;
  auto p = SystemProcessLauncher().Launch({PLATFORM_PEER_PATH, std::move(args), "", {}}, &error);
  EXPECT_NE(p, nullptr) << error;
  return p;
}

int PeerResult(std::vector<std::string> args) {
  auto p = StartPeer(std::move(args));
  if (p == nullptr) return -100;
  ExitStatus s;
  EXPECT_EQ(p->Wait(10000, &s), WaitOutcome::kExited);
  return s.code;
}

TEST(CrossProcessTest, PeerWritesIntoOurMapping) {
  std::string name = UniqueName("shm");
  SharedMemory shm;
  ASSERT_TRUE(shm.Create(name, 8192));
  EXPECT_EQ(PeerResult({"shm-fill", name, "8192", "171"}), 0);
  EXPECT_EQ(shm.data()[0], 171);
  EXPECT_EQ(shm.data()[8191], 171);
  EXPECT_NE(PeerResult({"shm-fill", name, "8193", "1"}), 0) << "peer must check the size";
  shm.Close();
  EXPECT_NE(PeerResult({"shm-fill", name, "1", "1"}), 0) << "name gone with its creator";
}

TEST(CrossProcessTest, MutexOfADeadProcessIsAbandoned) {
  std::string name = UniqueName("mdead");
  NamedMutex m;
  ASSERT_TRUE(m.Create(name));
  EXPECT_EQ(PeerResult({"mutex-hold-die", name}), 0);
  EXPECT_EQ(m.Lock(1000), WaitResult::kAbandoned);
  EXPECT_TRUE(m.Unlock());
  EXPECT_EQ(m.Lock(100), WaitResult::kSignaled);
  EXPECT_TRUE(m.Unlock());
}

TEST(CrossProcessTest, MutexHeldByAnotherProcessTimesOutUntilReleased) {
  std::string name = UniqueName("mheld");
  NamedMutex m;
  NamedEvent ready, release;
  ASSERT_TRUE(m.Create(name));
  ASSERT_TRUE(ready.Create(name + "_ready", false, false));
  ASSERT_TRUE(release.Create(name + "_release", false, false));
  auto peer = StartPeer({"mutex-hold", name, name + "_ready", name + "_release"});
  ASSERT_NE(peer, nullptr);
  ASSERT_EQ(ready.Wait(10000), WaitResult::kSignaled);
  EXPECT_EQ(m.Lock(30), WaitResult::kTimeout);
  release.Set();
  EXPECT_EQ(m.Lock(10000), WaitResult::kSignaled);
  EXPECT_TRUE(m.Unlock());
  ExitStatus s;
  EXPECT_EQ(peer->Wait(10000, &s), WaitOutcome::kExited);
  EXPECT_EQ(s.code, 0);
}

TEST(CrossProcessTest, EventsCrossTheProcessBoundary) {
  std::string name = UniqueName("event");
  NamedEvent e;
  ASSERT_TRUE(e.Create(name, false, false));
  EXPECT_EQ(PeerResult({"event-wait", name, "20"}), 1) << "not set yet: the peer times out";
  EXPECT_EQ(PeerResult({"event-set", name}), 0);
  EXPECT_EQ(e.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(e.Wait(0), WaitResult::kTimeout) << "auto-reset";

  auto waiter = StartPeer({"event-wait", name, "10000"});
  ASSERT_NE(waiter, nullptr);
  e.Set();
  ExitStatus s;
  EXPECT_EQ(waiter->Wait(10000, &s), WaitOutcome::kExited);
  EXPECT_EQ(s.code, 0);
}

TEST(CrossProcessTest, AWaiterThatDiesDoesNotWedgeTheSetter) {
  std::string name = UniqueName("edead");
  NamedEvent e;
  ASSERT_TRUE(e.Create(name, false, false));
  auto waiter = StartPeer({"event-wait", name, "60000"});
  ASSERT_NE(waiter, nullptr);
  ASSERT_TRUE(waiter->Terminate());
  ExitStatus s;
  EXPECT_EQ(waiter->Wait(10000, &s), WaitOutcome::kExited);
  EXPECT_TRUE(e.Set());
  EXPECT_EQ(e.Wait(0), WaitResult::kSignaled);
}

}  // namespace
}  // namespace platform
