#include "games/hall/update/list_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hall {
namespace {

CheckList Make(const std::vector<CheckListEntry>& entries) {
  CheckList list;
  for (const CheckListEntry& e : entries)
    list[e.path] = e;
  return list;
}

std::vector<std::string> Paths(const std::vector<const CheckListEntry*>& entries) {
  std::vector<std::string> out;
  for (const CheckListEntry* e : entries)
    out.push_back(e->path);
  return out;
}

TEST(ListDiffTest, FetchesNewAndChangedEntriesInPathOrder) {
  const struct {
    const char* name;
    std::vector<CheckListEntry> installed, server;
    std::vector<std::string> changed;
  } cases[] = {
      {"nothing installed", {}, {{"b", 1, 1}, {"a", 1, 1}}, {"a", "b"}},
      {"same lists", {{"a", 1, 1}, {"b", 2, 2}}, {{"a", 1, 1}, {"b", 2, 2}}, {}},
      {"size differs", {{"a", 1, 1}}, {{"a", 2, 1}}, {"a"}},
      {"time differs", {{"a", 1, 1}}, {{"a", 1, 9}}, {"a"}},
      {"removed entries are no download", {{"a", 1, 1}, {"z", 1, 1}}, {{"a", 1, 1}}, {}},
      {"case matters", {{"A", 1, 1}}, {{"a", 1, 1}}, {"a"}},
      {"interleaved",
       {{"b", 1, 1}, {"d", 1, 1}, {"f", 1, 1}},
       {{"a", 1, 1}, {"b", 1, 1}, {"c", 1, 1}, {"d", 5, 1}, {"g", 1, 1}},
       {"a", "c", "d", "g"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Paths(ChangedEntries(Make(c.installed), Make(c.server))), c.changed) << c.name;
  }
}

}  // namespace
}  // namespace hall
