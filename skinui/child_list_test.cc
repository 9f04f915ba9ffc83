#include "skinui/child_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace skinui {
namespace {

// Stand-ins for controls: the list only keeps and compares the pointers.
CControlUI* Fake(uintptr_t n) {
  return reinterpret_cast<CControlUI*>(n * 8 + 8);
}

std::vector<CControlUI*> Contents(const ChildList& list) {
  std::vector<CControlUI*> out;
  for (CControlUI* c : list)
    out.push_back(c);
  // Indexing reads the same order as walking.
  for (size_t i = 0; i < list.size(); ++i)
    EXPECT_EQ(list[i], out[i]) << "index " << i;
  return out;
}

// Runs of changes at one place, jumps across the list, changes at both ends and growth past the
// room kept, each checked against a plain vector after every step.
TEST(SkinuiChildList, KeepsOrderThroughInsertsAndErasesAnywhere) {
  struct Case {
    const char* what;
    uint32_t seed;
    int steps;
    int insert_percent;
    int spread;  // 0: every change at one place; else a random index
  };
  const Case cases[] = {
      {"a run under one row", 1, 300, 100, 0},
      {"a run under one row, then taken out", 2, 600, 50, 0},
      {"anywhere, mostly inserts", 3, 2000, 70, 1},
      {"anywhere, balanced", 4, 3000, 50, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::mt19937 random(c.seed);
    ChildList list;
    std::vector<CControlUI*> expected;
    uintptr_t next = 0;
    for (int step = 0; step < c.steps; ++step) {
      const bool insert = expected.empty() || (c.spread == 0 ? step < c.steps * c.insert_percent / 100
                                                              : static_cast<int>(random() % 100) <
                                                                    c.insert_percent);
      if (insert) {
        const size_t at = c.spread == 0 ? std::min<size_t>(1, expected.size())
                                        : random() % (expected.size() + 1);
        list.insert(at, Fake(next));
        expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), Fake(next));
        ++next;
      } else {
        const size_t at = c.spread == 0 ? std::min<size_t>(1, expected.size() - 1)
                                        : random() % expected.size();
        list.erase(at);
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
      }
      ASSERT_EQ(list.size(), expected.size()) << "step " << step;
      ASSERT_EQ(Contents(list), expected) << "step " << step;
    }
  }
}

TEST(SkinuiChildList, IndexOfFindsFromAnyStartingPointAndMissesStrangers) {
  ChildList list;
  for (uintptr_t n = 0; n < 40; ++n)
    list.insert(n / 2, Fake(n));  // the gap ends up inside the list
  std::vector<CControlUI*> all = Contents(list);
  for (size_t near : {size_t{0}, size_t{7}, size_t{20}, size_t{39}, size_t{1000}}) {
    for (size_t i = 0; i < all.size(); ++i)
      EXPECT_EQ(list.IndexOf(all[i], near), static_cast<int>(i)) << "near " << near;
    EXPECT_EQ(list.IndexOf(Fake(999), near), -1);
    EXPECT_EQ(list.IndexOf(nullptr, near), -1);
  }
  EXPECT_EQ(ChildList().IndexOf(Fake(0), 0), -1);
}

TEST(SkinuiChildList, TakeAllHandsBackTheOrderAndEmpties) {
  ChildList list;
  std::vector<CControlUI*> expected;
  for (uintptr_t n = 0; n < 50; ++n) {
    list.insert(n % 3 == 0 ? 0 : list.size() / 2, Fake(n));
    expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(n % 3 == 0 ? 0 : expected.size() / 2),
                    Fake(n));
  }
  EXPECT_EQ(list.TakeAll(), expected);
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(Contents(list).empty());
  list.insert(0, Fake(1));
  EXPECT_EQ(Contents(list), std::vector<CControlUI*>{Fake(1)});
}

}  // namespace
}  // namespace skinui
