// The hall runtime: what the main window starts when it is first laid out. It loads the hall's
// settings (<program folder>/LobbyData/client.ini), makes the program's client frame (gate
// addresses from <program folder>/LobbyData/addr.ini) with the plan manager its creator makes and
// the match catalogue filed on it, hands the gate client's results to the main window's poster,
// and is the windows' HallGate over all of it.
//
// Threads: Start, Stop and the destructor on the window thread. The HallGate requests are made
// on the window thread; its reads are copies (or the catalogue's locked reads) and safe while
// the job thread writes. Stop is orderly: no post reaches the window afterwards, the client frame
// is stopped, the games' tables are closed and the catalogue's refresh thread is joined.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "games/hall/app/hall_gate.h"
#include "gateclient/client_frame/catalogue_glue.h"
#include "gateclient/client_frame/frame_plans.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/config/qconfig.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/waiter.h"

namespace hall {

struct HallRuntimeOptions {
  // Holds LobbyData/ and the games; empty: the folder of the running program.
  std::string program_folder;
  // The main window's end of the hand-over; null: results are dropped (a hall without a window).
  qvc::NetResultPoster* poster = nullptr;
  // Makes the program's plan manager (the hall's own, with its reactions); null: a plain one.
  std::function<std::unique_ptr<qvc::PlanManager>(qvc::PlanTableEnv env)> make_manager;
  // Starts the games.
  platform::ProcessLauncher* launcher = &platform::SystemProcessLauncher();
  // Makes a game table's channel; null: the shared-memory channel.
  std::function<std::unique_ptr<qvc::IWinIpc>()> make_channel;
  // What the gate client runs on (see qvc::ClientFrameOptions): wall time of the client frame
  // and the catalogue, the job thread's time and waits, the catalogue's polling waits, and the
  // network agent. A headless hall gives manual clocks and waiters and a scripted agent; its
  // manual waiters are opened before Stop, which joins the threads waiting on them.
  platform::Clock* clock = &platform::SystemClock();
  const platform::Clock* job_clock = &platform::SystemClock();
  platform::Waiter* job_waiter = &platform::SystemWaiter();
  platform::Waiter* catalogue_waiter = &platform::SystemWaiter();
  std::function<IJobAgent*()> make_agent;  // null: the network agent over TCP
};

class HallRuntime : public HallGate {
 public:
  explicit HallRuntime(HallRuntimeOptions options);
  // Stops first.
  ~HallRuntime() override;
  HallRuntime(const HallRuntime&) = delete;
  HallRuntime& operator=(const HallRuntime&) = delete;

  // Loads the settings and starts the gate client: the first connect follows 100 ms later.
  // False when the program already has a client frame (one hall runtime per program) or the
  // frame cannot start; a failed start leaves nothing running. REQUIRES: called once.
  bool Start();
  // The orderly end; idempotent. Not from the job thread.
  void Stop();

  bool running() const { return frame_ != nullptr; }
  // The settings as loaded by Start (the defaults before it).
  const QConfig& config() const { return *config_; }
  // The plan manager `make_manager` made; null unless running.
  qvc::PlanManager* plan_manager();
  // The gate session's state (qvc::GateSession::State); 0 unless running.
  int32_t session_state() const;

  // --- HallGate
  void SetCredentials(const std::string& account, const std::string& password) override;
  void StartLogin() override;
  void SendThroughGate(qv::CMD_base& command) override;
  void SendWrapped(qv::CMD_base& command) override;
  void AddCommandFactory(uint16_t kind, qv::CommandFactory factory) override;
  void RequestMatchDetail(uint32_t plan_id) override;
  void RequestPlanDisplayUpdate(uint32_t plan_id) override;
  void SignUp(uint32_t plan_id) override;
  void SendJoinReq(uint32_t match_app_id, bool is_quit) override;
  qvc::CommandRef<qv::CmdGetMatchDetailRsp> FindMatchDetail(uint32_t plan_id) const override;
  uint32_t login_token() const override;
  uint64_t user_id() const override;
  qv::types::BaseUserInfo base_info() const override;
  qvc::PlanList* catalogue() override;

 private:
  // Files the plan manager and the catalogue on the new frame, before it starts.
  void Prepare(qvc::ClientFrame& frame);

  const HallRuntimeOptions options_;
  const std::string folder_;
  std::unique_ptr<QConfig> config_;
  // Built by Prepare, in this order; let go in the reverse order by Stop.
  std::unique_ptr<qvc::FramePlans> plans_;
  std::unique_ptr<qvc::GatePlanListHost> catalogue_host_;
  std::unique_ptr<qvc::PlanListCatalogue> catalogue_;
  qvc::ClientFrame* frame_ = nullptr;  // the program's frame while this runtime owns it
};

}  // namespace hall
