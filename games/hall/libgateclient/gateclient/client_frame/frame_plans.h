// The plan manager fed by the client frame: the frame's dispatch hands it every match, catalogue,
// client and connection command, and the games' messages leave through the frame's send path.
// The hall owns one for the life of its client frame; a subclass of PlanManager (the hall's own
// reactions) comes in through `make_manager`.
//
// Threads: built and destroyed on the owner's thread; the manager runs on the job thread and the
// games' messages arrive on their channels' workers.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "gateclient/client_frame/client_frame.h"
#include "gateclient/client_frame/plan_glue.h"
#include "gateclient/config/qconfig.h"
#include "gateclient/plan_table/plan_manager.h"
#include "platform/process.h"

namespace qvc {

struct FramePlansOptions {
  platform::ProcessLauncher* launcher = &platform::SystemProcessLauncher();
  GameListConfig games;
  // Where relative game executables are found and the games' working folder.
  std::string program_dir;
  // Makes a table's channel; null makes a WinIpcImpl.
  std::function<std::unique_ptr<IWinIpc>()> make_channel;
  // Makes the manager over `env`; null makes a plain PlanManager.
  std::function<std::unique_ptr<PlanManager>(PlanTableEnv env)> make_manager;
};

// The configured game lists ("gameid", "gameexe", "resource") of a loaded QConfig.
GameListConfig GameListFromConfig(const QConfig& config);

class FramePlans {
 public:
  // Files the manager with the frame's dispatch. REQUIRES: before frame.Start(); the frame
  // outlives this object.
  FramePlans(ClientFrame& frame, FramePlansOptions options);
  // Stops the frame, so the job thread no longer enters the manager and game messages are no
  // longer sent, then closes the tables (running games are left running).
  ~FramePlans();
  FramePlans(const FramePlans&) = delete;
  FramePlans& operator=(const FramePlans&) = delete;

  PlanManager& manager() { return *manager_; }

 private:
  void SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message);

  ClientFrame& frame_;
  GatePlanHost host_;
  std::unique_ptr<PlanManager> manager_;
  std::unique_ptr<PlanManagerAdapter> adapter_;
};

}  // namespace qvc
