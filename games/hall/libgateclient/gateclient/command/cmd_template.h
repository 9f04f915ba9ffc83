// The typed command: a CMD_base that carries one generated protocol message by value and knows
// its own (kind, subid).
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/base/cmd_base.h"

namespace qv {

template <typename Message, uint16_t Kind, uint16_t SubId>
class CMD_Template final : public CMD_base {
 public:
  using MessageType = Message;
  static constexpr uint16_t kKind = Kind;
  static constexpr uint16_t kSubId = SubId;

  // Releaser null, delay 0, routing all zero, payload empty, message default.
  CMD_Template() : CMD_base(Kind, SubId) {}

  // Parses `payload` into the message; the message's own parse result.
  bool ParseBody(const std::string& payload) override { return message.ParseFromString(payload); }

  // Serializes the message into `out`. True always: a message whose required fields are missing
  // is still written, as far as it is filled.
  bool SerializeBody(std::string* out) override {
    message.SerializePartialToString(out);
    return true;
  }

  // Copies the routing header and, from another object, the message. Kind, subid, delay, payload
  // and releaser stay as they are.
  CMD_Template& CopyFrom(const CMD_Template& other) {
    routing = other.routing;
    if (&other != this) {
      message.Clear();
      message.MergeFrom(other.message);
    }
    return *this;
  }

  Message message;
};

}  // namespace qv
