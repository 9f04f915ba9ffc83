#include "testing/game/launch_fields.h"

#include <gtest/gtest.h>

namespace fake_game {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

Fields Pairs(const std::vector<LaunchField>& fields) {
  Fields out;
  for (const LaunchField& f : fields)
    out.emplace_back(f.name, f.value);
  return out;
}

TEST(LaunchFieldsTest, SplitsTheHallsLaunchString) {
  struct Case {
    const char* params;
    Fields fields;
  };
  const Case cases[] = {
      // The hall's two pieces after the executable's blank: the first begins with a blank of
      // its own, the second follows without a separator of its own.
      {"  process_id:88|user_id:10001|cmd_id:15|app_id:41|app_type:15|plan_id:33|match_id:7|"
       "match_group:3|rank_appid:4|rank_objectid:5|mp_id:6|game_kind:502|exename:demo/game|"
       "resfolder:res502",
       {{"process_id", "88"},
        {"user_id", "10001"},
        {"cmd_id", "15"},
        {"app_id", "41"},
        {"app_type", "15"},
        {"plan_id", "33"},
        {"match_id", "7"},
        {"match_group", "3"},
        {"rank_appid", "4"},
        {"rank_objectid", "5"},
        {"mp_id", "6"},
        {"game_kind", "502"},
        {"exename", "demo/game"},
        {"resfolder", "res502"}}},
      {"exename:C:\\games\\a b|resfolder:", {{"exename", "C:\\games\\a b"}, {"resfolder", ""}}},
      {"||plan_id:1||", {{"plan_id", "1"}}},
      {"no colon|:empty name|x:1", {{"x", "1"}}},
      {"", {}},
      {" ", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Pairs(ParseLaunchFields(c.params)), c.fields) << c.params;
}

TEST(LaunchFieldsTest, ReadsAtMostItsCapOfFields) {
  std::string params;
  for (size_t i = 0; i < kMaxLaunchFields + 5; ++i)
    params += "f" + std::to_string(i) + ":" + std::to_string(i) + "|";
  const std::vector<LaunchField> fields = ParseLaunchFields(params);
  ASSERT_EQ(fields.size(), kMaxLaunchFields);
  EXPECT_EQ(fields.back().name, "f" + std::to_string(kMaxLaunchFields - 1));
}

TEST(LaunchFieldsTest, FindsTheFirstOfANameAndCaptionsKnownNames) {
  const std::vector<LaunchField> fields = ParseLaunchFields("plan_id:1|plan_id:2|other:3");
  EXPECT_EQ(FindLaunchField(fields, "plan_id"), "1");
  EXPECT_EQ(FindLaunchField(fields, "other"), "3");
  EXPECT_EQ(FindLaunchField(fields, "match_id"), std::nullopt);
  EXPECT_EQ(LaunchFieldCaption("plan_id"), "方案");
  EXPECT_EQ(LaunchFieldCaption("game_kind"), "游戏类型");
  EXPECT_EQ(LaunchFieldCaption("unknown_field"), "unknown_field");
}

}  // namespace
}  // namespace fake_game
