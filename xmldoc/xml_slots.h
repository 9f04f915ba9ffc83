// The array behind a node's children, attributes and text-like items: sized exactly in its
// document's arena by the parser, moved to the heap when an edit makes it grow. At most 2^32 - 1
// items (std::length_error past that). Internal to the library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <utility>

namespace xmldoc {

template <typename T>
class XmlSlots {
 public:
  XmlSlots() = default;
  XmlSlots(const XmlSlots&) = delete;
  XmlSlots& operator=(const XmlSlots&) = delete;
  ~XmlSlots() { Clear(); }

  // Takes `size` objects already constructed in arena memory; they are destroyed, not freed.
  // REQUIRES: empty().
  void Adopt(T* data, size_t size) {
    if (size > kMaxSize)
      throw std::length_error("too many items in one element");
    data_ = data;
    size_ = static_cast<uint32_t>(size);
    capacity_ = 0;
  }

  void PushBack(T value) {
    if (size_ >= capacity_)
      Grow();
    ::new (data_ + size_) T(std::move(value));
    ++size_;
  }
  // Destroys every item and gives heap memory back.
  void Clear() {
    for (size_t i = 0; i < size_; ++i)
      data_[i].~T();
    if (capacity_ != 0)
      ::operator delete(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  std::span<const T> view() const { return {data_, size_}; }

 private:
  static constexpr size_t kMaxSize = std::numeric_limits<uint32_t>::max();

  void Grow() {
    if (size_ == kMaxSize)
      throw std::length_error("too many items in one element");
    const size_t capacity = size_ < 4 ? 4 : std::min<size_t>(size_ * size_t{2}, kMaxSize);
    T* data = static_cast<T*>(::operator new(capacity * sizeof(T)));
    for (size_t i = 0; i < size_; ++i) {
      ::new (data + i) T(std::move(data_[i]));
      data_[i].~T();
    }
    if (capacity_ != 0)
      ::operator delete(data_);
    data_ = data;
    capacity_ = static_cast<uint32_t>(capacity);
  }

  T* data_ = nullptr;
  uint32_t size_ = 0;
  // Items the heap array holds; 0 for arena memory (or none), which the first push replaces.
  uint32_t capacity_ = 0;
};

}  // namespace xmldoc
