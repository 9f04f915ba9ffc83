// Fixed-size buffers for output a channel has queued but not yet written, kept for reuse.
//
// A burst of large frames queued faster than the socket drains them would otherwise take fresh
// memory for every frame, fault its pages in while copying, and hand it back to the system once
// written: on loopback that costs more than the socket itself. Blocks go back to the pool when the
// bufferevent lets go of them, which may be after their channel is gone, so the manager uses one
// pool that lives as long as the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class OutputBlockPool {
 public:
  // Output frames are copied in blocks of this size; a frame's last block may be part-filled.
  static constexpr size_t kBlockBytes = 64 * 1024;
  // Idle blocks kept by the shared pool (4 MiB): about what a loopback socket buffers, so a burst
  // that fills the socket once reuses its blocks, and an idle client holds little.
  static constexpr size_t kSharedKeptBlocks = 64;

  explicit OutputBlockPool(size_t max_kept);
  // Frees the idle blocks. Blocks still taken must not be given back afterwards.
  ~OutputBlockPool();
  OutputBlockPool(const OutputBlockPool&) = delete;
  OutputBlockPool& operator=(const OutputBlockPool&) = delete;

  // The process's pool, never destroyed. Any thread.
  static OutputBlockPool& Shared();

  // A block of kBlockBytes, an idle one when there is one; null when memory runs out. Any thread.
  uint8_t* Take();
  // Takes back a block from Take: kept for reuse while fewer than `max_kept` are idle, freed
  // otherwise. Any thread; the pool's lock is a leaf, so this may run under any other lock (the
  // bufferevent gives blocks back while holding its own).
  void Give(uint8_t* block);

  // Idle blocks held now; for tests.
  size_t IdleCount() const;

 private:
  const size_t max_kept_;
  mutable std::mutex mutex_;  // a leaf lock
  std::vector<uint8_t*> idle_;
};
