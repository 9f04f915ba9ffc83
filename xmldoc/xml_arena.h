// The memory of one parsed document: its text and the nodes, attributes and arrays the parser
// builds over it, freed together. Internal to the library.
//
// Only the parser allocates, and only while it runs; afterwards the arena is read-only, so the
// trees over it may be used from any thread. It lives while anything refers to it: the parser,
// and each node that heads a tree of its nodes (the parsed root, a released child). Freeing a
// node inside it runs its destructor and gives no memory back.
#pragma once

#include <atomic>
#include <cstddef>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace xmldoc {

class XmlArena {
 public:
  // Takes `source` (the document text) and one reference for the caller.
  explicit XmlArena(std::string source) : source_(std::move(source)) {}
  XmlArena(const XmlArena&) = delete;
  XmlArena& operator=(const XmlArena&) = delete;

  std::string_view source() const { return source_; }

  // Uninitialised memory for `bytes` bytes aligned to `align` (a power of two, at most
  // alignof(std::max_align_t)).
  void* Allocate(size_t bytes, size_t align) {
    size_t at = (used_ + align - 1) & ~(align - 1);
    if (block_ == nullptr || at + bytes > block_size_) {
      AddBlock(bytes + align);
      at = (used_ + align - 1) & ~(align - 1);
    }
    used_ = at + bytes;
    return reinterpret_cast<char*>(block_) + at;
  }
  template <typename T, typename... Args>
  T* New(Args&&... args) {
    return ::new (Allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
  }
  // Room for `count` objects of T, not constructed.
  template <typename T>
  T* AllocateArray(size_t count) {
    return static_cast<T*>(Allocate(sizeof(T) * count, alignof(T)));
  }
  // Copies `text` into the arena.
  std::string_view Copy(std::string_view text);

  void Acquire() { references_.fetch_add(1, std::memory_order_relaxed); }
  // Drops a reference; the last one frees the arena.
  void Release() {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1)
      delete this;
  }

 private:
  struct Block {
    Block* previous;
  };
  ~XmlArena();
  void AddBlock(size_t at_least);

  std::string source_;
  Block* block_ = nullptr;  // the newest; each points to the one before
  size_t block_size_ = 0;
  size_t used_ = 0;  // bytes of block_ in use, the header included
  std::atomic<size_t> references_{1};
};

// Holds one reference to an arena.
class XmlArenaRef {
 public:
  explicit XmlArenaRef(XmlArena* arena) : arena_(arena) {}
  XmlArenaRef(const XmlArenaRef&) = delete;
  XmlArenaRef& operator=(const XmlArenaRef&) = delete;
  ~XmlArenaRef() { arena_->Release(); }
  XmlArena* get() const { return arena_; }
  XmlArena* operator->() const { return arena_; }

 private:
  XmlArena* arena_;
};

}  // namespace xmldoc
