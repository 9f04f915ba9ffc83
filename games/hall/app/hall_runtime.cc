#include "games/hall/app/hall_runtime.h"

#include <cstdlib>
#include <utility>

#include "gateclient/client_frame/program_frame.h"
#include "gateclient/command/transfer_wrap.h"
#include "gateclient/config/qgate_address.h"
#include "gateclient/plan_list/plan_list_instance.h"
#include "platform/file_util.h"

namespace hall {

HallRuntime::HallRuntime(HallRuntimeOptions options)
    : options_(std::move(options)),
      folder_(options_.program_folder.empty() ? platform::ProgramFolder()
                                              : options_.program_folder),
      config_(std::make_unique<QConfig>(platform::JoinPath(folder_, kClientIniPath))) {}

HallRuntime::~HallRuntime() {
  Stop();
}

bool HallRuntime::Start() {
  if (frame_ != nullptr)
    return false;
  // The face of a user without one is drawn at random; every hall draws differently.
  std::srand(static_cast<unsigned>(options_.clock->WallSeconds() + options_.clock->TickCount()));
  config_->Load();

  qvc::ClientFrameOptions frame_options;
  frame_options.clock = options_.clock;
  frame_options.job_clock = options_.job_clock;
  frame_options.job_waiter = options_.job_waiter;
  frame_options.make_agent = options_.make_agent;
  frame_options.client_ini = platform::JoinPath(folder_, kClientIniPath);
  frame_options.addr_ini = platform::JoinPath(folder_, kAddrIniPath);
  bool prepared = false;
  const bool started = qvc::StartClientFrame(std::move(frame_options), [&](qvc::ClientFrame& f) {
    prepared = true;
    frame_ = &f;
    Prepare(f);
  });
  if (!prepared)
    return false;  // another runtime owns the program's frame: left alone
  if (!started) {
    Stop();
    return false;
  }
  return true;
}

void HallRuntime::Prepare(qvc::ClientFrame& frame) {
  // Results reach the window from the first one on.
  qvc::SetMainWindowPoster(options_.poster);
  qvc::FramePlansOptions plans;
  plans.launcher = options_.launcher;
  plans.games = qvc::GameListFromConfig(*config_);
  plans.program_dir = folder_;
  plans.make_channel = options_.make_channel;
  plans.make_manager = options_.make_manager;
  plans_ = std::make_unique<qvc::FramePlans>(frame, std::move(plans));
  catalogue_host_ = std::make_unique<qvc::GatePlanListHost>(frame.requests());
  catalogue_ = std::make_unique<qvc::PlanListCatalogue>(catalogue_host_.get(),
                                                        qvc::PlanListSettingsFromConfig(*config_),
                                                        options_.clock, options_.catalogue_waiter);
  frame.dispatch().SetCatalogue(catalogue_.get());
}

void HallRuntime::Stop() {
  if (frame_ == nullptr)
    return;
  // First the window: when this returns no post is under way and none follows.
  qvc::SetMainWindowPoster(nullptr);
  // Stops the frame (job and connection threads joined) and closes the games' tables.
  plans_.reset();
  frame_->dispatch().SetCatalogue(nullptr);
  // Joins the refresh thread, whose sends the stopped frame refuses.
  catalogue_.reset();
  catalogue_host_.reset();
  frame_ = nullptr;
  qvc::DestroyClientFrame();
}

qvc::PlanManager* HallRuntime::plan_manager() {
  return plans_ != nullptr ? &plans_->manager() : nullptr;
}

int32_t HallRuntime::session_state() const {
  return frame_ != nullptr ? frame_->session().state() : 0;
}

void HallRuntime::SetCredentials(const std::string& account, const std::string& password) {
  if (frame_ != nullptr)
    frame_->session().SetCredentials(account, password);
}

void HallRuntime::StartLogin() {
  if (frame_ != nullptr)
    frame_->requests().StartLogin();
}

void HallRuntime::SendThroughGate(qv::CMD_base& command) {
  if (frame_ != nullptr)
    frame_->requests().SendThroughGate(command);
}

void HallRuntime::SendWrapped(qv::CMD_base& command) {
  if (frame_ == nullptr)
    return;
  qv::CmdTransferDataReq wrapper;
  qv::WrapIntoTransferData(command, wrapper);
  frame_->SendToGate(&wrapper);
}

void HallRuntime::AddCommandFactory(uint16_t kind, qv::CommandFactory factory) {
  if (frame_ != nullptr)
    frame_->dispatch().AddFactory(kind, factory);
}

void HallRuntime::RequestMatchDetail(uint32_t plan_id) {
  if (frame_ != nullptr)
    frame_->requests().RequestMatchDetail(plan_id);
}

void HallRuntime::RequestPlanDisplayUpdate(uint32_t plan_id) {
  if (frame_ != nullptr)
    frame_->requests().RequestPlanDisplayUpdate(plan_id);
}

void HallRuntime::SignUp(uint32_t plan_id) {
  if (frame_ != nullptr)
    frame_->requests().SignUp(plan_id);
}

void HallRuntime::SendJoinReq(uint32_t match_app_id, bool is_quit) {
  if (frame_ != nullptr)
    frame_->requests().SendJoinReq(match_app_id, is_quit);
}

qvc::CommandRef<qv::CmdGetMatchDetailRsp> HallRuntime::FindMatchDetail(uint32_t plan_id) const {
  if (frame_ == nullptr)
    return nullptr;
  return frame_->dispatch().FindMatchDetail(plan_id);
}

uint32_t HallRuntime::login_token() const {
  return frame_ != nullptr ? frame_->session().login_token() : 0;
}

uint64_t HallRuntime::user_id() const {
  return frame_ != nullptr ? frame_->session().user_id() : 0;
}

qv::types::BaseUserInfo HallRuntime::base_info() const {
  return frame_ != nullptr ? frame_->session().base_info() : qv::types::BaseUserInfo();
}

qvc::PlanList* HallRuntime::catalogue() {
  return frame_ != nullptr ? qvc::PlanListInstance() : nullptr;
}

}  // namespace hall
