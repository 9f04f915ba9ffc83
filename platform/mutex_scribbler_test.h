// For the named-mutex tests: writes into a mutex's word as the other process can, through an
// attachment of its own.
#pragma once

#include <cstdint>
#include <string>

#include "platform/named_sync.h"

namespace platform {

class MutexScribbler {
 public:
  bool Open(const std::string& name) {
    return raw_.Attach(internal::kMutexPrefix, name, internal::kKindMutex, false, nullptr, nullptr);
  }
  void Write(uint64_t word) { raw_.segment()->lock.store(word); }
  uint64_t Read() const { return raw_.segment()->lock.load(); }

 private:
  internal::SyncHandle raw_;
};

// The word that names thread `tid` of process `pid` as the owner.
inline uint64_t OwnerWord(uint32_t pid, uint32_t tid) {
  return (uint64_t{pid} << 32) | tid;
}

}  // namespace platform
