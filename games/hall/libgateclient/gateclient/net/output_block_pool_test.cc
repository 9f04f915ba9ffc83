#include "gateclient/net/output_block_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

namespace {

TEST(OutputBlockPoolTest, GivenBlocksAreReusedUpToTheCapAndFreedPastIt) {
  OutputBlockPool pool(2);
  EXPECT_EQ(pool.IdleCount(), 0u);
  std::vector<uint8_t*> taken;
  for (int i = 0; i < 3; ++i) {
    uint8_t* block = pool.Take();
    ASSERT_NE(block, nullptr);
    // The whole block is writable (the sanitizer checks the bounds).
    std::memset(block, i, OutputBlockPool::kBlockBytes);
    taken.push_back(block);
  }
  for (uint8_t* block : taken) pool.Give(block);
  EXPECT_EQ(pool.IdleCount(), 2u);  // the third went back to the allocator

  // The kept blocks come back before any new one is made.
  const std::set<uint8_t*> kept = {pool.Take(), pool.Take()};
  EXPECT_EQ(pool.IdleCount(), 0u);
  EXPECT_EQ(kept.count(taken[0]) + kept.count(taken[1]) + kept.count(taken[2]), 2u);
  for (uint8_t* block : kept) pool.Give(block);

  pool.Give(nullptr);
  EXPECT_EQ(pool.IdleCount(), 2u);
}

TEST(OutputBlockPoolTest, SharedPoolIsOneAndUsable) {
  OutputBlockPool& shared = OutputBlockPool::Shared();
  EXPECT_EQ(&shared, &OutputBlockPool::Shared());
  uint8_t* block = shared.Take();
  ASSERT_NE(block, nullptr);
  const size_t idle = shared.IdleCount();
  shared.Give(block);
  EXPECT_EQ(shared.IdleCount(), std::min(idle + 1, OutputBlockPool::kSharedKeptBlocks));
}

}  // namespace
