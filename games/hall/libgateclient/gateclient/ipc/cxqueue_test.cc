#include "gateclient/ipc/cxqueue.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gateclient/ipc/queue_layout.h"
#include "platform/named_sync.h"
#include "platform/shared_memory.h"
#include "platform/thread_util.h"

namespace ql = queue_layout;

namespace {

std::string UniqueName(const std::string& tag) {
  static int counter = 0;
  return "tvxq_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

uint32_t Word(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void SetWord(unsigned char* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}

unsigned char* BlockAt(const CXQueue& q, uint32_t n) {
  return q.header() + ql::kDefaultHeaderSize + size_t{n} * ql::kDefaultHeaderSize;
}

std::string Pattern(size_t n, int seed = 0) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 7 + seed) & 0xFF);
  return s;
}

// A creator (the hall's side) and an opener of the same queue.
struct QueuePair {
  explicit QueuePair(const std::string& tag) : name(UniqueName(tag)) {
    EXPECT_EQ(creator.Create(name.c_str()), kQueueOk);
    EXPECT_EQ(opener.Open(name.c_str()), kQueueOk);
  }
  std::string name;
  CXQueue creator;
  CXQueue opener;
};

std::string ReadAll(CXQueue& q, uint32_t* rc, uint32_t* sequence = nullptr) {
  uint32_t total = 0, seq = 0;
  *rc = q.Read(nullptr, &total, &seq, nullptr, 100);
  if (*rc != kQueueOk)
    return {};
  std::string out(total, '\0');
  uint32_t length = total;
  *rc = q.Read(out.data(), &length, &seq, nullptr, 100);
  if (sequence != nullptr)
    *sequence = seq;
  out.resize(*rc == kQueueOk ? length : 0);
  return out;
}

TEST(CXQueueTest, NamesOfTheKernelObjects) {
  EXPECT_EQ(CXQueue::QueueName("cs201588_5_s"), "kx_52816_queue_cs201588_5_s");
  EXPECT_EQ(CXQueue::MappingName("cs201588_5_s"), "KX_52816_QUEUE_CS201588_5_S");
  EXPECT_EQ(CXQueue::MappingName("a\\b"), "KX_52816_QUEUE_A_B");
  EXPECT_EQ(CXQueue::MutexName("x"), "kx_52816_mutex_write_kx_52816_queue_x");
  EXPECT_EQ(CXQueue::DataReadyName("x"), "kx_52816_server_notify_kx_52816_queue_x");
  EXPECT_EQ(CXQueue::WriterTokenName("x"), "kx_52816_client_write_event_kx_52816_queue_x");
  EXPECT_EQ(CXQueue::QueueName(std::string(600, 'n').c_str()).size(), 519u);
}

TEST(CXQueueTest, HeaderAndBlocksRightAfterCreation) {
  std::string name = UniqueName("hdr");
  CXQueue q;
  ASSERT_EQ(q.Create(name.c_str()), kQueueOk);
  const unsigned char* h = q.header();
  struct Field {
    size_t offset;
    uint32_t value;
  };
  const Field fields[] = {
      {0, 1024}, {4, 1000}, {8, 1025},  {12, 1024},        {16, 1024},        {20, 0},
      {24, 0},   {28, 1},   {36, 0},    {40, 0},           {44, 0},           {48, 0},
      {52, 1},   {56, 0},   {60, 1023}, {64, 0xFFFFFFFFu}, {68, 0xFFFFFFFFu},
  };
  for (const Field& f : fields)
    EXPECT_EQ(Word(h + f.offset), f.value) << "offset " << f.offset;
  EXPECT_EQ(Word(h + 32), platform::CurrentThreadId());
  for (size_t i = 72; i < 1024; ++i)
    ASSERT_EQ(h[i], 0) << "reserved byte " << i;
  for (uint32_t i = 0; i < 1024; ++i) {
    const unsigned char* b = BlockAt(q, i);
    ASSERT_EQ(Word(b + 0), i);
    ASSERT_EQ(Word(b + 4), i == 0 ? 0xFFFFFFFFu : i - 1);
    ASSERT_EQ(Word(b + 8), i == 1023 ? 0xFFFFFFFFu : i + 1);
    for (int k = 12; k < 26; ++k)
      ASSERT_EQ(b[k], 0) << "block " << i << " byte " << k;
  }
  CXQueue opener;
  ASSERT_EQ(opener.Open(name.c_str()), kQueueOk);
  EXPECT_EQ(Word(h + 24), 1u);
  opener.Close();
  EXPECT_EQ(Word(h + 24), 0u);
}

TEST(CXQueueTest, BlockLengthsOfAWrite) {
  struct Case {
    uint32_t length;
    std::vector<uint32_t> blocks;  // length words in list order
  };
  const Case cases[] = {
      {1, {1}},
      {1000, {1000}},
      {1001, {1000 | ql::kContinues, 1}},
      {2000, {1000 | ql::kContinues, 1000}},
      {2500, {1000 | ql::kContinues, 1000 | ql::kContinues, 500}},
  };
  for (const Case& c : cases) {
    QueuePair p("len");
    std::string msg = Pattern(c.length);
    ASSERT_EQ(p.opener.Write(msg.data(), c.length), kQueueOk);
    const unsigned char* h = p.creator.header();
    EXPECT_EQ(Word(h + ql::kUsedCount), c.blocks.size());
    EXPECT_EQ(Word(h + ql::kFreeCount), 1024 - c.blocks.size());
    EXPECT_EQ(Word(h + ql::kLargestMessage), c.length);
    uint32_t n = Word(h + ql::kUsedHead);
    for (size_t i = 0; i < c.blocks.size(); ++i) {
      ASSERT_LT(n, 1024u);
      EXPECT_EQ(Word(BlockAt(p.creator, n) + ql::kBlockLength), c.blocks[i])
          << c.length << " block " << i;
      EXPECT_EQ(Word(BlockAt(p.creator, n) + ql::kBlockSequence), 1u);
      n = Word(BlockAt(p.creator, n) + ql::kBlockNext);
    }
    EXPECT_EQ(n, ql::kNone);
    uint32_t rc;
    EXPECT_EQ(ReadAll(p.creator, &rc), msg) << c.length;
    EXPECT_EQ(rc, kQueueOk);
    EXPECT_EQ(Word(h + ql::kFreeCount), 1024u);
    EXPECT_EQ(Word(h + ql::kUsedHead), ql::kNone);
  }
}

TEST(CXQueueTest, MessagesComeOutInOrderWithRisingSequenceNumbers) {
  QueuePair p("order");
  std::vector<std::string> sent;
  for (int i = 0; i < 40; ++i) {
    sent.push_back(Pattern(1 + i * 997 % 5000, i));
    ASSERT_EQ(p.opener.Write(sent.back().data(), sent.back().size()), kQueueOk);
  }
  for (int i = 0; i < 40; ++i) {
    uint32_t rc, seq = 0;
    EXPECT_EQ(ReadAll(p.creator, &rc, &seq), sent[i]) << i;
    EXPECT_EQ(seq, static_cast<uint32_t>(i + 1));
  }
  const unsigned char* h = p.creator.header();
  EXPECT_EQ(Word(h + ql::kMessagesWritten), 40u);
  EXPECT_EQ(Word(h + ql::kMessagesRead), 40u);
  EXPECT_EQ(Word(h + ql::kNextSequence), 41u);
  uint32_t rc;
  ReadAll(p.creator, &rc);
  EXPECT_EQ(rc, kQueueEmpty);
}

TEST(CXQueueTest, ReadReportsWriterAndPadsWithZeros) {
  QueuePair p("pad");
  ASSERT_EQ(p.opener.Write("abc", 3), kQueueOk);
  uint32_t total = 0, seq = 0, writer = 0;
  ASSERT_EQ(p.creator.Read(nullptr, &total, &seq, &writer, 100), kQueueOk);
  EXPECT_EQ(total, 3u);
  EXPECT_EQ(writer, platform::CurrentThreadId());
  char buf[10];
  std::memset(buf, 'x', sizeof buf);
  uint32_t length = sizeof buf;
  ASSERT_EQ(p.creator.Read(buf, &length, &seq, nullptr, 100), kQueueOk);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(std::string(buf, 3), "abc");
  for (int i = 3; i < 7; ++i)
    EXPECT_EQ(buf[i], 0) << i;
  EXPECT_EQ(buf[7], 'x') << "no more than four zero bytes";
}

TEST(CXQueueTest, SmallBufferKeepsTheMessageAndTellsWhatIsMissing) {
  struct Case {
    uint32_t message;
    uint32_t capacity;
    uint32_t reported;  // from the block where the copy stopped
  };
  const Case cases[] = {{1001, 1000, 1}, {1001, 500, 1001}, {2500, 1500, 1500}, {10, 9, 10}};
  for (const Case& c : cases) {
    QueuePair p("small");
    std::string msg = Pattern(c.message);
    ASSERT_EQ(p.opener.Write(msg.data(), c.message), kQueueOk);
    std::string buf(c.capacity, '\0');
    uint32_t length = c.capacity, seq = 0;
    EXPECT_EQ(p.creator.Read(buf.data(), &length, &seq, nullptr, 100), kQueueBufferTooSmall);
    EXPECT_EQ(length, c.reported) << c.message << "/" << c.capacity;
    uint32_t rc;
    EXPECT_EQ(ReadAll(p.creator, &rc), msg) << "still queued";
  }
}

TEST(CXQueueTest, ResultCodesAtTheBoundaries) {
  QueuePair p("codes");
  uint32_t length = 7, seq = 9;
  char buf[4];
  EXPECT_EQ(p.creator.Read(buf, &length, &seq, nullptr, 100), kQueueEmpty);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(seq, 0u);

  EXPECT_EQ(p.opener.Write(nullptr, 5), kQueueBadArgument);
  EXPECT_EQ(p.opener.Write("a", 0), kQueueBadArgument);
  std::string huge(1'047'552, 'h');
  EXPECT_EQ(p.opener.Write(huge.data(), huge.size()), kQueueBadArgument);
  // Passes the size check but needs more blocks than the queue has.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.opener.Write(huge.data(), huge.size() - 1), kQueueTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(p.opener.Write(huge.data(), 1'024'001), kQueueTimeout);
  ASSERT_EQ(p.opener.Write(huge.data(), 1'024'000), kQueueOk) << "fills every block";
  EXPECT_EQ(p.opener.Write("x", 1), kQueueTimeout) << "full";

  EXPECT_EQ(p.creator.Read(buf, nullptr, &seq, nullptr, 100), kQueueBadArgument);
  EXPECT_EQ(p.creator.Read(buf, &length, nullptr, nullptr, 100), kQueueBadArgument);
  length = 0;
  EXPECT_EQ(p.creator.Read(buf, &length, &seq, nullptr, 100), kQueueBadArgument);
  uint32_t rc;
  EXPECT_EQ(ReadAll(p.creator, &rc).size(), 1'024'000u);

  CXQueue closed;
  EXPECT_EQ(closed.Write("a", 1), kQueueNotAttached);
  EXPECT_EQ(closed.Read(buf, &length, &seq, nullptr, 0), kQueueNotAttached);
  EXPECT_EQ(closed.Create(""), kQueueBadArgument);
  EXPECT_EQ(closed.Open(nullptr), kQueueBadArgument);
  EXPECT_EQ(closed.Open(UniqueName("missing").c_str()), kQueueOpenFailed);
  EXPECT_FALSE(closed.attached());
  EXPECT_EQ(p.creator.Create(p.name.c_str()), kQueueCreateFailed);
  EXPECT_EQ(p.opener.Open(p.name.c_str()), kQueueOpenFailed);

  p.creator.Close();
  EXPECT_EQ(p.opener.Write("a", 1), kQueueNoCreator);
}

TEST(CXQueueTest, CreatingAnExistingNameStartsAFreshQueue) {
  QueuePair p("fresh");
  ASSERT_EQ(p.opener.Write("old", 3), kQueueOk);
  CXQueue again;
  ASSERT_EQ(again.Create(p.name.c_str()), kQueueOk);
  CXQueue late;
  ASSERT_EQ(late.Open(p.name.c_str()), kQueueOk);
  uint32_t rc;
  ReadAll(late, &rc);
  EXPECT_EQ(rc, kQueueEmpty);
  EXPECT_EQ(Word(again.header() + ql::kNextSequence), 1u);
}

TEST(CXQueueTest, OpenRefusesGeometryThatDoesNotFitTheMapping) {
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
  };
  const Case cases[] = {
      {"no stride", ql::kHeaderSize, 0},
      {"stride not a word multiple", ql::kHeaderSize, 1022},
      {"stride below the header fields", ql::kHeaderSize, 64},
      {"blocks past the end", ql::kHeaderSize, 2048},
      {"no data bytes", ql::kBlockData, 0},
      {"data past the block", ql::kBlockData, 1001},
      {"no blocks", ql::kBlockCount, 0},
      {"too many blocks", ql::kBlockCount, 1025},
      {"huge block count", ql::kBlockCount, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    std::string name = UniqueName("geom");
    CXQueue creator;
    ASSERT_EQ(creator.Create(name.c_str()), kQueueOk);
    SetWord(creator.header() + c.offset, c.value);
    CXQueue opener;
    EXPECT_EQ(opener.Open(name.c_str()), kQueueOpenFailed) << c.what;
    EXPECT_FALSE(opener.attached());
  }
  // A smaller geometry that fits is taken as it stands.
  std::string name = UniqueName("geom");
  CXQueue creator;
  ASSERT_EQ(creator.Create(name.c_str()), kQueueOk);
  SetWord(creator.header() + ql::kBlockCount, 10);
  CXQueue opener;
  ASSERT_EQ(opener.Open(name.c_str()), kQueueOk);
  EXPECT_EQ(opener.block_count(), 10u);
  EXPECT_EQ(opener.Capacity(), 10'000u);
}

// The other side damages the oldest message; the reader must refuse it without reading outside
// the mapping or looping, DropOldest must clear it, and the queue must work afterwards.
TEST(CXQueueTest, CorruptChainsAreRefusedAndDropped) {
  struct Case {
    const char* what;
    std::function<void(CXQueue& q)> damage;
  };
  auto head = [](CXQueue& q) { return Word(q.header() + ql::kUsedHead); };
  const Case cases[] = {
      {"head out of range", [](CXQueue& q) { SetWord(q.header() + ql::kUsedHead, 5000); }},
      {"head is none-1", [](CXQueue& q) { SetWord(q.header() + ql::kUsedHead, 0xFFFFFFFEu); }},
      {"index mismatch", [&](CXQueue& q) { SetWord(BlockAt(q, head(q)) + ql::kBlockIndex, 77); }},
      {"length past the block",
       [&](CXQueue& q) { SetWord(BlockAt(q, head(q)) + ql::kBlockLength, 1001); }},
      {"continues into nowhere",
       [&](CXQueue& q) {
         unsigned char* b = BlockAt(q, head(q));
         SetWord(b + ql::kBlockLength, 1000 | ql::kContinues);
         SetWord(b + ql::kBlockNext, 0x7FFFFFFF);
       }},
      {"cycle",
       [&](CXQueue& q) {
         unsigned char* b = BlockAt(q, head(q));
         SetWord(b + ql::kBlockLength, 1000 | ql::kContinues);
         SetWord(b + ql::kBlockNext, head(q));
       }},
      {"zero length", [&](CXQueue& q) { SetWord(BlockAt(q, head(q)) + ql::kBlockLength, 0); }},
      {"last block links out of range",
       [&](CXQueue& q) { SetWord(BlockAt(q, head(q)) + ql::kBlockNext, 4096); }},
  };
  for (const Case& c : cases) {
    QueuePair p("corrupt");
    std::string msg = Pattern(1500);
    ASSERT_EQ(p.opener.Write(msg.data(), msg.size()), kQueueOk);
    ASSERT_EQ(p.opener.Write("second", 6), kQueueOk);
    c.damage(p.creator);
    uint32_t total = 123, seq = 0;
    EXPECT_EQ(p.creator.Read(nullptr, &total, &seq, nullptr, 100), kQueueCorrupt) << c.what;
    EXPECT_EQ(total, 0u);
    std::string buf(4000, '\0');
    uint32_t length = buf.size();
    EXPECT_EQ(p.creator.Read(buf.data(), &length, &seq, nullptr, 100), kQueueCorrupt) << c.what;
    EXPECT_EQ(p.creator.DropOldest(), kQueueOk) << c.what;
    uint32_t rc;
    ReadAll(p.creator, &rc);
    EXPECT_EQ(rc, kQueueEmpty) << c.what << ": a corrupt queue is rebuilt empty";
    ASSERT_EQ(p.opener.Write("after", 5), kQueueOk) << c.what;
    EXPECT_EQ(ReadAll(p.creator, &rc), "after") << c.what;
  }
}

TEST(CXQueueTest, WaitForDataSeesAWaitingMessageOrTheDataReadyEvent) {
  QueuePair p("ready");
  platform::NamedEvent data_ready;
  ASSERT_TRUE(data_ready.Open(CXQueue::DataReadyName(p.name.c_str())));
  EXPECT_EQ(p.creator.WaitForData(0), kQueueTimeout) << "created clear";
  ASSERT_EQ(p.opener.Write("a", 1), kQueueOk);
  ASSERT_EQ(p.opener.Write("b", 1), kQueueOk);
  EXPECT_EQ(p.creator.WaitForData(0), kQueueOk) << "messages wait";
  uint32_t rc;
  ReadAll(p.creator, &rc);
  ReadAll(p.creator, &rc);
  EXPECT_EQ(p.creator.WaitForData(0), kQueueOk) << "the two writes left the event set";
  EXPECT_EQ(p.creator.WaitForData(0), kQueueTimeout) << "auto-reset";

  // A message that waits is seen although the event was taken by someone else.
  ASSERT_EQ(p.opener.Write("c", 1), kQueueOk);
  ASSERT_EQ(data_ready.Wait(0), platform::WaitResult::kSignaled);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.creator.WaitForData(5000), kQueueOk);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(ReadAll(p.creator, &rc), "c");

  std::thread writer([&] {
    platform::SleepMs(30);
    p.opener.Write("d", 1);
  });
  EXPECT_EQ(p.creator.WaitForData(5000), kQueueOk) << "woken by the write";
  writer.join();
  EXPECT_EQ(ReadAll(p.creator, &rc), "d");

  // The watch before the kernel wait is part of the time-out, not added to it (the tick it
  // counts by is a millisecond one).
  data_ready.Wait(0);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.creator.WaitForData(30), kQueueTimeout);
  auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_GE(spent, std::chrono::milliseconds(29));
  EXPECT_LT(spent, std::chrono::milliseconds(530));
  CXQueue closed;
  EXPECT_EQ(closed.WaitForData(0), kQueueNotAttached);
}

TEST(CXQueueTest, AGameThatTruncatesTheSharedAreaCannotEndTheHall) {
  QueuePair p("trunc");
  ASSERT_EQ(p.opener.Write("x", 1), kQueueOk);
  // What the game can do to any object it may write: the next access past the new end would
  // otherwise kill the hall with SIGBUS.
  int fd = shm_open(platform::SharedMemoryObjectName(CXQueue::MappingName(p.name.c_str())).c_str(),
                    O_RDWR, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 0), 0);
  close(fd);
  char buf[16];
  uint32_t length = sizeof buf, seq = 0;
  EXPECT_EQ(p.creator.Read(buf, &length, &seq, nullptr, 100), kQueueCorrupt) << "reads zeros";
  EXPECT_EQ(p.creator.DropOldest(), kQueueOk) << "rebuilt";
  length = sizeof buf;
  EXPECT_EQ(p.creator.Read(buf, &length, &seq, nullptr, 100), kQueueEmpty);
}

TEST(CXQueueTest, DropOldestRemovesOnlyTheOldestSoundMessage) {
  QueuePair p("drop");
  ASSERT_EQ(p.opener.Write("one", 3), kQueueOk);
  ASSERT_EQ(p.opener.Write("two", 3), kQueueOk);
  EXPECT_EQ(p.creator.DropOldest(), kQueueOk);
  uint32_t rc;
  EXPECT_EQ(ReadAll(p.creator, &rc), "two");
  EXPECT_EQ(p.creator.DropOldest(), kQueueEmpty);
}

// A write that cannot complete queues nothing: the message before it is still whole and alone.
TEST(CXQueueTest, FailedWriteLeavesNothingHalfQueued) {
  struct Case {
    const char* what;
    uint32_t expected;
    std::function<void(CXQueue& q)> damage;
  };
  const Case cases[] = {
      {"free list shorter than its count", kQueueNoBlocks,
       [](CXQueue& q) {
         uint32_t n = Word(q.header() + ql::kFreeHead);
         SetWord(BlockAt(q, n) + ql::kBlockNext, ql::kNone);
       }},
      {"free head out of range", kQueueCorrupt,
       [](CXQueue& q) { SetWord(q.header() + ql::kFreeHead, 9999); }},
      {"second free block has a wrong index", kQueueCorrupt,
       [](CXQueue& q) {
         uint32_t n = Word(q.header() + ql::kFreeHead);
         uint32_t next = Word(BlockAt(q, n) + ql::kBlockNext);
         SetWord(BlockAt(q, next) + ql::kBlockIndex, 3);
       }},
  };
  for (const Case& c : cases) {
    QueuePair p("half");
    ASSERT_EQ(p.opener.Write("first", 5), kQueueOk);
    c.damage(p.creator);
    std::string msg = Pattern(2500);
    EXPECT_EQ(p.opener.Write(msg.data(), msg.size()), c.expected) << c.what;
    const unsigned char* h = p.creator.header();
    EXPECT_EQ(Word(h + ql::kUsedCount), 1u) << c.what;
    EXPECT_EQ(Word(h + ql::kMessagesWritten), 1u) << c.what;
    EXPECT_EQ(Word(h + ql::kNextSequence), 2u) << c.what;
    uint32_t rc;
    EXPECT_EQ(ReadAll(p.creator, &rc), "first") << c.what;
    ReadAll(p.creator, &rc);
    EXPECT_EQ(rc, kQueueEmpty) << c.what;
  }
}

TEST(CXQueueTest, WritesGiveUpWhenTheTokenOrTheMutexIsHeldElsewhere) {
  QueuePair p("held");
  {
    // Another writer took the token and never gives it back.
    platform::NamedEvent token;
    ASSERT_TRUE(token.Open(CXQueue::WriterTokenName(p.name.c_str())));
    ASSERT_EQ(token.Wait(0), platform::WaitResult::kSignaled);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(p.opener.Write("a", 1), kQueueTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    token.Set();
  }
  {
    platform::NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(CXQueue::MutexName(p.name.c_str())));
    std::thread holder([&] {
      ASSERT_EQ(mutex.Lock(1000), platform::WaitResult::kSignaled);
      platform::SleepMs(400);
      mutex.Unlock();
    });
    platform::SleepMs(50);
    EXPECT_EQ(p.opener.Write("b", 1), kQueueTimeout);
    holder.join();
  }
  // The token went back after each failure: the next write goes through.
  EXPECT_EQ(p.opener.Write("c", 1), kQueueOk);
  uint32_t rc;
  EXPECT_EQ(ReadAll(p.creator, &rc), "c");
}

// TryWrite waits for nothing: whatever the token, the room or the mutex, it answers at once, and
// a refused message leaves no trace. Each case is put right afterwards and the next write passes.
TEST(CXQueueTest, TryWriteNeverWaitsAndARefusalQueuesNothing) {
  QueuePair p("try");
  platform::NamedEvent token;
  ASSERT_TRUE(token.Open(CXQueue::WriterTokenName(p.name.c_str())));
  platform::NamedMutex mutex;
  ASSERT_TRUE(mutex.Open(CXQueue::MutexName(p.name.c_str())));
  const std::string filler(1000 * 1023, 'f');  // all blocks but one
  struct Case {
    const char* name;
    std::function<void()> hold;
    std::function<void()> release;
    size_t length;
  };
  const Case cases[] = {
      {"the token is taken", [&] { ASSERT_EQ(token.Wait(0), platform::WaitResult::kSignaled); },
       [&] { token.Set(); }, 10},
      {"the mutex is held", [&] { ASSERT_EQ(mutex.Lock(0), platform::WaitResult::kSignaled); },
       [&] { mutex.Unlock(); }, 10},
      {"no room", [&] { ASSERT_EQ(p.opener.Write(filler.data(), filler.size()), kQueueOk); },
       [&] {
         uint32_t rc;
         EXPECT_EQ(ReadAll(p.creator, &rc).size(), filler.size());
       },
       1001},
  };
  for (const Case& c : cases) {
    const uint32_t written = Word(p.creator.header() + ql::kMessagesWritten);
    c.hold();
    const std::string message = Pattern(c.length);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(p.opener.TryWrite(message.data(), message.size()), kQueueTimeout) << c.name;
    // Write waits 100 ms for each of these; TryWrite none of them.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50)) << c.name;
    c.release();
    EXPECT_EQ(Word(p.creator.header() + ql::kMessagesWritten),
              written + (std::string(c.name) == "no room" ? 1 : 0))
        << c.name;
    EXPECT_EQ(Word(p.creator.header() + ql::kUsedHead), ql::kNone) << c.name;
    ASSERT_EQ(p.opener.TryWrite(message.data(), message.size()), kQueueOk) << c.name;
    uint32_t rc;
    EXPECT_EQ(ReadAll(p.creator, &rc), message) << c.name;
  }
}

}  // namespace
