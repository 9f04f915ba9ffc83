// The reference count that decides when a command is freed.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv {

class CMD_base;

// A command's releaser. Callable from any thread.
class IEventHandler {
 public:
  // Drops one reference; the last one frees the command and the handler.
  virtual void Release() = 0;
  // Adds one reference.
  virtual void AddRef() = 0;

 protected:
  ~IEventHandler() = default;  // a handler frees itself through Release
};

// The releaser of every heap command: an atomic count; at zero it deletes its owner through the
// owner's virtual destructor and then itself. Create with `new`; never delete directly.
class CommonDeleteHandler final : public IEventHandler {
 public:
  // `owner` may be null (the handler then only frees itself). Starts with `count` references.
  CommonDeleteHandler(CMD_base* owner, uint32_t count) : owner_(owner), count_(count) {}

  void Release() override;
  void AddRef() override { count_.fetch_add(1, std::memory_order_relaxed); }

  // The current count; for tests and diagnostics only (another thread may change it at once).
  uint32_t count() const { return count_.load(std::memory_order_acquire); }
  CMD_base* owner() const { return owner_; }

 private:
  ~CommonDeleteHandler() = default;

  CMD_base* const owner_;
  std::atomic<uint32_t> count_;
};

}  // namespace qv
