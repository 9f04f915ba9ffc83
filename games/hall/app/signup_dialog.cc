#include "games/hall/app/signup_dialog.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "client/hallclient.pb.h"
#include "games/hall/ui/control_text.h"
#include "gateclient/log/debug_trace.h"
#include "skinui/control.h"
#include "skinui/label.h"
#include "skinui/message_queue.h"

namespace hall {
namespace {

// PlanSimpleInfo.plan_type of a plan that starts as soon as its seats are taken.
constexpr uint32_t kPlanStartsWhenFull = 1;

// The dialog's short texts; the compiler checks each format against its arguments.
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[128];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Counts come from the gate; the progress control holds ints.
int ProgressInt(uint32_t value) {
  return static_cast<int>(std::min<uint32_t>(value, INT_MAX));
}

bool IsClick(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  return msg != nullptr && msg->sType == skinui::kNotifyClick;
}

}  // namespace

SignupDialog::SignupDialog(HallGate& gate, uint32_t plan_id) : gate_(gate), plan_id_(plan_id) {}

void SignupDialog::InitWindow() {
  if (skinui::CControlUI* cancel = FindControl("cancel"))
    cancel->OnNotify += skinui::MakeDelegate(this, &SignupDialog::OnCancelNotify);
  if (skinui::CControlUI* signup = FindControl("signup"))
    signup->OnNotify += skinui::MakeDelegate(this, &SignupDialog::OnSignupNotify);
  skinui::SetTimer(GetHWND(), kRefreshTimerId, kRefreshIntervalMs);
  Fill();
}

// A button's focus and hover notifications must not act, nor a second click that was queued
// before the first one's close arrived.
bool SignupDialog::OnCancelNotify(void* param) {
  if (!IsClick(param))
    return true;
  if (!answered_) {
    answered_ = true;
    Close(kResultClosed);
  }
  return false;
}

bool SignupDialog::OnSignupNotify(void* param) {
  if (!IsClick(param))
    return true;
  if (!answered_) {
    answered_ = true;
    gate_.SignUp(plan_id_);
    Close(kResultClosed);
  }
  return false;
}

LRESULT SignupDialog::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                          BOOL& handled) {
  if (message != WM_TIMER)
    return 0;
  DebugTrace("onterim w=%llu,l=%lld\n", static_cast<unsigned long long>(wParam),
             static_cast<long long>(lParam));
  if (wParam == kRefreshTimerId) {
    gate_.RequestPlanDisplayUpdate(plan_id_);
    Fill();
  }
  handled = TRUE;
  return 0;
}

const skinui::NotifyMapEntry* SignupDialog::GetMessageMap() const {
  static const skinui::NotifyMapEntry kEmpty[] = {{nullptr, nullptr, nullptr}};
  return kEmpty;
}

void SignupDialog::OnFinalMessage(HWND hwnd) {
  WindowImplBase::OnFinalMessage(hwnd);
  delete this;
}

void SignupDialog::Fill() {
  qvc::PlanList* catalogue = gate_.catalogue();
  if (catalogue == nullptr)
    return;
  const auto plan = catalogue->FindPlan(plan_id_);
  if (!plan)
    return;
  const qv::hallclient::PlanSimpleInfo& info = plan->info;
  app_id_ = info.app_id();
  if (info.free_join()) {
    if (skinui::CControlUI* fee = FindControl("SignUpInfo"))
      fee->SetVisible(false);
    SetControlTextUtf8(FindControl("MatchProve"), "免费报名!");
  }
  SetControlTextUtf8(FindControl("MatchName"), info.show_name().c_str());
  FillPrizes();
  const auto points = catalogue->FindStartPoints(plan_id_);
  if (points && info.plan_type() == kPlanStartsWhenFull)
    FillStartCount(info.fixed_count(), points->signed_count);
}

void SignupDialog::FillPrizes() {
  const qvc::CommandRef<qv::CmdGetMatchDetailRsp> detail = gate_.FindMatchDetail(plan_id_);
  if (detail == nullptr)
    return;  // not in yet: a later tick fills the prizes
  qv::hallclient::TitleMatchItem title;
  if (!title.ParseFromString(detail->message.detail_titlematch()))
    return;
  const int rows = std::min(title.plan_prizes_size(), kPrizeRows);
  for (int i = 0; i < rows; ++i) {
    const qv::hallclient::PrizeItem& prize = title.plan_prizes(i);
    const std::string rank = prize.rank_begein() == prize.rank_end()
                                 ? Format("第%u名", prize.rank_begein())
                                 : Format("第%u-%u名", prize.rank_begein(), prize.rank_end());
    SetControlTextUtf8(FindControl(Format("Alexa%d", i).c_str()), rank.c_str());
    SetControlTextUtf8(FindControl(Format("Prize%d", i).c_str()),
                       prize.has_other_award() ? prize.other_award().c_str() : "");
  }
}

void SignupDialog::FillStartCount(uint32_t fixed_count, uint32_t signed_count) {
  skinui::CControlUI* control = FindControl("MatchStartProgress");
  auto* progress = control != nullptr
                       ? static_cast<skinui::CProgressUI*>(control->GetInterface("Progress"))
                       : nullptr;
  if (fixed_count == 0) {
    // The gate named no seat count: there is no share to show, only the players signed.
    SetControlTextUtf8(FindControl("MatchStartCount"), "人满开赛");
    SetControlTextUtf8(control, Format("%u人已报名", signed_count).c_str());
    if (progress != nullptr) {
      progress->SetMaxValue(1);
      progress->SetValue(0);
    }
    return;
  }
  SetControlTextUtf8(FindControl("MatchStartCount"), Format("满%u人开赛", fixed_count).c_str());
  SetControlTextUtf8(control, Format("%u/%u", signed_count, fixed_count).c_str());
  if (progress != nullptr) {
    progress->SetMaxValue(ProgressInt(fixed_count));
    progress->SetValue(ProgressInt(signed_count));
  }
}

}  // namespace hall
