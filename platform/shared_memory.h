// Named shared-memory mappings that two processes attach to by the same name.
//
// A name is any text; it is turned into a POSIX shared-memory object name by
// SharedObjectName(), so callers may pass the names their peers use verbatim. The creator owns
// the name: creating an existing name starts a fresh object (anyone still attached to the old
// one keeps it until they detach), and the creator's Close removes the name unless another
// creator has replaced it meanwhile. Every open mapping is guarded (mapping_guard.h): a peer
// that truncates the object makes the mapping read zeros instead of ending this process.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Longest text kept from a caller's name before the hash suffix takes over.
inline constexpr size_t kMaxSharedNameChars = 200;

// "/" + `prefix` + the name with every byte outside [A-Za-z0-9._-] replaced by '_'. Names longer
// than kMaxSharedNameChars are cut and given a hash of the whole name, so that two long names
// that share a beginning still map to different objects.
std::string SharedObjectName(std::string_view prefix, std::string_view name);

// The object name SharedMemory uses for `name` (what a peer opens to reach the same mapping).
std::string SharedMemoryObjectName(std::string_view name);

// Removes the shared-memory object name `object` (as SharedObjectName gives it) only while it
// still names the object identified by `dev` and `ino`: a creator that has since replaced it
// keeps its name.
void UnlinkSharedObjectIfSame(const std::string& object, unsigned long long dev,
                              unsigned long long ino);

class SharedMemory {
 public:
  SharedMemory() = default;
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // Creates a zero-filled mapping of `size` bytes under `name` and maps it read-write. An object
  // already under that name is replaced. REQUIRES: not open. False when any step fails.
  bool Create(std::string_view name, size_t size);

  // Maps the existing object `name` read-write. False when it does not exist, cannot be mapped,
  // or is smaller than `min_size` bytes (a peer that made it too small would otherwise make us
  // touch memory past its end). size() is the object's real size. REQUIRES: not open.
  bool Open(std::string_view name, size_t min_size);

  // Unmaps; the creator also removes the name. Safe to call when not open.
  void Close();

  bool is_open() const { return data_ != nullptr; }
  bool is_creator() const { return creator_; }
  unsigned char* data() const { return static_cast<unsigned char*>(data_); }
  size_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
  bool creator_ = false;
  std::string object_name_;
  // Identity of the object we created, so Close never removes a successor's name.
  unsigned long long dev_ = 0;
  unsigned long long ino_ = 0;
};

}  // namespace platform
