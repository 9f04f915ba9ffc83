// A one-way message queue between two processes: a named shared area of fixed blocks (layout in
// queue_layout.h), a named mutex guarding its lists and two named auto-reset events (data ready,
// writer token). One side creates it, the other opens it by the same name; either may write whole
// messages and the other reads them out in order.
//
// The other process can write anything into the shared area, so every value read from it (the
// geometry at Open, list links, block numbers, lengths) is checked against the mapping before it
// is used, and every walk along a chain stops after block_count steps. A corrupt chain reads as
// kQueueCorrupt; DropOldest removes it.
//
// One object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/ipc/shared_mem_file.h"
#include "platform/named_sync.h"

// Results of the queue's operations.
enum QueueCode : uint32_t {
  kQueueOk = 0,
  kQueueNotAttached = 1,  // not attached, or no writer-token object
  kQueueCorrupt = 3,      // a kernel object failed, no mutex, or a chain does not hold together
  kQueueNoBlocks = 4,     // the free list ran dry during a write; nothing was queued
  kQueueEmpty = 5,
  kQueueBufferTooSmall = 6,  // *length tells what is needed from where the copy stopped
  kQueueTimeout = 7,
  kQueueBadArgument = 8,
  kQueueOpenFailed = 9,
  kQueueCreateFailed = 10,
  kQueueNoCreator = 11,
};

class CXQueue {
 public:
  // How long Write waits for the writer token (another writer, or one that died holding it).
  static constexpr uint32_t kWriterTokenWaitMs = 100;
  // Write waits for free blocks in this many sleeps of kFreeBlockSleepMs.
  static constexpr uint32_t kFreeBlockPolls = 100;
  static constexpr uint32_t kFreeBlockSleepMs = 1;
  // Before the first sleep: a reader draining the queue frees blocks within microseconds, so a
  // few yields usually find room without giving up a whole millisecond. Every run of yields is
  // also cut short once the millisecond tick has moved kYieldMs, since on a loaded machine one
  // yield can last a whole time slice.
  static constexpr uint32_t kFreeBlockYields = 2000;
  static constexpr uint32_t kYieldMs = 2;
  // How long Write and DropOldest wait for the mutex.
  static constexpr uint32_t kWriteLockWaitMs = 100;
  // WaitForData's longest watch before it sleeps on the data-ready event, in microseconds.
  static constexpr uint32_t kMaxDataWatchUs = 50;

  CXQueue();
  virtual ~CXQueue();
  CXQueue(const CXQueue&) = delete;
  CXQueue& operator=(const CXQueue&) = delete;

  // The names of queue `name`'s objects.
  static std::string QueueName(const char* name);
  static std::string MappingName(const char* name);
  static std::string MutexName(const char* name);
  static std::string DataReadyName(const char* name);
  static std::string WriterTokenName(const char* name);

  // Builds the shared area and the kernel objects as creator; an existing area of that name is
  // replaced by a fresh one. 0, 8 (no name), 10 (attached already / mapping failed), 3.
  uint32_t Create(const char* name);
  // Attaches to an existing queue and takes its geometry from the header, which must fit the
  // mapping. 0, 8, 9 (attached already / no mapping / bad geometry), 3.
  uint32_t Open(const char* name);
  // Detaches. Always 0; safe when closed.
  uint32_t Close();

  // Queues one message of `length` bytes. Either the whole message is queued or nothing is.
  uint32_t Write(const void* data, uint32_t length);
  // Write without waiting: the writer token, room for the whole message and the mutex must all
  // be there at once, else 7 and nothing is queued. For a caller that must never be held up by
  // the other process.
  uint32_t TryWrite(const void* data, uint32_t length);

  // Takes the oldest message. On entry *length is the buffer's capacity, on return the bytes
  // delivered. A null buffer only reports the message: *length = its total length, nothing
  // removed. writer_thread may be null. timeout_ms bounds the wait for the mutex.
  uint32_t Read(void* buffer, uint32_t* length, uint32_t* sequence, uint32_t* writer_thread,
                uint32_t timeout_ms);

  // Waits up to `timeout_ms` for a message. 0 at once when one waits (the data-ready event is
  // left as it is), else 0 when the event that each successful Write sets was set (which clears
  // it; a message may wait), 7 on time-out, 1 when not attached. A reader that found the queue
  // empty may wait here instead of polling. Before the kernel wait it may watch for a message and
  // for the event (which it clears when it sees it set) for up to kMaxDataWatchUs, as long as the
  // last waits suggest one is about to come.
  uint32_t WaitForData(uint32_t timeout_ms);

  // Tells the next WaitForData that a message is due soon (the answer to one just sent), so it
  // watches for the longest before its kernel wait.
  void ExpectData() { watch_us_ = kMaxDataWatchUs; }

  // Removes the oldest message without reading it; when its chain is corrupt, every waiting
  // message is discarded and both lists are rebuilt. 0, 5 (empty), 1, 3 or 7.
  uint32_t DropOldest();

  bool attached() const { return header_ != nullptr; }
  bool is_opener() const { return is_opener_; }
  const std::string& name() const { return name_; }
  uint32_t block_count() const { return block_count_; }
  uint32_t block_data() const { return block_data_; }
  uint32_t block_stride() const { return stride_; }
  // Largest message that can ever be queued: all blocks' data.
  uint32_t Capacity() const { return block_count_ * block_data_; }
  // The shared area; for tests and test peers that inspect or damage it.
  unsigned char* header() const { return header_; }

 private:
  struct Chain;  // the blocks of the oldest message

  // Read drops the lines it copied from the caches for messages of at least this many blocks.
  static constexpr uint32_t kEvictFromBlocks = 4;

  uint32_t Field(size_t offset) const;
  void SetField(size_t offset, uint32_t value);
  unsigned char* Block(uint32_t n) const;
  uint32_t BlockField(uint32_t n, size_t offset) const;
  void SetBlockField(uint32_t n, size_t offset, uint32_t value);
  bool ValidBlock(uint32_t n) const;
  // Whether the used list holds a message, as Read's first check sees it.
  bool HasWaiting() const;
  // Walks the oldest message's chain and checks it; kQueueEmpty, kQueueCorrupt or kQueueOk.
  uint32_t WalkOldest(Chain* chain) const;
  void MoveOldestToFree(const Chain& chain, uint32_t thread);
  void InitLists();
  void ResetGeometry();
  uint32_t LockForWrite(uint32_t timeout_ms);
  uint32_t WriteMessage(const void* data, uint32_t length, bool wait);

  CSharedMemFile mem_;
  platform::NamedMutex mutex_;
  platform::NamedEvent writer_token_;
  platform::NamedEvent data_ready_;
  bool is_opener_ = false;
  std::string name_;
  unsigned char* header_ = nullptr;
  unsigned char* blocks_ = nullptr;
  uint32_t block_count_ = 0;
  uint32_t units_ = 0;
  uint32_t stride_ = 0;
  uint32_t block_data_ = 0;
  // How long WaitForData watches before its kernel wait, from how long the last waits took.
  uint32_t watch_us_ = 0;
};
