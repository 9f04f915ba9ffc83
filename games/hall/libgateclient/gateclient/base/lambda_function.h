// Deferred callbacks (kind 5): a command that calls a free function exactly once, either when Run
// is called or, failing that, when its last reference is released. Posting one with a delay to the
// job thread is how the gate client schedules work for later.
#pragma once

#include <cstdint>

#include "gateclient/base/cmd_base.h"
#include "interface/command_ids.h"
#include "platform/clock.h"

namespace qv {

class ICommonCommand {
 public:
  virtual ~ICommonCommand() = default;
  virtual void Invoke() = 0;
};

// A stored call function(argument).
template <typename T>
class CommCommond final : public ICommonCommand {
 public:
  using Function = void (*)(T);
  CommCommond(Function function, T argument) : argument_(argument), function_(function) {}

  void Invoke() override {
    if (function_ != nullptr)
      function_(argument_);
  }

 private:
  T argument_;
  Function function_;
};

class CMD_LambdaFunctionBase : public CMD_base {
 public:
  static constexpr uint16_t kSubId = 0;

  // Calls the stored function unless it has already run. Returns how late the call is: now minus
  // creation minus delay, in 32-bit tick arithmetic (negative when early); also when it had run.
  int32_t Run();

  bool ran() const { return ran_ != 0; }
  uint32_t created() const { return created_; }

 protected:
  explicit CMD_LambdaFunctionBase(const platform::Clock& clock)
      : CMD_base(cmd::kKindDeferred, kSubId), clock_(clock), created_(clock.TickCount()) {}

  // Invokes the stored call. Called at most once.
  virtual void InvokeStored() = 0;
  // For the destructor of the most derived class: runs the call when nothing has run it yet.
  void RunIfNotRan();

 private:
  const platform::Clock& clock_;
  uint8_t ran_ = 0;
  uint32_t created_;
};

template <typename T>
class CMD_LambdaFunction final : public CMD_LambdaFunctionBase {
 public:
  // A deferred call of function(argument), due `delay_ms` after posting, with a releaser of one
  // reference already attached. `clock` must outlive the command.
  CMD_LambdaFunction(typename CommCommond<T>::Function function, uint32_t delay_ms, T argument,
                     const platform::Clock& clock = platform::SystemClock())
      : CMD_LambdaFunctionBase(clock), call_(function, argument) {
    delay = delay_ms;
    AttachReleaser(this);
  }

  ~CMD_LambdaFunction() override { RunIfNotRan(); }

 private:
  void InvokeStored() override { call_.Invoke(); }

  CommCommond<T> call_;
};

}  // namespace qv
