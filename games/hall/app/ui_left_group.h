// The main window's game-type bar ("GroupList" in its skin): one option button per catalogue
// group, in the catalogue's order, that decides which group the plan tree shows. The options copy
// the look of the skin's hidden template option "AllRoom", exclude each other (option group
// "gametype"), carry their group id as tag and the bar's mark as user data, by which the main
// window tells them from every other option.
//
// Choosing an option sends "selectchanged" from it to the main window, which switches the tree.
// A rebuild after a catalogue change keeps the chosen group chosen without a second switch; the
// first rebuild, or one after which the chosen group is gone, chooses the first group with that
// notification and writes its id into the account record. Window thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "games/hall/app/plan_views.h"
#include "skinui/container.h"

namespace skinui {
class COptionUI;
}

namespace hall {

class UILeftGroup : public skinui::CVerticalLayoutUI {
 public:
  static constexpr char kTemplateName[] = "AllRoom";
  static constexpr char kOptionGroup[] = "gametype";
  // The user data of every option the bar makes.
  static constexpr char kOptionMark[] = "GroupList";
  static constexpr int kOptionFont = 9;

  UILeftGroup(skinui::CPaintManagerUI* manager, PlanViewLinks links);
  ~UILeftGroup() override;

  // Makes the options again from the catalogue's groups (after the group answer).
  void Rebuild();
  // The group whose option is selected, 0 when none.
  uint32_t SelectedGroup() const;
  // The option of a group, null when the bar has none.
  skinui::COptionUI* FindOption(uint32_t group_id) const;
  // Whether `control` is an option this bar made (and still holds).
  bool IsGroupOption(const skinui::CControlUI* control) const;
  const std::vector<skinui::COptionUI*>& options() const { return options_; }

 private:
  skinui::COptionUI* MakeOption(const skinui::COptionUI* look, uint32_t group_id,
                                const std::string& name);
  bool OnNotify_4_Option(void* param);

  std::map<uint32_t, skinui::COptionUI*> by_group_;
  std::vector<skinui::COptionUI*> options_;  // in the bar's order; owned by the bar
  skinui::CPaintManagerUI* option_manager_;
  PlanViewLinks links_;
};

}  // namespace hall
