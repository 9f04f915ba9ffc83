#include "skinui/child_list.h"

#include <algorithm>

namespace skinui {
namespace {

// Room made when the gap is used up: the list doubles, so appending stays amortised constant.
constexpr size_t kMinGap = 16;

}  // namespace

void ChildList::MoveGap(size_t i) {
  if (i < gap_begin_) {
    // Children [i, gap_begin) go to just before gap_end.
    const size_t n = gap_begin_ - i;
    std::copy_backward(buf_.begin() + static_cast<std::ptrdiff_t>(i),
                       buf_.begin() + static_cast<std::ptrdiff_t>(gap_begin_),
                       buf_.begin() + static_cast<std::ptrdiff_t>(gap_end_));
    gap_begin_ -= n;
    gap_end_ -= n;
  } else if (i > gap_begin_) {
    // Children [gap_end, gap_end + n) come down to gap_begin.
    const size_t n = i - gap_begin_;
    std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(gap_end_),
              buf_.begin() + static_cast<std::ptrdiff_t>(gap_end_ + n),
              buf_.begin() + static_cast<std::ptrdiff_t>(gap_begin_));
    gap_begin_ += n;
    gap_end_ += n;
  }
}

void ChildList::insert(size_t i, CControlUI* child) {
  if (gap_begin_ == gap_end_) {
    const size_t n = size();
    const size_t gap = std::max(kMinGap, n);
    std::vector<CControlUI*> grown(n + gap, nullptr);
    for (size_t k = 0; k < i; ++k)
      grown[k] = (*this)[k];
    for (size_t k = i; k < n; ++k)
      grown[k + gap] = (*this)[k];
    buf_.swap(grown);
    gap_begin_ = i;
    gap_end_ = i + gap;
  } else {
    MoveGap(i);
  }
  buf_[gap_begin_++] = child;
}

void ChildList::erase(size_t i) {
  MoveGap(i);
  buf_[gap_end_++] = nullptr;
}

int ChildList::IndexOf(const CControlUI* child, size_t near) const {
  const size_t n = size();
  if (n == 0)
    return -1;
  // Below `lo` and from `hi` on are still to look at.
  size_t lo = std::min(near, n - 1) + 1;
  size_t hi = lo;
  while (lo > 0 || hi < n) {
    if (lo > 0 && (*this)[--lo] == child)
      return static_cast<int>(lo);
    if (hi < n && (*this)[hi] == child)
      return static_cast<int>(hi);
    if (hi < n)
      ++hi;
  }
  return -1;
}

std::vector<CControlUI*> ChildList::TakeAll() {
  std::vector<CControlUI*> all(begin(), end());
  buf_.clear();
  gap_begin_ = gap_end_ = 0;
  return all;
}

}  // namespace skinui
