// The command: the unit of work that crosses threads inside the gate client. Every request built
// for the gate, message received from it, connection event and deferred callback is a heap object
// derived from CMD_base, freed by its releaser when the last reference is dropped.
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/base/event_handler.h"
#include "gateclient/base/routing_header.h"

namespace qv {

// The 32-bit command id word: kind in the low half, subid in the high half.
constexpr uint32_t CommandIdWord(uint16_t kind, uint16_t subid) {
  return static_cast<uint32_t>(kind) | (static_cast<uint32_t>(subid) << 16);
}

class CMD_base {
 public:
  CMD_base(uint16_t kind, uint16_t subid) : kind(kind), subid(subid) {}
  virtual ~CMD_base() = default;

  // A command is owned through its releaser; copying one would share or lose that ownership.
  CMD_base(const CMD_base&) = delete;
  CMD_base& operator=(const CMD_base&) = delete;

  // Fills the command from message bytes. The base has no message and returns false.
  virtual bool ParseBody(const std::string& payload);
  // Writes the command's message bytes to `out`. The base has no message and returns false.
  virtual bool SerializeBody(std::string* out);

  uint32_t command_id() const { return CommandIdWord(kind, subid); }

  IEventHandler* releaser = nullptr;  // null until one is attached
  // 0: run as soon as possible; above 0: run that many ms after posting. A connect command
  // carries its time-out here instead.
  int64_t delay = 0;
  uint16_t kind;
  uint16_t subid;
  RoutingHeader routing;  // all zero at construction
  std::string payload;    // message bytes of the command
};

// Gives `command` a releaser holding one reference, unless it already has one (then nothing
// changes). REQUIRES: `command` was made with `new`.
void AttachReleaser(CMD_base* command);

// Adds / drops one reference when the command has a releaser; a command without one is left alone
// (it lives on the stack or inside another object).
void AddRefCommand(CMD_base* command);
void ReleaseCommand(CMD_base* command);

}  // namespace qv
