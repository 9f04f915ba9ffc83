// The network agent: executes the network commands of the client frame (connect, send a frame,
// close) on the connection manager, and turns the manager's reports into kind-9 commands posted
// to the job thread.
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/base/network_commands.h"
#include "gateclient/job/cmd_process.h"
#include "gateclient/net/conn_manager.h"

class IJobAgent {
 public:
  // Keeps `pool` and `direct` and starts the connection manager. The four words are not used.
  virtual bool Init(IJobProcessPool* pool, uint32_t, uint32_t, uint32_t, uint32_t,
                    ICmdProcess* direct) = 0;
  // Stops the connection manager (silently closing every connection) and joins its thread.
  virtual void Uninit() = 0;
  // Uninit, then frees the agent.
  virtual void Release() = 0;
  // Executes a kind-9 command: data message (send), connect-to (the new connid is written into the
  // command's routing header), kick. Any thread. True when the manager took the request.
  virtual bool HandleCommand(qv::CMD_base* command) = 0;

 protected:
  ~IJobAgent() = default;
};

// A new agent, not yet initialised.
extern "C" IJobAgent* CreateJobAgent();

// The connect time-out used when a connect command carries no delay of its own.
inline constexpr uint32_t kDefaultConnectTimeoutMs = 3000;

// The frame of a data message: its tag bytes, gate kind, subid, text and payload.
std::string EncodeFrame(const qv::CMDNetwork_DataMessage& message);
// Fills `message` from one whole frame; false (message untouched) when the bytes are not one.
bool DecodeFrame(const void* bytes, size_t n, qv::CMDNetwork_DataMessage* message);

class ClientNetAgent final : public IJobAgent, public ICMGR_ChannelSink {
 public:
  ClientNetAgent() = default;
  ~ClientNetAgent() override;

  bool Init(IJobProcessPool* pool, uint32_t, uint32_t, uint32_t, uint32_t,
            ICmdProcess* direct) override;
  void Uninit() override;
  void Release() override;
  bool HandleCommand(qv::CMD_base* command) override;

  void OnConnectionClose(uint64_t connid, uint32_t context) override;
  void OnDataMessage(uint64_t connid, const void* frame, uint32_t length,
                     uint32_t context) override;
  void OnConnectToRet(uint64_t connid, bool success, uint32_t context) override;

  // The connection manager, for tests (null before Init and after Uninit).
  ICMGR_ConnManager* manager() const { return manager_; }

 private:
  IJobProcessPool* pool_ = nullptr;
  ICMGR_ConnManager* manager_ = nullptr;
  ICmdProcess* direct_ = nullptr;
};
