// Event sources and delegates: a control's OnNotify / OnEvent take any number of handlers. A
// handler receives the TNotifyUI* (or TEventUI*) as void* and returns false when it has taken the
// message, true to let it go on. All handlers run, in the order added; the source's result is false
// when any of them returned false.
#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace skinui {

class CDelegateBase {
 public:
  virtual ~CDelegateBase() = default;
  virtual bool Invoke(void* param) = 0;
  virtual std::unique_ptr<CDelegateBase> Copy() const = 0;
  // Same object and same function (for -=); delegates over std::function never compare equal.
  virtual bool Equals(const CDelegateBase& other) const = 0;
};

template <typename O>
class CDelegate : public CDelegateBase {
 public:
  using Fn = bool (O::*)(void*);
  CDelegate(O* object, Fn fn) : object_(object), fn_(fn) {}
  bool Invoke(void* param) override { return (object_->*fn_)(param); }
  std::unique_ptr<CDelegateBase> Copy() const override {
    return std::make_unique<CDelegate>(*this);
  }
  bool Equals(const CDelegateBase& other) const override {
    const auto* o = dynamic_cast<const CDelegate*>(&other);
    return o != nullptr && o->object_ == object_ && o->fn_ == fn_;
  }

 private:
  O* object_;
  Fn fn_;
};

class CDelegateStatic : public CDelegateBase {
 public:
  using Fn = bool (*)(void*);
  explicit CDelegateStatic(Fn fn) : fn_(fn) {}
  bool Invoke(void* param) override { return fn_(param); }
  std::unique_ptr<CDelegateBase> Copy() const override {
    return std::make_unique<CDelegateStatic>(*this);
  }
  bool Equals(const CDelegateBase& other) const override {
    const auto* o = dynamic_cast<const CDelegateStatic*>(&other);
    return o != nullptr && o->fn_ == fn_;
  }

 private:
  Fn fn_;
};

class CDelegateFunction : public CDelegateBase {
 public:
  explicit CDelegateFunction(std::function<bool(void*)> fn) : fn_(std::move(fn)) {}
  bool Invoke(void* param) override { return fn_(param); }
  std::unique_ptr<CDelegateBase> Copy() const override {
    return std::make_unique<CDelegateFunction>(*this);
  }
  bool Equals(const CDelegateBase&) const override { return false; }

 private:
  std::function<bool(void*)> fn_;
};

template <typename O>
CDelegate<O> MakeDelegate(O* object, bool (O::*fn)(void*)) {
  return CDelegate<O>(object, fn);
}
inline CDelegateStatic MakeDelegate(bool (*fn)(void*)) {
  return CDelegateStatic(fn);
}
inline CDelegateFunction MakeDelegate(std::function<bool(void*)> fn) {
  return CDelegateFunction(std::move(fn));
}

class CEventSource {
 public:
  CEventSource() = default;
  CEventSource(const CEventSource&) = delete;
  CEventSource& operator=(const CEventSource&) = delete;

  void operator+=(const CDelegateBase& d) { delegates_.push_back(d.Copy()); }
  void operator+=(bool (*fn)(void*)) { *this += CDelegateStatic(fn); }
  void operator-=(const CDelegateBase& d) {
    for (auto it = delegates_.begin(); it != delegates_.end(); ++it) {
      if ((*it)->Equals(d)) {
        delegates_.erase(it);
        return;
      }
    }
  }
  explicit operator bool() const { return !delegates_.empty(); }
  size_t size() const { return delegates_.size(); }

  // Runs every handler; handlers may add or remove handlers while it runs (changes take effect
  // with the next message).
  bool operator()(void* param) {
    const std::vector<std::shared_ptr<CDelegateBase>> snapshot = delegates_;
    bool go_on = true;
    for (const auto& d : snapshot) {
      if (!d->Invoke(param))
        go_on = false;
    }
    return go_on;
  }

 private:
  std::vector<std::shared_ptr<CDelegateBase>> delegates_;
};

}  // namespace skinui
