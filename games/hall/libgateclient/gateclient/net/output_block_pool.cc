#include "gateclient/net/output_block_pool.h"

#include <new>

OutputBlockPool::OutputBlockPool(size_t max_kept) : max_kept_(max_kept) {
  // Reserved up front, so keeping a block never needs an allocation (Give runs inside libevent).
  idle_.reserve(max_kept_);
}

OutputBlockPool::~OutputBlockPool() {
  for (uint8_t* block : idle_) delete[] block;
}

OutputBlockPool& OutputBlockPool::Shared() {
  // Leaked on purpose: a bufferevent freed during the base's teardown still gives blocks back.
  static OutputBlockPool* const pool = new OutputBlockPool(kSharedKeptBlocks);
  return *pool;
}

uint8_t* OutputBlockPool::Take() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      uint8_t* block = idle_.back();
      idle_.pop_back();
      return block;
    }
  }
  return new (std::nothrow) uint8_t[kBlockBytes];
}

void OutputBlockPool::Give(uint8_t* block) {
  if (block == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (idle_.size() < max_kept_) {
      idle_.push_back(block);
      return;
    }
  }
  delete[] block;
}

size_t OutputBlockPool::IdleCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return idle_.size();
}
