// The shared area of a block queue, as both the hall and the game clients map it. Every value is a
// little-endian u32; the offsets and defaults below are a format shared with other programs.
//
//   | header (header_size bytes) | block 0 | block 1 | ... | block block_count-1 |
//   block i starts at header_size + i * header_size and holds
//   | index | prev | next | owner_thread | length | sequence | data (block_data bytes) |
//
// Both lists (free, used) are FIFO chains of block numbers linked through prev / next; kNone ends
// them. Bit 31 of a block's length says that the message continues in the next block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace queue_layout {

inline constexpr uint32_t kNone = 0xFFFFFFFFu;
inline constexpr uint32_t kContinues = 0x80000000u;
inline constexpr uint32_t kLengthMask = 0x7FFFFFFFu;

// Geometry of every queue this side creates.
inline constexpr uint32_t kDefaultHeaderSize = 1024;
inline constexpr uint32_t kDefaultBlockData = 1000;
inline constexpr uint32_t kDefaultBlockCount = 1024;
inline constexpr uint32_t kDefaultUnits = kDefaultBlockCount + 1;
inline constexpr size_t kDefaultMappingSize =
    size_t{kDefaultHeaderSize} + size_t{kDefaultBlockCount} * kDefaultHeaderSize;  // 1,049,600

// Header field offsets.
inline constexpr size_t kHeaderSize = 0;
inline constexpr size_t kBlockData = 4;
inline constexpr size_t kUnits = 8;
inline constexpr size_t kBlockCount = 12;
inline constexpr size_t kFreeCount = 16;
inline constexpr size_t kUsedCount = 20;
inline constexpr size_t kOpenerCount = 24;
inline constexpr size_t kCreatorCount = 28;
inline constexpr size_t kCreatorThread = 32;
inline constexpr size_t kMessagesWritten = 40;
inline constexpr size_t kMessagesRead = 44;
inline constexpr size_t kLargestMessage = 48;
inline constexpr size_t kNextSequence = 52;
inline constexpr size_t kFreeHead = 56;
inline constexpr size_t kFreeTail = 60;
inline constexpr size_t kUsedHead = 64;
inline constexpr size_t kUsedTail = 68;
// Bytes of the header that carry fields; a header must be at least this long.
inline constexpr size_t kHeaderFieldBytes = 72;

// Block field offsets.
inline constexpr size_t kBlockIndex = 0;
inline constexpr size_t kBlockPrev = 4;
inline constexpr size_t kBlockNext = 8;
inline constexpr size_t kBlockOwner = 12;
inline constexpr size_t kBlockLength = 16;
inline constexpr size_t kBlockSequence = 20;
inline constexpr size_t kBlockDataOffset = 24;

// Kernel object names of a queue called N.
inline constexpr const char kQueuePrefix[] = "kx_52816_queue_";
inline constexpr const char kMutexPrefix[] = "kx_52816_mutex_write_";
inline constexpr const char kDataReadyPrefix[] = "kx_52816_server_notify_";
inline constexpr const char kWriterTokenPrefix[] = "kx_52816_client_write_event_";
// Object names hold at most this many characters (a buffer of 520 with its terminator).
inline constexpr size_t kMaxObjectNameChars = 519;

}  // namespace queue_layout
