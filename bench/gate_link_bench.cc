// Gate-link figures, each beside its baseline from the same run:
//   codec:      EncodeFrame / DecodeFrame of a 64 KiB frame   vs  memcpy of the same bytes
//   throughput: 64 KiB frames through QConnMgr to a reader     vs  a blocking socket pair
//   receive:    64 KiB frames from a writer through QConnMgr   vs  the same frames read from a
//               to its sink                                        socket pair and cut there
//   round trip: a small frame echoed through QConnMgr         vs  blocking socket ping-pong
// Every frame that arrives is compared with the one sent, and every send's result is checked. The
// baselines' sockets carry TCP_NODELAY, as the manager's do.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/interleaved_main.h"
#include "gateclient/net/conn_manager.h"
#include "gateclient/net/packet_frame.h"
#include "gateclient/net/qconn_mgr.h"
#include "platform/net.h"

namespace {

constexpr size_t kBigPayload = 64 * 1024;

std::string MakeFrame(size_t payload_bytes) {
  gateframe::PacketFrame frame;
  frame.kind = 12;
  frame.subid = 3;
  frame.payload.assign(payload_bytes, 'p');
  std::string out;
  gateframe::EncodeFrame(frame, &out);
  return out;
}

void BM_EncodeFrame(benchmark::State& state) {
  gateframe::PacketFrame frame;
  frame.kind = 12;
  frame.subid = 3;
  frame.payload.assign(kBigPayload, 'p');
  std::string out;
  for (auto _ : state) {
    out.clear();
    if (!gateframe::EncodeFrame(frame, &out)) {
      state.SkipWithError("the frame did not encode");
      return;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(out.size()));
}
BENCHMARK(BM_EncodeFrame);

void BM_DecodeFrame(benchmark::State& state) {
  const std::string bytes = MakeFrame(kBigPayload);
  gateframe::PacketFrame frame;
  for (auto _ : state) {
    if (gateframe::DecodeFrame(bytes.data(), bytes.size(), &frame) !=
            gateframe::DecodeError::kNone ||
        frame.payload.size() != kBigPayload) {
      state.SkipWithError("the frame did not decode whole");
      return;
    }
    benchmark::DoNotOptimize(frame.payload.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeFrame);

void BM_CopyBaseline(benchmark::State& state) {
  const std::string bytes = MakeFrame(kBigPayload);
  std::string out;
  for (auto _ : state) {
    out.assign(bytes);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_CopyBaseline);

// Counts delivered frames, checks each against the frame that was sent, and wakes a waiter.
class Sink : public ICMGR_ChannelSink {
 public:
  void OnConnectionClose(uint64_t, uint32_t) override {}
  void OnDataMessage(uint64_t, const void* frame, uint32_t length, uint32_t) override {
    if (length != expected_.size() || std::memcmp(frame, expected_.data(), length) != 0)
      wrong_.fetch_add(1);
    Bump(frames_);
  }
  void OnConnectToRet(uint64_t, bool ok, uint32_t) override {
    if (ok)
      Bump(connected_);
  }
  // REQUIRES: no frame is on its way.
  void Expect(std::string frame) { expected_ = std::move(frame); }
  void WaitConnected() { Wait(connected_, 1); }
  void WaitFrames(uint64_t n) { Wait(frames_, n); }
  uint64_t wrong() const { return wrong_.load(); }

 private:
  void Bump(uint64_t& counter) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++counter;
    }
    // Outside the lock, so the woken waiter does not block at once on the reporting thread.
    changed_.notify_all();
  }
  void Wait(uint64_t& counter, uint64_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return counter >= n; });
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t frames_ = 0;
  uint64_t connected_ = 0;
  std::string expected_;
  std::atomic<uint64_t> wrong_{0};
};

// A manager connected to a blocking peer socket on loopback.
struct ManagerLink {
  ManagerLink() {
    listener = platform::ListenOnLoopback(&port);
    manager = new QConnMgr();
    manager->Start(&sink);
    id = manager->ConnectTo("127.0.0.1", port, 0, 3000);
    peer = platform::AcceptConnection(listener);
    sink.WaitConnected();
  }
  ~ManagerLink() {
    manager->Stop();
    platform::CloseSocket(peer);
    platform::CloseSocket(listener);
  }
  Sink sink;
  QConnMgr* manager;
  uint16_t port = 0;
  int listener = -1, peer = -1;
  uint64_t id = 0;
};

// Reads `total` bytes from `fd` in large chunks; false unless they are `frame` over and over.
bool Drain(int fd, int64_t total, const std::string& frame) {
  std::vector<char> buffer(256 * 1024);
  size_t at = 0;  // position in `frame` of the next byte
  bool same = true;
  while (total > 0) {
    const long got = platform::ReadSome(fd, buffer.data(), buffer.size());
    if (got <= 0)
      return false;
    for (size_t done = 0; done < static_cast<size_t>(got);) {
      const size_t part = std::min(static_cast<size_t>(got) - done, frame.size() - at);
      same = same && std::memcmp(buffer.data() + done, frame.data() + at, part) == 0;
      done += part;
      at = (at + part) % frame.size();
    }
    total -= got;
  }
  return same && total == 0;
}

// The draining side of a throughput run, on its own thread.
class Drainer {
 public:
  Drainer(int fd, int64_t total, const std::string& frame)
      : thread_([this, fd, total, &frame] { ok_ = Drain(fd, total, frame); }) {}
  bool Join() {
    thread_.join();
    return ok_;
  }

 private:
  bool ok_ = false;
  std::thread thread_;
};

constexpr int kFramesPerIteration = 256;

void BM_ThroughputQConnMgr(benchmark::State& state) {
  ManagerLink link;
  const std::string frame = MakeFrame(kBigPayload - 12);  // 64 KiB on the wire
  const int64_t batch = static_cast<int64_t>(frame.size()) * kFramesPerIteration;
  for (auto _ : state) {
    Drainer reader(link.peer, batch, frame);
    bool sent = true;
    for (int i = 0; i < kFramesPerIteration; ++i) {
      sent = link.manager->Send(link.id, frame.data(), static_cast<uint32_t>(frame.size())) && sent;
    }
    if (!reader.Join() || !sent) {
      state.SkipWithError("a frame was refused or did not arrive as sent");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * batch);
}
BENCHMARK(BM_ThroughputQConnMgr)->UseRealTime();

// The other direction: the peer writes 64 KiB frames, the manager cuts and delivers them.
void BM_ReceiveQConnMgr(benchmark::State& state) {
  ManagerLink link;
  const std::string frame = MakeFrame(kBigPayload - 12);
  std::string batch_bytes;
  for (int i = 0; i < kFramesPerIteration; ++i)
    batch_bytes += frame;
  link.sink.Expect(frame);
  uint64_t expected = 0;
  for (auto _ : state) {
    if (!platform::WriteAll(link.peer, batch_bytes.data(), batch_bytes.size())) {
      state.SkipWithError("the peer could not write");
      return;
    }
    expected += kFramesPerIteration;
    link.sink.WaitFrames(expected);
  }
  if (link.sink.wrong() != 0)
    state.SkipWithError("a frame arrived changed");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(batch_bytes.size()));
}
BENCHMARK(BM_ReceiveQConnMgr)->UseRealTime();

// Its baseline: the same frames written into a plain socket pair, read in large chunks, cut at
// their length prefixes and checked as the manager's are.
void BM_ReceiveSocketBaseline(benchmark::State& state) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(&port);
  const int reader = platform::ConnectToLoopback(port);
  const int peer = platform::AcceptConnection(listener);
  platform::SetTcpNoDelay(reader);  // as the manager's own socket
  const std::string frame = MakeFrame(kBigPayload - 12);
  std::string batch_bytes;
  for (int i = 0; i < kFramesPerIteration; ++i)
    batch_bytes += frame;
  // Frames are cut where they were read; only a frame's unread rest is moved to the front.
  std::vector<char> buffer(4 * 1024 * 1024 + frame.size());
  size_t filled = 0;
  uint64_t wrong = 0;
  for (auto _ : state) {
    std::thread writer([&] { platform::WriteAll(peer, batch_bytes.data(), batch_bytes.size()); });
    for (int frames = 0; frames < kFramesPerIteration;) {
      const long got = platform::ReadSome(reader, buffer.data() + filled, buffer.size() - filled);
      if (got <= 0)
        break;
      filled += static_cast<size_t>(got);
      size_t at = 0;
      while (filled - at >= 4) {
        const uint32_t length =
            static_cast<uint8_t>(buffer[at]) << 24 | static_cast<uint8_t>(buffer[at + 1]) << 16 |
            static_cast<uint8_t>(buffer[at + 2]) << 8 | static_cast<uint8_t>(buffer[at + 3]);
        if (size_t{4} + length > frame.size()) {
          ++wrong;  // no frame of this run is longer
          break;
        }
        if (filled - at < size_t{4} + length)
          break;
        wrong += size_t{4} + length != frame.size() ||
                 std::memcmp(buffer.data() + at, frame.data(), frame.size()) != 0;
        at += size_t{4} + length;
        ++frames;
      }
      std::memmove(buffer.data(), buffer.data() + at, filled - at);
      filled -= at;
      if (wrong != 0)
        break;
    }
    writer.join();
  }
  if (wrong != 0)
    state.SkipWithError("a frame arrived changed");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(batch_bytes.size()));
  platform::CloseSocket(reader);
  platform::CloseSocket(peer);
  platform::CloseSocket(listener);
}
BENCHMARK(BM_ReceiveSocketBaseline)->UseRealTime();

void BM_ThroughputSocketBaseline(benchmark::State& state) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(&port);
  const int sender = platform::ConnectToLoopback(port);
  const int peer = platform::AcceptConnection(listener);
  platform::SetTcpNoDelay(sender);  // as the manager's own socket
  const std::string frame = MakeFrame(kBigPayload - 12);
  const int64_t batch = static_cast<int64_t>(frame.size()) * kFramesPerIteration;
  for (auto _ : state) {
    Drainer reader(peer, batch, frame);
    bool sent = true;
    for (int i = 0; i < kFramesPerIteration; ++i)
      sent = platform::WriteAll(sender, frame.data(), frame.size()) && sent;
    if (!reader.Join() || !sent) {
      state.SkipWithError("a frame was not written or did not arrive as sent");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * batch);
  platform::CloseSocket(sender);
  platform::CloseSocket(peer);
  platform::CloseSocket(listener);
}
BENCHMARK(BM_ThroughputSocketBaseline)->UseRealTime();

// Echoes every frame back until the socket closes.
void Echo(int fd) {
  char prefix[4];
  std::string body;
  while (platform::ReadExact(fd, prefix, 4)) {
    const uint32_t length = static_cast<uint8_t>(prefix[0]) << 24 |
                            static_cast<uint8_t>(prefix[1]) << 16 |
                            static_cast<uint8_t>(prefix[2]) << 8 | static_cast<uint8_t>(prefix[3]);
    body.resize(length);
    if (!platform::ReadExact(fd, body.data(), length))
      return;
    if (!platform::WriteAll(fd, prefix, 4) || !platform::WriteAll(fd, body.data(), length))
      return;
  }
}

void BM_RoundTripQConnMgr(benchmark::State& state) {
  auto link = std::make_unique<ManagerLink>();
  std::thread echo(Echo, link->peer);
  const std::string frame = MakeFrame(16);
  link->sink.Expect(frame);
  uint64_t expected = 0;
  for (auto _ : state) {
    if (!link->manager->Send(link->id, frame.data(), static_cast<uint32_t>(frame.size()))) {
      state.SkipWithError("the manager refused a frame");
      break;
    }
    link->sink.WaitFrames(++expected);
  }
  if (link->sink.wrong() != 0)
    state.SkipWithError("an echo came back changed");
  link.reset();  // the manager's side closes first, which ends the echo's read
  echo.join();
}
BENCHMARK(BM_RoundTripQConnMgr)->UseRealTime();

void BM_RoundTripSocketBaseline(benchmark::State& state) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(&port);
  const int client = platform::ConnectToLoopback(port);
  const int peer = platform::AcceptConnection(listener);
  platform::SetTcpNoDelay(client);  // as the manager's own socket
  std::thread echo(Echo, peer);
  const std::string frame = MakeFrame(16);
  std::string back(frame.size(), '\0');
  for (auto _ : state) {
    if (!platform::WriteAll(client, frame.data(), frame.size()) ||
        !platform::ReadExact(client, back.data(), back.size()) || back != frame) {
      state.SkipWithError("an echo did not come back as sent");
      break;
    }
  }
  platform::CloseSocket(client);
  echo.join();
  platform::CloseSocket(peer);
  platform::CloseSocket(listener);
}
BENCHMARK(BM_RoundTripSocketBaseline)->UseRealTime();

}  // namespace

TARVIX_BENCHMARK_MAIN()
