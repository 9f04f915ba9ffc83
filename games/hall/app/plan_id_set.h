// A set of plan ids for the plan tree's refresh: thousands are added after each clear and looked
// up once each, so they are kept in one flat table of four bytes an id (open addressing, at most
// three quarters full; id 0 is kept apart, 0 marks a free slot) that a clear empties without
// giving its room back. A tree of separate nodes, allocated between the
// refresh's other allocations, would put each id elsewhere in memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace hall {

class PlanIdSet {
 public:
  bool contains(uint32_t id) const {
    if (id == kFree)
      return has_zero_;
    if (slots_.empty())
      return false;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Home(id); slots_[i] != kFree; i = (i + 1) & mask) {
      if (slots_[i] == id)
        return true;
    }
    return false;
  }

  void insert(uint32_t id) {
    if (id == kFree) {
      has_zero_ = true;
      return;
    }
    if ((used_ + 1) * 4 > slots_.size() * 3)
      Grow();
    const size_t mask = slots_.size() - 1;
    size_t i = Home(id);
    for (; slots_[i] != kFree; i = (i + 1) & mask) {
      if (slots_[i] == id)
        return;
    }
    slots_[i] = id;
    ++used_;
  }

  void clear() {
    if (used_ > 0)
      std::fill(slots_.begin(), slots_.end(), kFree);
    used_ = 0;
    has_zero_ = false;
  }

  size_t size() const { return used_ + (has_zero_ ? 1 : 0); }

  // The ids in order.
  std::set<uint32_t> Sorted() const {
    std::set<uint32_t> out;
    if (has_zero_)
      out.insert(0);
    for (uint32_t s : slots_) {
      if (s != kFree)
        out.insert(s);
    }
    return out;
  }

 private:
  static constexpr uint32_t kFree = 0;
  size_t Home(uint32_t id) const {
    // Fibonacci hashing: ids in a run or a power of two apart spread over the whole table.
    return static_cast<size_t>((uint64_t{id} * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
  }
  void Grow() {
    std::vector<uint32_t> old(slots_.size() < 16 ? 16 : slots_.size() * 2, kFree);
    old.swap(slots_);
    bits_ = 0;
    while ((size_t{1} << bits_) < slots_.size())
      ++bits_;
    used_ = 0;
    for (uint32_t s : old) {
      if (s != kFree)
        insert(s);
    }
  }

  std::vector<uint32_t> slots_;  // ids, or kFree; a power of two long, or empty
  int bits_ = 0;
  size_t used_ = 0;  // slots taken
  bool has_zero_ = false;
};

}  // namespace hall
