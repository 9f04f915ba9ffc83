// Per-kind handler tables: a table maps a command's subid to one of its owner's member functions.
// Owners fill the slots in their constructors; the slots never change afterwards, so a table needs
// no lock and runs on its caller's thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "gateclient/base/cmd_base.h"

class IHandler_SameKindCmd {
 public:
  virtual ~IHandler_SameKindCmd() = default;
  // Hands `command` to the handler filed under its subid, if any. Neither checks its kind nor
  // releases it.
  virtual void HandleCmd(qv::CMD_base* command) = 0;
};

// Gives an owner the empty handler `IgnoreCommand`, to file under subids whose commands it
// receives and does not act on.
class CommandIgnorer {
 public:
  void IgnoreCommand(qv::CMD_base* /*command*/) {}
};

// N is the highest subid the table serves; it holds N+1 slots.
template <typename Owner, std::size_t N>
class FunctionArray final : public IHandler_SameKindCmd {
 public:
  using Handler = void (Owner::*)(qv::CMD_base*);
  static constexpr uint32_t kSlotCount = static_cast<uint32_t>(N) + 1;

  explicit FunctionArray(Owner* owner) : owner_(owner) {}

  // Files `handler` under `subid`. False (nothing filed) when subid is above N.
  bool Set(uint16_t subid, Handler handler) {
    if (subid >= kSlotCount)
      return false;
    slots_[subid] = handler;
    return true;
  }

  void HandleCmd(qv::CMD_base* command) override {
    const uint32_t index = command->subid;
    if (index >= kSlotCount || slots_[index] == nullptr)
      return;
    (owner_->*slots_[index])(command);
  }

  uint32_t count() const { return kSlotCount; }

 private:
  Owner* const owner_;
  std::array<Handler, kSlotCount> slots_{};
};
