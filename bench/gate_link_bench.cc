// Gate-link figures, each beside its baseline from the same run:
//   codec:      EncodeFrame / DecodeFrame of a 64 KiB frame   vs  memcpy of the same bytes
//   throughput: 64 KiB frames through QConnMgr to a reader     vs  a blocking socket pair
//               (and from a writer through QConnMgr to its sink, against the same pair)
//   round trip: a small frame echoed through QConnMgr         vs  blocking socket ping-pong
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    gateframe::EncodeFrame(frame, &out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(out.size()));
}
BENCHMARK(BM_EncodeFrame);

void BM_DecodeFrame(benchmark::State& state) {
  const std::string bytes = MakeFrame(kBigPayload);
  gateframe::PacketFrame frame;
  for (auto _ : state) {
    gateframe::DecodeFrame(bytes.data(), bytes.size(), &frame);
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

// Counts delivered frames and wakes a waiter.
class Sink : public ICMGR_ChannelSink {
 public:
  void OnConnectionClose(uint64_t, uint32_t) override {}
  void OnDataMessage(uint64_t, const void*, uint32_t, uint32_t) override { Bump(frames_); }
  void OnConnectToRet(uint64_t, bool ok, uint32_t) override {
    if (ok) Bump(connected_);
  }
  void WaitConnected() { Wait(connected_, 1); }
  void WaitFrames(uint64_t n) { Wait(frames_, n); }
  uint64_t frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }

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

// Reads `total` bytes from `fd` in large chunks.
void Drain(int fd, int64_t total) {
  std::vector<char> buffer(256 * 1024);
  while (total > 0) {
    const long got = platform::ReadSome(fd, buffer.data(), buffer.size());
    if (got <= 0) return;
    total -= got;
  }
}

constexpr int kFramesPerIteration = 256;

void BM_ThroughputQConnMgr(benchmark::State& state) {
  ManagerLink link;
  const std::string frame = MakeFrame(kBigPayload - 12);  // 64 KiB on the wire
  const int64_t batch = static_cast<int64_t>(frame.size()) * kFramesPerIteration;
  for (auto _ : state) {
    std::thread reader(Drain, link.peer, batch);
    for (int i = 0; i < kFramesPerIteration; ++i) {
      link.manager->Send(link.id, frame.data(), static_cast<uint32_t>(frame.size()));
    }
    reader.join();
  }
  state.SetBytesProcessed(state.iterations() * batch);
}
BENCHMARK(BM_ThroughputQConnMgr)->UseRealTime();

// The other direction: the peer writes 64 KiB frames, the manager cuts and delivers them.
void BM_ReceiveQConnMgr(benchmark::State& state) {
  ManagerLink link;
  const std::string frame = MakeFrame(kBigPayload - 12);
  std::string batch_bytes;
  for (int i = 0; i < kFramesPerIteration; ++i) batch_bytes += frame;
  uint64_t expected = 0;
  for (auto _ : state) {
    platform::WriteAll(link.peer, batch_bytes.data(), batch_bytes.size());
    expected += kFramesPerIteration;
    link.sink.WaitFrames(expected);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(batch_bytes.size()));
}
BENCHMARK(BM_ReceiveQConnMgr)->UseRealTime();

void BM_ThroughputSocketBaseline(benchmark::State& state) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(&port);
  const int sender = platform::ConnectToLoopback(port);
  const int peer = platform::AcceptConnection(listener);
  const std::string frame = MakeFrame(kBigPayload - 12);
  const int64_t batch = static_cast<int64_t>(frame.size()) * kFramesPerIteration;
  for (auto _ : state) {
    std::thread reader(Drain, peer, batch);
    for (int i = 0; i < kFramesPerIteration; ++i) {
      platform::WriteAll(sender, frame.data(), frame.size());
    }
    reader.join();
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
    if (!platform::ReadExact(fd, body.data(), length)) return;
    if (!platform::WriteAll(fd, prefix, 4) || !platform::WriteAll(fd, body.data(), length)) return;
  }
}

void BM_RoundTripQConnMgr(benchmark::State& state) {
  auto link = std::make_unique<ManagerLink>();
  std::thread echo(Echo, link->peer);
  const std::string frame = MakeFrame(16);
  uint64_t expected = 0;
  for (auto _ : state) {
    link->manager->Send(link->id, frame.data(), static_cast<uint32_t>(frame.size()));
    link->sink.WaitFrames(++expected);
  }
  link.reset();  // the manager's side closes first, which ends the echo's read
  echo.join();
}
BENCHMARK(BM_RoundTripQConnMgr)->UseRealTime();

void BM_RoundTripSocketBaseline(benchmark::State& state) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(&port);
  const int client = platform::ConnectToLoopback(port);
  const int peer = platform::AcceptConnection(listener);
  std::thread echo(Echo, peer);
  const std::string frame = MakeFrame(16);
  std::string back(frame.size(), '\0');
  for (auto _ : state) {
    platform::WriteAll(client, frame.data(), frame.size());
    platform::ReadExact(client, back.data(), back.size());
  }
  platform::CloseSocket(client);
  echo.join();
  platform::CloseSocket(peer);
  platform::CloseSocket(listener);
}
BENCHMARK(BM_RoundTripSocketBaseline)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
