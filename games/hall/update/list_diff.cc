#include "games/hall/update/list_diff.h"

namespace hall {

std::vector<const CheckListEntry*> ChangedEntries(const CheckList& installed,
                                                  const CheckList& server) {
  std::vector<const CheckListEntry*> changed;
  auto old = installed.begin();
  for (const auto& [path, entry] : server) {
    while (old != installed.end() && old->first < path)
      ++old;
    if (old == installed.end() || old->first != path || old->second.size != entry.size ||
        old->second.ftime != entry.ftime) {
      changed.push_back(&entry);
    }
  }
  return changed;
}

}  // namespace hall
