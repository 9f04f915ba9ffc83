// The main window's plan tree ("PlanList" in its skin): for the group chosen in the game-type
// bar, one foldable row per catalogue list (a "type", skin "plan_type.xml") and under it one row
// per plan (an "item", skin "plan_item.xml") with the plan's title, sign-up count, entry
// condition, start condition and a sign-up button. A tree of PlanTreeNode records beside the
// rows knows which row shows what.
//
// The main window drives it from the catalogue's answers:
//   group change or list answer:  ClearShownTypes, AddType for each list of the group,
//                                 RemoveStaleTypes;
//   plan answer for one list:     ClearShownPlans, AddOrUpdatePlan for each plan of the list,
//                                 RemoveStalePlans (that list);
//   start point, join, prize:     RefreshPlanRow.
// Rows read the plan and start-point records through the catalogue's locked read and the
// sign-up state from MyMatch; a row's sign-up button enters the sign-up flow.
//
// Row placement: a type row is appended at the end of the list; an item row goes directly under
// its type row, above the items added before it.
//
// Notifications: the list's own notify event receives its rows' notifications, so a click on a
// type row arrives at OnItemNotify, which folds or unfolds the type and reports it taken (the
// window does not see it again).
//
// Window thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "client/hallclient.pb.h"
#include "games/hall/app/plan_id_set.h"
#include "games/hall/app/plan_tree_node.h"
#include "games/hall/app/plan_views.h"
#include "skinui/dialog_builder.h"
#include "skinui/list.h"

namespace hall {

class UIPlanList : public skinui::CListUI {
 public:
  // Names the rows are given, and the user data that marks them as the tree's.
  static constexpr char kTypeRowName[] = "plan_list_type";
  static constexpr char kItemRowName[] = "plan_list_item";
  static constexpr char kStartPointRowName[] = "plan_list_startpoint";
  static constexpr char kRowUserData[] = "PlanList";
  static constexpr int kRowHeight = 32;

  // Rows are built in `manager` (the main window's); `links` give the catalogue, the sign-ups and
  // the sign-up flow.
  UIPlanList(skinui::CPaintManagerUI* manager, PlanViewLinks links);
  ~UIPlanList() override;

  // The catalogue group whose lists are on show (0 at first).
  uint32_t current_group() const { return current_group_; }
  void SetCurrentGroup(uint32_t group_id) { current_group_ = group_id; }

  // --- the lists on show
  void ClearShownTypes() { shown_types_.clear(); }
  // Wants list `list_id` shown; builds its row unless it has one. A list the current group does
  // not hold (or a group the catalogue does not hold) gets no row.
  void AddType(uint32_t list_id);
  // Removes every type not wanted since the last ClearShownTypes.
  void RemoveStaleTypes();
  // Removes the type's row and the rows of its items.
  void RemoveType(uint32_t list_id);

  // --- the plans on show
  void ClearShownPlans() { shown_plans_.clear(); }
  // Wants plan `plan_id` shown under list `list_id`: refreshes its row, or builds one under the
  // type (nothing without the type). A row whose texts are the ones the tree put there last is
  // left as it is, so a list's refresh touches only the rows whose plans changed.
  void AddOrUpdatePlan(uint32_t list_id, uint32_t plan_id);
  // Removes the items of list `list_id` not wanted since the last ClearShownPlans; the plan's
  // rows under other lists stay.
  void RemoveStalePlans(uint32_t list_id);
  // Removes the plan's item under every type.
  void RemovePlanRows(uint32_t plan_id);
  // Fills the plan's rows again from the catalogue (under every type), every text of them.
  void RefreshPlanRow(uint32_t plan_id);

  // Folds (false) or unfolds (true) a type: its item rows are hidden or shown, and its row shows
  // the button that does the opposite.
  void SetExpanded(PlanTreeNode* type, bool expanded);

  // The list's notify event (also handed notifications by the main window): a type row's click
  // toggles the type. Returns false when it took the notification.
  bool OnItemNotify(void* param);

  // While the list takes no mouse input its mouse events go to its parent.
  void DoEvent(skinui::TEventUI& event) override;

  // --- reads
  const PlanTreeNode& root() const { return *root_; }
  PlanTreeNode* FindType(uint32_t list_id) const;
  PlanTreeNode* FindItem(uint32_t list_id, uint32_t plan_id) const;
  const std::set<uint32_t>& shown_types() const { return shown_types_; }
  std::set<uint32_t> shown_plans() const { return shown_plans_.Sorted(); }

 private:
  enum RowKind { kTypeRow = 0, kItemRow = 1, kStartPointRow = 2, kRowKinds = 3 };

  skinui::CControlUI* CreateRow(int kind);
  void PlaceRow(PlanTreeNode* parent, std::unique_ptr<PlanTreeNode> node);
  void BuildItem(PlanTreeNode* type, uint32_t plan_id);
  // Puts the plan's texts in its row; with `unless_same`, not when they are the texts the tree
  // put there last.
  void FillItemRow(PlanTreeNode& item, bool unless_same = false);
  // Takes the item rows out of the list and deletes the nodes.
  void RemoveItems(std::vector<std::unique_ptr<PlanTreeNode>> items);
  bool OnTypeButtonNotify(void* param);
  bool OnSignupNotify(void* param);

  std::set<uint32_t> shown_types_;
  PlanIdSet shown_plans_;
  std::string packed_;  // room for a row's packed texts, kept between rows
  uint32_t current_group_ = 0;
  skinui::CPaintManagerUI* row_manager_;
  PlanViewLinks links_;
  skinui::CDialogBuilder builders_[kRowKinds];
  std::unique_ptr<PlanTreeNode> root_;
  // The description of the plan whose row is being filled, parsed again for each row.
  qv::hallclient::PlanSimpleInfo row_info_;
};

}  // namespace hall
