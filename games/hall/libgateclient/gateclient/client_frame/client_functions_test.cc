#include "gateclient/client_frame/client_functions.h"

#include <gtest/gtest.h>

#include "gateclient/client_frame/login_digest.h"
#include "gateclient/client_frame/protocol_test_support.h"

namespace qvc {
namespace {

using testing_support::LogCapture;
using testing_support::RecordingLink;

class ClientFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override { LogCapture::Install(); }

  // A GetMatchDetailRsp as the dispatch publishes it.
  void PublishDetail(uint32_t plan, std::optional<uint32_t> app_id) {
    qv::CmdGetMatchDetailRsp detail;
    detail.message.set_plan_id(plan);
    if (app_id) {
      qv::hallclient::TitleMatchItem item;
      item.set_app_id(*app_id);
      detail.message.set_detail_titlematch(item.SerializeAsString());
    }
    publisher_.Publish(&detail);
  }
  // The JoinReqs sent, with the app id they were routed to.
  std::vector<std::pair<uint32_t, qv::matchclient::JoinReq>> Joins() {
    std::vector<std::pair<uint32_t, qv::matchclient::JoinReq>> joins;
    for (const qv::gate::TransferDataReq& t : link_.TakeTransfers()) {
      if (t.data_cmd_kind() != 14 || t.data_cmd_subid() != 3) continue;
      qv::matchclient::JoinReq join;
      EXPECT_TRUE(join.ParseFromString(t.data()));
      joins.emplace_back(t.att_appid(), join);
    }
    return joins;
  }

  GateSession session_;
  RecordingLink link_;
  Publisher publisher_;
  GateRequests requests_{session_, link_, publisher_};
};

TEST_F(ClientFunctionsTest, HelloCarriesOnlyAdIdAndTravelsUnwrapped) {
  requests_.SendHello();
  std::vector<testing_support::SentCommand> sent = link_.Take();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].kind, 12);
  EXPECT_EQ(sent[0].subid, 7);
  qv::gate::HelloReq hello;
  ASSERT_TRUE(hello.ParseFromString(sent[0].body));
  EXPECT_TRUE(hello.has_ad_id());
  EXPECT_EQ(hello.ad_id(), 0u);
  EXPECT_FALSE(hello.has_game_kind());
}

TEST_F(ClientFunctionsTest, DetailAndDisplayRequestsAreWrappedForTheCatalogueService) {
  requests_.RequestMatchDetail(77);
  requests_.RequestPlanDisplayUpdate(88);
  std::vector<qv::gate::TransferDataReq> sent = link_.TakeTransfers();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].data_cmd_kind(), 18u);
  EXPECT_EQ(sent[0].data_cmd_subid(), 13u);
  EXPECT_EQ(sent[0].att_apptype(), 5u);
  EXPECT_EQ(sent[0].att_appid(), 2u);
  qv::hallclient::GetMatchDetailReq detail;
  ASSERT_TRUE(detail.ParseFromString(sent[0].data()));
  EXPECT_EQ(detail.plan_id(), 77u);
  EXPECT_TRUE(detail.has_app_id());
  qv::hallclient::DisplayPlanUpdateReq display;
  ASSERT_TRUE(display.ParseFromString(sent[1].data()));
  ASSERT_EQ(display.array_plan_id_size(), 1);
  EXPECT_EQ(display.array_plan_id(0), 88u);
  EXPECT_FALSE(display.has_ver_code());
  EXPECT_FALSE(display.has_group_id());
}

TEST_F(ClientFunctionsTest, GateCommandsDoNotTravelThroughTheGate) {
  qv::CmdPulseReq pulse;
  requests_.SendThroughGate(pulse);
  EXPECT_TRUE(link_.Take().empty());
  EXPECT_TRUE(LogCapture::Records().empty());
}

TEST_F(ClientFunctionsTest, SignUpWaitsForTheDetailsOfItsOwnPlan) {
  requests_.SignUp(7);
  link_.Take();  // the detail request
  PublishDetail(8, 900);  // another plan's reply passes by
  EXPECT_TRUE(Joins().empty());
  PublishDetail(7, 901);
  std::vector<std::pair<uint32_t, qv::matchclient::JoinReq>> joins = Joins();
  ASSERT_EQ(joins.size(), 1u);
  EXPECT_EQ(joins[0].first, 901u);
  EXPECT_TRUE(joins[0].second.has_is_quit());
  EXPECT_FALSE(joins[0].second.is_quit());
  EXPECT_FALSE(joins[0].second.has_plan_id());
  PublishDetail(7, 902);  // the subscriber is gone
  EXPECT_TRUE(Joins().empty());
}

TEST_F(ClientFunctionsTest, DetailsWithoutTheMatchServiceEndTheSignUpWithoutAJoin) {
  requests_.SignUp(7);
  link_.Take();
  PublishDetail(7, std::nullopt);
  EXPECT_TRUE(Joins().empty());
  PublishDetail(7, 903);
  EXPECT_TRUE(Joins().empty()) << "the subscriber was removed by the first reply of its plan";
}

TEST_F(ClientFunctionsTest, WithdrawalCarriesIsQuit) {
  requests_.SendJoinReq(55, true);
  std::vector<std::pair<uint32_t, qv::matchclient::JoinReq>> joins = Joins();
  ASSERT_EQ(joins.size(), 1u);
  EXPECT_EQ(joins[0].first, 55u);
  EXPECT_TRUE(joins[0].second.is_quit());
}

TEST_F(ClientFunctionsTest, LoginIsWrappedForTheLoginServiceAndNeverLogged) {
  session_.SetCredentials("alice", "secret");
  session_.OnConnected();
  requests_.StartLogin();
  EXPECT_TRUE(link_.Take().empty());
  qv::gate::HelloRsp hello;
  hello.set_rsp_flag(4);
  hello.set_login_token(0);
  requests_.OnHelloRsp(hello);
  std::vector<qv::gate::TransferDataReq> sent = link_.TakeTransfers();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].data_cmd_kind(), 13u);
  EXPECT_EQ(sent[0].data_cmd_subid(), 1u);
  EXPECT_EQ(sent[0].att_apptype(), 7u);
  EXPECT_EQ(sent[0].att_appid(), 2u);
  qv::client::LoginReq login;
  ASSERT_TRUE(login.ParseFromString(sent[0].data()));
  EXPECT_EQ(login.login_password(), "c53db2dcdc6bae5c45d6dfc31e9972d2");  // token 0 vector

  requests_.SignUp(1);  // a log record of its own, to show the capture works
  EXPECT_FALSE(LogCapture::Records().empty());
  for (const LogCapture::Record& record : LogCapture::Records()) {
    EXPECT_EQ(record.text.find("secret"), std::string::npos) << record.text;
    EXPECT_EQ(record.text.find(login.login_password()), std::string::npos) << record.text;
  }
}

}  // namespace
}  // namespace qvc
