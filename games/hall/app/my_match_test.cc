#include "games/hall/app/my_match.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "gateclient/command/typed_commands.h"

namespace hall {
namespace {

using JoinResult = qv::matchclient::JoinRsp;

std::unique_ptr<qv::CMD_base> Join(int result, bool quit, uint64_t plan_id, uint64_t match_id) {
  auto command = std::make_unique<qv::CmdJoinRsp>();
  command->message.set_join_result(static_cast<JoinResult::Result>(result));
  command->message.set_is_quit(quit);
  command->message.set_plan_id(plan_id);
  command->message.set_match_id(match_id);
  return command;
}
std::unique_ptr<qv::CMD_base> Start(uint32_t plan_id) {
  auto command = std::make_unique<qv::CmdMatchStart>();
  command->message.set_plan_id(plan_id);
  return command;
}
std::unique_ptr<qv::CMD_base> Prize(uint32_t plan_id) {
  auto command = std::make_unique<qv::CmdMatchPrize>();
  command->message.set_plan_id(plan_id);
  return command;
}

TEST(MyMatchTest, CommandsChangeTheSignupsAsTheyShould) {
  struct Step {
    const char* what;
    std::unique_ptr<qv::CMD_base> command;
    uint32_t plan;  // the plan looked at afterwards
    std::optional<MyMatchRecord> expected;
  };
  Step steps[] = {
      {"refused join", Join(3, false, 7, 70), 7, std::nullopt},
      {"refused withdrawal", Join(3, true, 7, 70), 7, std::nullopt},
      {"join", Join(0, false, 7, 70), 7, MyMatchRecord{7, 70, false}},
      {"started", Start(7), 7, MyMatchRecord{7, 70, true}},
      {"second join overwrites and clears started", Join(0, false, 7, 71), 7,
       MyMatchRecord{7, 71, false}},
      {"refused withdrawal keeps it", Join(5, true, 7, 0), 7, MyMatchRecord{7, 71, false}},
      {"withdrawal", Join(0, true, 7, 0), 7, std::nullopt},
      {"withdrawal of an unknown plan", Join(0, true, 8, 0), 8, std::nullopt},
      {"start alone", Start(9), 9, MyMatchRecord{0, 0, true}},
      {"prize of an unknown plan", Prize(10), 9, MyMatchRecord{0, 0, true}},
      {"prize", Prize(9), 9, std::nullopt},
      // The wire's plan id is 64-bit; the hall keys by its low half.
      {"join with a high half", Join(0, false, 0x500000000Bull, 5), 0xB,
       MyMatchRecord{0xB, 5, false}},
      {"a join result left unset is no success", std::make_unique<qv::CmdJoinRsp>(), 0,
       std::nullopt},
  };
  MyMatch my_match;
  for (Step& step : steps) {
    my_match.OnMatchClientCmd(step.command.get());
    EXPECT_EQ(my_match.FindSignup(step.plan), step.expected) << step.what;
  }
}

TEST(MyMatchTest, OtherKindsAndSubidsChangeNothingAndClearEmptiesAll) {
  MyMatch my_match;
  my_match.OnMatchClientCmd(Join(0, false, 1, 1).get());
  my_match.OnMatchClientCmd(Join(0, false, 2, 2).get());
  qv::CmdMatchStart start;  // kind 14 subid 15
  start.kind = 18;          // the same bytes under another kind
  start.message.set_plan_id(3);
  my_match.OnMatchClientCmd(&start);
  qv::CMD_base unknown(14, 48);
  my_match.OnMatchClientCmd(&unknown);
  my_match.OnMatchClientCmd(nullptr);
  EXPECT_EQ(my_match.size(), 2u);
  my_match.Clear();
  EXPECT_EQ(my_match.size(), 0u);
  EXPECT_FALSE(my_match.FindSignup(1).has_value());
}

// The job thread writes while the window thread reads; the sanitizers watch the copies.
TEST(MyMatchTest, ReadsWhileTheJobThreadWrites) {
  MyMatch my_match;
  std::atomic<bool> done{false};
  std::thread job([&] {
    for (uint32_t i = 0; i < 20000; ++i) {
      my_match.OnMatchClientCmd(Join(0, i % 2 == 1, i % 64, i).get());
      if (i % 1000 == 0)
        my_match.Clear();
    }
    done = true;
  });
  while (!done) {
    for (uint32_t plan = 0; plan < 64; ++plan) {
      if (const auto record = my_match.FindSignup(plan)) {
        EXPECT_EQ(record->plan_id, plan);
      }
    }
  }
  job.join();
  EXPECT_LE(my_match.size(), 64u);
}

}  // namespace
}  // namespace hall
