// The message a match command carries, whether it arrived typed or as a plain command holding the
// serialized bytes.
#pragma once

#include "gateclient/base/cmd_base.h"

namespace qvc {

// The typed message of `command`, or the message parsed from its payload when the command is a
// plain one carrying the bytes (an unparsable payload gives the fields parsed so far).
template <typename Cmd>
typename Cmd::MessageType MessageOf(const qv::CMD_base& command) {
  if (const auto* typed = dynamic_cast<const Cmd*>(&command)) return typed->message;
  typename Cmd::MessageType message;
  message.ParseFromString(command.payload);
  return message;
}

}  // namespace qvc
