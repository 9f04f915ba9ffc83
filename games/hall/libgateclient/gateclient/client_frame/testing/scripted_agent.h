// A network agent without a network, for tests that run a client frame headless: the test plays
// the gate. The agent records what the frame asks of it (connects, frames sent, kicks) and
// reports what the test makes the gate do (answer a connect, send a frame, close) the way the
// real agent reports: as kind-9 commands posted to the frame's job pool. With a manual clock and
// waiter in the frame's options, every report is handled at the next step of the job thread.
//
// Threads: the frame calls in from its job thread and from any sending thread; the test side may
// run on any thread. One lock guards the records; reports are posted under it, so a report never
// reaches a pool the frame has already let go (Release drops the pool under the same lock).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "gate/gate.pb.h"
#include "gateclient/net/client_net_agent.h"

namespace qvc::testing {

class ScriptedJobAgent final : public IJobAgent {
 public:
  struct Connect {
    uint64_t connid = 0;
    std::string host;
    uint32_t port = 0;
  };
  // One frame the frame handed over for the gate; the payload as it would travel (enciphered
  // once the connection is keyed).
  struct Sent {
    uint64_t connid = 0;
    uint16_t kind = 0;
    uint16_t subid = 0;
    std::string payload;
  };

  ScriptedJobAgent() = default;
  ScriptedJobAgent(const ScriptedJobAgent&) = delete;
  ScriptedJobAgent& operator=(const ScriptedJobAgent&) = delete;

  // For ClientFrameOptions::make_agent: hands out this agent, which the test keeps owning.
  std::function<IJobAgent*()> Maker() {
    return [this]() -> IJobAgent* { return this; };
  }

  // --- IJobAgent
  bool Init(IJobProcessPool* pool, uint32_t, uint32_t, uint32_t, uint32_t,
            ICmdProcess* direct) override;
  void Uninit() override;
  // Uninit only: the test owns the agent.
  void Release() override { Uninit(); }
  // Connect: a new connid, written into the command (no report until AnswerConnect). Data: kept
  // in sent(); true only on the open connection. Kick: kept in kicks(), and the open connection
  // it names closes (reported) as the connection manager's would.
  bool HandleCommand(qv::CMD_base* command) override;

  // --- the gate (any thread); each report is posted to the frame's pool
  // Answers the latest connect; success opens that connection (connect result, then arrival).
  void AnswerConnect(bool success);
  // One frame from the gate on the open connection; nothing when none is open.
  void SendFrame(uint16_t kind, uint16_t subid, const std::string& payload);
  // An application message from a service behind the gate: (kind, subid) with `data`, wrapped
  // into a transfer (12, 3) from (apptype, appid) with the application session `session`.
  void SendTransfer(uint32_t kind, uint32_t subid, const std::string& data, uint32_t apptype = 0,
                    uint32_t appid = 0, uint64_t session = 0);
  // The open connection ends; nothing when none is open.
  void CloseConnection();

  // --- what the frame did (any thread)
  bool initialised() const;
  uint64_t open_connid() const;
  std::vector<Connect> connects() const;
  std::vector<Sent> sent() const;
  std::vector<uint64_t> kicks() const;
  // Frames of (kind, subid) sent on `connid` (0: on any connection).
  size_t CountSent(uint16_t kind, uint16_t subid, uint64_t connid = 0) const;
  // The transfers sent (on links without a key), in order; a payload that does not parse is
  // left out.
  std::vector<qv::gate::TransferDataReq> TransfersSent() const;

 private:
  // REQUIRES mu_ held.
  void PostLocked(qv::CMD_base* command, uint64_t connid);
  void CloseLocked();

  mutable std::mutex mu_;
  IJobProcessPool* pool_ = nullptr;
  uint64_t next_connid_ = 0;
  uint64_t open_connid_ = 0;
  std::vector<Connect> connects_;
  std::vector<Sent> sent_;
  std::vector<uint64_t> kicks_;
};

}  // namespace qvc::testing
