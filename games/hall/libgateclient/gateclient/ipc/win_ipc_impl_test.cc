#include "gateclient/ipc/win_ipc_impl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gateclient/ipc/queue_layout.h"
#include "platform/named_sync.h"

namespace qvc {
namespace {

namespace ql = queue_layout;

uint64_t UniqueKey() {
  static uint64_t counter = 1000;
  return ++counter;
}

uint32_t Pid() {
  return static_cast<uint32_t>(getpid());
}

class Recorder : public IWinIpcCallback {
 public:
  void OnIpcData(const void* data, uint32_t length) override {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.emplace_back(static_cast<const char*>(data), length);
    if (on_data)
      on_data();
  }
  std::vector<std::string> Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  // Waits (bounded) until `count` messages arrived.
  bool WaitFor(size_t count, int timeout_ms = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Received().size() >= count)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Received().size() >= count;
  }
  std::function<void()> on_data;

 private:
  std::mutex mutex_;
  std::vector<std::string> received_;
};

struct LogLines {
  WinIpcImpl::LogFn Fn() {
    return [this](int level, const std::string& text) {
      std::lock_guard<std::mutex> lock(mutex);
      lines.push_back(std::to_string(level) + " " + text);
    };
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return lines.size();
  }
  std::mutex mutex;
  std::vector<std::string> lines;
};

TEST(WinIpcNamesTest, ChannelAndQueueNames) {
  struct Case {
    uint32_t pid;
    uint64_t key;
    const char* channel;
  };
  const Case cases[] = {
      {88, 5, "cs201588_5"},
      {1, 0, "cs20151_0"},
      {4000000000u, 1, "cs2015-294967296_1"},
      {7, 0x8000000000000000ull, "cs20157_-9223372036854775808"},
      {12, (uint64_t{3} << 32) | 33, "cs201512_12884901921"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChannelName(c.pid, c.key), c.channel);
    EXPECT_EQ(ToServerQueueName(c.pid, c.key), std::string(c.channel) + "_s");
    EXPECT_EQ(ToClientQueueName(c.pid, c.key), std::string(c.channel) + "_c");
  }
}

TEST(WinIpcImplTest, ServerCreatesBothQueuesAndClientOpensThemWithRolesSwapped) {
  uint64_t key = UniqueKey();
  WinIpcImpl server;
  Recorder server_rx;
  ASSERT_TRUE(server.Open(Pid(), key, &server_rx, false));
  // Both queues exist as the server made them; the client side only opens.
  CXQueue s, c;
  EXPECT_EQ(s.Open(ToServerQueueName(Pid(), key).c_str()), kQueueOk);
  EXPECT_EQ(c.Open(ToClientQueueName(Pid(), key).c_str()), kQueueOk);

  WinIpcImpl client;
  Recorder client_rx;
  ASSERT_TRUE(client.Open(Pid(), key, &client_rx, true));
  for (int i = 0; i < 5; ++i)
    server.Send(("to game " + std::to_string(i)).data(), 9);
  client.Send("to hall", 7);
  ASSERT_TRUE(client_rx.WaitFor(5));
  ASSERT_TRUE(server_rx.WaitFor(1));
  std::vector<std::string> got = client_rx.Received();
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(got[i], "to game " + std::to_string(i));
  EXPECT_EQ(server_rx.Received()[0], "to hall");
  client.Close();
  server.Close();
  EXPECT_FALSE(server.running());
}

TEST(WinIpcImplTest, ClientOpenFailsWithoutAServerAndCloseThenDoesNothing) {
  WinIpcImpl client;
  Recorder rx;
  EXPECT_FALSE(client.Open(Pid(), UniqueKey(), &rx, true));
  EXPECT_FALSE(client.running());
  client.Close();
  client.Close();
}

TEST(WinIpcImplTest, EmptySendsAreDroppedAndOversizedOnesAreDroppedAndLogged) {
  uint64_t key = UniqueKey();
  WinIpcImpl server, client;
  LogLines log;
  server.SetLog(log.Fn());
  Recorder rx, unused;
  ASSERT_TRUE(server.Open(Pid(), key, &unused, false));
  ASSERT_TRUE(client.Open(Pid(), key, &rx, true));
  std::string huge(1'024'001, 'z');  // one byte more than a queue holds
  server.Send("", 0);
  server.Send(huge.data(), huge.size());
  server.Send("after", 5);
  ASSERT_TRUE(rx.WaitFor(1));
  EXPECT_EQ(rx.Received(), std::vector<std::string>{"after"});
  EXPECT_EQ(log.Count(), 1u);
  std::string full(1'024'000, 'f');  // exactly what a queue holds still crosses
  server.Send(full.data(), full.size());
  ASSERT_TRUE(rx.WaitFor(2));
  EXPECT_EQ(rx.Received()[1], full);
}

TEST(WinIpcImplTest, RefusedMessageStaysAtTheFrontUntilThereIsRoom) {
  uint64_t key = UniqueKey();
  WinIpcImpl server;
  Recorder unused;
  ASSERT_TRUE(server.Open(Pid(), key, &unused, false));
  // A plain reader that reads only when told, so the queue fills up.
  CXQueue reader;
  ASSERT_EQ(reader.Open(ToClientQueueName(Pid(), key).c_str()), kQueueOk);
  std::vector<std::string> sent;
  for (int i = 0; i < 20; ++i) {
    sent.push_back(std::string(60'000, static_cast<char>('a' + i)));
    server.Send(sent.back().data(), sent.back().size());
  }
  // Each takes 60 blocks: 17 fit in the 1024, three wait.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (server.pending_sends() > 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(server.pending_sends(), 3u);
  std::vector<std::string> got;
  std::string buf(60'000, '\0');
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got.size() < sent.size() && std::chrono::steady_clock::now() < deadline) {
    uint32_t length = buf.size(), seq = 0;
    if (reader.Read(buf.data(), &length, &seq, nullptr, 100) == kQueueOk) {
      got.emplace_back(buf.data(), length);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  EXPECT_EQ(got, sent);
}

TEST(WinIpcImplTest, CorruptIncomingMessageIsDroppedAndLoggedAndTheNextOneArrives) {
  uint64_t key = UniqueKey();
  WinIpcImpl server;
  LogLines log;
  server.SetLog(log.Fn());
  Recorder rx;
  CXQueue writer;
  // Write and damage before the server's worker looks: its queue exists once Open returns, so
  // hold the queue's mutex while damaging.
  ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
  ASSERT_EQ(writer.Open(ToServerQueueName(Pid(), key).c_str()), kQueueOk);
  platform::NamedMutex mutex;
  ASSERT_TRUE(mutex.Open(CXQueue::MutexName(ToServerQueueName(Pid(), key).c_str())));
  ASSERT_EQ(mutex.Lock(1000), platform::WaitResult::kSignaled);
  // Hand-made message: its only block claims 5000 bytes.
  unsigned char* h = writer.header();
  uint32_t head;
  std::memcpy(&head, h + ql::kFreeHead, 4);
  unsigned char* b = h + ql::kDefaultHeaderSize + size_t{head} * ql::kDefaultHeaderSize;
  uint32_t next;
  std::memcpy(&next, b + ql::kBlockNext, 4);
  uint32_t len = 5000, none = ql::kNone, free_count = 1023;
  std::memcpy(b + ql::kBlockLength, &len, 4);
  std::memcpy(b + ql::kBlockNext, &none, 4);
  std::memcpy(h + ql::kFreeHead, &next, 4);
  std::memcpy(h + ql::kFreeCount, &free_count, 4);
  std::memcpy(h + ql::kUsedTail, &head, 4);
  std::memcpy(h + ql::kUsedHead, &head, 4);
  mutex.Unlock();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (log.Count() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(log.Count(), 1u);
  ASSERT_EQ(writer.Write("good", 4), kQueueOk);
  ASSERT_TRUE(rx.WaitFor(1));
  EXPECT_EQ(rx.Received(), std::vector<std::string>{"good"});
}

TEST(WinIpcImplTest, CloseRightAfterOpenJoinsTheWorkerEveryTime) {
  for (int i = 0; i < 30; ++i) {
    WinIpcImpl server;
    Recorder rx;
    ASSERT_TRUE(server.Open(Pid(), UniqueKey(), &rx, false));
    server.Send("x", 1);
    server.Close();
    EXPECT_FALSE(server.running()) << i;
  }
}

TEST(WinIpcImplTest, CloseFromTwoThreadsAtOnceIsSafe) {
  for (int i = 0; i < 10; ++i) {
    WinIpcImpl server;
    Recorder rx;
    ASSERT_TRUE(server.Open(Pid(), UniqueKey(), &rx, false));
    std::thread a([&] { server.Close(); });
    std::thread b([&] { server.Close(); });
    a.join();
    b.join();
    EXPECT_FALSE(server.running());
  }
}

TEST(WinIpcImplTest, CloseIsBoundedWhenThePeerHoldsTheWriterTokenForever) {
  uint64_t key = UniqueKey();
  WinIpcImpl server;
  Recorder rx;
  ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
  platform::NamedEvent token;
  ASSERT_TRUE(token.Open(CXQueue::WriterTokenName(ToClientQueueName(Pid(), key).c_str())));
  ASSERT_EQ(token.Wait(1000), platform::WaitResult::kSignaled);
  for (int i = 0; i < 10; ++i)
    server.Send("stuck", 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(server.pending_sends(), 10u) << "kept, in order, while the token is away";
  auto start = std::chrono::steady_clock::now();
  server.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(WinIpcImplTest, CloseFromTheCallbackDoesNotDeadlock) {
  uint64_t key = UniqueKey();
  WinIpcImpl server, client;
  Recorder rx;
  rx.on_data = [&] { server.Close(); };
  ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
  ASSERT_TRUE(client.Open(Pid(), key, nullptr, true));
  client.Send("bye", 3);
  ASSERT_TRUE(rx.WaitFor(1));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (server.running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(server.running());
  server.Close();
}

TEST(WinIpcImplTest, LastReceiveFollowsTheClock) {
  platform::ManualClock clock(0, 1'800'000'000);
  uint64_t key = UniqueKey();
  WinIpcImpl server(clock), client;
  EXPECT_EQ(server.last_receive(), 1'800'000'000u);
  Recorder rx;
  ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
  ASSERT_TRUE(client.Open(Pid(), key, nullptr, true));
  clock.Advance(5000);
  client.Send("t", 1);
  ASSERT_TRUE(rx.WaitFor(1));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (server.last_receive() != 1'800'000'005u && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(server.last_receive(), 1'800'000'005u);
}

}  // namespace
}  // namespace qvc
