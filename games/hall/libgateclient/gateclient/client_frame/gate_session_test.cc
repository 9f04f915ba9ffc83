#include "gateclient/client_frame/gate_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "gateclient/client_frame/login_digest.h"
#include "gateclient/command/payload_key.h"

namespace qvc {
namespace {

qv::gate::HelloRsp Hello(uint32_t flags, uint32_t token = 0x1234, std::string key = "k3y") {
  qv::gate::HelloRsp hello;
  hello.set_rsp_flag(flags);
  hello.set_encrypt_key(key);
  hello.add_gate_address("127.0.0.1:7001");
  hello.add_gate_address("127.0.0.1:7002");
  hello.set_login_token(token);
  return hello;
}

std::unique_ptr<qv::CmdLoginRsp> LoginReply(int result, std::string base_buff) {
  auto reply = std::make_unique<qv::CmdLoginRsp>();
  reply->message.set_login_result(static_cast<qv::client::LoginRsp::Result>(result));
  reply->message.set_user_id(4242);
  reply->message.set_base_info_buff(std::move(base_buff));
  reply->routing.appid = 9;
  return reply;
}

class GateSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { session_.SetCredentials("alice", "secret"); }
  GateSession session_;
};

TEST_F(GateSessionTest, HelloFlagsChooseWhatIsTaken) {
  struct Case {
    uint32_t flags;
    bool key, gates, token;
  };
  const Case cases[] = {{0, false, false, false}, {1, true, false, false},
                        {2, false, true, false},  {4, false, false, true},
                        {5, true, false, true},   {7, true, true, true}};
  for (const Case& c : cases) {
    GateSession session;
    session.OnConnected();
    EXPECT_EQ(session.OnHelloRsp(Hello(c.flags)), nullptr) << "nobody asked to log in";
    EXPECT_EQ(session.state(), GateSession::kHelloDone);
    EXPECT_EQ(session.key_material(), c.key ? std::string("k3y") + qv::kPayloadKeySuffix : "") << c.flags;
    EXPECT_EQ(session.cipher() != nullptr, c.key) << c.flags;
    EXPECT_EQ(session.gate_addresses().size(), c.gates ? 2u : 0u) << c.flags;
    EXPECT_EQ(session.login_token(), c.token ? 0x1234u : 0u) << c.flags;
  }
}

TEST_F(GateSessionTest, LoginBeforeTheHelloReplyGoesOutOnceWithTheNewToken) {
  session_.OnConnected();
  EXPECT_FALSE(session_.StartLogin() != nullptr) << "state 1 only records the wish";
  std::unique_ptr<qv::CmdLoginReq> login = session_.OnHelloRsp(Hello(4, 0));
  ASSERT_TRUE(login != nullptr);
  const qv::client::LoginReq& m = login->message;
  EXPECT_EQ(m.login_password(), MakeLoginDigest("secret", "alice", 0));
  EXPECT_EQ(m.login_password(), session_.password_digest());
  EXPECT_EQ(m.login_account(), "alice");
  EXPECT_EQ(m.game_kind(), 502u);
  EXPECT_EQ(m.client_os(), qv::types::PC);
  EXPECT_TRUE(m.has_build_no() && m.has_market_id() && m.has_game_id() && m.has_logon_token());
  EXPECT_EQ(login->routing.apptype, 7u);
  EXPECT_EQ(login->routing.appid, 2u);
  EXPECT_FALSE(session_.StartLogin() != nullptr) << "a login is already on its way";
}

TEST_F(GateSessionTest, StateDecidesWhetherStartLoginSends) {
  session_.OnConnected();
  session_.OnHelloRsp(Hello(4, 1));
  std::unique_ptr<qv::CmdLoginReq> first = session_.StartLogin();
  ASSERT_TRUE(first != nullptr) << "state 2 logs in at once";
  EXPECT_FALSE(session_.StoreLoginRsp(*LoginReply(3, "")));
  EXPECT_EQ(session_.state(), GateSession::kLoginFailed);
  EXPECT_TRUE(session_.StartLogin() != nullptr) << "state 4: the user may try again";
  EXPECT_TRUE(session_.StoreLoginRsp(*LoginReply(0, "")));
  EXPECT_EQ(session_.state(), GateSession::kLoggedIn);
  EXPECT_FALSE(session_.StartLogin() != nullptr);
  EXPECT_EQ(session_.state(), GateSession::kLoggedIn);

  // Reconnection: the wish stays, the new hello logs in with the new token.
  session_.OnDisconnected();
  session_.OnConnected();
  std::unique_ptr<qv::CmdLoginReq> again = session_.OnHelloRsp(Hello(4, 2));
  ASSERT_TRUE(again != nullptr);
  EXPECT_NE(again->message.login_password(), first->message.login_password());
}

TEST_F(GateSessionTest, LoginStartedWhileTheHelloReplyArrivesGoesOutOnce) {
  for (int round = 0; round < 200; ++round) {
    GateSession session;
    session.SetCredentials("alice", "secret");
    session.OnConnected();
    std::atomic<int> logins{0};
    std::thread window([&] {
      if (session.StartLogin()) ++logins;
    });
    if (session.OnHelloRsp(Hello(4))) ++logins;
    window.join();
    ASSERT_EQ(logins.load(), 1) << "round " << round;
  }
}

TEST_F(GateSessionTest, UnparsableUserRecordIsClearedNotHalfFilled) {
  EXPECT_EQ(session_.CopyLoginReply(), nullptr) << "no login reply yet";
  qv::types::BaseUserInfo base;
  base.set_user_id(4242);
  base.set_nick_name("Alice");
  std::string bytes;
  ASSERT_TRUE(base.SerializeToString(&bytes));
  ASSERT_TRUE(session_.StoreLoginRsp(*LoginReply(0, bytes)));
  EXPECT_EQ(session_.base_info().nick_name(), "Alice");
  EXPECT_EQ(session_.user_id(), 4242u);
  EXPECT_EQ(session_.CopyLoginReply()->routing.appid, 9u);

  // The same bytes cut short: the first fields parse, the rest is garbage.
  ASSERT_TRUE(session_.StoreLoginRsp(*LoginReply(0, bytes.substr(0, bytes.size() - 2) + "\xff")));
  EXPECT_FALSE(session_.base_info().has_user_id());
  EXPECT_FALSE(session_.base_info().has_nick_name());
}

TEST_F(GateSessionTest, NewConnectionForgetsKeyAndTokenButKeepsWhoAndWhere) {
  session_.OnConnected();
  session_.OnHelloRsp(Hello(7));
  session_.StartLogin();
  ASSERT_TRUE(session_.StoreLoginRsp(*LoginReply(0, "")));
  session_.OnConnected();
  EXPECT_EQ(session_.state(), GateSession::kConnected);
  EXPECT_EQ(session_.key_material(), "");
  EXPECT_EQ(session_.cipher(), nullptr);
  EXPECT_EQ(session_.login_token(), 0u);
  EXPECT_EQ(session_.account(), "alice");
  EXPECT_EQ(session_.gate_addresses().size(), 2u);
  EXPECT_TRUE(session_.login_wanted());
  EXPECT_EQ(session_.user_id(), 4242u);
}

}  // namespace
}  // namespace qvc
