// The children of a container, in order. A list of thousands of rows gains and loses them in runs
// at one place (a tree puts each new row of a group directly under the group's row, and takes a
// group's rows out one after another), so the children are kept with a gap where the last change
// was: a run of changes at one place moves only the gap, not every child after it.
//
//   | children [0, gap_begin) |   gap   | children [gap_begin, size) |
//   0        <=          gap_begin  <=  gap_end       <=         buf.size()
#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

namespace skinui {

class CControlUI;

class ChildList {
 public:
  class const_iterator {
   public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = CControlUI*;
    using difference_type = std::ptrdiff_t;
    using pointer = CControlUI* const*;
    using reference = CControlUI*;

    const_iterator() = default;
    const_iterator(const ChildList* list, size_t index) : list_(list), index_(index) {}
    CControlUI* operator*() const { return (*list_)[index_]; }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator was = *this;
      ++index_;
      return was;
    }
    const_iterator& operator--() {
      --index_;
      return *this;
    }
    const_iterator operator--(int) {
      const_iterator was = *this;
      --index_;
      return was;
    }
    bool operator==(const const_iterator& o) const { return index_ == o.index_; }
    size_t index() const { return index_; }

   private:
    const ChildList* list_ = nullptr;
    size_t index_ = 0;
  };

  size_t size() const { return buf_.size() - (gap_end_ - gap_begin_); }
  bool empty() const { return size() == 0; }
  // REQUIRES: i < size().
  CControlUI* operator[](size_t i) const {
    return buf_[i < gap_begin_ ? i : i + (gap_end_ - gap_begin_)];
  }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, size()); }

  // REQUIRES: i <= size().
  void insert(size_t i, CControlUI* child);
  // REQUIRES: i < size().
  void erase(size_t i);
  // The index of `child`, looked for outward from `near` (the nearest match wins); -1 when it is
  // not a child. A search near the last change finds it at once.
  int IndexOf(const CControlUI* child, size_t near) const;
  // Hands back every child in order and leaves the list empty.
  std::vector<CControlUI*> TakeAll();

 private:
  void MoveGap(size_t i);

  std::vector<CControlUI*> buf_;
  size_t gap_begin_ = 0;
  size_t gap_end_ = 0;
};

}  // namespace skinui
