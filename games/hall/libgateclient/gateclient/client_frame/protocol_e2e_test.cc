// The session, the request functions, the dispatch and the catalogue against the local gate.
// A small stand-in for the client frame carries the frames: one socket, a reader thread in the
// job thread's place, payloads ciphered with the session's key after a keyed hello.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "gateclient/client_frame/catalogue_glue.h"
#include "gateclient/client_frame/e2e_support.h"
#include "gateclient/client_frame/gate_dispatch.h"
#include "gateclient/client_frame/login_digest.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/factories.h"
#include "gateclient/net/packet_frame.h"
#include "platform/net.h"
#include "testing/gate/hall_services.h"

namespace qvc {
namespace {

using namespace std::chrono_literals;
using e2e::WaitUntil;
namespace hc = qv::hallclient;

std::string Transform(const Blowfish* cipher, const std::string& in, bool encrypt) {
  if (cipher == nullptr) return in;
  const std::vector<uint8_t> bytes(in.begin(), in.end());
  const std::vector<uint8_t> out = encrypt ? cipher->Encrypt(bytes) : cipher->Decrypt(bytes);
  return std::string(out.begin(), out.end());
}

// Thread-safe window: kinds and texts that reached it.
class Window : public NetResultPoster {
 public:
  bool PostToMainWindow(uint32_t, NetResultRecord* record) override {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (record->command->kind == 5) {
        texts_.push_back(record->command->payload);
      } else {
        seen_.push_back({record->command->kind, record->command->subid, record->app_session});
      }
    }
    FinishNetResult(record);
    return true;
  }
  struct Seen {
    uint16_t kind, subid;
    uint64_t session;
  };
  std::vector<Seen> seen() {
    std::lock_guard<std::mutex> lock(mu_);
    return seen_;
  }
  bool HasText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mu_);
    return std::find(texts_.begin(), texts_.end(), text) != texts_.end();
  }

 private:
  std::mutex mu_;
  std::vector<Seen> seen_;
  std::vector<std::string> texts_;
};

class MiniFrame : public GateSendPath {
 public:
  MiniFrame() : requests_(session_, *this, publisher_), dispatch_(session_, *this, publisher_,
                                                                    requests_) {
    dispatch_.RegisterDefaultFactories();
  }
  ~MiniFrame() override { Join(); }

  // Connects, resets the session and greets the gate; the reader runs until the gate closes.
  bool Connect(uint16_t port) {
    Join();
    fd_ = platform::ConnectToLoopback(port);
    if (fd_ < 0) return false;
    session_.OnConnected();
    requests_.SendHello();
    reader_ = std::thread([this] { ReadLoop(); });
    return true;
  }
  void Join() {
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) platform::CloseSocket(fd_);
    fd_ = -1;
  }

  void SendToGate(qv::CMD_base& command) override {
    gateframe::PacketFrame frame;
    frame.kind = command.kind;
    frame.subid = command.subid;
    std::string body;
    command.SerializeBody(&body);
    std::shared_ptr<const Blowfish> cipher = session_.cipher();
    frame.payload = Transform(cipher.get(), body, true);
    std::string bytes;
    ASSERT_TRUE(gateframe::EncodeFrame(frame, &bytes));
    std::lock_guard<std::mutex> lock(write_mu_);
    platform::WriteAll(fd_, bytes.data(), bytes.size());
  }
  void SetNoReconnect() override { no_reconnect = true; }

  GateSession& session() { return session_; }
  GateRequests& requests() { return requests_; }
  GateDispatch& dispatch() { return dispatch_; }
  std::atomic<bool> no_reconnect{false};
  std::atomic<bool> closed{false};

 private:
  void ReadLoop() {
    for (;;) {
      uint8_t prefix[4];
      if (!platform::ReadExact(fd_, prefix, 4)) break;
      const uint32_t length = prefix[0] << 24 | prefix[1] << 16 | prefix[2] << 8 | prefix[3];
      if (length > (1u << 20)) break;
      std::string bytes(reinterpret_cast<char*>(prefix), 4);
      bytes.resize(4 + length);
      if (!platform::ReadExact(fd_, bytes.data() + 4, length)) break;
      gateframe::PacketFrame frame;
      if (gateframe::DecodeFrame(bytes.data(), bytes.size(), &frame) !=
          gateframe::DecodeError::kNone)
        break;
      // The hello reply travels in clear; everything after a keyed one is ciphered.
      std::shared_ptr<const Blowfish> cipher = session_.cipher();
      const std::string payload =
          frame.subid == 8 ? frame.payload : Transform(cipher.get(), frame.payload, false);
      std::unique_ptr<qv::CMD_base> command(qv::CreateGateCommand(frame.subid, payload));
      if (command == nullptr) continue;
      if (frame.subid == 8) {
        requests_.OnHelloRsp(static_cast<qv::CmdHelloRsp*>(command.get())->message);
      } else if (frame.subid == 3) {
        dispatch_.OnTransferData(*static_cast<qv::CmdTransferDataReq*>(command.get()));
      } else if (frame.subid == 5) {
        dispatch_.OnAuthInfo(static_cast<qv::CmdAuthInfo*>(command.get())->message);
      }
    }
    qv::CMD_base close(9, 1);
    dispatch_.OnGateDisconnected(&close);
    closed = true;
  }

  GateSession session_;
  Publisher publisher_;
  GateRequests requests_;
  GateDispatch dispatch_;
  std::mutex write_mu_;
  int fd_ = -1;
  std::thread reader_;
};

class ProtocolEndToEndTest : public ::testing::Test {
 public:
  void SetUp() override {
    SetMainWindowPoster(&window_);
    ASSERT_TRUE(gate_.Start());
  }
  void TearDown() override {
    gate_.Stop();
    frame_.Join();
    SetMainWindowPoster(nullptr);
  }
  void Hello(uint32_t flags, uint32_t token, std::string key = "") {
    testgate::HelloReply hello;
    hello.rsp_flag = flags;
    hello.login_token = token;
    hello.key = std::move(key);
    hello.gate_addresses = {"127.0.0.1:9"};
    gate_.SetHelloReply(hello);
  }

  testgate::LocalGate gate_;
  testgate::HallServices services_{gate_};
  Window window_;
  MiniFrame frame_;
};

TEST_F(ProtocolEndToEndTest, HelloFlagsThenLoginWithTheDigestOfTheToken) {
  struct Case {
    uint32_t flags;
    uint32_t token_seen;  // the token the login carries
  };
  for (const Case c : {Case{0, 0}, Case{1, 0}, Case{2, 0}, Case{4, 0x2a}, Case{7, 0x2a}}) {
    SCOPED_TRACE(c.flags);
    Hello(c.flags, 0x2a, "k3y");
    frame_.session().SetCredentials("alice", "secret");
    frame_.requests().StartLogin();
    ASSERT_TRUE(frame_.Connect(gate_.port()));
    ASSERT_TRUE(WaitUntil([&] { return frame_.session().state() == GateSession::kLoggedIn; }));
    EXPECT_EQ(frame_.session().cipher() != nullptr, (c.flags & 1) != 0);
    EXPECT_EQ(frame_.session().gate_addresses().empty(), (c.flags & 2) == 0 &&
                                                             frame_.session().gate_addresses()
                                                                 .empty());
    std::vector<testgate::HallServices::LoginSeen> logins = services_.logins();
    ASSERT_FALSE(logins.empty());
    EXPECT_EQ(logins.back().token, c.token_seen);
    EXPECT_EQ(logins.back().password, MakeLoginDigest("secret", "alice", c.token_seen));
    gate_.CloseConnection(-1);
    ASSERT_TRUE(WaitUntil([&] { return frame_.closed.load(); }));
    frame_.Join();
    frame_.closed = false;
  }
  // Token 0 gives the "00000000" suffix: the published vector of the unit tests.
  EXPECT_EQ(services_.logins().front().password, "c53db2dcdc6bae5c45d6dfc31e9972d2");
  EXPECT_EQ(services_.logins().size(), 5u) << "one login per hello, none twice";
}

TEST_F(ProtocolEndToEndTest, EachLoginResultSetsTheState) {
  Hello(4, 1);
  frame_.session().SetCredentials("bob", "pw");
  services_.SetAuthInfoOnLogin(false);
  for (int result : {1, 2, 3, 4, 5, 6, 0}) {
    services_.SetLoginResult(result);
    ASSERT_TRUE(frame_.Connect(gate_.port()));
    frame_.requests().StartLogin();
    const int expected = result == 0 ? GateSession::kLoggedIn : GateSession::kLoginFailed;
    ASSERT_TRUE(WaitUntil([&] { return frame_.session().state() == expected; })) << result;
    EXPECT_TRUE(WaitUntil(
        [&] { return window_.HasText(result == 0 ? "收到登录结果:ok" : "收到登录结果:fail"); }));
    gate_.CloseConnection(-1);
    ASSERT_TRUE(WaitUntil([&] { return frame_.closed.load(); }));
    frame_.Join();
    frame_.closed = false;
  }
}

TEST_F(ProtocolEndToEndTest, AuthInfoRunsTheCatalogueThroughAVersionBump) {
  platform::ManualClock clock;
  platform::ManualWaiter waiter(&clock);
  GatePlanListHost host(frame_.requests());
  PlanListCatalogue catalogue(&host, PlanListSettings{}, &clock, &waiter);
  frame_.dispatch().SetCatalogue(&catalogue);
  // Whatever happens, the connection's reader is gone and the refresh thread can end before
  // the catalogue goes.
  struct Cleanup {
    ProtocolEndToEndTest* test;
    platform::ManualWaiter* waiter;
    ~Cleanup() {
      test->gate_.Stop();
      test->frame_.Join();
      waiter->Open();
    }
  } cleanup{this, &waiter};
  services_.SetCatalogue({{21, 5, {{100, 1, {{7, 2, 1}, {8, 1, 2}}}}}, {22, 9, {}}});
  services_.SetCatalogueVersion(3);
  Hello(4, 5, "");
  frame_.session().SetCredentials("carol", "pw");
  frame_.requests().StartLogin();
  ASSERT_TRUE(frame_.Connect(gate_.port()));
  ASSERT_TRUE(WaitUntil([] { return PlanListInstance() != nullptr; })) << "AuthInfo after login";
  PlanList* list = PlanListInstance();
  waiter.Step(1);  // the first round asks for the groups
  ASSERT_TRUE(WaitUntil([&] {
    return list->FindStartPoints(7).has_value() && list->FindStartPoints(8).has_value();
  }));
  EXPECT_EQ(list->held_version(), 3u);
  EXPECT_EQ(list->current_group(), 21u) << "the first group of the reply is current";
  ASSERT_TRUE(list->FindPlan(8).has_value());
  EXPECT_EQ(list->FindStartPoints(7)->players, 6u);
  EXPECT_EQ(list->FindStartPoints(8)->signed_count, 2u);

  // A newer version: the next start-point reply resets the catalogue, which asks again.
  services_.SetCatalogueVersion(4);
  clock.Advance(31'000);
  waiter.Step(1);  // the refresh interval has passed: start points at version 4 arrive
  ASSERT_TRUE(WaitUntil([&] { return list->newest_version() == 4u; }));
  ASSERT_TRUE(WaitUntil([&] {
    waiter.Step(1);
    return list->held_version() == 4u && list->FindStartPoints(7).has_value() &&
           list->FindStartPoints(7)->version == 4u;
  }));
  std::vector<uint32_t> asked = services_.group_requests();
  ASSERT_GE(asked.size(), 2u);
  EXPECT_EQ(asked.back(), 4u) << "the groups are asked for at the new version";

  // AuthInfo 0 stops the refresh thread.
  services_.SendAuthInfo(-1, 0);
  waiter.Open();
  ASSERT_TRUE(WaitUntil([&] { return !list->running(); }));
}

TEST_F(ProtocolEndToEndTest, SignUpRoadEndsInTheJoinReplyOfTheNamedMatchService) {
  Hello(4, 7);
  services_.SetAuthInfoOnLogin(false);
  services_.SetMatchDetail(7, 55);
  services_.SetMatchDetail(8, 66);
  services_.SetJoinResult(0, "欢迎");
  frame_.session().SetCredentials("dave", "pw");
  frame_.requests().StartLogin();
  ASSERT_TRUE(frame_.Connect(gate_.port()));
  ASSERT_TRUE(WaitUntil([&] { return frame_.session().state() == GateSession::kLoggedIn; }));
  services_.SendMatchDetail(-1, 8);  // another plan's details first: no join for them
  frame_.requests().SignUp(7);
  ASSERT_TRUE(WaitUntil([&] { return !services_.joins().empty(); }));
  EXPECT_EQ(services_.joins(), (std::vector<std::pair<uint32_t, bool>>{{55, false}}));
  ASSERT_TRUE(WaitUntil([&] { return window_.HasText("报名成功"); }));
  EXPECT_TRUE(WaitUntil([&] { return window_.HasText("欢迎"); }));
  EXPECT_NE(frame_.dispatch().FindMatchDetail(7), nullptr);

  frame_.requests().SendJoinReq(55, true);  // withdraw
  ASSERT_TRUE(WaitUntil([&] { return services_.joins().size() == 2; }));
  EXPECT_TRUE(services_.joins()[1].second);
}

TEST_F(ProtocolEndToEndTest, PackWithABadMiddleEntryAndALoginElsewhere) {
  Hello(4, 7, "k3y");
  services_.SetAuthInfoOnLogin(false);
  frame_.session().SetCredentials("erin", "pw");
  frame_.requests().StartLogin();
  ASSERT_TRUE(frame_.Connect(gate_.port()));
  ASSERT_TRUE(WaitUntil([&] { return frame_.session().state() == GateSession::kLoggedIn; }));
  ASSERT_TRUE(WaitUntil([&] {
    for (const Window::Seen& s : window_.seen()) {
      if (s.kind == 13 && s.subid == 2) return true;
    }
    return false;
  })) << "the login reply reached the window";
  const size_t before = window_.seen().size();
  hc::GetMatchDetailRsp detail;
  detail.set_plan_id(3);
  qv::matchclient::JoinRsp join;
  join.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
  services_.SendPacked(-1,
                       {{18, 14, detail.SerializeAsString()},
                        {18, 14, "\xff\xff"},
                        {14, 4, join.SerializeAsString()}},
                       4242, 13, 3);
  ASSERT_TRUE(WaitUntil([&] { return window_.seen().size() >= before + 2; }));
  std::vector<Window::Seen> seen = window_.seen();
  ASSERT_EQ(seen.size(), before + 2) << "the bad entry and the pack itself never reach it";
  EXPECT_EQ(seen[before].kind, 18);
  EXPECT_EQ(seen[before + 1].kind, 14);
  EXPECT_EQ(seen[before].session, 4242u);

  services_.SendAnotherLogin(-1);
  ASSERT_TRUE(WaitUntil([&] { return frame_.no_reconnect.load(); }));
  EXPECT_TRUE(WaitUntil([&] { return window_.HasText("被顶号了."); }));
  gate_.CloseConnection(-1);
  ASSERT_TRUE(WaitUntil([&] { return frame_.closed.load(); }));
  EXPECT_EQ(frame_.session().state(), GateSession::kNoConnection);
}

TEST_F(ProtocolEndToEndTest, AfterAReconnectTheSameUserLogsInAgainWithTheNewToken) {
  services_.SetAuthInfoOnLogin(false);
  frame_.session().SetCredentials("fay", "pw");
  frame_.requests().StartLogin();
  Hello(4, 100);
  ASSERT_TRUE(frame_.Connect(gate_.port()));
  ASSERT_TRUE(WaitUntil([&] { return frame_.session().state() == GateSession::kLoggedIn; }));
  gate_.CloseConnection(-1);
  ASSERT_TRUE(WaitUntil([&] { return frame_.closed.load(); }));
  Hello(4, 200);
  ASSERT_TRUE(frame_.Connect(gate_.port()));
  ASSERT_TRUE(WaitUntil([&] { return services_.logins().size() == 2; }));
  ASSERT_TRUE(WaitUntil([&] { return frame_.session().state() == GateSession::kLoggedIn; }));
  EXPECT_EQ(services_.logins()[1].token, 200u);
  EXPECT_NE(services_.logins()[0].password, services_.logins()[1].password);
}

}  // namespace
}  // namespace qvc
