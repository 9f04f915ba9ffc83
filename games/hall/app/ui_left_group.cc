#include "games/hall/app/ui_left_group.h"

#include <utility>

#include "games/hall/app/account_record.h"
#include "games/hall/app/hall_gate.h"
#include "games/hall/app/plan_row_text.h"
#include "games/hall/ui/control_text.h"
#include "gateclient/log/debug_trace.h"
#include "skinui/button.h"

namespace hall {

UILeftGroup::UILeftGroup(skinui::CPaintManagerUI* manager, PlanViewLinks links)
    : option_manager_(manager), links_(std::move(links)) {}

UILeftGroup::~UILeftGroup() = default;

uint32_t UILeftGroup::SelectedGroup() const {
  for (const auto& [group_id, option] : by_group_) {
    if (option->IsSelected() && option->GetName() == GroupOptionName(group_id))
      return group_id;
  }
  return 0;
}

skinui::COptionUI* UILeftGroup::FindOption(uint32_t group_id) const {
  const auto it = by_group_.find(group_id);
  return it == by_group_.end() ? nullptr : it->second;
}

bool UILeftGroup::IsGroupOption(const skinui::CControlUI* control) const {
  if (control == nullptr || control->GetUserData() != kOptionMark)
    return false;
  for (const skinui::COptionUI* option : options_) {
    if (option == control)
      return true;
  }
  return false;
}

skinui::COptionUI* UILeftGroup::MakeOption(const skinui::COptionUI* look, uint32_t group_id,
                                           const std::string& name) {
  auto* option = new skinui::COptionUI;
  option->SetGroup(kOptionGroup);
  option->SetName(GroupOptionName(group_id).c_str());
  if (look != nullptr) {
    option->SetSelectedImage(look->GetSelectedImage().c_str());
    option->SetSelectedHotImage(look->GetSelectedHotImage().c_str());
    option->SetForeImage(look->GetForeImage().c_str());
    option->SetHotForeImage(look->GetHotForeImage().c_str());
    option->SetHotImage(look->GetHotImage().c_str());
    option->SetPushedImage(look->GetPushedImage().c_str());
    option->SetBkImage(look->GetBkImage().c_str());
    option->SetFixedWidth(look->GetFixedWidth());
    option->SetFixedHeight(look->GetFixedHeight());
    option->SetTextPadding(look->GetTextPadding());
    option->SetSelectedTextColor(look->GetSelectedTextColor());
    option->SetTextColor(look->GetTextColor());
    option->SetFont(look->GetFont());
    // A template without a group of its own must not leave the options choosable together.
    if (!look->GetGroup().empty())
      option->SetGroup(look->GetGroup().c_str());
  }
  option->SetVisible(true);
  option->SetEnabled(true);
  option->SetFloat(false);
  option->SetFont(kOptionFont);
  option->SetTag(group_id);
  SetControlTextUtf8(option, name.c_str());
  option->OnNotify += skinui::MakeDelegate(this, &UILeftGroup::OnNotify_4_Option);
  option->SetUserData(kOptionMark);
  return option;
}

void UILeftGroup::Rebuild() {
  const uint32_t remembered = SelectedGroup();
  for (skinui::COptionUI* option : options_)
    Remove(option);
  options_.clear();
  by_group_.clear();

  const skinui::COptionUI* look = nullptr;
  if (skinui::CControlUI* found = FindByName(kTemplateName)) {
    found->SetVisible(false);
    look = static_cast<const skinui::COptionUI*>(found->GetInterface("Option"));
  }
  std::vector<std::pair<uint32_t, std::string>> groups;
  if (qvc::PlanList* catalogue = links_.gate != nullptr ? links_.gate->catalogue() : nullptr) {
    groups = catalogue->Read([](const qvc::PlanList::View& view) {
      std::vector<std::pair<uint32_t, std::string>> out;
      for (const qvc::PlanGroupRecord& group : view.groups())
        out.emplace_back(group.group_id(), group.item.show_name());
      return out;
    });
  }
  for (const auto& [group_id, name] : groups) {
    skinui::COptionUI* option = MakeOption(look, group_id, name);
    Add(option);
    by_group_.emplace(group_id, option);
    options_.push_back(option);
  }

  // The group on show stays chosen; the tree already shows it, so no notification.
  if (skinui::COptionUI* again = remembered != 0 ? FindOption(remembered) : nullptr) {
    again->Selected(true, false);
    return;
  }
  // Nothing chosen yet, or the chosen group is gone: the first group, and the window switches.
  if (options_.empty())
    return;
  skinui::COptionUI* first = options_.front();
  if (links_.account != nullptr)
    links_.account->group_id = static_cast<uint32_t>(first->GetTag());
  first->Selected(true, true);
}

bool UILeftGroup::OnNotify_4_Option(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  if (msg->sType.CompareNoCase(skinui::kNotifySelectChanged) == 0)
    DebugTrace("%s:event = %s\n", "UILeftGroup::OnNotify_4_Option", msg->sType.c_str());
  // Passed on either way: the main window's own "selectchanged" handling switches the tree.
  return true;
}

}  // namespace hall
