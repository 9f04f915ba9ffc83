#include "testing/game/fake_game_options.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace fake_game {
namespace {

std::map<std::string, std::string>* g_env = nullptr;

const char* FakeEnv(const char* name) {
  auto it = g_env->find(name);
  return it == g_env->end() ? nullptr : it->second.c_str();
}

bool Parse(std::vector<std::string> args, std::map<std::string, std::string> env, Options* o) {
  g_env = &env;
  std::vector<char*> argv;
  std::string exe = "fake_game";
  argv.push_back(exe.data());
  for (std::string& a : args)
    argv.push_back(a.data());
  std::string error;
  bool ok = ParseOptions(static_cast<int>(argv.size()), argv.data(), FakeEnv, o, &error);
  g_env = nullptr;
  return ok;
}

TEST(FakeGameOptionsTest, ChannelNumbersComeFromTheLaunchParameters) {
  struct Case {
    std::vector<std::string> args;
    bool has_channel;
    uint32_t pid;
    uint64_t plan;
  };
  const Case cases[] = {
      {{"process_id:88|user_id:1|cmd_id:15|app_id:2|app_type:3|plan_id:5|match_id:7|"
        "game_kind:502|exename:zop|resfolder:zop"},
       true,
       88,
       5},
      {{"process_id:12|plan_id:-1|"}, true, 12, 0xFFFFFFFFFFFFFFFFull},
      {{"process_id:12|", "plan_id:33|"}, true, 12, 33},
      {{"plan_id:33|"}, false, 0, 33},
      {{"process_id:x|plan_id:33|"}, false, 0, 33},
      {{}, false, 0, 0},
  };
  for (const Case& c : cases) {
    Options o;
    ASSERT_TRUE(Parse(c.args, {}, &o));
    EXPECT_EQ(o.has_channel, c.has_channel) << o.params;
    if (c.has_channel) {
      EXPECT_EQ(o.process_id, c.pid) << o.params;
      EXPECT_EQ(o.plan_id, c.plan) << o.params;
    }
  }
}

TEST(FakeGameOptionsTest, SendListItems) {
  std::vector<qvc::GameFrame> frames;
  ASSERT_TRUE(ParseSendList("14:3:61626364,1:13:4:,0:18:2:@3", &frames));
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].type, 0u);
  EXPECT_EQ(frames[0].kind, 14);
  EXPECT_EQ(frames[0].subid, 3);
  EXPECT_EQ(frames[0].payload, "abcd");
  EXPECT_EQ(frames[1].type, 1u);
  EXPECT_EQ(frames[1].payload, "");
  EXPECT_EQ(frames[2].payload.size(), 3u);
  for (const char* bad :
       {"14:3", "14:3:6", "14:3:zz", "70000:1:", "a:b:c", "1:2:3:4:5", "14:3:00,,14:3:00"}) {
    EXPECT_FALSE(ParseSendList(bad, &frames)) << bad;
  }
}

TEST(FakeGameOptionsTest, EnvironmentSettingsAndBadOnes) {
  Options o;
  ASSERT_TRUE(Parse({},
                    {{kEnvMode, "never-read"},
                     {kEnvExpect, "3"},
                     {kEnvExit, "-7"},
                     {kEnvTimeout, "250"},
                     {kEnvSendAfter, "1"},
                     {kEnvRecord, "/tmp/r"}},
                    &o));
  EXPECT_EQ(o.mode, Mode::kNeverRead);
  EXPECT_EQ(o.expect, 3u);
  EXPECT_EQ(o.exit_code, -7);
  EXPECT_EQ(o.timeout_ms, 250u);
  EXPECT_TRUE(o.send_after);
  EXPECT_EQ(o.record_path, "/tmp/r");
  EXPECT_FALSE(Parse({}, {{kEnvMode, "sulk"}}, &o));
  EXPECT_FALSE(Parse({}, {{kEnvExpect, "-1"}}, &o));
  EXPECT_FALSE(Parse({}, {{kEnvSend, "1:2"}}, &o));
}

}  // namespace
}  // namespace fake_game
