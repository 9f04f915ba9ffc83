#include "gateclient/ipc/cxqueue.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "gateclient/ipc/queue_layout.h"
#include "platform/clock.h"
#include "platform/thread_util.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

namespace ql = queue_layout;

// The blocks of the oldest message, as found by one walk.
struct CXQueue::Chain {
  uint32_t first = ql::kNone;
  uint32_t last = ql::kNone;
  uint32_t after = ql::kNone;  // the block that follows the message in the used list
  uint32_t blocks = 0;
  uint64_t total = 0;
};

namespace {

// Every field is read and written as a whole word: the other process may change it at any time,
// and each value must be checked once and then used as checked.
uint32_t LoadWord(const unsigned char* p) {
  return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(const_cast<unsigned char*>(p)))
      .load(std::memory_order_acquire);
}

void StoreWord(unsigned char* p, uint32_t value) {
  std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(p))
      .store(value, std::memory_order_release);
}

// Drops the cache lines that lie wholly or partly in [p, p + n), except the one p starts in, from
// every cache. Only a hint: memory and what any process reads stay the same.
void EvictLines(const unsigned char* p, size_t n) {
#if defined(__x86_64__) || defined(__i386__)
  constexpr uintptr_t kLine = 64;
  const uintptr_t end = reinterpret_cast<uintptr_t>(p) + n;
  for (uintptr_t line = (reinterpret_cast<uintptr_t>(p) + kLine) & ~(kLine - 1); line < end;
       line += kLine) {
    _mm_clflush(reinterpret_cast<const void*>(line));
  }
#else
  (void)p;
  (void)n;
#endif
}

// Yields the CPU until `ready()` holds, at most `yields` times and while the millisecond tick
// has moved less than `ms`. Whether it held; *spent gets the ticks gone by.
template <typename Ready>
bool YieldUntil(const Ready& ready, uint32_t yields, uint32_t ms, uint32_t* spent) {
  platform::Clock& clock = platform::SystemClock();
  const uint32_t start = clock.TickCount();
  *spent = 0;
  for (uint32_t i = 0; i < yields && *spent < ms; ++i) {
    platform::YieldThread();
    if (ready())
      return true;
    *spent = platform::TicksSince(clock.TickCount(), start);
  }
  return false;
}

std::string Prefixed(const char* prefix, const std::string& rest) {
  std::string out = prefix;
  out += rest;
  return out;
}

}  // namespace

CXQueue::CXQueue() {
  ResetGeometry();
}

CXQueue::~CXQueue() {
  Close();
}

std::string CXQueue::QueueName(const char* name) {
  std::string q = Prefixed(ql::kQueuePrefix, name == nullptr ? "" : name);
  if (q.size() > ql::kMaxObjectNameChars)
    q.resize(ql::kMaxObjectNameChars);
  return q;
}

std::string CXQueue::MappingName(const char* name) {
  std::string out;
  CSharedMemFile::NormalizeName(QueueName(name).c_str(), &out);
  return out;
}

std::string CXQueue::MutexName(const char* name) {
  return Prefixed(ql::kMutexPrefix, QueueName(name));
}

std::string CXQueue::DataReadyName(const char* name) {
  return Prefixed(ql::kDataReadyPrefix, QueueName(name));
}

std::string CXQueue::WriterTokenName(const char* name) {
  return Prefixed(ql::kWriterTokenPrefix, QueueName(name));
}

void CXQueue::ResetGeometry() {
  block_count_ = ql::kDefaultBlockCount;
  units_ = ql::kDefaultUnits;
  stride_ = ql::kDefaultHeaderSize;
  block_data_ = ql::kDefaultBlockData;
}

// Inline: every block of every message passes through several of these, and as calls they
// slowed large messages down measurably.
inline uint32_t CXQueue::Field(size_t offset) const {
  return LoadWord(header_ + offset);
}

inline void CXQueue::SetField(size_t offset, uint32_t value) {
  StoreWord(header_ + offset, value);
}

inline unsigned char* CXQueue::Block(uint32_t n) const {
  return blocks_ + static_cast<size_t>(n) * stride_;
}

inline uint32_t CXQueue::BlockField(uint32_t n, size_t offset) const {
  return LoadWord(Block(n) + offset);
}

inline void CXQueue::SetBlockField(uint32_t n, size_t offset, uint32_t value) {
  StoreWord(Block(n) + offset, value);
}

inline bool CXQueue::ValidBlock(uint32_t n) const {
  return n < block_count_;
}

inline bool CXQueue::HasWaiting() const {
  return Field(ql::kUsedHead) != ql::kNone && Field(ql::kFreeCount) < block_count_;
}

void CXQueue::InitLists() {
  for (uint32_t i = 0; i < block_count_; ++i) {
    unsigned char* b = Block(i);
    // Bytes 12-25: owner, length, sequence and the first two data bytes start out zero.
    std::memset(b + ql::kBlockOwner, 0, 14);
    SetBlockField(i, ql::kBlockIndex, i);
    SetBlockField(i, ql::kBlockPrev, i == 0 ? ql::kNone : i - 1);
    SetBlockField(i, ql::kBlockNext, i + 1 == block_count_ ? ql::kNone : i + 1);
  }
  SetField(ql::kFreeCount, block_count_);
  SetField(ql::kUsedCount, 0);
  SetField(ql::kFreeHead, 0);
  SetField(ql::kFreeTail, block_count_ - 1);
  SetField(ql::kUsedTail, ql::kNone);
  SetField(ql::kUsedHead, ql::kNone);
}

uint32_t CXQueue::Create(const char* name) {
  if (attached())
    return kQueueCreateFailed;
  if (name == nullptr || *name == '\0')
    return kQueueBadArgument;
  name_ = QueueName(name);
  ResetGeometry();
  is_opener_ = false;
  mem_.SetName(name_.c_str());
  mem_.SetSize(ql::kDefaultMappingSize);
  mem_.SetReadOnly(false);
  mem_.SetTerminator(false);
  if (!mem_.CreateMapping()) {
    Close();
    return kQueueCreateFailed;
  }
  if (!mutex_.Create(MutexName(name)) || !data_ready_.Create(DataReadyName(name), false, false) ||
      !writer_token_.Create(WriterTokenName(name), false, true)) {
    Close();
    return kQueueCorrupt;
  }
  header_ = mem_.view();
  blocks_ = header_ + stride_;
  std::memset(header_, 0, ql::kDefaultHeaderSize);
  SetField(ql::kHeaderSize, stride_);
  SetField(ql::kBlockData, block_data_);
  SetField(ql::kUnits, units_);
  SetField(ql::kBlockCount, block_count_);
  SetField(ql::kCreatorThread, platform::CurrentThreadId());
  SetField(ql::kNextSequence, 1);
  InitLists();
  SetField(ql::kCreatorCount, Field(ql::kCreatorCount) + 1);
  return kQueueOk;
}

uint32_t CXQueue::Open(const char* name) {
  if (attached())
    return kQueueOpenFailed;
  if (name == nullptr || *name == '\0')
    return kQueueBadArgument;
  name_ = QueueName(name);
  if (!mem_.OpenMapping(name_.c_str(), ql::kHeaderFieldBytes)) {
    Close();
    return kQueueOpenFailed;
  }
  const unsigned char* h = mem_.view();
  uint32_t stride = LoadWord(h + ql::kHeaderSize);
  uint32_t data = LoadWord(h + ql::kBlockData);
  uint32_t count = LoadWord(h + ql::kBlockCount);
  uint32_t units = LoadWord(h + ql::kUnits);
  // The geometry comes from the other process: it must describe blocks that lie inside the
  // mapping, with room for their fields, and messages whose lengths fit 31 bits.
  bool sane = stride % 4 == 0 && stride >= ql::kHeaderFieldBytes && data >= 1 &&
              uint64_t{data} + ql::kBlockDataOffset <= stride && count >= 1 &&
              uint64_t{stride} * (uint64_t{count} + 1) <= mem_.size() &&
              uint64_t{count} * data <= ql::kLengthMask;
  if (!sane) {
    Close();
    return kQueueOpenFailed;
  }
  if (!mutex_.Open(MutexName(name)) || !data_ready_.Open(DataReadyName(name)) ||
      !writer_token_.Open(WriterTokenName(name))) {
    Close();
    return kQueueCorrupt;
  }
  is_opener_ = true;
  stride_ = stride;
  block_data_ = data;
  block_count_ = count;
  units_ = units;
  header_ = mem_.view();
  blocks_ = header_ + stride_;
  SetField(ql::kOpenerCount, Field(ql::kOpenerCount) + 1);
  return kQueueOk;
}

uint32_t CXQueue::Close() {
  if (attached()) {
    size_t counter = is_opener_ ? ql::kOpenerCount : ql::kCreatorCount;
    uint32_t c = Field(counter);
    if (c > 0)
      SetField(counter, c - 1);
  }
  mem_.CloseMapping();
  header_ = nullptr;
  blocks_ = nullptr;
  block_count_ = 0;
  mutex_.Close();
  writer_token_.Close();
  data_ready_.Close();
  name_.clear();
  return kQueueOk;
}

uint32_t CXQueue::LockForWrite(uint32_t timeout_ms) {
  if (!mutex_.is_open())
    return kQueueCorrupt;
  platform::WaitResult r = mutex_.Lock(timeout_ms);
  if (r == platform::WaitResult::kSignaled)
    return kQueueOk;
  // A writer that died holding the mutex may have torn the lists; this attempt gives up, the
  // next one finds the mutex free and every link is checked as it is used.
  if (r == platform::WaitResult::kAbandoned)
    mutex_.Unlock();
  return kQueueTimeout;
}

uint32_t CXQueue::Write(const void* data, uint32_t length) {
  return WriteMessage(data, length, true);
}

uint32_t CXQueue::TryWrite(const void* data, uint32_t length) {
  return WriteMessage(data, length, false);
}

uint32_t CXQueue::WriteMessage(const void* data, uint32_t length, bool wait) {
  if (data == nullptr || length == 0)
    return kQueueBadArgument;
  if (uint64_t{length} >= uint64_t{block_count_ - 1} * stride_)
    return kQueueBadArgument;
  if (!attached())
    return kQueueNotAttached;
  if (Field(ql::kCreatorCount) == 0)
    return kQueueNoCreator;
  if (!writer_token_.is_open())
    return kQueueNotAttached;
  if (writer_token_.Wait(wait ? kWriterTokenWaitMs : 0) != platform::WaitResult::kSignaled) {
    return kQueueTimeout;
  }
  const uint32_t needed = std::max<uint32_t>(1, (length + block_data_ - 1) / block_data_);
  auto room = [&] { return Field(ql::kFreeCount) >= needed; };
  if (!wait && !room()) {
    writer_token_.Set();
    return kQueueTimeout;
  }
  uint32_t spent;
  if (!room())
    YieldUntil(room, kFreeBlockYields, kYieldMs, &spent);
  for (uint32_t polls = 0; Field(ql::kFreeCount) < needed; ++polls) {
    if (polls == kFreeBlockPolls) {
      writer_token_.Set();
      return kQueueTimeout;
    }
    platform::SleepMs(kFreeBlockSleepMs);
  }
  // Fill the first `needed` free blocks, then move them to the used list in one splice: until
  // the splice nothing is linked, so a write that fails part-way leaves no half message behind.
  // The filling needs no mutex: holding the token, this is the only writer; the reader only ever
  // adds blocks behind the free tail, and once free_count showed `needed` blocks, the links
  // among the first `needed` are published and stay as they are.
  uint32_t rc = kQueueOk;
  const uint32_t thread = platform::CurrentThreadId();
  const uint32_t sequence = Field(ql::kNextSequence);
  const auto* src = static_cast<const unsigned char*>(data);
  uint32_t remaining = length;
  uint32_t first = Field(ql::kFreeHead);
  uint32_t last = ql::kNone;
  uint32_t n = first;
  for (uint32_t i = 0; i < needed; ++i) {
    if (n == ql::kNone) {
      rc = kQueueNoBlocks;
      break;
    }
    if (!ValidBlock(n) || BlockField(n, ql::kBlockIndex) != n) {
      rc = kQueueCorrupt;
      break;
    }
    uint32_t part = std::min(remaining, block_data_);
    std::memcpy(Block(n) + ql::kBlockDataOffset, src, part);
    src += part;
    remaining -= part;
    SetBlockField(n, ql::kBlockOwner, thread);
    SetBlockField(n, ql::kBlockSequence, sequence);
    SetBlockField(n, ql::kBlockLength, part | (remaining > 0 ? ql::kContinues : 0));
    last = n;
    if (i + 1 < needed)
      n = BlockField(n, ql::kBlockNext);
  }
  if (rc == kQueueOk)
    rc = LockForWrite(wait ? kWriteLockWaitMs : 0);
  if (rc != kQueueOk) {
    writer_token_.Set();
    return rc;
  }
  // Under the mutex the free list must still start where the filling started.
  if (Field(ql::kFreeHead) != first)
    rc = kQueueCorrupt;
  const uint32_t after = rc == kQueueOk ? BlockField(last, ql::kBlockNext) : ql::kNone;
  const uint32_t used_head = Field(ql::kUsedHead);
  const uint32_t used_tail = Field(ql::kUsedTail);
  if (rc == kQueueOk && ((after != ql::kNone && !ValidBlock(after)) ||
                         (used_head != ql::kNone && !ValidBlock(used_tail)))) {
    rc = kQueueCorrupt;
  }
  if (rc == kQueueOk) {
    SetField(ql::kFreeHead, after);
    if (after == ql::kNone) {
      SetField(ql::kFreeTail, ql::kNone);
    } else {
      SetBlockField(after, ql::kBlockPrev, ql::kNone);
    }
    uint32_t free_count = Field(ql::kFreeCount);
    SetField(ql::kFreeCount, free_count >= needed ? free_count - needed : 0);
    SetBlockField(last, ql::kBlockNext, ql::kNone);
    SetBlockField(first, ql::kBlockPrev, used_head == ql::kNone ? ql::kNone : used_tail);
    SetField(ql::kUsedTail, last);
    // Publishing the head (or the old tail's link) last: a reader sees a complete message.
    if (used_head == ql::kNone) {
      SetField(ql::kUsedHead, first);
    } else {
      SetBlockField(used_tail, ql::kBlockNext, first);
    }
    SetField(ql::kUsedCount, std::min(Field(ql::kUsedCount) + needed, block_count_));
    SetField(ql::kMessagesWritten, Field(ql::kMessagesWritten) + 1);
    SetField(ql::kLargestMessage, std::max(Field(ql::kLargestMessage), length));
    SetField(ql::kNextSequence, sequence + 1);
  }
  mutex_.Unlock();
  if (rc == kQueueOk)
    data_ready_.Set();
  writer_token_.Set();
  return rc;
}

uint32_t CXQueue::WalkOldest(Chain* chain) const {
  *chain = Chain();
  uint32_t n = Field(ql::kUsedHead);
  if (Field(ql::kFreeCount) >= block_count_ || n == ql::kNone)
    return kQueueEmpty;
  chain->first = n;
  for (;;) {
    if (!ValidBlock(n) || BlockField(n, ql::kBlockIndex) != n)
      return kQueueCorrupt;
    uint32_t len = BlockField(n, ql::kBlockLength);
    uint32_t part = len & ql::kLengthMask;
    if (part > block_data_)
      return kQueueCorrupt;
    chain->total += part;
    ++chain->blocks;
    if ((len & ql::kContinues) == 0)
      break;
    if (chain->blocks >= block_count_)
      return kQueueCorrupt;  // a cycle, or longer than the queue
    n = BlockField(n, ql::kBlockNext);
  }
  chain->last = n;
  chain->after = BlockField(n, ql::kBlockNext);
  if (chain->after != ql::kNone && !ValidBlock(chain->after))
    return kQueueCorrupt;
  // Write never queues an empty message.
  if (chain->total == 0)
    return kQueueCorrupt;
  return kQueueOk;
}

void CXQueue::MoveOldestToFree(const Chain& chain, uint32_t thread) {
  uint32_t n = chain.first;
  for (uint32_t i = 0; i < chain.blocks && ValidBlock(n); ++i) {
    SetBlockField(n, ql::kBlockOwner, thread);
    SetBlockField(n, ql::kBlockLength, 0);
    n = BlockField(n, ql::kBlockNext);
  }
  SetField(ql::kUsedHead, chain.after);
  if (chain.after == ql::kNone) {
    SetField(ql::kUsedTail, ql::kNone);
  } else {
    SetBlockField(chain.after, ql::kBlockPrev, ql::kNone);
  }
  const uint32_t free_head = Field(ql::kFreeHead);
  const uint32_t free_tail = Field(ql::kFreeTail);
  const bool free_empty = free_head == ql::kNone || !ValidBlock(free_tail);
  SetBlockField(chain.last, ql::kBlockNext, ql::kNone);
  SetBlockField(chain.first, ql::kBlockPrev, free_empty ? ql::kNone : free_tail);
  if (free_empty) {
    SetField(ql::kFreeHead, chain.first);
  } else {
    SetBlockField(free_tail, ql::kBlockNext, chain.first);
  }
  SetField(ql::kFreeTail, chain.last);
  SetField(ql::kFreeCount, std::min(Field(ql::kFreeCount) + chain.blocks, block_count_));
  uint32_t used = Field(ql::kUsedCount);
  SetField(ql::kUsedCount, used >= chain.blocks ? used - chain.blocks : 0);
}

uint32_t CXQueue::Read(void* buffer, uint32_t* length, uint32_t* sequence, uint32_t* writer_thread,
                       uint32_t timeout_ms) {
  if (length == nullptr || sequence == nullptr)
    return kQueueBadArgument;
  if (!attached())
    return kQueueNotAttached;
  *sequence = 0;
  Chain chain;
  uint32_t rc = WalkOldest(&chain);
  if (rc != kQueueOk) {
    *length = 0;
    return rc;
  }
  *sequence = BlockField(chain.first, ql::kBlockSequence);
  if (writer_thread != nullptr)
    *writer_thread = BlockField(chain.first, ql::kBlockOwner);
  if (buffer == nullptr) {
    *length = static_cast<uint32_t>(chain.total);
    return kQueueOk;
  }
  const uint32_t capacity = *length;
  if (capacity == 0) {
    *length = 0;
    return kQueueBadArgument;
  }

  // The writer leaves the oldest message alone, so it is copied without the mutex. Lengths are
  // read again as they are copied and clamped, in case the other side changes them meanwhile.
  //
  // The writer next fills these blocks after going round the whole queue. Lines still in this
  // side's cache then have to be taken back from it one by one, and for large messages that made
  // the writer's copy the slowest step; taken out of the caches once copied, they come from
  // memory instead (for 4 KiB messages and up, a fifth to a half more speed). The first line is
  // kept: this side writes the block header in it once the message is copied.
  const bool evict = chain.blocks >= kEvictFromBlocks;
  auto* out = static_cast<unsigned char*>(buffer);
  uint32_t copied = 0;
  uint64_t missing = 0;  // bytes from the block where the copy stopped
  bool stopped = false;
  uint32_t n = chain.first;
  for (uint32_t i = 0; i < chain.blocks; ++i) {
    if (!ValidBlock(n) || BlockField(n, ql::kBlockIndex) != n) {
      *length = 0;
      return kQueueCorrupt;
    }
    uint32_t part = std::min(BlockField(n, ql::kBlockLength) & ql::kLengthMask, block_data_);
    if (!stopped && part > capacity - copied) {
      uint32_t fits = capacity - copied;
      std::memcpy(out + copied, Block(n) + ql::kBlockDataOffset, fits);
      copied += fits;
      stopped = true;
    } else if (!stopped) {
      std::memcpy(out + copied, Block(n) + ql::kBlockDataOffset, part);
      copied += part;
      if (evict)
        EvictLines(Block(n) + ql::kBlockDataOffset, part);
    }
    if (stopped)
      missing += part;
    n = BlockField(n, ql::kBlockNext);
  }
  if (stopped) {
    *length = static_cast<uint32_t>(std::min<uint64_t>(missing, ql::kLengthMask));
    return kQueueBufferTooSmall;
  }
  std::memset(out + copied, 0, std::min<uint32_t>(4, capacity - copied));
  *length = copied;

  if (!mutex_.is_open()) {
    SetField(ql::kMessagesRead, Field(ql::kMessagesRead) + 1);
    return kQueueCorrupt;
  }
  platform::WaitResult lock = mutex_.Lock(timeout_ms);
  SetField(ql::kMessagesRead, Field(ql::kMessagesRead) + 1);
  if (lock != platform::WaitResult::kSignaled) {
    if (lock == platform::WaitResult::kAbandoned)
      mutex_.Unlock();
    return kQueueTimeout;
  }
  // Under the mutex the oldest message must still be the one that was copied. Its last block's
  // link is read again: a writer may have appended behind it since the walk.
  chain.after = BlockField(chain.last, ql::kBlockNext);
  rc = Field(ql::kUsedHead) == chain.first && (chain.after == ql::kNone || ValidBlock(chain.after))
           ? kQueueOk
           : kQueueCorrupt;
  if (rc == kQueueOk)
    MoveOldestToFree(chain, platform::CurrentThreadId());
  mutex_.Unlock();
  return rc;
}

uint32_t CXQueue::WaitForData(uint32_t timeout_ms) {
  if (!attached() || !data_ready_.is_open())
    return kQueueNotAttached;
  if (HasWaiting())
    return kQueueOk;
  if (timeout_ms == 0)
    return data_ready_.Wait(0) == platform::WaitResult::kSignaled ? kQueueOk : kQueueTimeout;
  // A writer in the middle of a stream queues its next message within microseconds, and a reader
  // asleep costs it a wake-up per message, which on some machines takes longer than the message
  // itself. So the used list is watched (spinning, the CPU kept) before the kernel wait, but only
  // as long as the last waits suggest: a message that comes after a pause is better waited for
  // asleep, since the spin is then wasted and, on a busy machine, costs the sleeper the
  // precedence the scheduler gives a thread that wakes. The event is watched as well: whoever set
  // it (a write that was already read, or a reader's own thread ringing it to wake this one) gets
  // its answer without the rest of the watch.
  const uint64_t start = platform::MonotonicMicros();
  const uint32_t watch = watch_us_;
  auto ready = [this] {
    return HasWaiting() || data_ready_.Wait(0) == platform::WaitResult::kSignaled;
  };
  uint32_t rc = kQueueOk;
  if (!platform::SpinUntil(ready, watch)) {
    uint32_t left = timeout_ms;
    if (timeout_ms != platform::kWaitForever) {
      const uint64_t spent_ms = (platform::MonotonicMicros() - start) / 1000;
      left = spent_ms >= timeout_ms ? 0 : timeout_ms - static_cast<uint32_t>(spent_ms);
    }
    rc = data_ready_.Wait(left) == platform::WaitResult::kSignaled ? kQueueOk : kQueueTimeout;
  }
  // What came within the longest watch would have been caught by watching about twice as long;
  // after a longer wait the watch is halved, so a pause or two ends it.
  const uint64_t took = platform::MonotonicMicros() - start;
  const uint32_t next =
      rc == kQueueOk && took <= kMaxDataWatchUs
          ? std::min<uint32_t>(kMaxDataWatchUs, static_cast<uint32_t>(took) * 2 + 1)
          : watch / 2;
  watch_us_ = next;
  return rc;
}

uint32_t CXQueue::DropOldest() {
  if (!attached())
    return kQueueNotAttached;
  uint32_t rc = LockForWrite(kWriteLockWaitMs);
  if (rc != kQueueOk)
    return rc;
  Chain chain;
  rc = WalkOldest(&chain);
  if (rc == kQueueOk) {
    MoveOldestToFree(chain, platform::CurrentThreadId());
  } else if (rc == kQueueCorrupt) {
    InitLists();
    rc = kQueueOk;
  }
  mutex_.Unlock();
  return rc;
}
