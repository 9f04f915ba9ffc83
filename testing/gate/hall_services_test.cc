#include "testing/gate/hall_services.h"

#include <gtest/gtest.h>

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/net/packet_frame.h"
#include "platform/net.h"

namespace testgate {
namespace {

using namespace std::chrono_literals;
namespace hc = qv::hallclient;

// A bare hall: frames over a blocking loopback socket, payloads in clear (no keyed hello).
class RawHall {
 public:
  explicit RawHall(uint16_t port) : fd_(platform::ConnectToLoopback(port)) {
    platform::SetReceiveTimeout(fd_, 5000);
  }
  ~RawHall() { platform::CloseSocket(fd_); }
  bool ok() const { return fd_ >= 0; }

  void SendTransfer(uint32_t kind, uint32_t subid, const google::protobuf::MessageLite& m,
                    uint32_t appid = 2) {
    qv::gate::TransferDataReq t;
    t.set_data_cmd_kind(kind);
    t.set_data_cmd_subid(subid);
    t.set_data(m.SerializePartialAsString());
    t.set_att_appid(appid);
    gateframe::PacketFrame frame;
    frame.kind = 12;
    frame.subid = 3;
    frame.payload = t.SerializeAsString();
    std::string bytes;
    ASSERT_TRUE(gateframe::EncodeFrame(frame, &bytes));
    ASSERT_TRUE(platform::WriteAll(fd_, bytes.data(), bytes.size()));
  }
  // The next frame; kind 0 when none came.
  gateframe::PacketFrame Next() {
    gateframe::PacketFrame frame;
    uint8_t prefix[4];
    if (!platform::ReadExact(fd_, prefix, 4)) return frame;
    const uint32_t length = prefix[0] << 24 | prefix[1] << 16 | prefix[2] << 8 | prefix[3];
    std::string bytes(reinterpret_cast<char*>(prefix), 4);
    bytes.resize(4 + length);
    if (!platform::ReadExact(fd_, bytes.data() + 4, length)) return frame;
    EXPECT_EQ(gateframe::DecodeFrame(bytes.data(), bytes.size(), &frame),
              gateframe::DecodeError::kNone);
    return frame;
  }
  // The next frame as a transfer.
  qv::gate::TransferDataReq NextTransfer() {
    gateframe::PacketFrame frame = Next();
    qv::gate::TransferDataReq t;
    EXPECT_EQ(frame.subid, 3);
    EXPECT_TRUE(t.ParseFromString(frame.payload));
    return t;
  }

 private:
  int fd_;
};

class HallServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gate_.Start());
    hall_ = std::make_unique<RawHall>(gate_.port());
    ASSERT_TRUE(hall_->ok());
    ASSERT_TRUE(gate_.WaitForAccepted(1, 5s));
  }
  LocalGate gate_;
  HallServices services_{gate_};
  std::unique_ptr<RawHall> hall_;
};

TEST_F(HallServicesTest, LoginGetsTheScriptedResultAndAuthInfoOnlyOnSuccess) {
  for (int result : {3, 1, 0}) {
    services_.SetLoginResult(result);
    qv::client::LoginReq login;
    login.set_game_kind(502);
    login.set_action_type(qv::client::LoginReq::ByAccount);
    login.set_client_os(qv::types::PC);
    login.set_build_no(0);
    login.set_market_id(0);
    login.set_login_account("alice");
    login.set_login_password("digest");
    login.set_logon_token(9);
    hall_->SendTransfer(13, 1, login);
    qv::gate::TransferDataReq t = hall_->NextTransfer();
    EXPECT_EQ(t.data_cmd_kind(), 13u);
    EXPECT_EQ(t.data_cmd_subid(), 2u);
    qv::client::LoginRsp reply;
    ASSERT_TRUE(reply.ParseFromString(t.data()));
    EXPECT_EQ(reply.login_result(), result);
    EXPECT_EQ(reply.has_base_info_buff(), result == 0);
  }
  gateframe::PacketFrame auth = hall_->Next();  // only after the successful one
  EXPECT_EQ(auth.subid, 5);
  qv::gate::AuthInfo info;
  ASSERT_TRUE(info.ParseFromString(auth.payload));
  EXPECT_EQ(info.user_id(), 10001u);
  ASSERT_EQ(services_.logins().size(), 3u);
  EXPECT_EQ(services_.logins()[0].password, "digest");
  EXPECT_EQ(services_.logins()[0].token, 9u);
}

TEST_F(HallServicesTest, CatalogueRepliesCarryTheControlledVersions) {
  services_.SetCatalogue({{21, 5, {{100, 1, {{7, 2, 1}, {8, 1, 2}}}}}});
  services_.SetCatalogueVersion(4);
  hc::AllGroupReq groups;
  groups.set_ver_code(0);
  hall_->SendTransfer(18, 1, groups);
  hc::AllGroupRsp group_reply;
  ASSERT_TRUE(group_reply.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_EQ(group_reply.ver_code(), 4u);
  ASSERT_EQ(group_reply.items_size(), 1);
  EXPECT_EQ(group_reply.items(0).group_id(), 21u);

  services_.SetPlanReplyVersion(2);  // a stale reply
  hc::AllPlanReq plans;
  plans.set_group_id(21);
  plans.set_list_id(100);
  hall_->SendTransfer(18, 7, plans);
  hc::AllPlanRsp plan_reply;
  ASSERT_TRUE(plan_reply.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_EQ(plan_reply.ver_code(), 2u);
  EXPECT_EQ(plan_reply.simple_infos_size(), 2);
  EXPECT_EQ(plan_reply.plan_ids_size(), 2);

  hc::DisplayPlanUpdateReq display;
  display.set_group_id(21);
  display.add_array_plan_id(7);
  display.add_array_plan_id(8);
  hall_->SendTransfer(18, 9, display);
  for (uint32_t plan : {7u, 8u}) {
    hc::PlanAllStartPoint points;
    ASSERT_TRUE(points.ParseFromString(hall_->NextTransfer().data()));
    EXPECT_EQ(points.plan_id(), plan);
    EXPECT_EQ(points.start_points_size(), 1);
  }
  EXPECT_EQ(services_.group_requests(), std::vector<uint32_t>{0});
}

TEST_F(HallServicesTest, DetailsNameTheMatchServiceThatAnswersTheJoin) {
  services_.SetMatchDetail(7, 55);
  services_.SetJoinResult(0, "ok");
  hc::GetMatchDetailReq detail;
  detail.set_plan_id(7);
  hall_->SendTransfer(18, 13, detail);
  hc::GetMatchDetailRsp detail_reply;
  ASSERT_TRUE(detail_reply.ParseFromString(hall_->NextTransfer().data()));
  hc::TitleMatchItem item;
  ASSERT_TRUE(item.ParseFromString(detail_reply.detail_titlematch()));
  EXPECT_EQ(item.app_id(), 55u);

  detail.set_plan_id(8);  // no details scripted: no title match
  hall_->SendTransfer(18, 13, detail);
  ASSERT_TRUE(detail_reply.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_FALSE(detail_reply.has_detail_titlematch());

  qv::matchclient::JoinReq join;
  join.set_is_quit(false);
  hall_->SendTransfer(14, 3, join, 55);
  qv::gate::TransferDataReq t = hall_->NextTransfer();
  EXPECT_EQ(t.att_appid(), 55u);
  qv::matchclient::JoinRsp join_reply;
  ASSERT_TRUE(join_reply.ParseFromString(t.data()));
  EXPECT_EQ(join_reply.join_result(), 0);
  EXPECT_EQ(join_reply.result_info(), "ok");
  EXPECT_EQ(services_.joins(), (std::vector<std::pair<uint32_t, bool>>{{55, false}}));
}

TEST_F(HallServicesTest, PushesArriveAsTheHallExpectsThem) {
  services_.SendPacked(-1, {{18, 14, "x"}, {99, 1, ""}, {14, 4, ""}}, 777, 13, 3);
  qv::client::PackedMessage pack;
  qv::gate::TransferDataReq t = hall_->NextTransfer();
  EXPECT_EQ(t.data_cmd_subid(), 12u);
  ASSERT_TRUE(pack.ParseFromString(t.data()));
  EXPECT_EQ(pack.cmd_kind_size(), 3);
  EXPECT_EQ(pack.att_sessionid(), 777u);

  services_.SendAnotherLogin(-1);
  qv::client::LogoutRsp logout;
  ASSERT_TRUE(logout.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_EQ(logout.logout_reason(), qv::client::LogoutRsp::AnotherLogin);

  services_.SendAuthInfo(-1, 0);
  gateframe::PacketFrame auth = hall_->Next();
  EXPECT_EQ(auth.subid, 5);
}

TEST_F(HallServicesTest, MatchMessagesCarryTheMatchKeyAsTheirSession) {
  const uint64_t key = 0x0000000200000021ull;
  ScriptedMatchStart start;
  start.match_id = 7;
  start.match_group = 8;
  start.rank_appid = 9;
  start.rank_objectid = 10;
  start.mp_id = 11;
  start.game_kind = 502;
  services_.SendMatchStart(-1, key, 41, start);
  qv::gate::TransferDataReq t = hall_->NextTransfer();
  EXPECT_EQ(t.data_cmd_kind(), 14u);
  EXPECT_EQ(t.data_cmd_subid(), 15u);
  EXPECT_EQ(t.att_sessionid(), key);
  EXPECT_EQ(t.att_apptype(), HallServices::kMatchAppType);
  EXPECT_EQ(t.att_appid(), 41u);
  qv::matchclient::MatchStart m;
  ASSERT_TRUE(m.ParseFromString(t.data()));
  EXPECT_EQ(m.match_id(), 7u);
  EXPECT_EQ(m.match_group(), 8u);
  EXPECT_EQ(m.rank_appid(), 9u);
  EXPECT_EQ(m.rank_objectid(), 10u);
  EXPECT_EQ(m.mp_id(), 11u);
  EXPECT_EQ(m.game_kind(), 502u);
  EXPECT_EQ(m.plan_id(), 0x21u);

  services_.SendMatchMessage(-1, key, 41, 19, std::string("\x01\x00\x02", 3));
  t = hall_->NextTransfer();
  EXPECT_EQ(t.data_cmd_kind(), 14u);
  EXPECT_EQ(t.data_cmd_subid(), 19u);
  EXPECT_EQ(t.att_sessionid(), key);
  EXPECT_EQ(t.data(), std::string("\x01\x00\x02", 3));
}

}  // namespace
}  // namespace testgate
