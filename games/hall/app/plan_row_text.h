// The texts of the catalogue views' rows, made from the catalogue's records: a plan's title, its
// sign-up count, entry condition, start condition and the look of its sign-up button.
//
// Texts with a fixed room are cut at a character boundary, never inside a UTF-8 sequence: the
// names come from the gate and are often Chinese.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/hallclient.pb.h"
#include "gateclient/plan_list/plan_records.h"
#include "platform/clock.h"

namespace hall {

// Room of a plan row's title and of a group option's name, terminator included.
inline constexpr size_t kPlanTitleBytes = 256;
inline constexpr size_t kGroupOptionNameBytes = 32;

// The sign-up button's looks, four states each side by side.
inline constexpr char kSignupImage[] = "bt_signup.png";
inline constexpr char kFreeSignupImage[] = "bt_freesignup.png";
inline constexpr char kWithdrawImage[] = "bt_exit.png";
inline constexpr int kSignupImageStates = 4;

// Plan types the start condition depends on.
inline constexpr uint32_t kPlanStartsWhenFull = 1;
inline constexpr uint32_t kPlanTimed = 2;
inline constexpr uint32_t kPlanOpenTables = 10;

// The longest prefix of `text` of at most `max_bytes` bytes that does not end inside a UTF-8
// sequence. A malformed text is cut only before a byte that starts a character or stands alone.
std::string_view CutUtf8(std::string_view text, size_t max_bytes);

// "{x 50}<name>(<plan id>){/x}" within kPlanTitleBytes: a long name is shortened (at a character
// boundary) so that the plan id and the closing tag always stay.
std::string PlanTitleText(std::string_view show_name, uint32_t plan_id);

// "group_btn_<id>", the name of a group option.
std::string GroupOptionName(uint32_t group_id);

// "<n>人报名".
std::string JoinCountText(uint32_t signed_count);

// What one plan row shows. Fields left empty leave the row's control as it is.
struct PlanRowTexts {
  std::string title;
  std::string join_count;
  // Set with a start point only: the button is shown with this image.
  std::optional<std::string> signup_image;
  std::string join_term;
  std::optional<std::string> start_time;
};

// `texts` as one string, equal for two row texts exactly when every field is (each field is
// written with its length, an absent one apart from an empty one).
std::string PackPlanRowTexts(const PlanRowTexts& texts);
// The same into `out` (its old contents replaced), reusing its room.
void PackPlanRowTexts(const PlanRowTexts& texts, std::string* out);

// The row of `plan` (the catalogue's parsed record), with its start points when the catalogue
// has them and whether the user is signed up for it. `clock` gives today's date for timed plans.
PlanRowTexts MakePlanRowTexts(const qv::hallclient::PlanSimpleInfo& plan, uint32_t plan_id,
                              const qvc::StartPointRecord* start_points, bool signed_up,
                              const platform::Clock& clock);

}  // namespace hall
