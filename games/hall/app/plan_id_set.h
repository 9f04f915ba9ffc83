// A set of plan ids for the plan tree's refresh: thousands are added after each clear and looked
// up once each, so they are kept in one flat table (open addressing, at most half full) that a
// clear empties without giving its room back. A tree of separate nodes, allocated between the
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
    if (slots_.empty())
      return false;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Home(id); slots_[i] != kFree; i = (i + 1) & mask) {
      if (slots_[i] == Stored(id))
        return true;
    }
    return false;
  }

  void insert(uint32_t id) {
    if ((size_ + 1) * 2 > slots_.size())
      Grow();
    const size_t mask = slots_.size() - 1;
    size_t i = Home(id);
    for (; slots_[i] != kFree; i = (i + 1) & mask) {
      if (slots_[i] == Stored(id))
        return;
    }
    slots_[i] = Stored(id);
    ++size_;
  }

  void clear() {
    if (size_ == 0)
      return;
    std::fill(slots_.begin(), slots_.end(), kFree);
    size_ = 0;
  }

  size_t size() const { return size_; }

  // The ids in order.
  std::set<uint32_t> Sorted() const {
    std::set<uint32_t> out;
    for (uint64_t s : slots_) {
      if (s != kFree)
        out.insert(static_cast<uint32_t>(s - 1));
    }
    return out;
  }

 private:
  static constexpr uint64_t kFree = 0;
  static uint64_t Stored(uint32_t id) { return uint64_t{id} + 1; }
  size_t Home(uint32_t id) const {
    return static_cast<size_t>((Stored(id) * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
  }
  void Grow() {
    std::vector<uint64_t> old(slots_.size() < 16 ? 16 : slots_.size() * 2, kFree);
    old.swap(slots_);
    bits_ = 0;
    while ((size_t{1} << bits_) < slots_.size())
      ++bits_;
    size_ = 0;
    for (uint64_t s : old) {
      if (s != kFree)
        insert(static_cast<uint32_t>(s - 1));
    }
  }

  std::vector<uint64_t> slots_;  // id + 1, or kFree; a power of two long, or empty
  int bits_ = 0;
  size_t size_ = 0;
};

}  // namespace hall
