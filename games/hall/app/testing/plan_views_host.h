// A window that holds the catalogue views the way the main window's skin does (the skin classes
// "GroupList", "PlanList" and "HotMatchList"), for tests and tools. It drives them as the main
// window does: a group option's "selectchanged" shows that group, and with it every list's plans.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "games/hall/app/hot_match_list.h"
#include "games/hall/app/plan_views.h"
#include "games/hall/app/ui_left_group.h"
#include "games/hall/app/ui_plan_list.h"
#include "skinui/window_impl_base.h"

namespace hall::testing {

class PlanViewsHost : public skinui::WindowImplBase {
 public:
  // `skin_file`: an absolute path, or a file of the skin folder "tarvixresource/".
  PlanViewsHost(PlanViewLinks links, std::string skin_file);

  const char* GetWindowClassName() const override { return "PlanViewsHost"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource/"; }
  skinui::CDuiString GetSkinFile() override { return skin_file_; }
  skinui::CControlUI* CreateControl(const char* class_name) override;
  void Notify(skinui::TNotifyUI& msg) override;

  // Shows the window at its skin's size (or `cx` x `cy`) and lays it out.
  void Open(int cx = 0, int cy = 0);

  // What the main window does on a group change: the catalogue's and the tree's current group,
  // the group's lists as types, then each list's plans.
  void ShowGroup(uint32_t group_id);
  // What the main window does on a plan answer for one list of the shown group.
  void ShowListPlans(uint32_t list_id, uint32_t group_id);

  UIPlanList* tree() const { return tree_; }
  HotMatchList* hot() const { return hot_; }
  UILeftGroup* bar() const { return bar_; }

  // "type:sender" of every notification that reached the window.
  std::vector<std::string> log;
  // Groups the window switched the tree to, in order.
  std::vector<uint32_t> switches;

 private:
  PlanViewLinks links_;
  std::string skin_file_;
  UIPlanList* tree_ = nullptr;
  HotMatchList* hot_ = nullptr;
  UILeftGroup* bar_ = nullptr;
};

}  // namespace hall::testing
