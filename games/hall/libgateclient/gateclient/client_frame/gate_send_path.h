// What the session's handlers and the request functions need from the client frame: its
// synchronous send path and its reconnect switch.
#pragma once

#include "gateclient/base/cmd_base.h"

namespace qvc {

class GateSendPath {
 public:
  virtual ~GateSendPath() = default;
  // Encodes and sends a gate command (kind 12) at once; nothing while the gate is not connected.
  // Entered from the job, window and catalogue threads.
  virtual void SendToGate(qv::CMD_base& command) = 0;
  // Once set, a closed connection is not reopened.
  virtual void SetNoReconnect() = 0;
};

}  // namespace qvc
