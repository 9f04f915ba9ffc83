// The main window's recommended matches ("HotMatchList" in its skin): up to five plans of the
// catalogue's recommended list, the most popular first, each a row (skin "hot_match.xml") with
// the plan's name, its sign-up count and a join / withdraw button that enters the sign-up flow.
//
// The recommended list is copied out under the catalogue's lock and sorted outside it; the job
// thread keeps writing the catalogue meanwhile. Window thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "games/hall/app/plan_views.h"
#include "skinui/dialog_builder.h"
#include "skinui/list.h"

namespace skinui {
class CButtonUI;
}

namespace hall {

class HotMatchList : public skinui::CListUI {
 public:
  static constexpr uint32_t kMaxRows = 5;
  static constexpr char kRowSkin[] = "hot_match.xml";
  static constexpr char kJoinButton[] = "button_join";
  static constexpr int kRowHeight = 32;

  // One row and the controls it fills.
  struct HotRow {
    uint32_t plan_id = 0;
    skinui::CControlUI* row = nullptr;
    skinui::CButtonUI* join = nullptr;         // "button_join"
    skinui::CControlUI* name = nullptr;        // "label_matchname"
    skinui::CControlUI* join_count = nullptr;  // "label_joincount"
    skinui::CControlUI* show_join = nullptr;   // "label_showjoin"
  };

  HotMatchList(skinui::CPaintManagerUI* manager, PlanViewLinks links);
  ~HotMatchList() override;

  // Builds the rows again from the recommended list (after a plan answer and after a prize).
  // Nothing changes while the catalogue does not exist yet.
  void Refresh();
  // Fills one row from the catalogue and the user's sign-ups (nothing without the plan).
  void FillRow(HotRow& row);

  const std::vector<HotRow>& rows() const { return rows_; }

 private:
  bool OnJoinNotify(void* param);

  skinui::CPaintManagerUI* row_manager_;
  PlanViewLinks links_;
  skinui::CDialogBuilder builder_;
  std::vector<HotRow> rows_;
};

}  // namespace hall
