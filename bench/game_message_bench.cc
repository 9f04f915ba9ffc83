// A game's messages through the hall, each beside its baseline in the same run:
//   round trip: a match command from the gate's side through a PlanTable and its channel to a
//               game process, which answers at once; the answer comes back through the channel
//               and the table to the gate's send path (timed when it gets there, on the
//               channel's worker). Baseline: a ping-pong of the same sizes over a Unix stream
//               socket pair between the same two processes (timed when the read returns).
//               Second baseline, of the channel's own shape: a socket relay, where the answer
//               comes back on a second socket read by a third thread of the hall, as the
//               channel's answers come to its worker rather than to the thread that sent.
//                 paced:    one round trip every 2 ms, so each message finds the other side
//                           asleep, as a game's few messages a second do (the channel as built)
//                 flat out: back to back, the channel without its receive bound (the bound
//                           holds anything faster than 1,000 messages a second)
//   flood:      the game writes kFloodMessages as fast as it can; rate at the gate's send path,
//               with the bound as built and without it. Baseline: the same messages over the
//               socket pair.
// p50 / p99 are the medians, over interleaved repetitions, of each repetition's percentiles.
//
// The game is this program started again by the plan table (the launch parameters on its command
// line, TARVIX_BENCH_GAME_SOCKET in its environment). The table starts games without inherited
// descriptors, so the socket pair is made by connecting to an abstract name.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/interleaved_main.h"
#include "gate/gate.pb.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/ipc/cxqueue.h"
#include "gateclient/ipc/ipc_frames.h"
#include "gateclient/ipc/win_ipc_impl.h"
#include "gateclient/plan_table/plan_table.h"
#include "interface/command_ids.h"
#include "platform/process.h"

namespace {

constexpr const char kEnvSocket[] = "TARVIX_BENCH_GAME_SOCKET";
constexpr uint16_t kGameKind = 502;
// Match commands of the bench: answered, or answered with a flood of kFloodMessages.
constexpr uint16_t kEchoSubid = 3;
constexpr uint16_t kFloodSubid = 40;
constexpr uint16_t kAnswerSubid = 4;
constexpr size_t kCommandBytes = 48;  // the command's message
constexpr size_t kAnswerBytes = 32;   // the game's answer
constexpr int kFloodMessages = 20'000;
constexpr int kBoundedFloodMessages = 2'000;  // at the bound's 1,000 a second
constexpr auto kPace = std::chrono::milliseconds(2);

bool ReadFull(int fd, char* p, size_t n) {
  while (n > 0) {
    ssize_t r = read(fd, p, n);
    if (r <= 0)
      return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool WriteFull(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t r = write(fd, p, n);
    if (r <= 0)
      return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// Socket messages: u32 length, then the bytes; the first byte says echo ('e'), answer on the relay
// socket ('r') or flood ('f').
bool WriteMessage(int fd, const std::string& bytes) {
  uint32_t len = static_cast<uint32_t>(bytes.size());
  std::string frame(reinterpret_cast<const char*>(&len), 4);
  frame += bytes;
  return WriteFull(fd, frame.data(), frame.size());
}

bool ReadMessage(int fd, std::string* bytes) {
  uint32_t len;
  if (!ReadFull(fd, reinterpret_cast<char*>(&len), 4) || len > (1u << 20))
    return false;
  bytes->resize(len);
  return ReadFull(fd, bytes->data(), len);
}

sockaddr_un AbstractAddress(const std::string& name, socklen_t* length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.data(),
              std::min(name.size(), sizeof address.sun_path - 2));
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return address;
}

// ---------------------------------------------------------------------------------------------
// The game

uint64_t LaunchNumber(const std::string& params, const std::string& key) {
  const size_t at = params.find(key);
  return at == std::string::npos ? 0 : std::strtoull(params.c_str() + at + key.size(), nullptr, 10);
}

void WriteGameFrame(CXQueue& out, const std::string& frame) {
  while (out.Write(frame.data(), static_cast<uint32_t>(frame.size())) != kQueueOk) {
  }
}

void GameSocketLoop(int fd, int relay_fd, std::atomic<bool>* done) {
  std::string message;
  const std::string answer = "a" + std::string(kAnswerBytes - 1, 's');
  while (ReadMessage(fd, &message)) {
    if (!message.empty() && message[0] == 'f') {
      for (int i = 0; i < kFloodMessages; ++i)
        WriteMessage(fd, answer);
    } else if (!WriteMessage(!message.empty() && message[0] == 'r' ? relay_fd : fd, answer)) {
      break;
    }
  }
  *done = true;
}

int ConnectToHall() {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  socklen_t length;
  sockaddr_un address = AbstractAddress(std::getenv(kEnvSocket), &length);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int RunGame(int argc, char** argv) {
  std::string params;
  for (int i = 1; i < argc; ++i)
    params += argv[i];
  const auto pid = static_cast<uint32_t>(LaunchNumber(params, "process_id:"));
  const uint64_t key = LaunchNumber(params, "plan_id:");
  CXQueue in, out;
  if (in.Open(qvc::ToClientQueueName(pid, key).c_str()) != kQueueOk ||
      out.Open(qvc::ToServerQueueName(pid, key).c_str()) != kQueueOk) {
    return 3;
  }
  // The echo socket first, then the relay's: the hall accepts them in this order.
  const int fd = ConnectToHall();
  const int relay_fd = fd < 0 ? -1 : ConnectToHall();
  if (relay_fd < 0)
    return 4;
  std::atomic<bool> done{false};
  std::thread socket_loop(GameSocketLoop, fd, relay_fd, &done);

  const std::string answer = qvc::EncodeGameFrame(
      {0, qv::cmd::kKindMatchClient, kAnswerSubid, std::string(kAnswerBytes, 'g')});
  std::string buffer(1 << 20, '\0');
  qv::gate::TransferDataReq wrap;
  while (!done) {
    uint32_t length = static_cast<uint32_t>(buffer.size()), sequence = 0;
    const uint32_t rc = in.Read(buffer.data(), &length, &sequence, nullptr, 100);
    if (rc == kQueueEmpty) {
      in.WaitForData(50);
      continue;
    }
    if (rc != kQueueOk)
      continue;
    // A game reads the command out of the hall's frame before it answers.
    auto frame = qvc::DecodeHallFrame(std::string_view(buffer.data(), length));
    if (!frame || frame->type != qvc::kIpcFrameMessage || !wrap.ParseFromString(frame->body))
      continue;
    if (wrap.data_cmd_subid() == kFloodSubid) {
      for (int i = 0; i < std::atoi(wrap.data().c_str()); ++i)
        WriteGameFrame(out, answer);
    } else {
      WriteGameFrame(out, answer);
    }
  }
  socket_loop.join();
  close(fd);
  close(relay_fd);
  return 0;
}

// ---------------------------------------------------------------------------------------------
// The hall

using Clock = std::chrono::steady_clock;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// Answers counted where they arrive, and the time of the last; wakes the waiting benchmark.
struct Arrivals {
  void Record(bool right) {
    if (!right)
      wrong.fetch_add(1);
    // The answer has arrived now; waking the benchmark's thread is not part of the round trip.
    last_arrival_ns.store(NowNs(), std::memory_order_relaxed);
    received.fetch_add(1, std::memory_order_release);
    received.notify_all();
  }
  // Waits until `count` answers have arrived in all.
  void WaitFor(uint32_t count) {
    for (uint32_t now = received.load(std::memory_order_acquire); now < count;
         now = received.load(std::memory_order_acquire)) {
      received.wait(now);
    }
  }

  std::atomic<uint32_t> received{0};
  std::atomic<uint32_t> wrong{0};
  std::atomic<int64_t> last_arrival_ns{0};
};

// The gate's send path: counts what the tables hand it.
class CountingHost : public qvc::PlanHost, public Arrivals {
 public:
  std::unique_ptr<qv::CMD_base> StoredLoginReply() override { return nullptr; }
  std::unique_ptr<qv::CMD_base> StoredMatchDetail(uint32_t) override { return nullptr; }
  void RequestMatchDetail(uint32_t) override {}
  void SendThroughGate(qv::CMD_base&) override {}
  void SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message) override {
    Record(message->gate_kind == qv::cmd::kKindMatchClient && message->gate_subid == kAnswerSubid &&
           message->payload.size() == kAnswerBytes);
  }
};

// One game: its plan table, channel and process, and the echo and relay sockets to the same
// process.
class Game {
 public:
  explicit Game(bool bounded) {
    static int counter = 0;
    socket_name_ = "tvx-game-bench-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length;
    sockaddr_un address = AbstractAddress(socket_name_, &length);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 1) != 0) {
      return;
    }
    setenv(kEnvSocket, socket_name_.c_str(), 1);
    qvc::PlanTableEnv env;
    env.host = &host_;
    env.launcher = &platform::SystemProcessLauncher();
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
      return;
    env.games = {std::to_string(kGameKind), std::string(self, static_cast<size_t>(n)), "res"};
    env.program_dir = "/tmp";
    env.make_channel = [bounded]() -> std::unique_ptr<qvc::IWinIpc> {
      return std::make_unique<qvc::WinIpcImpl>(
          platform::SystemClock(),
          bounded ? qvc::IpcReceiveBounds() : qvc::IpcReceiveBounds::Unbounded());
    };
    table_ = std::make_unique<qvc::PlanTable>(env);
    qv::CmdMatchStart start;
    start.message.set_match_id(7);
    start.message.set_game_kind(kGameKind);
    if (!table_->StartGame(start, 900 + counter, 0))
      return;
    socket_ = accept(listener_, nullptr, nullptr);
    relay_socket_ = socket_ < 0 ? -1 : accept(listener_, nullptr, nullptr);
    if (relay_socket_ < 0)
      return;
    relay_reader_ = std::thread(&Game::ReadRelay, this);
    ok_ = true;
  }

  ~Game() {
    if (socket_ >= 0)
      close(socket_);  // the game ends when its socket does
    if (table_)
      table_->TerminateGame(5000);
    if (relay_reader_.joinable()) {
      shutdown(relay_socket_, SHUT_RDWR);
      relay_reader_.join();
    }
    if (relay_socket_ >= 0)
      close(relay_socket_);
    if (listener_ >= 0)
      close(listener_);
  }

  bool ok() const { return ok_; }
  CountingHost& host() { return host_; }

  void SendCommand(uint16_t subid, std::string payload) {
    qv::CMD_base command(qv::cmd::kKindMatchClient, subid);
    command.payload = std::move(payload);
    table_->SendToGame(command);
  }
  int socket_fd() const { return socket_; }
  // What the relay socket's reader has counted, as the host counts the channel's answers.
  Arrivals& relay() { return relay_; }

 private:
  // The hall's third thread of the relay: what it reads goes where the channel's answers go.
  void ReadRelay() {
    std::string answer;
    while (ReadMessage(relay_socket_, &answer))
      relay_.Record(answer.size() == kAnswerBytes);
  }

  std::string socket_name_;
  int listener_ = -1;
  int socket_ = -1;
  int relay_socket_ = -1;
  std::thread relay_reader_;
  Arrivals relay_;
  bool ok_ = false;
  CountingHost host_;
  std::unique_ptr<qvc::PlanTable> table_;
};

Game& TheGame(bool bounded) {
  static Game as_built(true);
  static Game unbounded(false);
  return bounded ? as_built : unbounded;
}

// Percentiles of one repetition, in microseconds.
void ReportPercentiles(benchmark::State& state, std::vector<double>& us) {
  if (us.empty())
    return;
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Round trips timed from the send to the answer's arrival where `arrivals` counts it; `send` says
// whether the command went out.
template <typename Send>
void ArrivalRoundTrip(benchmark::State& state, bool paced, Arrivals& arrivals, const Send& send,
                      const char* changed) {
  std::vector<double> us;
  us.reserve(static_cast<size_t>(state.max_iterations));
  uint32_t expected = arrivals.received.load();
  const uint32_t wrong_before = arrivals.wrong.load();
  for (auto _ : state) {
    if (paced)
      std::this_thread::sleep_for(kPace);
    const int64_t start = NowNs();
    if (!send()) {
      state.SkipWithError("the command did not go out");
      return;
    }
    arrivals.WaitFor(++expected);
    const double took =
        static_cast<double>(arrivals.last_arrival_ns.load(std::memory_order_relaxed) - start) / 1e3;
    state.SetIterationTime(took / 1e6);
    us.push_back(took);
  }
  if (arrivals.wrong.load() != wrong_before)
    state.SkipWithError(changed);
  ReportPercentiles(state, us);
}

void ChannelRoundTrip(benchmark::State& state, bool paced) {
  Game& game = TheGame(paced);
  if (!game.ok()) {
    state.SkipWithError("the game did not start");
    return;
  }
  const std::string payload(kCommandBytes, 'c');
  ArrivalRoundTrip(
      state, paced, game.host(),
      [&] {
        game.SendCommand(kEchoSubid, payload);
        return true;
      },
      "an answer came back changed");
}

void SocketRoundTrip(benchmark::State& state, bool paced) {
  Game& game = TheGame(paced);
  if (!game.ok()) {
    state.SkipWithError("the game did not start");
    return;
  }
  // The sizes of the channel's frames: the hall's 80-byte head and the wrapped command, the
  // game's 8-byte head and its answer.
  const std::string command = "e" + std::string(80 + kCommandBytes + 16, 'c');
  std::string answer;
  std::vector<double> us;
  us.reserve(static_cast<size_t>(state.max_iterations));
  for (auto _ : state) {
    if (paced)
      std::this_thread::sleep_for(kPace);
    const Clock::time_point start = Clock::now();
    if (!WriteMessage(game.socket_fd(), command) || !ReadMessage(game.socket_fd(), &answer) ||
        answer.size() != kAnswerBytes) {
      state.SkipWithError("the socket answer did not come back whole");
      return;
    }
    const double took = MicrosecondsSince(start);
    state.SetIterationTime(took / 1e6);
    us.push_back(took);
  }
  ReportPercentiles(state, us);
}

void SocketRelayRoundTrip(benchmark::State& state) {
  Game& game = TheGame(true);
  if (!game.ok()) {
    state.SkipWithError("the game did not start");
    return;
  }
  const std::string command = "r" + std::string(80 + kCommandBytes + 16, 'c');
  ArrivalRoundTrip(
      state, true, game.relay(), [&] { return WriteMessage(game.socket_fd(), command); },
      "a relayed answer came back changed");
}

void BM_RoundTrip_Paced_Channel(benchmark::State& state) {
  ChannelRoundTrip(state, true);
}
void BM_RoundTrip_Paced_SocketPair(benchmark::State& state) {
  SocketRoundTrip(state, true);
}
void BM_RoundTrip_Paced_SocketRelay(benchmark::State& state) {
  SocketRelayRoundTrip(state);
}
void BM_RoundTrip_FlatOut_UnboundedChannel(benchmark::State& state) {
  ChannelRoundTrip(state, false);
}
void BM_RoundTrip_FlatOut_SocketPair(benchmark::State& state) {
  SocketRoundTrip(state, false);
}

BENCHMARK(BM_RoundTrip_Paced_Channel)
    ->Iterations(2000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_Paced_SocketPair)
    ->Iterations(2000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_Paced_SocketRelay)
    ->Iterations(2000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_FlatOut_UnboundedChannel)
    ->Iterations(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_FlatOut_SocketPair)
    ->Iterations(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void ChannelFlood(benchmark::State& state, bool bounded) {
  Game& game = TheGame(bounded);
  if (!game.ok()) {
    state.SkipWithError("the game did not start");
    return;
  }
  const int count = bounded ? kBoundedFloodMessages : kFloodMessages;
  uint32_t expected = game.host().received.load();
  const uint32_t wrong_before = game.host().wrong.load();
  for (auto _ : state) {
    game.SendCommand(kFloodSubid, std::to_string(count));
    expected += static_cast<uint32_t>(count);
    game.host().WaitFor(expected);
  }
  if (game.host().wrong.load() != wrong_before)
    state.SkipWithError("a message came through changed");
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_Flood_Channel(benchmark::State& state) {
  ChannelFlood(state, true);
}
void BM_Flood_UnboundedChannel(benchmark::State& state) {
  ChannelFlood(state, false);
}

void BM_Flood_SocketPair(benchmark::State& state) {
  Game& game = TheGame(false);
  if (!game.ok()) {
    state.SkipWithError("the game did not start");
    return;
  }
  std::string answer;
  for (auto _ : state) {
    if (!WriteMessage(game.socket_fd(), "f")) {
      state.SkipWithError("the socket closed");
      return;
    }
    for (int i = 0; i < kFloodMessages; ++i) {
      if (!ReadMessage(game.socket_fd(), &answer) || answer.size() != kAnswerBytes) {
        state.SkipWithError("a socket message did not come whole");
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kFloodMessages);
}

BENCHMARK(BM_Flood_Channel)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flood_UnboundedChannel)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flood_SocketPair)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv(kEnvSocket) != nullptr && argc > 1 &&
      std::strncmp(argv[1], "process_id:", 11) == 0) {
    return RunGame(argc, argv);
  }
  return bench::InterleavedMain(argc, argv);
}
