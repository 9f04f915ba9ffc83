// The array behind a node's children, attributes and text-like items: sized exactly in its
// document's arena by the parser, moved to the heap when an edit makes it grow. Internal to the
// library.
#pragma once

#include <cstddef>
#include <new>
#include <span>
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
    data_ = data;
    size_ = size;
    capacity_ = size;
    on_heap_ = false;
  }

  void PushBack(T value) {
    if (size_ == capacity_)
      Grow();
    ::new (data_ + size_) T(std::move(value));
    ++size_;
  }
  // Destroys every item and gives heap memory back.
  void Clear() {
    for (size_t i = 0; i < size_; ++i)
      data_[i].~T();
    if (on_heap_)
      ::operator delete(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    on_heap_ = false;
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
  void Grow() {
    const size_t capacity = capacity_ < 4 ? 4 : capacity_ * 2;
    T* data = static_cast<T*>(::operator new(capacity * sizeof(T)));
    for (size_t i = 0; i < size_; ++i) {
      ::new (data + i) T(std::move(data_[i]));
      data_[i].~T();
    }
    if (on_heap_)
      ::operator delete(data_);
    data_ = data;
    capacity_ = capacity;
    on_heap_ = true;
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool on_heap_ = false;
};

}  // namespace xmldoc
