#include "games/hall/app/hall_plan_manager.h"

#include <utility>

#include "gateclient/base/network_commands.h"
#include "interface/command_ids.h"
#include "skinui/message_queue.h"

namespace hall {

MainWindowPost PostToWindow(HWND window) {
  return [window](UINT message, WPARAM wParam, LPARAM lParam) {
    return window != nullptr && skinui::PostMessage(window, message, wParam, lParam);
  };
}

HallPlanManager::HallPlanManager(qvc::PlanTableEnv env, MyMatch& my_match, MainWindowPost post)
    : qvc::PlanManager(std::move(env)),
      my_match_(my_match),
      post_(std::move(post)),
      catalogue_table_(this) {
  catalogue_table_.Set(qv::cmd::hallclient::kAllGroupRsp, &HallPlanManager::IgnoreCommand);
  catalogue_table_.Set(qv::cmd::hallclient::kAllListRsp, &HallPlanManager::IgnoreCommand);
  catalogue_table_.Set(qv::cmd::hallclient::kAllPlanRsp, &HallPlanManager::IgnoreCommand);
}

void HallPlanManager::OnMatchClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) {
  // The game sees the command before the sign-ups change.
  qvc::PlanManager::OnMatchClientCmd(command, key_low, key_high);
  my_match_.OnMatchClientCmd(&command);
}

void HallPlanManager::OnHallClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) {
  qvc::PlanManager::OnHallClientCmd(command, key_low, key_high);
  if (command.kind == qv::cmd::kKindHallClient)
    catalogue_table_.HandleCmd(&command);
}

void HallPlanManager::OnNetworkCmd(qv::CMD_base& command) {
  qvc::PlanManager::OnNetworkCmd(command);
  if (command.kind != qv::cmd::kKindNetwork ||
      command.subid != qv::CMDNetwork_OnConnectionClose::kSubId)
    return;
  // Emptied before the post, so the window that handles it already sees no sign-up.
  my_match_.Clear();
  if (post_)
    post_(WM_GATE_CLOSED, 0, 0);
}

std::function<std::unique_ptr<qvc::PlanManager>(qvc::PlanTableEnv)> HallPlanManagerFactory(
    MyMatch& my_match, MainWindowPost post) {
  return [&my_match, post = std::move(post)](qvc::PlanTableEnv env) {
    return std::make_unique<HallPlanManager>(std::move(env), my_match, post);
  };
}

}  // namespace hall
