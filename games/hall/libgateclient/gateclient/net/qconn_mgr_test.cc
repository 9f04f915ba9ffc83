#include "gateclient/net/qconn_mgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gateclient/net/qconn_channel.h"
#include "platform/net.h"

namespace {

using namespace std::chrono_literals;

struct Event {
  enum Type { kConnectOk, kConnectFailed, kClose, kData } type;
  uint64_t id;
  uint32_t context;
  std::string frame;
  std::thread::id thread;
};

// Records every report; tests wait for a count of reports with a bounded wait.
class RecordingSink : public ICMGR_ChannelSink {
 public:
  void OnConnectionClose(uint64_t id, uint32_t context) override {
    Add({Event::kClose, id, context, {}, std::this_thread::get_id()});
  }
  void OnDataMessage(uint64_t id, const void* frame, uint32_t length, uint32_t context) override {
    Add({Event::kData, id, context, std::string(static_cast<const char*>(frame), length),
         std::this_thread::get_id()});
  }
  void OnConnectToRet(uint64_t id, bool ok, uint32_t context) override {
    Add({ok ? Event::kConnectOk : Event::kConnectFailed, id, context, {},
         std::this_thread::get_id()});
  }

  // Waits until at least `n` events arrived; returns a copy of them.
  std::vector<Event> WaitFor(size_t n, std::chrono::milliseconds limit = 5s) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return events_.size() >= n; });
    return events_;
  }
  // Waits until an event of `type` arrived; returns a copy of all events.
  std::vector<Event> WaitForType(Event::Type type, std::chrono::milliseconds limit = 5s) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [&] {
      for (const Event& e : events_) {
        if (e.type == type) return true;
      }
      return false;
    });
    return events_;
  }
  std::vector<Event> Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  void Add(Event e) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(e));
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

std::string Frame(const std::string& body) {
  std::string out(4, '\0');
  const uint32_t length = static_cast<uint32_t>(body.size());
  out[0] = static_cast<char>(length >> 24);
  out[1] = static_cast<char>(length >> 16);
  out[2] = static_cast<char>(length >> 8);
  out[3] = static_cast<char>(length);
  return out + body;
}

// A body long enough to pass as a frame header (at least 8 bytes).
std::string Body(const std::string& tag, size_t size = 8) {
  std::string body = tag;
  body.resize(std::max(size, tag.size()), '.');
  return body;
}

class QConnMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    listener_ = platform::ListenOnLoopback(&port_);
    ASSERT_GE(listener_, 0);
    manager_ = new QConnMgr();
    ASSERT_TRUE(manager_->Start(&sink_));
  }
  void TearDown() override {
    if (manager_ != nullptr) manager_->Stop();
    platform::CloseSocket(peer_);
    platform::CloseSocket(listener_);
  }

  // Connects and accepts; returns the id.
  uint64_t Connect(uint32_t context = 7) {
    // Counted before the connect: the report may arrive before the accept returns.
    const size_t before = sink_.Snapshot().size();
    const uint64_t id = manager_->ConnectTo("127.0.0.1", port_, context, 3000);
    peer_ = platform::AcceptConnection(listener_);
    platform::SetReceiveTimeout(peer_, 5000);
    const auto events = sink_.WaitFor(before + 1);
    EXPECT_EQ(events.size(), before + 1);
    if (events.size() > before) {
      EXPECT_EQ(events.back().type, Event::kConnectOk);
      EXPECT_EQ(events.back().id, id);
      EXPECT_EQ(events.back().context, context);
    }
    return id;
  }

  // Small fixed socket buffers on both ends, so a burst fills the socket and sends queue behind
  // it instead of all going straight out.
  void ShrinkSocketBuffers(uint64_t id) {
    ASSERT_TRUE(platform::SetSocketBuffers(manager_->SocketOf(id), 16 * 1024, 16 * 1024));
    ASSERT_TRUE(platform::SetSocketBuffers(peer_, 16 * 1024, 16 * 1024));
  }

  void PeerWrite(const std::string& bytes) {
    ASSERT_TRUE(platform::WriteAll(peer_, bytes.data(), bytes.size()));
  }

  RecordingSink sink_;
  QConnMgr* manager_ = nullptr;
  int listener_ = -1;
  int peer_ = -1;
  uint16_t port_ = 0;
};

TEST_F(QConnMgrTest, FirstIdIsOneAndTheSocketIsCloseOnExecWithoutDelay) {
  const uint64_t id = Connect();
  EXPECT_EQ(id, 1u);
  const int fd = manager_->SocketOf(id);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(platform::IsCloseOnExec(fd));
  EXPECT_TRUE(platform::HasTcpNoDelay(fd));
}

TEST_F(QConnMgrTest, CoalescedAndSplitFramesAreDeliveredWholeAndInOrder) {
  const uint64_t id = Connect();
  const std::string a = Frame(Body("first")), b = Frame(Body("second", 20));
  PeerWrite(a + b);  // two frames in one write
  const std::string c = Frame(Body("byte by byte", 30));
  for (char ch : c) PeerWrite(std::string(1, ch));
  // Around the inline buffer's size, and one large frame.
  const std::string d = Frame(std::string(8191 - 4, 'd')), e = Frame(std::string(8192 - 4, 'e'));
  const std::string f = Frame(std::string(300000, 'f'));
  PeerWrite(d + e + f);
  // Frames too short for a header are still cut (and later rejected by the decoder).
  const std::string g = Frame(""), h = Frame("x");
  PeerWrite(g + h);
  const auto events = sink_.WaitFor(9);
  ASSERT_EQ(events.size(), 9u);
  const std::vector<std::string> expected = {a, b, c, d, e, f, g, h};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(events[i + 1].type, Event::kData);
    EXPECT_EQ(events[i + 1].id, id);
    EXPECT_EQ(events[i + 1].context, 7u);
    EXPECT_EQ(events[i + 1].frame, expected[i]) << i;
  }
}

TEST_F(QConnMgrTest, ABurstLongerThanAReadPassIsDeliveredWholeAndThenTheEnd) {
  struct Case {
    const char* name;
    bool reset;
  };
  for (const Case& c : {Case{"clean close", false}, Case{"reset", true}}) {
    SCOPED_TRACE(c.name);
    RecordingSink sink;
    auto* manager = new QConnMgr();
    ASSERT_TRUE(manager->Start(&sink));
    manager->ConnectTo("127.0.0.1", port_, 3, 3000);
    const int peer = platform::AcceptConnection(listener_);
    ASSERT_EQ(sink.WaitFor(1).size(), 1u);
    // Several read passes' worth in one write, in frames of odd sizes that straddle the reads.
    std::vector<std::string> frames;
    std::string burst;
    for (int i = 0; burst.size() < 3 * QConnChannel::kMaxTransferPerPass; ++i) {
      std::string body(8 + (i * 37171) % 200000, static_cast<char>('a' + i % 26));
      body[0] = static_cast<char>(i);
      frames.push_back(Frame(body));
      burst += frames.back();
    }
    ASSERT_TRUE(platform::WriteAll(peer, burst.data(), burst.size()));
    platform::CloseSocket(peer, c.reset);
    // A reset may discard what the manager had not read yet; a clean close loses nothing.
    const auto events = sink.WaitForType(Event::kClose);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.back().type, Event::kClose);
    if (!c.reset) {
      EXPECT_EQ(events.size(), frames.size() + 2);
    }
    for (size_t i = 1; i + 1 < events.size(); ++i) {
      ASSERT_EQ(events[i].type, Event::kData);
      ASSERT_TRUE(events[i].frame == frames[i - 1]) << "frame " << i - 1;
    }
    manager->Stop();
  }
}

TEST_F(QConnMgrTest, EndsOfTheConnectionAreReportedOnce) {
  struct Case {
    const char* name;
    std::string bytes;  // sent by the peer before it closes (or instead of closing)
    bool peer_closes;
    bool reset;
  };
  const std::vector<Case> cases = {
      {"clean close by the peer", "", true, false},
      {"reset by the peer", "", true, true},
      {"length over the cap", std::string("\x01\x00\x00\x00", 4), false, false},
      {"2^32-4 would wrap", std::string("\xff\xff\xff\xfc", 4), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSink sink;
    auto* manager = new QConnMgr();
    ASSERT_TRUE(manager->Start(&sink));
    const uint64_t id = manager->ConnectTo("127.0.0.1", port_, 3, 3000);
    const int peer = platform::AcceptConnection(listener_);
    ASSERT_EQ(sink.WaitFor(1).size(), 1u);
    // A valid frame first, so the case shows that the stream was read up to the fault.
    const std::string ok = Frame(Body("ok")) + c.bytes;
    ASSERT_TRUE(platform::WriteAll(peer, ok.data(), ok.size()));
    if (c.peer_closes) {
      sink.WaitFor(2);
      platform::CloseSocket(peer, c.reset);
    }
    auto events = sink.WaitFor(3);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].type, Event::kData);
    EXPECT_EQ(events[2].type, Event::kClose);
    EXPECT_EQ(events[2].id, id);
    EXPECT_EQ(events[2].context, 3u);
    // The manager closed its side: the peer sees the end of the stream.
    if (!c.peer_closes) {
      platform::SetReceiveTimeout(peer, 5000);
      char byte;
      EXPECT_EQ(platform::ReadSome(peer, &byte, 1), 0);
      platform::CloseSocket(peer);
    }
    // The channel is gone, and a later Close reports nothing more.
    for (int i = 0; i < 100 && manager->ChannelCount() != 0; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(manager->ChannelCount(), 0u);
    EXPECT_FALSE(manager->Send(id, "x", 1));
    manager->Close(id);
    manager->Stop();
    EXPECT_EQ(sink.Snapshot().size(), 3u);
  }
}

TEST_F(QConnMgrTest, CloseReportsOnceAndTheIdIsNotReused) {
  const uint64_t id = Connect();
  manager_->Close(id);
  manager_->Close(id);
  const auto events = sink_.WaitFor(2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].type, Event::kClose);
  char byte;
  EXPECT_EQ(platform::ReadSome(peer_, &byte, 1), 0);
  platform::CloseSocket(peer_);
  const uint64_t second = Connect();
  EXPECT_EQ(second, 2u);
  EXPECT_EQ(sink_.Snapshot().size(), 3u);
  EXPECT_FALSE(manager_->Send(id, "x", 1));
  EXPECT_TRUE(manager_->Send(second, "x", 1));
  EXPECT_TRUE(platform::ReadExact(peer_, &byte, 1));
  EXPECT_EQ(byte, 'x');
}

TEST_F(QConnMgrTest, ConnectFailures) {
  // Nothing listens on a port we just closed.
  uint16_t closed_port = 0;
  platform::CloseSocket(platform::ListenOnLoopback(&closed_port));
  const uint64_t refused = manager_->ConnectTo("127.0.0.1", closed_port, 1, 3000);
  EXPECT_NE(refused, 0u);

  // A name that does not resolve is reported on this thread before ConnectTo returns.
  const uint64_t unresolved = manager_->ConnectTo("", 10168, 2, 3000);
  auto events = sink_.Snapshot();
  bool reported_here = false;
  for (const Event& e : events) {
    if (e.id == unresolved && e.type == Event::kConnectFailed) {
      reported_here = e.thread == std::this_thread::get_id();
    }
  }
  EXPECT_TRUE(reported_here);

  // A port outside 1..65535 gets no connect: the time-out reports it.
  const uint64_t bad_port = manager_->ConnectTo("127.0.0.1", 70000, 3, 50);
  events = sink_.WaitFor(3);
  ASSERT_EQ(events.size(), 3u);
  for (const Event& e : events) {
    EXPECT_EQ(e.type, Event::kConnectFailed);
    EXPECT_TRUE(e.id == refused || e.id == unresolved || e.id == bad_port);
  }
  for (int i = 0; i < 100 && manager_->ChannelCount() != 0; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(manager_->ChannelCount(), 0u);
  EXPECT_EQ(sink_.Snapshot().size(), 3u);
}

TEST_F(QConnMgrTest, ClosingAConnectingChannelReportsNothing) {
  const uint64_t id = manager_->ConnectTo("127.0.0.1", 0, 1, 60000);
  manager_->Close(id);
  for (int i = 0; i < 100 && manager_->ChannelCount() != 0; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(manager_->ChannelCount(), 0u);
  EXPECT_TRUE(sink_.Snapshot().empty());
}

TEST_F(QConnMgrTest, TimeOutAfterASuccessfulConnectDoesNothing) {
  // Short, yet long enough for a loopback connect on a loaded machine.
  const uint64_t id = manager_->ConnectTo("127.0.0.1", port_, 1, 250);
  peer_ = platform::AcceptConnection(listener_);
  const auto events = sink_.WaitFor(1);
  ASSERT_EQ(events.size(), 1u);
  ASSERT_EQ(events[0].type, Event::kConnectOk);
  // Bounded: nothing must arrive, so wait well past the time-out.
  EXPECT_EQ(sink_.WaitFor(2, 600ms).size(), 1u);
  EXPECT_TRUE(manager_->Send(id, "x", 1));
}

TEST_F(QConnMgrTest, ConcurrentSendsKeepFramesWhole) {
  const uint64_t id = Connect();
  constexpr int kThreads = 8, kFrames = 200;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kFrames; ++i) {
        // Every byte of a frame's body names its sender, so an interleaving shows.
        const std::string frame = Frame(std::string(100 + (i % 7) * 1000, static_cast<char>('A' + t)));
        EXPECT_TRUE(manager_->Send(id, frame.data(), static_cast<uint32_t>(frame.size())));
      }
    });
  }
  int seen[kThreads] = {};
  for (int n = 0; n < kThreads * kFrames; ++n) {
    uint8_t prefix[4];
    ASSERT_TRUE(platform::ReadExact(peer_, prefix, 4));
    const uint32_t length = (prefix[0] << 24) | (prefix[1] << 16) | (prefix[2] << 8) | prefix[3];
    std::string body(length, '\0');
    ASSERT_TRUE(platform::ReadExact(peer_, body.data(), length));
    const int t = body[0] - 'A';
    ASSERT_TRUE(t >= 0 && t < kThreads);
    ASSERT_EQ(body.find_first_not_of(body[0]), std::string::npos) << "frame " << n;
    ++seen[t];
  }
  for (auto& s : senders) s.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(seen[t], kFrames);
}

TEST_F(QConnMgrTest, SentFramesArriveWholeAndInOrderWhateverTheirSize) {
  const uint64_t id = Connect();
  ShrinkSocketBuffers(id);
  // Around the size from which frames are copied into pooled blocks, around the block size, and
  // frames of many blocks with a part-filled last one.
  const std::vector<size_t> sizes = {8,         16 * 1024 - 5, 16 * 1024 - 4, 64 * 1024 - 4,
                                     64 * 1024 - 3, 300000,   (1 << 20) + 3, 17};
  std::vector<std::string> frames;
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::string body(sizes[i], '\0');
    // Every byte differs from its neighbours, so a block out of order or dropped shows.
    for (size_t k = 0; k < body.size(); ++k) body[k] = static_cast<char>((k * 131 + i) >> 3);
    frames.push_back(Frame(body));
  }
  // Queued in one burst (the socket cannot take it all at once), read only afterwards.
  for (const std::string& frame : frames) {
    ASSERT_TRUE(manager_->Send(id, frame.data(), static_cast<uint32_t>(frame.size())));
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    std::string got(frames[i].size(), '\0');
    ASSERT_TRUE(platform::ReadExact(peer_, got.data(), got.size())) << "frame " << i;
    EXPECT_TRUE(got == frames[i]) << "frame " << i << " of " << sizes[i] << " bytes differs";
  }
}

TEST_F(QConnMgrTest, FramesKeepTheirOrderAcrossDirectAndQueuedWrites) {
  const uint64_t id = Connect();
  ShrinkSocketBuffers(id);
  // Senders send in bursts whose large frames fill the small socket buffers, so the rest of a
  // burst queues behind what the socket did not take; before the next burst they wait until the
  // reader has everything, so the queue drains and frames go straight to the socket again. Each
  // sender's frames must arrive whole and in order.
  constexpr int kSenders = 2;
  constexpr uint32_t kFrames = 600, kBurst = 30;
  const size_t sizes[] = {20, 5000, 200, 90000, 40, 30000};
  std::atomic<uint32_t> sent{0}, received{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < kSenders; ++t) {
    senders.emplace_back([&, t] {
      for (uint32_t n = 0; n < kFrames; ++n) {
        // | sender | sequence number | the sender's letter ... |
        std::string body(sizes[n % 6], static_cast<char>('A' + t));
        body[0] = static_cast<char>(t);
        body.replace(1, 4, reinterpret_cast<const char*>(&n), 4);
        const std::string frame = Frame(body);
        EXPECT_TRUE(manager_->Send(id, frame.data(), static_cast<uint32_t>(frame.size())));
        const uint32_t total = ++sent;
        if (n % kBurst == kBurst - 1) {
          const auto limit = std::chrono::steady_clock::now() + 10s;
          while (received.load() < total && std::chrono::steady_clock::now() < limit) {
            std::this_thread::yield();
          }
        }
      }
    });
  }
  uint32_t next[kSenders] = {};
  for (uint32_t n = 0; n < kSenders * kFrames; ++n) {
    uint8_t prefix[4];
    ASSERT_TRUE(platform::ReadExact(peer_, prefix, 4));
    const uint32_t length = (prefix[0] << 24) | (prefix[1] << 16) | (prefix[2] << 8) | prefix[3];
    ASSERT_GE(length, 5u) << "frame " << n;
    std::string body(length, '\0');
    ASSERT_TRUE(platform::ReadExact(peer_, body.data(), length));
    const int t = body[0];
    ASSERT_TRUE(t >= 0 && t < kSenders) << "frame " << n;
    uint32_t seq;
    std::memcpy(&seq, body.data() + 1, 4);
    ASSERT_EQ(seq, next[t]) << "sender " << t;
    ASSERT_EQ(length, sizes[seq % 6]);
    ASSERT_EQ(body.find_first_not_of(static_cast<char>('A' + t), 5), std::string::npos)
        << "frame " << n;
    ++next[t];
    ++received;
  }
  for (auto& s : senders) s.join();
}

// Sends race with the end of the connection from both sides; the sanitizer checks that no send
// touches a freed bufferevent.
TEST_F(QConnMgrTest, SendsRacingWithCloseAndReset) {
  for (int round = 0; round < 20; ++round) {
    const uint64_t id = manager_->ConnectTo("127.0.0.1", port_, 0, 3000);
    const int peer = platform::AcceptConnection(listener_);
    const auto events = sink_.WaitFor(2 * round + 1);
    ASSERT_EQ(events.size(), 2u * round + 1) << "round " << round << ", last event type "
                                             << (events.empty() ? -1 : events.back().type) << " id " << id << " got "
                                             << (events.empty() ? 0 : events.back().id);
    std::atomic<bool> go{true};
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t) {
      senders.emplace_back([&] {
        const std::string frame = Frame(Body("race", 64));
        while (go.load()) manager_->Send(id, frame.data(), static_cast<uint32_t>(frame.size()));
      });
    }
    std::this_thread::sleep_for(1ms);
    if (round % 2 == 0) {
      platform::CloseSocket(peer, /*reset=*/true);
      std::this_thread::sleep_for(2ms);
      manager_->Close(id);
    } else {
      manager_->Close(id);
      std::this_thread::sleep_for(2ms);
      platform::CloseSocket(peer, /*reset=*/true);
    }
    std::this_thread::sleep_for(2ms);
    go = false;
    for (auto& s : senders) s.join();
  }
  for (int i = 0; i < 200 && manager_->ChannelCount() != 0; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(manager_->ChannelCount(), 0u);
  // Every connection was reported as made and as closed, each once.
  int ok = 0, closed = 0;
  for (const Event& e : sink_.Snapshot()) {
    ok += e.type == Event::kConnectOk;
    closed += e.type == Event::kClose;
  }
  EXPECT_EQ(ok, 20);
  EXPECT_EQ(closed, 20);
}

TEST_F(QConnMgrTest, StopClosesSilentlyAndNothingIsReportedAfterIt) {
  Connect();
  PeerWrite(Frame(Body("before stop")));
  ASSERT_EQ(sink_.WaitFor(2).size(), 2u);
  manager_->Stop();
  manager_ = nullptr;
  // The peer sees the end of the stream; the sink heard nothing of the stop.
  char byte;
  EXPECT_EQ(platform::ReadSome(peer_, &byte, 1), 0);
  EXPECT_EQ(sink_.Snapshot().size(), 2u);
}

TEST(QConnMgrLifecycleTest, StopRightAfterStartEndsTheLoop) {
  for (int i = 0; i < 50; ++i) {
    RecordingSink sink;
    ICMGR_ConnManager* manager = chCreateConnManager();
    ASSERT_NE(manager, nullptr);
    ASSERT_TRUE(manager->Start(&sink));
    manager->Stop();  // must not hang however early it comes
  }
}

TEST(QConnMgrLifecycleTest, UnknownIdsAreRefused) {
  RecordingSink sink;
  auto* manager = new QConnMgr();
  ASSERT_TRUE(manager->Start(&sink));
  EXPECT_FALSE(manager->Send(1, "x", 1));
  manager->Close(42);
  manager->Stop();
  EXPECT_TRUE(sink.Snapshot().empty());
}

TEST(QConnMgrLifecycleTest, ResolveHostsFillsTheTable) {
  RecordingSink sink;
  auto* manager = new QConnMgr();
  ASSERT_TRUE(manager->Start(&sink));
  HostEntry table[2] = {};
  table[0].host = "127.0.0.1";
  table[1].host = "";
  table[0].caller_word0 = table[1].caller_word0 = 0x55;
  manager->ResolveHosts(2, table, 1, 2, 3);
  // The table is filled on the loop thread; Stop joins it, so after a bounded wait it is done.
  for (int i = 0; i < 200 && table[1].failure[0] == 0; ++i) std::this_thread::sleep_for(5ms);
  manager->Stop();
  EXPECT_EQ(table[0].address, 0x0100007fu);
  EXPECT_EQ(table[0].failure[0], 0u);
  EXPECT_EQ(table[1].address, 0u);
  EXPECT_EQ(table[1].failure[0], 1000u);
  EXPECT_EQ(table[1].failure[1], 1000u);
  EXPECT_EQ(table[0].caller_word0, 0x55u);
}

}  // namespace
