#include "gateclient/client_frame/gate_dispatch.h"

#include <gtest/gtest.h>

#include "gateclient/client_frame/protocol_test_support.h"

namespace qvc {
namespace {

using testing_support::LogCapture;
using testing_support::RecordingLink;
using testing_support::WindowRecorder;

// Appends a name for every command it receives.
class OrderRecorder : public PlanManagerSink, public CatalogueSink {
 public:
  explicit OrderRecorder(std::vector<std::string>& order) : order_(order) {}
  void OnClientCmd(qv::CMD_base*, uint64_t) override { order_.push_back("plans13"); }
  void OnMatchClientCmd(qv::CMD_base*, uint64_t) override { order_.push_back("plans14"); }
  void OnHallClientCmd(qv::CMD_base*, uint64_t) override { order_.push_back("plans18"); }
  void OnNetworkCmd(qv::CMD_base*) override { order_.push_back("plans-close"); }
  void HandleHallCommand(qv::CMD_base*) override { order_.push_back("catalogue"); }
  void StartRefreshing() override { order_.push_back("start"); }
  void StopRefreshing() override { order_.push_back("stop"); }

 private:
  std::vector<std::string>& order_;
};

std::vector<std::string>* g_order = nullptr;
int RecordPublished(qv::CMD_base*) {
  if (g_order != nullptr) g_order->push_back("publisher");
  return 0;
}

template <typename Command>
std::string Bytes(const Command& command) {
  return command.message.SerializeAsString();
}

std::unique_ptr<qv::CmdTransferDataReq> Transfer(uint32_t kind, uint32_t subid, std::string data,
                                                 uint64_t session = 31) {
  auto transfer = std::make_unique<qv::CmdTransferDataReq>();
  transfer->message.set_data_cmd_kind(kind);
  transfer->message.set_data_cmd_subid(subid);
  transfer->message.set_data(std::move(data));
  transfer->message.set_att_appid(44);
  transfer->message.set_att_apptype(10);
  transfer->message.set_att_sessionid(session);
  return transfer;
}

std::string DetailBytes(uint32_t plan, uint32_t app_id) {
  qv::CmdGetMatchDetailRsp detail;
  detail.message.set_plan_id(plan);
  detail.message.set_app_id(app_id);
  return Bytes(detail);
}

class GateDispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogCapture::Install();
    SetMainWindowPoster(&window_);
    dispatch_.RegisterDefaultFactories();
    dispatch_.SetPlanManager(&sinks_);
    dispatch_.SetCatalogue(&sinks_);
    window_.order = &order_;
    g_order = &order_;
    auto* standing = new SubscribeCommand(&RecordPublished);
    standing->SetKeepSubscribed(true);
    publisher_.Subscribe(standing, 0, 0);
  }
  void TearDown() override {
    SetMainWindowPoster(nullptr);
    g_order = nullptr;
  }
  void Receive(std::unique_ptr<qv::CmdTransferDataReq> transfer) {
    dispatch_.OnTransferData(*transfer);
  }

  std::vector<std::string> order_;
  OrderRecorder sinks_{order_};
  WindowRecorder window_;
  GateSession session_;
  RecordingLink link_;
  Publisher publisher_;
  GateRequests requests_{session_, link_, publisher_};
  GateDispatch dispatch_{session_, link_, publisher_, requests_};
};

TEST_F(GateDispatchTest, EachKindReachesItsReceiversInOrder) {
  struct Case {
    uint16_t kind, subid;
    std::string bytes;
    std::vector<std::string> order;
  };
  qv::CmdLogoutRsp logout;
  logout.message.set_logout_reason(qv::client::LogoutRsp::Normal);
  qv::CmdJoinRsp join;
  join.message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_3);
  const Case cases[] = {
      {13, 4, Bytes(logout), {"publisher", "plans13", "window"}},
      {14, 4, Bytes(join), {"publisher", "plans14", "window"}},
      {18, 14, DetailBytes(5, 1), {"publisher", "catalogue", "plans18", "window"}},
      {23, 2, "", {"publisher", "window"}},
  };
  for (const Case& c : cases) {
    order_.clear();
    window_.seen.clear();
    Receive(Transfer(c.kind, c.subid, c.bytes, 99));
    EXPECT_EQ(order_, c.order) << c.kind;
    ASSERT_EQ(window_.seen.size(), 1u) << c.kind;
    EXPECT_EQ(window_.seen[0].app_session, 99u);
  }
  EXPECT_FALSE(link_.no_reconnect) << "a normal logout lets the link reconnect";
}

TEST_F(GateDispatchTest, UnknownOrOversizedIdsAreDroppedAndOnlyAMissingFactoryIsLogged) {
  struct Case {
    uint32_t kind, subid;
    size_t level4_records;
  };
  const Case cases[] = {
      {99, 1, 1},               // no factory
      {0x10000 + 18, 14, 1},    // would truncate to 18: refused, not read as kind 18
      {18, 0x10000 + 14, 1},    // likewise for the subid
      {18, 200, 0},             // a subid the factory refuses: silent
  };
  for (const Case& c : cases) {
    LogCapture::Records().clear();
    order_.clear();
    Receive(Transfer(c.kind, c.subid, DetailBytes(5, 1)));
    EXPECT_TRUE(order_.empty()) << c.kind << "/" << c.subid;
    EXPECT_TRUE(window_.seen.empty());
    size_t level4 = 0;
    for (const LogCapture::Record& r : LogCapture::Records()) level4 += r.level == 4;
    EXPECT_EQ(level4, c.level4_records) << c.kind << "/" << c.subid;
  }
}

TEST_F(GateDispatchTest, PackEntriesAreDispatchedInOrderSkippingBadOnesAndUsingTheShortestList) {
  qv::CmdPackedMessage pack;
  pack.message.set_att_sessionid(777);
  pack.message.set_my_appid(3);
  pack.message.set_my_apptype(13);
  const std::pair<uint32_t, uint32_t> ids[] = {{18, 14}, {99, 1}, {14, 4}, {18, 14}};
  for (auto [kind, subid] : ids) {
    pack.message.add_cmd_kind(kind);
    pack.message.add_cmd_subid(subid);
  }
  qv::CmdJoinRsp join;
  join.message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
  pack.message.add_cmd_data(DetailBytes(1, 9));
  pack.message.add_cmd_data("");
  pack.message.add_cmd_data(Bytes(join));  // the fourth kind/subid has no data: not used
  Receive(Transfer(13, 12, Bytes(pack), 5));
  ASSERT_EQ(window_.seen.size(), 2u) << "the pack itself never reaches the window";
  EXPECT_EQ(window_.seen[0].kind, 18);
  EXPECT_EQ(window_.seen[1].kind, 14);
  EXPECT_EQ(window_.seen[0].app_session, 777u);
  EXPECT_EQ(window_.seen[1].app_session, 777u);
  EXPECT_EQ(dispatch_.app_session(), 777u);
  auto detail = dispatch_.FindMatchDetail(1);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->routing.appid, 3u);
  EXPECT_EQ(detail->routing.apptype, 13u);
  EXPECT_EQ(std::count(order_.begin(), order_.end(), "publisher"), 2);
}

TEST_F(GateDispatchTest, LaterDetailsReplaceEarlierOnesAndAHeldReferenceOutlivesThem) {
  Receive(Transfer(18, 14, DetailBytes(5, 1)));
  CommandRef<qv::CmdGetMatchDetailRsp> first = dispatch_.FindMatchDetail(5);
  ASSERT_NE(first, nullptr);
  Receive(Transfer(18, 14, DetailBytes(5, 2)));
  CommandRef<qv::CmdGetMatchDetailRsp> second = dispatch_.FindMatchDetail(5);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->message.app_id(), 2u);
  EXPECT_EQ(first->message.app_id(), 1u) << "the window's reference keeps the replaced reply";
  EXPECT_EQ(dispatch_.FindMatchDetail(6), nullptr);
  Receive(Transfer(18, 14, DetailBytes(0, 3)));  // plan 0 is not kept
  EXPECT_EQ(dispatch_.FindMatchDetail(0), nullptr);
}

TEST_F(GateDispatchTest, LoginResultsSetTheSessionState) {
  for (int result : {0, 1, 2, 3, 4, 5, 6, 1000}) {
    qv::CmdLoginRsp reply;
    reply.message.set_login_result(static_cast<qv::client::LoginRsp::Result>(result));
    reply.message.set_user_id(88);
    Receive(Transfer(13, 2, Bytes(reply)));
    EXPECT_EQ(session_.state(), result == 0 ? GateSession::kLoggedIn : GateSession::kLoginFailed)
        << result;
    EXPECT_EQ(window_.texts.back(), result == 0 ? "收到登录结果:ok" : "收到登录结果:fail");
  }
}

TEST_F(GateDispatchTest, AnotherLoginStopsReconnectingAndJoinResultsAreTraced) {
  qv::CmdLogoutRsp logout;
  logout.message.set_logout_reason(qv::client::LogoutRsp::AnotherLogin);
  Receive(Transfer(13, 4, Bytes(logout)));
  EXPECT_TRUE(link_.no_reconnect);
  EXPECT_EQ(window_.texts.back(), "被顶号了.");

  qv::CmdJoinRsp join;
  join.message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
  Receive(Transfer(14, 4, Bytes(join)));
  EXPECT_EQ(window_.texts.back(), "报名成功");
  join.message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_7);
  join.message.set_result_info("名额已满");
  Receive(Transfer(14, 4, Bytes(join)));
  ASSERT_GE(window_.texts.size(), 2u);
  EXPECT_EQ(window_.texts[window_.texts.size() - 2], "报名失败");
  EXPECT_EQ(window_.texts.back(), "名额已满");
}

TEST_F(GateDispatchTest, AuthInfoStartsAndStopsTheCatalogueAndConnectionChangesReachThePlanManager) {
  qv::gate::AuthInfo info;
  info.set_user_id(5);
  dispatch_.OnAuthInfo(info);
  info.set_user_id(0);
  dispatch_.OnAuthInfo(info);
  EXPECT_EQ(order_, (std::vector<std::string>{"start", "stop"}));

  GateDispatch bare(session_, link_, publisher_, requests_);
  bare.OnAuthInfo(info);  // no catalogue: nothing to stop, nothing breaks

  order_.clear();
  session_.OnConnected();
  qv::CMD_base close(9, 1);
  dispatch_.OnGateDisconnected(&close);
  EXPECT_EQ(session_.state(), GateSession::kNoConnection);
  EXPECT_EQ(order_, std::vector<std::string>{"plans-close"});

  order_.clear();
  qv::CMD_base come(9, 0);
  dispatch_.OnGateConnected(&come);
  bare.OnGateConnected(&come);  // no plan manager: nobody to tell
  EXPECT_EQ(order_, std::vector<std::string>{"plans-close"});
}

TEST_F(GateDispatchTest, FactoriesAddedFromTheWindowThreadWhileTheJobThreadReceives) {
  std::thread window([&] {
    for (int i = 0; i < 200; ++i) dispatch_.AddFactory(159, &qv::CreateCaptchaCommand);
  });
  for (int i = 0; i < 200; ++i) {
    qv::CMD_base* made = dispatch_.CreateCommandByKind(18, 14, DetailBytes(1, 1));
    ASSERT_NE(made, nullptr);
    delete made;
  }
  window.join();
  qv::CMD_base* captcha = dispatch_.CreateCommandByKind(159, 2, "");
  ASSERT_NE(captcha, nullptr);
  EXPECT_EQ(captcha->kind, 159);
  delete captcha;
}

}  // namespace
}  // namespace qvc
