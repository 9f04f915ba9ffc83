#include "games/hall/app/plan_id_set.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace hall {
namespace {

// Runs of adds and lookups against a std::set, cleared in between, over ids of every spread the
// catalogue may send (a run, a few shared, ids far apart, the ends of the range).
TEST(PlanIdSet, AgreesWithAnOrderedSetThroughAddsAndClears) {
  struct Case {
    const char* what;
    uint32_t seed;
    uint32_t range;
    uint32_t stride;
    uint32_t base;
  };
  const Case cases[] = {
      {"a run of plan ids", 1, 5000, 1, 10000},
      {"few ids, added again and again, 0 among them", 2, 30, 1, 0},
      {"ids a power of two apart", 3, 3000, 1u << 16, 0},
      {"the top of the range", 4, 2000, 1, 0xFFFFFFFFu - 1999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::mt19937 random(c.seed);
    PlanIdSet set;
    for (int round = 0; round < 3; ++round) {
      std::set<uint32_t> expected;
      set.clear();
      EXPECT_EQ(set.size(), 0u);
      for (int i = 0; i < 4000; ++i) {
        const uint32_t id = c.base + (random() % c.range) * c.stride;
        set.insert(id);
        expected.insert(id);
      }
      ASSERT_EQ(set.size(), expected.size());
      EXPECT_EQ(set.Sorted(), expected);
      for (uint32_t n = 0; n < c.range; ++n) {
        const uint32_t id = c.base + n * c.stride;
        ASSERT_EQ(set.contains(id), expected.count(id) == 1) << "id " << id;
      }
      EXPECT_FALSE(set.contains(c.base - 1) && expected.count(c.base - 1) == 0);
    }
  }
  EXPECT_FALSE(PlanIdSet().contains(0));
}

}  // namespace
}  // namespace hall
