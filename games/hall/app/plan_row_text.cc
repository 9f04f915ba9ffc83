#include "games/hall/app/plan_row_text.h"

#include "games/hall/text/match_time.h"

namespace hall {
namespace {

constexpr std::string_view kTitleOpen = "{x 50}";
constexpr std::string_view kTitleClose = "){/x}";

bool ContinuesSequence(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

std::string_view CutUtf8(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes)
    return text;
  size_t cut = max_bytes;
  // Step back over the continuation bytes of the character the cut would split: at most three
  // in any character. A longer run is garbage that no character owns, and is cut where it stands.
  for (int back = 0; cut > 0 && back < 3 && ContinuesSequence(text[cut]); ++back)
    --cut;
  if (cut > 0 && ContinuesSequence(text[cut]))
    cut = max_bytes;
  return text.substr(0, cut);
}

std::string PlanTitleText(std::string_view show_name, uint32_t plan_id) {
  const std::string id = "(" + std::to_string(plan_id);
  const size_t fixed = kTitleOpen.size() + id.size() + kTitleClose.size();
  const size_t room = kPlanTitleBytes - 1 - fixed;
  std::string out;
  out.reserve(kPlanTitleBytes);
  out.append(kTitleOpen);
  out.append(CutUtf8(show_name, room));
  out.append(id);
  out.append(kTitleClose);
  return out;
}

std::string GroupOptionName(uint32_t group_id) {
  const std::string name = "group_btn_" + std::to_string(group_id);
  return std::string(CutUtf8(name, kGroupOptionNameBytes - 1));
}

std::string JoinCountText(uint32_t signed_count) {
  return std::to_string(signed_count) + "人报名";
}

namespace {

void PackField(const std::string* field, std::string& out) {
  if (field == nullptr) {
    out += '-';
    return;
  }
  out += std::to_string(field->size());
  out += ':';
  out += *field;
}

}  // namespace

void PackPlanRowTexts(const PlanRowTexts& texts, std::string* out) {
  out->clear();
  PackField(&texts.title, *out);
  PackField(&texts.join_count, *out);
  PackField(texts.signup_image ? &*texts.signup_image : nullptr, *out);
  PackField(&texts.join_term, *out);
  PackField(texts.start_time ? &*texts.start_time : nullptr, *out);
}

std::string PackPlanRowTexts(const PlanRowTexts& texts) {
  std::string out;
  PackPlanRowTexts(texts, &out);
  return out;
}

PlanRowTexts MakePlanRowTexts(const qv::hallclient::PlanSimpleInfo& plan, uint32_t plan_id,
                              const qvc::StartPointRecord* start_points, bool signed_up,
                              const platform::Clock& clock) {
  PlanRowTexts texts;
  texts.title = PlanTitleText(plan.show_name(), plan_id);
  texts.join_count = JoinCountText(start_points != nullptr ? start_points->signed_count : 0);
  if (start_points != nullptr) {
    texts.signup_image = signed_up          ? kWithdrawImage
                         : plan.free_join() ? kFreeSignupImage
                                            : kSignupImage;
  }
  texts.join_term = plan.free_join() ? "免费报名" : plan.show_join();
  switch (plan.plan_type()) {
    case kPlanStartsWhenFull:
      texts.start_time = "满" + std::to_string(plan.fixed_count()) + "人开赛";
      break;
    case kPlanTimed:
      if (start_points != nullptr) {
        std::string when;
        FormatMatchTime(when, static_cast<int64_t>(start_points->start_time), clock);
        texts.start_time = when;
      }
      break;
    case kPlanOpenTables:
      texts.start_time = "散桌";
      break;
    default:
      break;
  }
  return texts;
}

}  // namespace hall
