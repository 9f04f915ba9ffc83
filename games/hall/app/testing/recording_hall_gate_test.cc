#include "games/hall/app/testing/recording_hall_gate.h"

#include <gtest/gtest.h>

namespace hall::testing {
namespace {

TEST(RecordingHallGateTest, KeepsWhatTheWindowsSentAndHandsOutCopiesOfDetails) {
  RecordingHallGate gate;
  qv::CmdQueryFundReq fund;
  fund.message.set_user_id(10001);
  fund.routing.apptype = 9;
  fund.routing.appid = 2;
  gate.SendThroughGate(fund);
  gate.SendJoinReq(41, true);
  ASSERT_EQ(gate.requests().size(), 2u);
  const auto& sent = gate.requests()[0];
  EXPECT_EQ(sent.what, "through_gate");
  EXPECT_EQ(sent.kind, 13);
  EXPECT_EQ(sent.subid, 10);
  EXPECT_EQ(sent.routing.apptype, 9u);
  qv::client::QueryFundReq parsed;
  ASSERT_TRUE(parsed.ParseFromString(sent.payload));
  EXPECT_EQ(parsed.user_id(), 10001u);
  ASSERT_EQ(gate.RequestsOf("join").size(), 1u);
  EXPECT_EQ(gate.RequestsOf("join")[0].app_id, 41u);

  EXPECT_EQ(gate.FindMatchDetail(5), nullptr);
  qv::hallclient::GetMatchDetailRsp detail;
  detail.set_plan_id(5);
  gate.SetMatchDetail(5, detail);
  auto copy = gate.FindMatchDetail(5);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->message.plan_id(), 5u);
}

}  // namespace
}  // namespace hall::testing
