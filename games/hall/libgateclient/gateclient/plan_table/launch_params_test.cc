#include "gateclient/plan_table/launch_params.h"

#include <gtest/gtest.h>

#include "gateclient/command/typed_commands.h"

namespace qvc {
namespace {

const GameListConfig kDefaultGames{"501,502,555", "zop,zop,twozop", "zop,zop,twozop"};

TEST(SplitStringTest, SkipsEmptyItems) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  } cases[] = {
      {"", {}}, {",", {}}, {"a", {"a"}}, {"a,b", {"a", "b"}}, {",a,,b,", {"a", "b"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SplitString(c.text), c.items) << c.text;
}

TEST(FindGameTest, PairsListsByPosition) {
  struct Case {
    GameListConfig config;
    uint32_t kind;
    std::string exe;
    std::string folder;
  } cases[] = {
      {kDefaultGames, 502, "zop", "zop"},
      {kDefaultGames, 555, "twozop", "twozop"},
      {kDefaultGames, 503, "", ""},
      {kDefaultGames, 0, "", ""},
      // A later duplicate id wins.
      {{"7,7", "a,b", "fa,fb"}, 7, "b", "fb"},
      // Only items that all three lists have are paired.
      {{"1,2", "a,b", "fa"}, 2, "", ""},
      {{"1,2", "a,b", "fa"}, 1, "a", "fa"},
  };
  for (const Case& c : cases) {
    GameEntry g = FindGame(c.config, c.kind);
    EXPECT_EQ(g.executable, c.exe) << c.kind;
    EXPECT_EQ(g.resource_folder, c.folder) << c.kind;
  }
}

void FillMatchStart(qv::CmdMatchStart& cmd, uint32_t game_kind) {
  cmd.routing.appid = 41;
  cmd.routing.apptype = 15;
  cmd.message.set_match_id(7);
  cmd.message.set_match_group(8);
  cmd.message.set_rank_appid(9);
  cmd.message.set_rank_objectid(10);
  cmd.message.set_mp_id(11);
  cmd.message.set_game_kind(game_kind);
}

TEST(BuildLaunchParamsTest, CommandLines) {
  qv::CmdMatchStart start502, start555, unknown_kind;
  FillMatchStart(start502, 502);
  FillMatchStart(start555, 555);
  FillMatchStart(unknown_kind, 999);
  qv::CmdJoinRsp join;
  join.routing.appid = 3;
  join.routing.apptype = 4;
  join.message.set_match_id(70);
  join.message.set_game_kind(502);
  join.message.set_start_game(true);
  qv::CmdLogoutRsp other;   // kind 13: no parameters at all
  qv::CmdMatchPrize prize;  // kind 14 but launching nothing: no executable, still parameters

  const GameListConfig games{"501,502,555,100", "zop,zop,twozop,base", "rz,rz,r2,rb"};
  const LaunchContext context{1234, 5000000000ull, 33};
  struct Case {
    const qv::CMD_base* command;
    std::string line;
  } cases[] = {
      {&start502,
       "zop  process_id:1234|user_id:5000000000|cmd_id:15|app_id:41|app_type:15|plan_id:33|"
       "match_id:7|match_group:8|rank_appid:9|rank_objectid:10|mp_id:11|game_kind:502|"
       "exename:zop|resfolder:rz"},
      // Started from game 100's executable, still naming its own.
      {&start555,
       "base  process_id:1234|user_id:5000000000|cmd_id:15|app_id:41|app_type:15|plan_id:33|"
       "match_id:7|match_group:8|rank_appid:9|rank_objectid:10|mp_id:11|game_kind:555|"
       "exename:twozop|resfolder:r2"},
      {&join,
       "zop  process_id:1234|user_id:5000000000|cmd_id:4|app_id:3|app_type:4|plan_id:33|"
       "match_id:70|match_group:0|rank_appid:0|rank_objectid:0|mp_id:0|game_kind:502|"
       "exename:zop|resfolder:rz"},
      {&unknown_kind,
       "  process_id:1234|user_id:5000000000|cmd_id:15|app_id:41|app_type:15|plan_id:33|"
       "match_id:7|match_group:8|rank_appid:9|rank_objectid:10|mp_id:11|game_kind:999|"
       "exename:|resfolder:"},
      {&prize, "  process_id:1234|user_id:5000000000|cmd_id:" + std::to_string(prize.subid) +
                   "|app_id:0|app_type:0|plan_id:33|match_id:0|match_group:0|rank_appid:0|"
                   "rank_objectid:0|mp_id:0|game_kind:0|exename:|resfolder:"},
      {&other, " "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BuildLaunchParams(*c.command, games, context, nullptr), c.line)
        << c.command->kind << "," << c.command->subid;
}

TEST(BuildLaunchParamsTest, KeepsTheLaunchValues) {
  qv::CmdJoinRsp join;
  join.routing.appid = 3;
  join.message.set_match_id(70);
  join.message.set_game_kind(502);
  join.message.set_start_game(true);
  LaunchValues v;
  std::string second;
  BuildLaunchParams(join, kDefaultGames, {1, 2, 3}, &v, &second);
  EXPECT_EQ(v.match_id, 70u);
  EXPECT_EQ(v.game_kind, 502u);
  EXPECT_TRUE(v.start_game);
  EXPECT_EQ(v.mp_id, 0u);
  EXPECT_EQ(v.routing, join.routing);
  EXPECT_EQ(second.rfind("match_id:70|", 0), 0u) << second;
}

// A launching command that arrives as plain bytes is read from its payload.
TEST(BuildLaunchParamsTest, ReadsAPlainCommandsPayload) {
  qv::CMD_base plain(14, 15);
  qv::CmdMatchStart typed;
  FillMatchStart(typed, 501);
  typed.message.SerializeToString(&plain.payload);
  LaunchValues v;
  std::string line = BuildLaunchParams(plain, kDefaultGames, {1, 2, 3}, &v);
  EXPECT_EQ(line.rfind("zop  ", 0), 0u) << line;
  EXPECT_EQ(v.game_kind, 501u);
  EXPECT_EQ(v.match_id, 7u);
}

}  // namespace
}  // namespace qvc
