#include "games/hall/app/testing/plan_views_host.h"

#include <strings.h>

#include "games/hall/app/hall_gate.h"

namespace hall::testing {

PlanViewsHost::PlanViewsHost(PlanViewLinks links, std::string skin_file)
    : links_(std::move(links)), skin_file_(std::move(skin_file)) {}

skinui::CControlUI* PlanViewsHost::CreateControl(const char* class_name) {
  if (strcasecmp(class_name, "GroupList") == 0)
    return bar_ = new UILeftGroup(&m_pm, links_);
  if (strcasecmp(class_name, "PlanList") == 0)
    return tree_ = new UIPlanList(&m_pm, links_);
  if (strcasecmp(class_name, "HotMatchList") == 0)
    return hot_ = new HotMatchList(&m_pm, links_);
  return nullptr;
}

void PlanViewsHost::Notify(skinui::TNotifyUI& msg) {
  log.push_back(msg.sType + ":" +
                (msg.pSender != nullptr ? std::string(msg.pSender->GetName()) : std::string()));
  if (msg.sType == skinui::kNotifySelectChanged && bar_ != nullptr &&
      bar_->IsGroupOption(msg.pSender)) {
    ShowGroup(static_cast<uint32_t>(msg.pSender->GetTag()));
  }
  WindowImplBase::Notify(msg);
}

void PlanViewsHost::Open(int cx, int cy) {
  Create(nullptr, "plan views", 0, 0, 0, 0, cx, cy);
  ShowWindow(true);
}

void PlanViewsHost::ShowGroup(uint32_t group_id) {
  switches.push_back(group_id);
  qvc::PlanList* catalogue = links_.gate != nullptr ? links_.gate->catalogue() : nullptr;
  if (catalogue == nullptr || tree_ == nullptr)
    return;
  catalogue->SetCurrentGroup(group_id);
  catalogue->RefreshPlans(true);
  tree_->SetCurrentGroup(group_id);
  tree_->ClearShownTypes();
  const std::vector<uint32_t> lists = catalogue->Read([&](const qvc::PlanList::View& view) {
    std::vector<uint32_t> ids;
    for (const qvc::PlanGroupRecord& group : view.groups()) {
      if (group.group_id() != group_id)
        continue;
      for (const qvc::PlanListRecord& list : group.lists)
        ids.push_back(list.list_id());
      break;
    }
    return ids;
  });
  for (uint32_t list : lists)
    tree_->AddType(list);
  tree_->RemoveStaleTypes();
  for (uint32_t list : lists)
    ShowListPlans(list, group_id);
}

void PlanViewsHost::ShowListPlans(uint32_t list_id, uint32_t group_id) {
  qvc::PlanList* catalogue = links_.gate != nullptr ? links_.gate->catalogue() : nullptr;
  if (catalogue == nullptr || tree_ == nullptr)
    return;
  tree_->ClearShownPlans();
  const std::vector<uint32_t> plans = catalogue->Read([&](const qvc::PlanList::View& view) {
    std::vector<uint32_t> ids;
    if (const qvc::PlanListRecord* list = view.FindList(group_id, list_id)) {
      for (const qvc::PlanEntry& plan : list->plans())
        ids.push_back(plan.plan_id());
    }
    return ids;
  });
  for (uint32_t plan : plans)
    tree_->AddOrUpdatePlan(list_id, plan);
  tree_->RemoveStalePlans(list_id);
}

}  // namespace hall::testing
