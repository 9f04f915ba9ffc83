#include "games/hall/app/hot_match_list.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "games/hall/app/hall_gate.h"
#include "games/hall/app/my_match.h"
#include "games/hall/app/plan_row_text.h"
#include "games/hall/ui/control_text.h"
#include "skinui/button.h"

namespace hall {
namespace {

// What the sort and the row building need of one recommended plan.
struct HotPick {
  uint32_t heat = 0;
  uint32_t plan_id = 0;   // of its PlanSimpleInfo: the tie-break of the sort
  uint32_t plan_key = 0;  // the reply's plan id, by which its row finds it
  bool known = false;     // the catalogue's groups hold the plan
};

}  // namespace

HotMatchList::HotMatchList(skinui::CPaintManagerUI* manager, PlanViewLinks links)
    : row_manager_(manager), links_(std::move(links)) {}

HotMatchList::~HotMatchList() = default;

void HotMatchList::Refresh() {
  qvc::PlanList* catalogue = links_.gate != nullptr ? links_.gate->catalogue() : nullptr;
  if (catalogue == nullptr)
    return;
  std::vector<HotPick> picks = catalogue->Read([](const qvc::PlanList::View& view) {
    std::vector<HotPick> out;
    for (const qvc::PlanEntry& plan :
         view.special_list(qvc::PlanList::kRecommendedListId).plans()) {
      out.push_back(HotPick{plan.info().heat_degree(), plan.plan_id(), plan.plan_key,
                            view.FindPlan(plan.plan_key) != nullptr});
    }
    return out;
  });
  RemoveAll();
  rows_.clear();
  std::stable_sort(picks.begin(), picks.end(), [](const HotPick& a, const HotPick& b) {
    if (a.heat != b.heat)
      return a.heat > b.heat;
    return a.plan_id > b.plan_id;
  });
  if (picks.size() > kMaxRows)
    picks.resize(kMaxRows);
  for (const HotPick& pick : picks) {
    if (!pick.known)
      continue;
    skinui::CControlUI* control = builder_.GetMarkup()->IsValid()
                                      ? builder_.Create(nullptr, row_manager_)
                                      : builder_.Create(kRowSkin, nullptr, row_manager_);
    if (control == nullptr)
      continue;
    HotRow row;
    row.plan_id = pick.plan_key;
    row.row = control;
    if (skinui::CControlUI* join = control->FindByName(kJoinButton))
      row.join = static_cast<skinui::CButtonUI*>(join->GetInterface("Button"));
    row.name = control->FindByName("label_matchname");
    row.join_count = control->FindByName("label_joincount");
    row.show_join = control->FindByName("label_showjoin");
    FillRow(row);
    if (row.join != nullptr) {
      row.join->SetTag(row.plan_id);
      row.join->OnNotify += skinui::MakeDelegate(this, &HotMatchList::OnJoinNotify);
    }
    Add(control);
    rows_.push_back(row);
  }
}

void HotMatchList::FillRow(HotRow& row) {
  qvc::PlanList* catalogue = links_.gate != nullptr ? links_.gate->catalogue() : nullptr;
  if (catalogue == nullptr || row.row == nullptr)
    return;
  struct Texts {
    std::string name;
    uint32_t signed_count = 0;
  };
  // MyMatch has a lock of its own: asked before the catalogue's is taken, never inside it.
  const bool signed_up = links_.my_match != nullptr && links_.my_match->FindSignup(row.plan_id);
  const std::optional<Texts> texts =
      catalogue->Read([&](const qvc::PlanList::View& view) -> std::optional<Texts> {
        const qvc::PlanEntry* plan = view.FindPlan(row.plan_id);
        if (plan == nullptr)
          return std::nullopt;
        const qvc::StartPointRecord* points = view.FindStartPoints(row.plan_id);
        return Texts{plan->info().show_name(), points != nullptr ? points->signed_count : 0};
      });
  if (!texts)
    return;
  SetControlTextUtf8(row.join, signed_up ? "退  赛" : "立即报名");
  SetControlTextUtf8(row.join_count, JoinCountText(texts->signed_count).c_str());
  SetControlTextUtf8(row.name, texts->name.c_str());
}

bool HotMatchList::OnJoinNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  if (msg->pSender == nullptr || msg->pSender->GetName().CompareNoCase(kJoinButton) != 0 ||
      msg->sType.CompareNoCase(skinui::kNotifyClick) != 0) {
    return true;
  }
  // The flow may run a modal dialog during which the list is rebuilt and this row goes.
  if (links_.begin_signup) {
    const std::function<void(uint32_t)> begin_signup = links_.begin_signup;
    begin_signup(static_cast<uint32_t>(msg->pSender->GetTag()));
  }
  return false;
}

}  // namespace hall
