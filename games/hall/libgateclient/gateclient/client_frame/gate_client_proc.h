// The gate protocol handler's gate-kind part: the gate's own commands (kind 12) after the client
// frame decoded them. Pulses are answered here; the hello reply goes to the session (through the
// request functions, so a wished-for login follows it) and keys the frame's link; transfers and
// AuthInfo go to the dispatch. The session is the one record of state, key, token and gate list.
// Job thread.
#pragma once

#include <cstdint>

#include "gateclient/base/cmd_base.h"
#include "gateclient/job/function_array.h"

namespace qvc {

class ClientFrame;

// Hello reply bits of rsp_flag.
inline constexpr uint32_t kHelloEncryptInfo = 1;
inline constexpr uint32_t kHelloAdviceNewGate = 2;
inline constexpr uint32_t kHelloLoginToken = 4;

class GateClientProc : public CommandIgnorer {
 public:
  // `frame` owns the handler and the protocol layer it hands commands to.
  explicit GateClientProc(ClientFrame* frame);
  GateClientProc(const GateClientProc&) = delete;
  GateClientProc& operator=(const GateClientProc&) = delete;

  // Fills the gate table. Called once by the client frame's Start.
  void RegisterHandlers();
  // Every decoded gate command (kind 12); other kinds are ignored.
  void OnGateKindMessage(qv::CMD_base* command);
  // The connection closed (the close command, kind 9 subid 1): the frame is no longer connected
  // and the dispatch closes the session.
  void OnGateDisconnected(qv::CMD_base* command);
  // A new connection: the session forgets token, key and cipher and enters state 1.
  void ResetForNewConnection();

  void OnPulse(qv::CMD_base* command);
  void OnHelloRsp(qv::CMD_base* command);
  void OnTransferData(qv::CMD_base* command);
  void OnAuthInfo(qv::CMD_base* command);

 private:
  ClientFrame* frame_;
  FunctionArray<GateClientProc, 8> gate_table_;
};

}  // namespace qvc
