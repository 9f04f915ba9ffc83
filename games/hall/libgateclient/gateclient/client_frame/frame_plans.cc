#include "gateclient/client_frame/frame_plans.h"

#include <utility>

namespace qvc {

GameListConfig GameListFromConfig(const QConfig& config) {
  return {config.gameid.value, config.gameexe.value, config.resource.value};
}

FramePlans::FramePlans(ClientFrame& frame, FramePlansOptions options)
    : frame_(frame),
      host_(frame.session(), frame.dispatch(), frame.requests(),
            [this](std::unique_ptr<qv::CMDNetwork_DataMessage> message) {
              SendGameMessage(std::move(message));
            }) {
  PlanTableEnv env;
  env.host = &host_;
  env.launcher = options.launcher;
  env.games = std::move(options.games);
  env.program_dir = std::move(options.program_dir);
  env.make_channel = std::move(options.make_channel);
  manager_ = options.make_manager ? options.make_manager(std::move(env))
                                  : std::make_unique<PlanManager>(std::move(env));
  adapter_ = std::make_unique<PlanManagerAdapter>(*manager_);
  frame_.dispatch().SetPlanManager(adapter_.get());
}

FramePlans::~FramePlans() {
  // The channels' workers run until the tables close below; what they hand over once the frame
  // has stopped, the frame refuses (its Stop waits for sends already under way).
  frame_.Stop();
  frame_.dispatch().SetPlanManager(nullptr);
  manager_.reset();
}

void FramePlans::SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message) {
  frame_.SendToGate(message.get());
}

}  // namespace qvc
