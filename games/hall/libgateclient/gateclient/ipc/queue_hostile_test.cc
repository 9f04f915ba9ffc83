// A game that keeps storing arbitrary words into the shared area while the hall reads, writes
// and drops: every call still returns one of its codes, within its limits, and nothing lands
// outside the mapping or the caller's buffer (a store through a wild block number would fault).
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gateclient/ipc/cxqueue.h"
#include "gateclient/ipc/queue_layout.h"
#include "gateclient/ipc/win_ipc_impl.h"

namespace ql = queue_layout;

namespace {

// Blocks the scribbler aims at: few enough that its stores meet the lists the hall walks.
constexpr uint32_t kTargetBlocks = 8;

// Values that mean something to the queue, mixed with noise.
uint32_t Pick(std::mt19937& rng) {
  switch (rng() % 6) {
    case 0:
      return ql::kNone;
    case 1:
      return rng() % kTargetBlocks;
    case 2:
      return (rng() % 1100) | (rng() % 2 ? ql::kContinues : 0);
    case 3:
      return rng() % 2048;
    default:
      return static_cast<uint32_t>(rng());
  }
}

// Stores arbitrary words into the header and the first blocks of `area` until `stop`.
void Scribble(unsigned char* area, unsigned seed, const std::atomic<bool>& stop) {
  std::mt19937 rng(seed);
  while (!stop.load()) {
    // A header word (geometry words too: the creator keeps its own) or a block header word.
    size_t offset = rng() % 2 == 0
                        ? (rng() % 18) * 4
                        : ql::kDefaultHeaderSize +
                              (rng() % kTargetBlocks) * ql::kDefaultHeaderSize + (rng() % 6) * 4;
    std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(area + offset))
        .store(Pick(rng), std::memory_order_relaxed);
  }
}

TEST(QueueHostileTest, CallsKeepTheirContractWhileTheOtherSideScribbles) {
  const std::string name = "tvxq_hostile_" + std::to_string(getpid());
  CXQueue hall;
  ASSERT_EQ(hall.Create(name.c_str()), kQueueOk);
  unsigned char* area = hall.header();
  std::atomic<bool> stop{false};
  std::thread game([&] { Scribble(area, 7, stop); });

  std::mt19937 rng(11);
  std::vector<unsigned char> message(5000, 0x5A);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
  size_t calls = 0;
  while (std::chrono::steady_clock::now() < end) {
    const auto start = std::chrono::steady_clock::now();
    uint32_t rc = 0;
    uint32_t length = 0, sequence = 0;
    switch (rng() % 4) {
      case 0: {
        std::vector<unsigned char> buffer(rng() % 3000 + 1);  // exactly this long, for ASan
        length = static_cast<uint32_t>(buffer.size());
        rc = hall.Read(buffer.data(), &length, &sequence, nullptr, 0);
        EXPECT_TRUE(rc == kQueueOk || rc == kQueueEmpty || rc == kQueueCorrupt ||
                    rc == kQueueBufferTooSmall || rc == kQueueTimeout)
            << rc;
        if (rc == kQueueOk) {
          EXPECT_LE(length, buffer.size());
        }
        break;
      }
      case 1:
        rc = hall.Read(nullptr, &length, &sequence, nullptr, 0);
        EXPECT_TRUE(rc == kQueueOk || rc == kQueueEmpty || rc == kQueueCorrupt) << rc;
        EXPECT_LE(length, hall.Capacity());
        break;
      case 2:
        rc = hall.DropOldest();
        EXPECT_TRUE(rc == kQueueOk || rc == kQueueEmpty || rc == kQueueTimeout) << rc;
        break;
      default:
        rc = hall.Write(message.data(), static_cast<uint32_t>(rng() % message.size() + 1));
        EXPECT_TRUE(rc == kQueueOk || rc == kQueueCorrupt || rc == kQueueNoBlocks ||
                    rc == kQueueTimeout || rc == kQueueNoCreator)
            << rc;
        break;
    }
    // The longest a call may wait: the token, the free blocks and the mutex, with slack.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    ++calls;
  }
  stop = true;
  game.join();
  EXPECT_GT(calls, 0u);
}

}  // namespace

namespace qvc {
namespace {

class CountingCallback : public IWinIpcCallback {
 public:
  explicit CountingCallback(uint32_t limit) : limit_(limit) {}
  void OnIpcData(const void* data, uint32_t length) override {
    EXPECT_NE(data, nullptr);
    EXPECT_GT(length, 0u);
    EXPECT_LE(length, limit_);
    // Every byte delivered must be readable (ASan checks the receive buffer).
    volatile unsigned char sum = 0;
    for (uint32_t i = 0; i < length; ++i)
      sum = static_cast<unsigned char>(sum + static_cast<const unsigned char*>(data)[i]);
  }

 private:
  uint32_t limit_;
};

// The hall's channel worker against a game that scribbles over both queues: the worker keeps
// going, hands over only messages that fit its queue, and Close still returns promptly.
TEST(QueueHostileTest, ChannelWorkerSurvivesAGameThatScribbles) {
  const uint32_t pid = static_cast<uint32_t>(getpid());
  const uint64_t key = 0x5EED;
  WinIpcImpl channel;
  CountingCallback callback(ql::kDefaultBlockCount * ql::kDefaultBlockData);
  ASSERT_TRUE(channel.Open(pid, key, &callback, false));
  CXQueue to_hall, to_game;  // the game's view of both areas
  ASSERT_EQ(to_hall.Open(ToServerQueueName(pid, key).c_str()), kQueueOk);
  ASSERT_EQ(to_game.Open(ToClientQueueName(pid, key).c_str()), kQueueOk);
  std::atomic<bool> stop{false};
  std::thread scribble_in([&] { Scribble(to_hall.header(), 3, stop); });
  std::thread scribble_out([&] { Scribble(to_game.header(), 5, stop); });
  std::vector<unsigned char> message(3000, 0x42);
  for (int i = 0; i < 40; ++i) {
    channel.Send(message.data(), static_cast<uint32_t>(i * 70 + 1));
    // Messages that really arrive, between the scribbles.
    to_hall.Write(message.data(), static_cast<uint32_t>(i * 53 + 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  stop = true;
  scribble_in.join();
  scribble_out.join();
  const auto start = std::chrono::steady_clock::now();
  channel.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(channel.running());
}

}  // namespace
}  // namespace qvc
