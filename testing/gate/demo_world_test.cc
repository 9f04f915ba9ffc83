// The demo world as a hall sees it over the wire, its time moved by hand: the catalogue of every
// plan type with names, details and recommended plans, the demo account and its funds, a new
// account registered and logging in, a full plan starting its match, and start points that move.
#include "testing/gate/demo_world.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "client/captcha.pb.h"
#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "client/userinfo.pb.h"
#include "gateclient/client_frame/login_digest.h"
#include "interface/command_ids.h"
#include "testing/gate/raw_hall.h"
#include "types/types.pb.h"

namespace testgate {
namespace {

using namespace std::chrono_literals;
namespace hc = qv::hallclient;

// 2026-12-11 05:00:00 UTC (the manual clock's local time is UTC).
constexpr int64_t kNow = 1796965200;

class DemoWorldTest : public ::testing::Test {
 protected:
  void Start(DemoWorldOptions options = {}) {
    options.clock = &clock_;
    world_ = std::make_unique<DemoWorld>(gate_, options);
    ASSERT_TRUE(gate_.Start());
    hall_ = std::make_unique<RawHall>(gate_.port());
    ASSERT_TRUE(hall_->ok());
  }

  template <typename Reply>
  Reply Ask(uint32_t kind, uint32_t subid, const google::protobuf::MessageLite& request,
            uint32_t appid = 2) {
    hall_->SendTransfer(kind, subid, request, appid);
    Reply reply;
    EXPECT_TRUE(reply.ParsePartialFromString(hall_->NextTransfer().data()));
    return reply;
  }

  qv::client::LoginRsp LogIn(const std::string& account, const std::string& password) {
    qv::client::LoginReq login;
    login.set_game_kind(0);
    login.set_action_type(qv::client::LoginReq::ByAccount);
    login.set_client_os(qv::types::PC);
    login.set_build_no(0);
    login.set_market_id(0);
    login.set_login_account(account);
    login.set_login_password(qvc::MakeLoginDigest(password, account, 0));
    login.set_logon_token(0);
    auto reply = Ask<qv::client::LoginRsp>(13, 1, login);
    if (reply.login_result() == 0)
      hall_->Next();  // the AuthInfo that follows a login
    return reply;
  }

  qv::matchclient::JoinRsp Join(uint32_t plan_id, bool quit) {
    qv::matchclient::JoinReq join;
    join.set_is_quit(quit);
    return Ask<qv::matchclient::JoinRsp>(14, 3, join, DemoWorld::kMatchAppBase + plan_id);
  }

  void Advance(uint32_t ms) {
    clock_.Advance(ms);
    world_->Tick();
  }

  platform::ManualClock clock_{0, kNow};
  LocalGate gate_;
  std::unique_ptr<DemoWorld> world_;
  std::unique_ptr<RawHall> hall_;
};

TEST_F(DemoWorldTest, TheCatalogueHoldsEveryPlanTypeWithNamesDetailsAndPrizes) {
  Start();
  auto groups = Ask<hc::AllGroupRsp>(18, hc::IDAllGroupReq, hc::AllGroupReq());
  ASSERT_EQ(groups.items_size(), static_cast<int>(DemoWorld::kGames));
  std::set<uint32_t> types;
  std::set<std::string> names;
  std::map<uint32_t, hc::PlanSimpleInfo> plans;
  for (const hc::groupItem& group : groups.items()) {
    EXPECT_EQ(group.show_name().find("group"), std::string::npos) << group.show_name();
    names.insert(group.show_name());
    hc::AllListReq list_request;
    list_request.set_group_id(group.group_id());
    auto lists = Ask<hc::AllListRsp>(18, hc::IDAllListReq, list_request);
    ASSERT_EQ(lists.items_size(), 4);
    for (const hc::listItem& list : lists.items()) {
      EXPECT_FALSE(list.show_name().empty());
      hc::AllPlanReq plan_request;
      plan_request.set_group_id(group.group_id());
      plan_request.set_list_id(list.list_id());
      auto reply = Ask<hc::AllPlanRsp>(18, hc::IDAllPlanReq, plan_request);
      EXPECT_GT(reply.simple_infos_size(), 0) << list.show_name();
      for (const std::string& bytes : reply.simple_infos()) {
        hc::PlanSimpleInfo info;
        ASSERT_TRUE(info.ParseFromString(bytes));
        EXPECT_EQ(info.game_kind(), DemoWorld::kGameKind);
        EXPECT_EQ(info.app_id(), DemoWorld::kMatchAppBase + info.plan_id());
        EXPECT_EQ(info.plan_id() / 1000, group.group_id());
        EXPECT_EQ(info.free_join(), info.show_join().empty()) << info.show_name();
        EXPECT_EQ(info.fixed_count() != 0, info.plan_type() == 1) << info.show_name();
        types.insert(info.plan_type());
        plans[info.plan_id()] = info;
      }
    }
  }
  EXPECT_EQ(names.size(), DemoWorld::kGames);
  EXPECT_EQ(types, (std::set<uint32_t>{1, 2, 3, 10}));
  EXPECT_EQ(plans.size(), world_->plans().size());
  EXPECT_GE(plans.size(), 24u);

  // Every plan's details name its own match service and carry six prize rows.
  for (uint32_t plan_id : {1001u, 2004u, 4008u}) {
    hc::GetMatchDetailReq detail;
    detail.set_plan_id(plan_id);
    auto reply = Ask<hc::GetMatchDetailRsp>(18, hc::IDGetMatchDetailReq, detail);
    hc::TitleMatchItem item;
    ASSERT_TRUE(item.ParseFromString(reply.detail_titlematch())) << plan_id;
    EXPECT_EQ(item.app_id(), DemoWorld::kMatchAppBase + plan_id);
    EXPECT_EQ(item.show_title(), plans[plan_id].show_name());
    ASSERT_EQ(item.plan_prizes_size(), 6);
    EXPECT_EQ(item.plan_prizes(0).rank_begein(), 1u);
    EXPECT_FALSE(item.plan_prizes(0).other_award().empty());
  }

  // The recommended list: plans of the catalogue, starts-when-full ones among them.
  hc::AllPlanReq hot;
  hot.set_group_id(1);
  hot.set_list_id(2);
  auto recommended = Ask<hc::AllPlanRsp>(18, hc::IDAllPlanReq, hot);
  ASSERT_GT(recommended.plan_ids_size(), 2);
  for (uint32_t plan_id : recommended.plan_ids())
    EXPECT_EQ(plans.count(plan_id), 1u) << plan_id;

  // Timed plans start ahead of now, in the coming hour; the others report no time.
  hc::DisplayPlanUpdateReq display;
  display.set_group_id(1);
  for (const auto& [plan_id, info] : plans)
    display.add_array_plan_id(plan_id);
  hall_->SendTransfer(18, hc::IDDisplayPlanUpdateReq, display);
  for (size_t i = 0; i < plans.size(); ++i) {
    hc::PlanAllStartPoint points;
    ASSERT_TRUE(points.ParseFromString(hall_->NextTransfer().data()));
    hc::startPointItem point;
    ASSERT_TRUE(point.ParseFromString(points.start_points(0)));
    const hc::PlanSimpleInfo& info = plans[points.plan_id()];
    EXPECT_LE(point.current_sign(), point.player_count());
    if (info.plan_type() == 1) {
      EXPECT_EQ(point.player_count(), info.fixed_count());
      EXPECT_LE(point.current_sign() + 2, point.player_count());
    }
    if (info.plan_type() == 2) {
      EXPECT_GT(point.start_time(), 20261211050000u) << info.show_name();
      EXPECT_LE(point.start_time(), 20261211060000u) << info.show_name();
    } else {
      EXPECT_EQ(point.start_time(), 0u);
    }
  }
}

TEST_F(DemoWorldTest, TheDemoAccountLogsInWithItsPasswordAndHasItsFunds) {
  Start();
  struct Case {
    const char* account;
    const char* password;
    int result;
  } cases[] = {
      {DemoWorld::kAccount, "wrong", 3},
      {"stranger", DemoWorld::kPassword, 1},
      {DemoWorld::kAccount, DemoWorld::kPassword, 0},
  };
  for (const Case& c : cases) {
    auto reply = LogIn(c.account, c.password);
    EXPECT_EQ(reply.login_result(), c.result) << c.account << " " << c.password;
    if (c.result != 0)
      continue;
    EXPECT_EQ(reply.user_id(), DemoWorld::kUserId);
    qv::types::BaseUserInfo base;
    ASSERT_TRUE(base.ParseFromString(reply.base_info_buff()));
    EXPECT_EQ(base.nick_name(), DemoWorld::kNickName);
    EXPECT_EQ(base.face_id(), DemoWorld::kFaceId);
  }
  qv::client::QueryFundReq query;
  query.set_user_id(DemoWorld::kUserId);
  auto funds = Ask<qv::client::QueryFundRsp>(13, qv::client::IDQueryFundReq, query);
  std::set<uint32_t> ids;
  for (const auto& item : funds.fund_items()) {
    ids.insert(item.id());
    EXPECT_GT(item.count(), 0u);
  }
  EXPECT_EQ(ids, (std::set<uint32_t>{20, 21, 22}));
}

TEST_F(DemoWorldTest, ARegisteredAccountLogsIn) {
  Start();
  EXPECT_EQ(LogIn("newbie", "secret99").login_result(), 1);
  qv::captcha::CaptchaReq captcha;
  captcha.set_req_session(5);
  auto picture = Ask<qv::captcha::CaptchaRsp>(159, 1, captcha);
  ASSERT_EQ(world_->registration().captchas().size(), 1u);
  qv::userinfo::RegisterReq request;
  request.set_account("newbie");
  request.set_nick_name("新玩家");
  request.set_clear_password("secret99");
  request.set_captcha_id(picture.captcha_id());
  request.set_captcha_text(world_->registration().captchas()[0].text);
  auto registered = Ask<qv::userinfo::RegisterRsp>(23, 3, request);
  ASSERT_EQ(registered.result_code(), 0u);

  EXPECT_EQ(LogIn("newbie", "wrong").login_result(), 3);
  auto reply = LogIn("newbie", "secret99");
  ASSERT_EQ(reply.login_result(), 0);
  EXPECT_EQ(reply.user_id(), registered.user_id());
  qv::types::BaseUserInfo base;
  ASSERT_TRUE(base.ParseFromString(reply.base_info_buff()));
  EXPECT_EQ(base.nick_name(), "新玩家");
}

// The user's join to a plan that starts when full: the others take one seat each seat_ms, and
// the full plan's match starts for the demo game with the hall's key; its prize notice follows.
TEST_F(DemoWorldTest, AJoinedPlanFillsSeatBySeatAndStartsItsMatch) {
  DemoWorldOptions options;
  options.seat_ms = 500;
  options.prize_ms = 8000;
  options.move_ms = 1000000;  // only the seats the world gives the plan move it
  Start(options);
  constexpr uint32_t kPlan = 1001;  // six seats
  const uint32_t seats = world_->hall().start_point(kPlan).seats;
  ASSERT_EQ(seats, 6u);
  const uint32_t before = world_->hall().start_point(kPlan).signed_count;
  ASSERT_EQ(Join(kPlan, false).join_result(), 0);
  uint32_t expected = before + 1;  // the user's seat
  EXPECT_EQ(world_->hall().start_point(kPlan).signed_count, expected);

  Advance(499);
  EXPECT_EQ(world_->hall().start_point(kPlan).signed_count, expected);  // not yet due
  Advance(1);
  ++expected;
  while (expected < seats) {
    EXPECT_TRUE(world_->started().empty());
    EXPECT_EQ(world_->hall().start_point(kPlan).signed_count, expected);
    Advance(500);
    ++expected;
  }
  ASSERT_EQ(world_->started().size(), 1u);
  const DemoWorld::StartedMatch match = world_->started()[0];
  EXPECT_EQ(match.key & 0xFFFFFFFFu, kPlan);
  EXPECT_NE(match.key >> 32, 0u);
  qv::gate::TransferDataReq start = hall_->NextTransfer();
  EXPECT_EQ(start.data_cmd_kind(), 14u);
  EXPECT_EQ(start.data_cmd_subid(), qv::cmd::matchclient::kMatchStart);
  EXPECT_EQ(start.att_sessionid(), match.key);
  EXPECT_EQ(start.att_appid(), DemoWorld::kMatchAppBase + kPlan);
  qv::matchclient::MatchStart message;
  ASSERT_TRUE(message.ParseFromString(start.data()));
  EXPECT_EQ(message.game_kind(), DemoWorld::kGameKind);
  EXPECT_EQ(message.plan_id(), kPlan);
  // The next round waits with its first player.
  EXPECT_EQ(world_->hall().start_point(kPlan).signed_count, 1u);

  Advance(7000);
  Advance(1000);
  qv::gate::TransferDataReq prize = hall_->NextTransfer();
  EXPECT_EQ(prize.data_cmd_subid(), qv::cmd::matchclient::kMatchPrize);
  EXPECT_EQ(prize.att_sessionid(), match.key);
  qv::matchclient::MatchPrize notice;
  ASSERT_TRUE(notice.ParseFromString(prize.data()));
  EXPECT_EQ(notice.plan_id(), kPlan);
  EXPECT_FALSE(notice.text_2().empty());
  EXPECT_EQ(world_->started().size(), 1u);
}

TEST_F(DemoWorldTest, AWithdrawalStopsTheFillingAndOtherPlanTypesStartNone) {
  DemoWorldOptions options;
  options.seat_ms = 100;
  options.move_ms = 1000000;  // the counts move only by the joins here
  Start(options);
  constexpr uint32_t kPlan = 2003;  // three seats
  const uint32_t before = world_->hall().start_point(kPlan).signed_count;
  ASSERT_EQ(Join(kPlan, false).join_result(), 0);
  ASSERT_EQ(Join(kPlan, true).join_result(), 0);
  for (int i = 0; i < 10; ++i)
    Advance(100);
  EXPECT_EQ(world_->hall().start_point(kPlan).signed_count, before);
  EXPECT_TRUE(world_->started().empty());

  // Joins to plans that do not start when full take a seat and start nothing.
  ASSERT_EQ(Join(2004, false).join_result(), 0);  // timed
  ASSERT_EQ(Join(2006, false).join_result(), 0);  // open tables
  for (int i = 0; i < 10; ++i)
    Advance(100);
  EXPECT_TRUE(world_->started().empty());
}

TEST_F(DemoWorldTest, StartPointsMoveWithinTheirSeatsAndTimedPlansMoveToTheirNextRound) {
  DemoWorldOptions options;
  options.move_ms = 1000;
  Start(options);
  std::map<uint32_t, std::set<uint32_t>> counts;
  for (int i = 0; i < 60; ++i) {
    Advance(1000);
    for (const auto& [plan_id, plan] : world_->plans()) {
      const ScriptedStartPoint p = world_->hall().start_point(plan_id);
      const uint32_t most = plan.plan_type == 1 ? p.seats - 2 : p.seats;
      EXPECT_LE(p.signed_count, most) << plan.name;
      counts[plan_id].insert(p.signed_count);
    }
  }
  size_t moved = 0;
  for (const auto& [plan_id, seen] : counts)
    moved += seen.size() > 1 ? 1 : 0;
  EXPECT_GT(moved, world_->plans().size() / 2);

  // An hour on, every timed plan has moved on to a round ahead of the new time.
  std::map<uint32_t, uint64_t> first;
  for (const auto& [plan_id, plan] : world_->plans()) {
    if (plan.plan_type == 2)
      first[plan_id] = world_->start_time(plan_id);
  }
  ASSERT_FALSE(first.empty());
  clock_.SetWallSeconds(kNow + 3600);
  Advance(1000);
  for (const auto& [plan_id, start] : first) {
    const uint64_t next = world_->start_time(plan_id);
    EXPECT_GT(next, start);
    EXPECT_GT(next, 20261211060000u) << plan_id;
    EXPECT_LE(next, 20261211063000u) << plan_id;
  }
}

TEST_F(DemoWorldTest, ALargeCatalogueHoldsTheAskedNumberOfPlans) {
  DemoWorldOptions options;
  options.plans = 5000;
  Start(options);
  EXPECT_EQ(world_->plans().size(), 5000u);
  size_t served = 0;
  for (uint32_t list_id : {101u, 102u, 103u, 104u}) {
    hc::AllPlanReq request;
    request.set_group_id(1);
    request.set_list_id(list_id);
    served +=
        static_cast<size_t>(Ask<hc::AllPlanRsp>(18, hc::IDAllPlanReq, request).plan_ids_size());
  }
  // Games 2 to 4 keep their own eight plans each.
  EXPECT_EQ(served, 5000u - 3 * 8);
}

}  // namespace
}  // namespace testgate
