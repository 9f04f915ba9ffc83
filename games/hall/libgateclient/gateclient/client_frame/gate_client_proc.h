// The gate protocol handler's gate-kind part: the gate's own commands (kind 12) after the client
// frame decoded them: pulses are answered, the hello reply sets up the payload key, the gate list
// and the login token; and the link's session fields that these touch. Job thread, except where
// a method says otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "gateclient/base/cmd_base.h"
#include "gateclient/job/function_array.h"

namespace qvc {

class ClientFrame;

// Session states.
inline constexpr int kSessionNoGate = 0;
inline constexpr int kSessionHelloSent = 1;
inline constexpr int kSessionHelloDone = 2;
inline constexpr int kSessionLoginFailed = 4;
inline constexpr int kSessionLoggedIn = 5;

// Hello reply bits of rsp_flag.
inline constexpr uint32_t kHelloEncryptInfo = 1;
inline constexpr uint32_t kHelloAdviceNewGate = 2;
inline constexpr uint32_t kHelloLoginToken = 4;

class GateClientProc : public CommandIgnorer {
 public:
  explicit GateClientProc(ClientFrame* frame);
  GateClientProc(const GateClientProc&) = delete;
  GateClientProc& operator=(const GateClientProc&) = delete;

  // Fills the gate table. Called once by the client frame's Start.
  void RegisterHandlers();
  // Every decoded gate command (kind 12); other kinds are ignored.
  void OnGateKindMessage(qv::CMD_base* command);
  // The connection closed (the close command, kind 9 subid 1).
  void OnGateDisconnected(qv::CMD_base* command);
  // A new connection: token, key material and cipher are dropped; then state 1.
  void ResetForNewConnection();

  void OnPulse(qv::CMD_base* command);
  void OnHelloRsp(qv::CMD_base* command);

  // Any thread.
  int state() const { return state_.load(std::memory_order_acquire); }
  void set_state(int state) { state_.store(state, std::memory_order_release); }
  uint32_t login_token() const;
  std::string key_material() const;
  std::vector<std::string> gate_addresses() const;

 private:
  ClientFrame* frame_;
  FunctionArray<GateClientProc, 8> gate_table_;
  std::atomic<int> state_{kSessionNoGate};

  mutable std::mutex session_mutex_;  // guards the fields below; held only to copy them
  std::string key_material_;
  std::vector<std::string> gate_addresses_;
  uint32_t login_token_ = 0;
};

}  // namespace qvc
