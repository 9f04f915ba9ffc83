#include "gateclient/ipc/queue_memory_check.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "gateclient/ipc/cxqueue.h"
#include "gateclient/ipc/queue_layout.h"

namespace ql = queue_layout;

namespace queue_check {
namespace {

// No call may take longer; Writes that would wait for free blocks are not made (see RunWrites).
constexpr auto kPromptLimit = std::chrono::milliseconds(500);
// Capacity of the "small" buffer.
constexpr uint32_t kSmallBuffer = 16;
// Messages read before the queue is left alone.
constexpr int kReadsPerQueue = 4;
constexpr size_t kBlockHeaderBytes = ql::kBlockDataOffset;
// Script records (see RunScript): words below this are stored into, the rest are calls.
constexpr uint32_t kFirstCall = 0xFF00;
constexpr uint32_t kScriptBufferMax = 4096;
constexpr uint32_t kScriptMessageMax = 5000;

uint32_t Word(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// One creator per process (named after the pid, so parallel runs never meet); its shared area is
// put back to the state after Create before every input.
struct Area {
  Area() : name("tvx_qcheck_" + std::to_string(getpid())) {
    created = queue.Create(name.c_str()) == kQueueOk;
    if (created)
      fresh.assign(queue.header(), queue.header() + ql::kDefaultMappingSize);
  }
  std::string name;
  CXQueue queue;
  bool created = false;
  std::vector<unsigned char> fresh;
};

Area& TheArea() {
  static Area area;
  return area;
}

// Lays the input over the fresh area.
void Damage(unsigned char* area, std::string_view input) {
  const bool structured = (static_cast<unsigned char>(input[0]) & 1) != 0;
  std::string_view rest = input.substr(1);
  if (!structured) {
    std::memcpy(area, rest.data(), std::min(rest.size(), ql::kDefaultMappingSize));
    return;
  }
  const size_t head = std::min(rest.size(), ql::kHeaderFieldBytes);
  std::memcpy(area, rest.data(), head);
  rest.remove_prefix(head);
  for (uint32_t block = 0; !rest.empty() && block < ql::kDefaultBlockCount; ++block) {
    const size_t n = std::min(rest.size(), kBlockHeaderBytes);
    std::memcpy(area + ql::kDefaultHeaderSize + size_t{block} * ql::kDefaultHeaderSize, rest.data(),
                n);
    rest.remove_prefix(n);
  }
}

// Runs one queue object through its calls and records the first broken promise.
class Exercise {
 public:
  Exercise(CXQueue& queue, const char* who) : q_(queue), who_(who) {}

  // Each 6-byte record is u16 word + u32 value: below kFirstCall the value is stored into that
  // word of the area (as the other process may at any moment), else it makes call word & 7.
  void RunScript(std::string_view script) {
    for (; script.size() >= 6 && failure_.empty(); script.remove_prefix(6)) {
      const auto* r = reinterpret_cast<const unsigned char*>(script.data());
      const uint32_t word = r[0] | (uint32_t{r[1]} << 8);
      uint32_t value;
      std::memcpy(&value, r + 2, 4);
      if (word < kFirstCall) {
        std::memcpy(q_.header() + size_t{word} * 4, &value, 4);
        continue;
      }
      uint32_t total = 0, sequence = 0;
      switch (word & 7) {
        case 0:
          Look(&total, &sequence);
          break;
        case 1:
          ReadAny(value % (kScriptBufferMax + 1));
          break;
        case 2: {
          uint32_t rc = Timed("DropOldest", [&] { return q_.DropOldest(); });
          if (rc != kQueueOk && rc != kQueueEmpty)
            Fail("DropOldest returned " + std::to_string(rc));
          break;
        }
        case 3:
          WriteOne(value % kScriptMessageMax + 1);
          break;
        default: {
          uint32_t rc = Timed("WaitForData", [&] { return q_.WaitForData(0); });
          if (rc != kQueueOk && rc != kQueueTimeout)
            Fail("WaitForData returned " + std::to_string(rc));
          break;
        }
      }
    }
  }

  std::string Run() {
    saw_corrupt_ = false;  // only what this round's reads find counts for the recovery
    ReadSome();
    DropAndRecover();
    RunWrites();
    return failure_;
  }

 private:
  void Fail(const std::string& what) {
    if (failure_.empty())
      failure_ = who_ + ": " + what;
  }

  uint32_t Timed(const char* call, const std::function<uint32_t()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    uint32_t rc = fn();
    if (std::chrono::steady_clock::now() - start > kPromptLimit)
      Fail(std::string(call) + " did not return promptly");
    if (rc > kQueueNoCreator)
      Fail(std::string(call) + " returned an undefined code " + std::to_string(rc));
    if (rc == kQueueCorrupt)
      saw_corrupt_ = true;
    return rc;
  }

  uint32_t Header(size_t offset) const { return Word(q_.header() + offset); }

  // Looks at the oldest message; false when there is none (or it is corrupt).
  bool Look(uint32_t* total, uint32_t* sequence) {
    uint32_t thread = 0;
    *total = 0xA5A5A5A5u;
    uint32_t rc =
        Timed("Read(null)", [&] { return q_.Read(nullptr, total, sequence, &thread, 0); });
    if (rc == kQueueEmpty || rc == kQueueCorrupt) {
      if (*total != 0)
        Fail("Read(null) without a message left length " + std::to_string(*total));
      return false;
    }
    if (rc != kQueueOk) {
      Fail("Read(null) returned " + std::to_string(rc));
      return false;
    }
    if (*total == 0 || *total > q_.Capacity()) {
      Fail("Read(null) reported a length of " + std::to_string(*total));
      return false;
    }
    return true;
  }

  // Reads the oldest message into a buffer of exactly `capacity` bytes.
  uint32_t ReadInto(uint32_t capacity, uint32_t* length, uint32_t* sequence,
                    std::vector<unsigned char>* out) {
    // Heap, exactly this long: a byte past it is an ASan report. A zero capacity still gets a
    // buffer, since a null one would only look.
    out->assign(std::max<uint32_t>(capacity, 1), 0);
    *length = capacity;
    return Timed("Read", [&] { return q_.Read(out->data(), length, sequence, nullptr, 0); });
  }

  // A read into a buffer of `capacity` bytes, whatever the queue holds.
  void ReadAny(uint32_t capacity) {
    std::vector<unsigned char> buffer;
    uint32_t length = 0, sequence = 0;
    uint32_t rc = ReadInto(capacity, &length, &sequence, &buffer);
    bool kept = rc == kQueueOk                             ? length >= 1 && length <= capacity
                : rc == kQueueBufferTooSmall               ? length >= 1 && capacity > 0
                : rc == kQueueBadArgument                  ? length == 0 && capacity == 0
                : rc == kQueueEmpty || rc == kQueueCorrupt ? length == 0
                                                           : false;
    if (!kept)
      Fail("a read into " + std::to_string(capacity) + " bytes gave " + std::to_string(rc) +
           " with length " + std::to_string(length));
  }

  void ReadSome() {
    for (int k = 0; k < kReadsPerQueue && failure_.empty(); ++k) {
      uint32_t total = 0, sequence = 0;
      if (!Look(&total, &sequence))
        return;
      uint32_t again = 0, sequence_again = 0;
      if (!Look(&again, &sequence_again) || again != total || sequence_again != sequence) {
        Fail("a look at the message changed it");
        return;
      }
      // Small, exact (as the channel reads) and large buffers in turn.
      const uint32_t capacity = k % 3 == 0 ? kSmallBuffer : k % 3 == 1 ? total : q_.Capacity() + 8;
      std::vector<unsigned char> buffer;
      uint32_t length = 0, got_sequence = 0;
      uint32_t rc = ReadInto(capacity, &length, &got_sequence, &buffer);
      if (total > capacity) {
        if (rc != kQueueBufferTooSmall || length == 0 || length > total) {
          Fail("a short buffer gave " + std::to_string(rc) + " with length " +
               std::to_string(length) + " for a message of " + std::to_string(total));
          return;
        }
        rc = ReadInto(total, &length, &got_sequence, &buffer);
      }
      if (rc != kQueueOk || length != total || got_sequence != sequence) {
        Fail("reading a message of " + std::to_string(total) + " gave " + std::to_string(rc) +
             " with length " + std::to_string(length));
        return;
      }
    }
  }

  // Whether Write would sit out its wait for free blocks (about 100 ms of the fuzzer's time).
  bool WouldWait(uint32_t length) const {
    const uint32_t needed = (length + q_.block_data() - 1) / q_.block_data();
    return Header(ql::kFreeCount) < needed;
  }

  bool TooLong(uint32_t length) const {
    return uint64_t{length} >= uint64_t{q_.block_count() - 1} * q_.block_stride();
  }

  void DropAndRecover() {
    if (!failure_.empty())
      return;
    const bool corrupt = saw_corrupt_;
    uint32_t rc = Timed("DropOldest", [&] { return q_.DropOldest(); });
    if (rc != kQueueOk && rc != kQueueEmpty) {
      Fail("DropOldest returned " + std::to_string(rc));
      return;
    }
    if (!corrupt)
      return;
    // The corrupt message is gone and the lists are whole again: a message goes round.
    uint32_t total = 0, sequence = 0;
    if (Look(&total, &sequence)) {
      Fail("messages remain after a corrupt queue was rebuilt");
      return;
    }
    // At most what the blocks hold: a longer message waits for blocks that can never come.
    std::string message(std::min<uint32_t>(37, q_.Capacity()), '\0');
    for (size_t i = 0; i < message.size(); ++i)
      message[i] = static_cast<char>('a' + i % 26);
    const uint32_t size = static_cast<uint32_t>(message.size());
    rc = Timed("Write", [&] { return q_.Write(message.data(), size); });
    if (TooLong(size)) {
      if (rc != kQueueBadArgument)
        Fail("a message longer than the queue allows gave " + std::to_string(rc));
      return;
    }
    if (Header(ql::kCreatorCount) == 0) {
      if (rc != kQueueNoCreator)
        Fail("a write without a creator gave " + std::to_string(rc));
      return;
    }
    if (rc != kQueueOk) {
      Fail("a write into the rebuilt queue gave " + std::to_string(rc));
      return;
    }
    std::vector<unsigned char> buffer;
    uint32_t length = 0;
    rc = ReadInto(size + 8, &length, &sequence, &buffer);
    if (rc != kQueueOk || length != size || std::memcmp(buffer.data(), message.data(), size) != 0) {
      Fail("the message written into the rebuilt queue did not come back (" + std::to_string(rc) +
           ")");
    }
  }

  // A write of `size` bytes, unless it would sit out the wait for free blocks.
  void WriteOne(uint32_t size) {
    if (!TooLong(size) && Header(ql::kCreatorCount) != 0 && WouldWait(size))
      return;
    std::vector<unsigned char> message(size, 0x5A);
    uint32_t rc = Timed("Write", [&] { return q_.Write(message.data(), size); });
    bool expected = TooLong(size) ? rc == kQueueBadArgument
                    : Header(ql::kCreatorCount) == 0
                        ? rc == kQueueNoCreator
                        : rc == kQueueOk || rc == kQueueCorrupt || rc == kQueueNoBlocks;
    if (!expected)
      Fail("a write of " + std::to_string(size) + " bytes gave " + std::to_string(rc));
  }

  void RunWrites() {
    const uint32_t data = q_.block_data();
    for (uint32_t size : {1u, data, data + 1, 3 * data + 7}) {
      if (!failure_.empty())
        return;
      WriteOne(size);
    }
  }

  CXQueue& q_;
  std::string who_;
  std::string failure_;
  bool saw_corrupt_ = false;
};

}  // namespace

std::string CheckQueueMemory(std::string_view input) {
  if (input.empty())
    return {};
  Area& area = TheArea();
  if (!area.created)
    return "the queue could not be created";
  unsigned char* shared = area.queue.header();
  std::memcpy(shared, area.fresh.data(), area.fresh.size());
  const unsigned char mode = static_cast<unsigned char>(input[0]);
  if ((mode & 4) != 0) {
    // Calls with the other side's stores in between, then the usual round.
    Exercise scripted(area.queue, "creator");
    scripted.RunScript(input.substr(1));
    std::string failure = scripted.Run();
    return failure;
  }
  Damage(shared, input);
  const bool open_too = (mode & 2) != 0;

  // The opener first: it reads the damaged geometry before the creator's calls repair anything.
  if (open_too) {
    CXQueue opener;
    uint32_t rc = opener.Open(area.name.c_str());
    if (rc == kQueueOk) {
      const uint64_t reach = uint64_t{opener.block_stride()} * (uint64_t{opener.block_count()} + 1);
      if (reach > ql::kDefaultMappingSize ||
          uint64_t{opener.block_data()} + ql::kBlockDataOffset > opener.block_stride())
        return "Open accepted a geometry that leaves the mapping";
      std::string failure = Exercise(opener, "opener").Run();
      if (!failure.empty())
        return failure;
    } else if (rc != kQueueOpenFailed) {
      return "Open of a damaged area returned " + std::to_string(rc);
    }
  }
  return Exercise(area.queue, "creator").Run();
}

}  // namespace queue_check
