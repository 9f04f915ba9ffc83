// The channel and its queues against testing/game, a second process that opens them as a game
// client does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gateclient/ipc/cxqueue.h"
#include "gateclient/ipc/ipc_frames.h"
#include "gateclient/ipc/queue_layout.h"
#include "gateclient/ipc/win_ipc_impl.h"
#include "platform/file_util.h"
#include "platform/named_sync.h"
#include "platform/process.h"

namespace qvc {
namespace {

namespace ql = queue_layout;

uint32_t Pid() {
  return static_cast<uint32_t>(getpid());
}

uint64_t UniqueKey() {
  static uint64_t counter = 500;
  return ++counter;
}

class Recorder : public IWinIpcCallback {
 public:
  void OnIpcData(const void* data, uint32_t length) override {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.emplace_back(static_cast<const char*>(data), length);
  }
  std::vector<std::string> Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  bool WaitFor(size_t count, int timeout_ms = 8000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Received().size() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Received().size() >= count;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> received_;
};

struct Game {
  std::unique_ptr<platform::Process> process;
  std::string record;

  // Waits for the exit; the exit code, or -100 when it did not end in time.
  int Exit(uint32_t timeout_ms = 10000) {
    platform::ExitStatus s;
    if (process->Wait(timeout_ms, &s) != platform::WaitOutcome::kExited) {
      process->Terminate();
      process->Wait(5000, &s);
      return -100;
    }
    return s.code;
  }
  std::vector<std::string> Lines() const {
    std::string text;
    platform::ReadFile(record, &text);
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
      out.push_back(line);
    return out;
  }
  bool Has(const std::string& prefix) const {
    for (const std::string& l : Lines()) {
      if (l.compare(0, prefix.size(), prefix) == 0)
        return true;
    }
    return false;
  }
  // Waits until a record line starts with `prefix`.
  bool WaitForLine(const std::string& prefix, int timeout_ms = 8000) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!Has(prefix) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Has(prefix);
  }
};

Game StartGame(uint64_t key, std::vector<std::string> env) {
  static int counter = 0;
  Game g;
  g.record = "/tmp/tvx_fake_game_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  platform::RemoveFile(g.record);
  env.push_back("TARVIX_FAKE_GAME_RECORD=" + g.record);
  std::string params = "process_id:" + std::to_string(Pid()) + "|user_id:1|cmd_id:15|app_id:2|" +
                       "app_type:3|plan_id:" + std::to_string(static_cast<long long>(key)) + "|";
  std::string error;
  g.process = platform::SystemProcessLauncher().Launch(
      {FAKE_GAME_PATH, {params, "match_id:7|game_kind:502|exename:zop|resfolder:zop"}, "", env},
      &error);
  EXPECT_NE(g.process, nullptr) << error;
  return g;
}

std::string HallMessage(uint16_t kind, uint16_t subid, std::string body) {
  HallFrame f;
  f.kind = kind;
  f.subid = subid;
  f.routing[0] = 0xAB;
  f.routing[71] = 0xCD;
  f.body = std::move(body);
  return EncodeHallFrame(f);
}

TEST(WinIpcGameTest, MessagesFlowBothWaysInOrderAndTheExitCodeComesBack) {
  uint64_t key = UniqueKey();
  WinIpcImpl hall;
  Recorder rx;
  ASSERT_TRUE(hall.Open(Pid(), key, &rx, false));
  Game game = StartGame(key, {"TARVIX_FAKE_GAME_SEND=14:3:61626364,14:5:,18:2:@3000",
                              "TARVIX_FAKE_GAME_EXPECT=3", "TARVIX_FAKE_GAME_EXIT=-3"});
  for (int i = 0; i < 3; ++i)
    hall.Send(HallMessage(12, 3, std::string(1, 'a' + i)).data(), 81);
  ASSERT_TRUE(rx.WaitFor(3));
  EXPECT_EQ(game.Exit(), -3);
  hall.Close();

  std::vector<std::string> got = rx.Received();
  auto f0 = DecodeGameFrame(got[0]);
  ASSERT_TRUE(f0.has_value());
  EXPECT_EQ(f0->kind, 14);
  EXPECT_EQ(f0->subid, 3);
  EXPECT_EQ(f0->payload, "abcd");
  EXPECT_EQ(DecodeGameFrame(got[1])->subid, 5);
  EXPECT_EQ(DecodeGameFrame(got[2])->payload.size(), 3000u);

  std::vector<std::string> lines = game.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "params process_id:" + std::to_string(Pid()) +
                "|user_id:1|cmd_id:15|app_id:2|app_type:3|plan_id:" + std::to_string(key) +
                "| match_id:7|game_kind:502|exename:zop|resfolder:zop");
  EXPECT_EQ(lines[1], "open ok");
  std::string routing = "ab" + std::string(140, '0') + "cd";
  std::vector<std::string> recv;
  for (const std::string& l : lines) {
    if (l.compare(0, 5, "recv ") == 0)
      recv.push_back(l);
  }
  ASSERT_EQ(recv.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    char body[3];
    std::snprintf(body, sizeof body, "%02x", 'a' + i);
    EXPECT_EQ(recv[i], "recv type=0 kind=12 subid=3 len=81 routing=" + routing + " body=" + body);
  }
  EXPECT_EQ(lines.back(), "exit -3");
}

TEST(WinIpcGameTest, GameExitsWithoutAChannelToOpen) {
  Game game = StartGame(UniqueKey(), {});
  EXPECT_EQ(game.Exit(), 90);
  EXPECT_TRUE(game.Has("open failed read=9 write=9"));
}

// The queue's own results, seen from both processes.
TEST(WinIpcGameTest, QueueBoundariesBetweenTwoProcesses) {
  uint64_t key = UniqueKey();
  CXQueue to_hall, to_game;
  ASSERT_EQ(to_hall.Create(ToServerQueueName(Pid(), key).c_str()), kQueueOk);
  ASSERT_EQ(to_game.Create(ToClientQueueName(Pid(), key).c_str()), kQueueOk);
  uint32_t length = 16, seq = 0;
  char small[16];
  EXPECT_EQ(to_hall.Read(small, &length, &seq, nullptr, 100), kQueueEmpty);
  EXPECT_EQ(length, 0u);

  // Frames of 1001 bytes, the largest that fits (with the 8-byte frame head) and one past it.
  Game game = StartGame(key, {"TARVIX_FAKE_GAME_SEND=14:3:@993,14:4:@1023992,14:5:@1023993"});
  ASSERT_TRUE(game.WaitForLine("sent type=0 kind=14 subid=5"));
  EXPECT_TRUE(game.Has("sent type=0 kind=14 subid=3 len=1001 code=0"));
  EXPECT_TRUE(game.Has("sent type=0 kind=14 subid=4 len=1024000 code=7"))
      << "the queue still holds the 1001 bytes";
  EXPECT_TRUE(game.Has("sent type=0 kind=14 subid=5 len=1024001 code=7"));

  const unsigned char* h = to_hall.header();
  uint32_t head;
  std::memcpy(&head, h + ql::kUsedHead, 4);
  ASSERT_LT(head, 1024u);
  const unsigned char* b = h + 1024 + size_t{head} * 1024;
  uint32_t len0, next, len1;
  std::memcpy(&len0, b + ql::kBlockLength, 4);
  std::memcpy(&next, b + ql::kBlockNext, 4);
  ASSERT_LT(next, 1024u);
  std::memcpy(&len1, h + 1024 + size_t{next} * 1024 + ql::kBlockLength, 4);
  EXPECT_EQ(len0, 1000u | ql::kContinues);
  EXPECT_EQ(len1, 1u);

  length = sizeof small;
  uint32_t writer = 0;
  EXPECT_EQ(to_hall.Read(small, &length, &seq, &writer, 100), kQueueBufferTooSmall);
  EXPECT_EQ(writer, static_cast<uint32_t>(game.process->pid())) << "the game's main thread";
  std::string buf(1001, '\0');
  length = buf.size();
  ASSERT_EQ(to_hall.Read(buf.data(), &length, &seq, nullptr, 100), kQueueOk) << "still queued";
  EXPECT_EQ(length, 1001u);
  EXPECT_EQ(seq, 1u);
  EXPECT_EQ(game.Exit(), 0);
}

TEST(WinIpcGameTest, WriterSeesTheCreatorGone) {
  uint64_t key = UniqueKey();
  auto to_hall = std::make_unique<CXQueue>();
  CXQueue to_game;
  ASSERT_EQ(to_hall->Create(ToServerQueueName(Pid(), key).c_str()), kQueueOk);
  ASSERT_EQ(to_game.Create(ToClientQueueName(Pid(), key).c_str()), kQueueOk);
  Game game = StartGame(key, {"TARVIX_FAKE_GAME_SEND=14:3:00", "TARVIX_FAKE_GAME_EXPECT=1",
                              "TARVIX_FAKE_GAME_SEND_AFTER=1", "TARVIX_FAKE_GAME_TIMEOUT_MS=3000"});
  ASSERT_TRUE(game.WaitForLine("open ok"));
  to_hall.reset();  // the hall's side of that queue detaches
  std::string frame = HallMessage(12, 3, "go");
  ASSERT_EQ(to_game.Write(frame.data(), frame.size()), kQueueOk);
  EXPECT_EQ(game.Exit(), 0);
  EXPECT_TRUE(game.Has("sent type=0 kind=14 subid=3 len=9 code=11"));
}

TEST(WinIpcGameTest, GameThatNeverReadsCannotHangTheHall) {
  uint64_t key = UniqueKey();
  WinIpcImpl hall;
  Recorder rx;
  ASSERT_TRUE(hall.Open(Pid(), key, &rx, false));
  Game game = StartGame(key, {"TARVIX_FAKE_GAME_MODE=never-read", "TARVIX_FAKE_GAME_SEND=14:3:01",
                              "TARVIX_FAKE_GAME_TIMEOUT_MS=20000"});
  std::string big = HallMessage(12, 3, std::string(100'000, 'b'));
  for (int i = 0; i < 15; ++i)
    hall.Send(big.data(), big.size());
  ASSERT_TRUE(rx.WaitFor(1)) << "its own message still arrives";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (hall.pending_sends() > 5 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(hall.pending_sends(), 5u) << "ten fit, five wait";
  auto start = std::chrono::steady_clock::now();
  hall.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(game.process->Terminate());
  game.Exit();
}

TEST(WinIpcGameTest, GameThatDiesHoldingTheWriterTokenOrTheMutex) {
  for (const char* mode : {"die-holding-token", "die-holding-mutex"}) {
    uint64_t key = UniqueKey();
    WinIpcImpl hall;
    Recorder rx;
    ASSERT_TRUE(hall.Open(Pid(), key, &rx, false));
    Game game = StartGame(key, {std::string("TARVIX_FAKE_GAME_MODE=") + mode});
    EXPECT_EQ(game.Exit(), 0) << mode;
    EXPECT_TRUE(game.Has("holding ")) << mode;
    hall.Send("one", 3);
    hall.Send("two", 3);
    const std::string to_game = ToClientQueueName(Pid(), key);
    CXQueue probe;
    ASSERT_EQ(probe.Open(to_game.c_str()), kQueueOk);
    const auto used = [&probe] {
      uint32_t n;
      std::memcpy(&n, probe.header() + ql::kUsedCount, 4);
      return n;
    };
    if (std::string(mode) == "die-holding-token") {
      // Nobody gives the token back: nothing is written without it, and nothing is lost...
      EXPECT_EQ(used(), 0u);
      EXPECT_EQ(hall.pending_sends(), 2u) << mode;
      // ...for once the token is free again, the waiting messages follow.
      platform::NamedEvent token;
      ASSERT_TRUE(token.Open(CXQueue::WriterTokenName(to_game.c_str())));
      ASSERT_TRUE(token.Set());
    }
    // The dead owner's mutex is recovered (or the token came back): the messages go out, in
    // the order they were sent.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    while ((hall.pending_sends() != 0 || used() != 2) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(hall.pending_sends(), 0u) << mode;
    ASSERT_EQ(used(), 2u) << mode;
    for (const char* expected : {"one", "two"}) {
      char buf[8];
      uint32_t length = sizeof buf, seq = 0;
      ASSERT_EQ(probe.Read(buf, &length, &seq, nullptr, 100), kQueueOk) << mode;
      EXPECT_EQ(std::string(buf, length), expected) << mode;
    }
    auto start = std::chrono::steady_clock::now();
    hall.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << mode;
  }
}

TEST(WinIpcGameTest, CorruptBlocksFromTheGameAreDroppedAndLogged) {
  for (const char* mode : {"corrupt-blocks", "corrupt-length"}) {
    uint64_t key = UniqueKey();
    WinIpcImpl hall;
    std::vector<std::string> log;
    std::mutex log_mutex;
    hall.SetLog([&](int, const std::string& text) {
      std::lock_guard<std::mutex> lock(log_mutex);
      log.push_back(text);
    });
    Recorder rx;
    ASSERT_TRUE(hall.Open(Pid(), key, &rx, false));
    Game game = StartGame(
        key, {std::string("TARVIX_FAKE_GAME_MODE=") + mode, "TARVIX_FAKE_GAME_SEND=14:3:6f6b"});
    ASSERT_TRUE(rx.WaitFor(1)) << mode;
    EXPECT_EQ(game.Exit(), 0) << mode;
    EXPECT_TRUE(game.Has("dropped corrupt")) << mode;
    EXPECT_EQ(DecodeGameFrame(rx.Received()[0])->payload, "ok") << mode;
    std::lock_guard<std::mutex> lock(log_mutex);
    EXPECT_EQ(log.size(), 1u) << mode;
    hall.Close();
  }
}

}  // namespace
}  // namespace qvc
