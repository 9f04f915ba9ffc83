#include "gateclient/ipc/win_ipc_impl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
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

uint32_t Word(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint32_t Pid() {
  return static_cast<uint32_t>(getpid());
}

class Recorder : public IWinIpcCallback {
 public:
  void OnIpcData(const void* data, uint32_t length) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      received_.emplace_back(static_cast<const char*>(data), length);
    }
    arrived_.notify_all();
    if (on_data)
      on_data();
  }
  std::vector<std::string> Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  // Waits (bounded) until `count` messages arrived.
  bool WaitFor(size_t count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return received_.size() >= count; });
  }
  // Called on the worker thread after each message is recorded.
  std::function<void()> on_data;

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
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
  EXPECT_EQ(server.pending_sends(), 3u);
  // Newer messages wake the worker, which tries the refused one again first, and is refused.
  for (int i = 20; i < 22; ++i) {
    sent.push_back(std::string(60'000, static_cast<char>('a' + i)));
    server.Send(sent.back().data(), sent.back().size());
  }
  EXPECT_EQ(server.pending_sends(), 5u);
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

// What the game side writes, with the plain queue calls a game uses.
class GameWriter {
 public:
  GameWriter(uint64_t key) {
    EXPECT_EQ(queue_.Open(ToServerQueueName(Pid(), key).c_str()), kQueueOk);
  }
  void Write(const std::string& message) {
    ASSERT_EQ(queue_.Write(message.data(), static_cast<uint32_t>(message.size())), kQueueOk);
  }
  CXQueue& queue() { return queue_; }

 private:
  CXQueue queue_;
};

TEST(WinIpcImplTest, EveryWaitingMessageIsDeliveredInOrderOneCallbackEach) {
  struct Case {
    const char* name;
    IpcReceiveBounds bounds;
  };
  const Case cases[] = {{"default bounds", IpcReceiveBounds()},
                        {"unbounded", IpcReceiveBounds::Unbounded()}};
  for (const Case& c : cases) {
    uint64_t key = UniqueKey();
    WinIpcImpl server(platform::SystemClock(), c.bounds);
    Recorder rx;
    ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
    GameWriter game(key);
    // More than the old pace of one message a pass would deliver in ten seconds, and more than
    // one run of reads.
    std::vector<std::string> sent;
    for (int i = 0; i < 300; ++i) {
      std::string message(1, 'm');
      message += std::to_string(i);
      message.append(static_cast<size_t>(i % 7), 'x');
      sent.push_back(std::move(message));
      game.Write(sent.back());
    }
    ASSERT_TRUE(rx.WaitFor(sent.size(), 10000)) << c.name;
    EXPECT_EQ(rx.Received(), sent) << c.name;
    EXPECT_EQ(server.delivered(), sent.size()) << c.name;
  }
}

TEST(WinIpcImplTest, MessagesFromSeveralSendingThreadsKeepEachThreadsOrder) {
  uint64_t key = UniqueKey();
  WinIpcImpl server, client(platform::SystemClock(), IpcReceiveBounds::Unbounded());
  Recorder unused, rx;
  ASSERT_TRUE(server.Open(Pid(), key, &unused, false));
  ASSERT_TRUE(client.Open(Pid(), key, &rx, true));
  constexpr int kThreads = 4;
  constexpr int kEach = 250;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&server, t] {
      for (int i = 0; i < kEach; ++i) {
        std::string m = std::to_string(t) + ":" + std::to_string(i);
        server.Send(m.data(), static_cast<uint32_t>(m.size()));
        if (i % 50 == 0)
          server.Send("", 0);  // dropped by the worker, between the others
      }
    });
  }
  for (std::thread& s : senders)
    s.join();
  ASSERT_TRUE(rx.WaitFor(kThreads * kEach, 10000));
  std::vector<std::string> got = rx.Received();
  ASSERT_EQ(got.size(), size_t{kThreads * kEach}) << "no empty message arrives";
  std::vector<int> next(kThreads, 0);
  for (const std::string& m : got) {
    const size_t colon = m.find(':');
    ASSERT_NE(colon, std::string::npos) << m;
    const int t = std::stoi(m.substr(0, colon));
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    EXPECT_EQ(std::stoi(m.substr(colon + 1)), next[t]) << "thread " << t;
    ++next[t];
  }
}

// Each answer is sent only once the previous one arrived, so every message finds the other
// worker asleep. Woken by the writes and by Send, fifty round trips take milliseconds; a worker
// that waited out its 40 ms interval would need at least four seconds.
TEST(WinIpcImplTest, ASingleMessageDoesNotWaitForTheWorkersInterval) {
  uint64_t key = UniqueKey();
  WinIpcImpl server, client;
  Recorder server_rx, client_rx;
  ASSERT_TRUE(server.Open(Pid(), key, &server_rx, false));
  ASSERT_TRUE(client.Open(Pid(), key, &client_rx, true));
  constexpr int kRounds = 50;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    std::string ping = "ping" + std::to_string(i);
    server.Send(ping.data(), static_cast<uint32_t>(ping.size()));
    ASSERT_TRUE(client_rx.WaitFor(i + 1));
    std::string pong = "pong" + std::to_string(i);
    client.Send(pong.data(), static_cast<uint32_t>(pong.size()));
    ASSERT_TRUE(server_rx.WaitFor(i + 1));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_EQ(server_rx.Received().back(), "pong" + std::to_string(kRounds - 1));
}

// A callback blocks while another thread closes the channel: Close returns only after the
// callback has, and no further message is delivered.
TEST(WinIpcImplTest, CloseWhileTheCallbackRunsWaitsForItAndDeliversNothingMore) {
  uint64_t key = UniqueKey();
  WinIpcImpl server;
  std::atomic<int> step{0};
  std::atomic<int> callback_done_at{0};
  std::atomic<int> close_done_at{0};
  std::atomic<bool> release{false};
  Recorder rx;
  int calls = 0;  // worker thread only
  rx.on_data = [&] {
    if (++calls != 1)
      return;
    ++step;  // 1: inside the first callback
    while (!release.load())
      std::this_thread::yield();
    callback_done_at = ++step;
  };
  ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
  GameWriter game(key);
  game.Write("first");
  game.Write("second");
  game.Write("third");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (step.load() == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  ASSERT_EQ(step.load(), 1);
  std::thread closer([&] {
    server.Close();
    close_done_at = ++step;
  });
  while (!server.stop_requested() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  ASSERT_TRUE(server.stop_requested());
  // Close, had it not waited for the callback, has had every chance to return by now.
  for (int i = 0; i < 1000 && close_done_at.load() == 0; ++i)
    std::this_thread::yield();
  release = true;
  closer.join();
  EXPECT_GT(callback_done_at.load(), 0);
  EXPECT_GT(close_done_at.load(), callback_done_at.load());
  EXPECT_FALSE(server.running());
  EXPECT_EQ(rx.Received(), std::vector<std::string>{"first"});
  // The two that were not delivered are still in the game's queue, unread.
  uint32_t used;
  std::memcpy(&used, game.queue().header() + ql::kUsedCount, 4);
  EXPECT_EQ(used, 2u);
}

// With the clock standing still the bound lets exactly its burst through; each step of the clock
// lets through what the rate earned in it. Bytes are bound as well as messages.
TEST(WinIpcImplTest, TheReceiveBoundHoldsAFloodingGameBackAndNeverASingleMessage) {
  struct Case {
    const char* name;
    size_t size;
    int count;
    uint64_t first;  // delivered before the bound holds
    uint32_t advance_ms;
    uint64_t after_advance;
  };
  const Case cases[] = {
      // Messages: 100 at once, one a millisecond.
      {"small messages", 10, 150, 100, 10, 110},
      // Bytes: 1 MiB at once, 4 MiB a second. The first 600,000 bytes pass at once and overdraw
      // the bucket by 151,424 when the second passes; the third waits 37 ms for that debt.
      {"large messages", 600'000, 3, 2, 36, 2},
  };
  for (const Case& c : cases) {
    platform::ManualClock clock(1000);
    uint64_t key = UniqueKey();
    WinIpcImpl server(clock);
    Recorder rx;
    ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
    GameWriter game(key);
    for (int i = 0; i < c.count; ++i)
      game.Write(std::string(c.size, static_cast<char>('a' + i % 26)));
    auto held_at = [&](uint64_t n) {
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (std::chrono::steady_clock::now() < deadline) {
        if (server.held_by_bound() && server.delivered() == n)
          return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      return false;
    };
    EXPECT_TRUE(held_at(c.first)) << c.name << ": delivered " << server.delivered();
    clock.Advance(c.advance_ms);
    EXPECT_TRUE(held_at(c.after_advance)) << c.name << ": delivered " << server.delivered();
    clock.Advance(10'000);
    ASSERT_TRUE(rx.WaitFor(c.count)) << c.name;
    EXPECT_EQ(rx.Received().size(), size_t(c.count)) << c.name;
    EXPECT_EQ(rx.Received().back()[0], static_cast<char>('a' + (c.count - 1) % 26)) << c.name;
  }
}

// A game that sets the hall's data-ready event over and over, with nothing behind it, must not
// keep the worker as busy as itself: after a run of empty wakes the worker waits out an interval
// without the event. Its messages still arrive, and so do the hall's.
TEST(WinIpcImplTest, AGameThatOnlySetsTheEventDoesNotKeepTheWorkerBusy) {
  uint64_t key = UniqueKey();
  WinIpcImpl server;
  Recorder rx;
  ASSERT_TRUE(server.Open(Pid(), key, &rx, false));
  GameWriter game(key);
  platform::NamedEvent event;
  ASSERT_TRUE(event.Open(CXQueue::DataReadyName(ToServerQueueName(Pid(), key).c_str())));
  const uint64_t passes_before = server.passes();
  // Ten intervals of setting it as fast as this thread can.
  const auto start = std::chrono::steady_clock::now();
  const auto until = start + std::chrono::milliseconds(10 * WinIpcImpl::kWorkerIntervalMs);
  while (std::chrono::steady_clock::now() < until) {
    for (int i = 0; i < 1000; ++i)
      event.Set();
  }
  const auto took = std::chrono::steady_clock::now() - start;
  const uint64_t passes = server.passes() - passes_before;
  // At most a run of empty wakes per interval, and a few more at the edges.
  const auto intervals = std::chrono::duration_cast<std::chrono::milliseconds>(took).count() /
                             WinIpcImpl::kWorkerIntervalMs +
                         2;
  EXPECT_LE(passes, static_cast<uint64_t>(intervals) * (WinIpcImpl::kMaxIdleWakes + 2))
      << "over " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  game.Write("still heard");
  ASSERT_TRUE(rx.WaitFor(1));
  EXPECT_EQ(rx.Received(), std::vector<std::string>{"still heard"});
}

// Send writes by itself when nothing is ahead of it; once Close has returned nothing more reaches
// the queue, however many Sends still come from another thread.
TEST(WinIpcImplTest, NothingIsWrittenAfterCloseReturnsWhileAnotherThreadSends) {
  for (int round = 0; round < 20; ++round) {
    uint64_t key = UniqueKey();
    WinIpcImpl server;
    Recorder unused;
    ASSERT_TRUE(server.Open(Pid(), key, &unused, false));
    CXQueue probe;  // the game's side of the queue the hall writes
    ASSERT_EQ(probe.Open(ToClientQueueName(Pid(), key).c_str()), kQueueOk);
    std::atomic<bool> closed{false};
    std::atomic<int> sent_after_close{0};
    std::atomic<bool> done{false};
    // Read as the game would, so that there is always room and Send keeps writing by itself.
    std::thread game([&] {
      char buffer[16];
      while (!done.load()) {
        uint32_t length = sizeof buffer, seq = 0;
        if (probe.Read(buffer, &length, &seq, nullptr, 100) != kQueueOk)
          std::this_thread::yield();
      }
    });
    std::thread sender([&] {
      while (sent_after_close.load() < 200) {
        // Counted only when begun after Close returned: a Send under way while Close ran may
        // still have been written before it returned.
        const bool after_close = closed.load();
        server.Send("s", 1);
        if (after_close)
          sent_after_close.fetch_add(1);
      }
    });
    while (Word(probe.header() + ql::kMessagesWritten) < 2000)
      std::this_thread::yield();
    server.Close();
    const uint32_t written = Word(probe.header() + ql::kMessagesWritten);
    closed = true;
    sender.join();
    done = true;
    game.join();
    EXPECT_EQ(Word(probe.header() + ql::kMessagesWritten), written) << "round " << round;
    EXPECT_GE(server.pending_sends(), 200u) << "kept, not written";
  }
}

}  // namespace
}  // namespace qvc
