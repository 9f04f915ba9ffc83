#include "gateclient/client_frame/frame_send_path.h"

#include "gateclient/client_frame/client_frame.h"

namespace qvc {

void FrameSendPath::SendToGate(qv::CMD_base& command) {
  frame_.SendToGate(&command);
}

void FrameSendPath::SetNoReconnect() {
  frame_.SetNoReconnect();
}

}  // namespace qvc
