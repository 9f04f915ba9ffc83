// The protocol layer's send path over the client frame: sends go through ClientFrame::SendToGate
// (its connection, its hello gate and its payload key) and the reconnect switch is the frame's.
#pragma once

#include "gateclient/client_frame/gate_send_path.h"

namespace qvc {

class ClientFrame;

class FrameSendPath final : public GateSendPath {
 public:
  // `frame` must outlive the path.
  explicit FrameSendPath(ClientFrame& frame) : frame_(frame) {}

  // Nothing is sent while the frame is not connected (the frame's own rules). Any thread.
  void SendToGate(qv::CMD_base& command) override;
  // Once set, the frame opens no new connection. Any thread.
  void SetNoReconnect() override;

 private:
  ClientFrame& frame_;
};

}  // namespace qvc
