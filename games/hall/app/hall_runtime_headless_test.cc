// The hall runtime headless, as window tests run it: manual clocks and waiters step the job
// thread and the catalogue's refresh thread, and a scripted agent plays the gate. No TCP, no
// waiting: every answer is handled at the next step.
#include <gtest/gtest.h>

#include <string>

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "games/hall/app/hall_runtime.h"
#include "games/hall/app/testing/queued_poster.h"
#include "gate/gate.pb.h"
#include "gateclient/client_frame/login_digest.h"
#include "gateclient/client_frame/testing/scripted_agent.h"
#include "interface/command_ids.h"
#include "platform/waiter.h"
#include "testing/update_server/temp_folder.h"
#include "types/types.pb.h"

namespace hall {
namespace {

namespace ids = qv::cmd;

class HallRuntimeHeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(update_server::PutFile(folder_.path(), "LobbyData/addr.ini",
                                       "[ADDR]\naddr_00=gate.test:7001\n"));
    HallRuntimeOptions options;
    options.program_folder = folder_.path();
    options.poster = &window_;
    options.clock = &clock_;
    options.job_clock = &clock_;
    options.job_waiter = &job_waiter_;
    options.catalogue_waiter = &catalogue_waiter_;
    options.make_agent = agent_.Maker();
    runtime_ = std::make_unique<HallRuntime>(options);
  }

  void TearDown() override {
    job_waiter_.Open();
    catalogue_waiter_.Open();
    runtime_->Stop();
  }

  // The gate's side of one step: `polls` rounds of the job thread, then the window's queue.
  void Rounds(int polls) {
    job_waiter_.Step(polls);
    window_.Drain();
  }

  // The transfers the hall sent of (kind, subid), their data in order.
  std::vector<std::string> Sent(uint32_t kind, uint32_t subid) const {
    std::vector<std::string> out;
    for (const qv::gate::TransferDataReq& t : agent_.TransfersSent()) {
      if (t.data_cmd_kind() == kind && t.data_cmd_subid() == subid)
        out.push_back(t.data());
    }
    return out;
  }

  update_server::TempFolder folder_{"tvx_runtime_headless"};
  platform::ManualClock clock_;
  platform::ManualWaiter job_waiter_{&clock_};
  platform::ManualWaiter catalogue_waiter_;
  qvc::testing::ScriptedJobAgent agent_;
  testing::QueuedPoster window_;
  std::unique_ptr<HallRuntime> runtime_;
};

TEST_F(HallRuntimeHeadlessTest, LogsInAndFillsTheCatalogueStepByStep) {
  HallGate& gate = *runtime_;
  ASSERT_TRUE(runtime_->Start());
  Rounds(5);  // the first connect, 100 ms after the start
  ASSERT_EQ(agent_.connects().size(), 1u);
  EXPECT_EQ(agent_.connects()[0].host, "gate.test");
  agent_.AnswerConnect(true);
  Rounds(1);
  EXPECT_EQ(agent_.CountSent(ids::kKindGate, ids::gate::kHelloReq), 1u);

  qv::gate::HelloRsp hello;
  hello.set_rsp_flag(qvc::kHelloLoginToken);
  hello.set_login_token(0x33);
  agent_.SendFrame(ids::kKindGate, ids::gate::kHelloRsp, hello.SerializeAsString());
  Rounds(1);
  ASSERT_EQ(runtime_->session_state(), qvc::GateSession::kHelloDone);

  // The window's login goes out at once: the hello reply is in.
  gate.SetCredentials("dora", "pa55");
  gate.StartLogin();
  const std::vector<std::string> logins = Sent(ids::kKindClient, ids::client::kLoginReq);
  ASSERT_EQ(logins.size(), 1u);
  qv::client::LoginReq login;
  ASSERT_TRUE(login.ParseFromString(logins[0]));
  EXPECT_EQ(login.login_account(), "dora");
  EXPECT_EQ(login.login_password(), qvc::MakeLoginDigest("pa55", "dora", 0x33));

  qv::client::LoginRsp reply;
  reply.set_login_result(qv::client::LoginRsp::Result(0));
  reply.set_user_id(10001);
  qv::types::BaseUserInfo base;
  base.set_user_id(10001);
  base.set_nick_name("朵拉");
  reply.set_base_info_buff(base.SerializeAsString());
  agent_.SendTransfer(ids::kKindClient, ids::client::kLoginRsp, reply.SerializeAsString(), 7, 2,
                      0x1122334455667788ull);
  Rounds(1);
  EXPECT_EQ(runtime_->session_state(), qvc::GateSession::kLoggedIn);
  EXPECT_EQ(gate.user_id(), 10001u);
  EXPECT_EQ(gate.base_info().nick_name(), "朵拉");
  ASSERT_TRUE(window_.Saw(ids::kKindClient, ids::client::kLoginRsp));
  EXPECT_EQ(window_.seen().back().app_session, 0x1122334455667788ull);

  // The AuthInfo makes the catalogue; its first refresh round asks for page 1's groups.
  EXPECT_EQ(gate.catalogue(), nullptr);
  qv::gate::AuthInfo auth;
  auth.set_user_id(10001);
  agent_.SendFrame(ids::kKindGate, ids::gate::kAuthInfo, auth.SerializeAsString());
  Rounds(1);
  ASSERT_NE(gate.catalogue(), nullptr);
  catalogue_waiter_.Step(1);
  const std::vector<std::string> group_requests =
      Sent(ids::kKindHallClient, ids::hallclient::kAllGroupReq);
  ASSERT_EQ(group_requests.size(), 1u);
  qv::hallclient::AllGroupReq request;
  ASSERT_TRUE(request.ParseFromString(group_requests[0]));
  EXPECT_EQ(request.page_id(), 1u);

  qv::hallclient::AllGroupRsp groups;
  groups.set_ver_code(2);
  groups.add_items()->set_group_id(21);
  agent_.SendTransfer(ids::kKindHallClient, ids::hallclient::kAllGroupRsp,
                      groups.SerializeAsString(), 10, 2);
  Rounds(1);
  EXPECT_EQ(gate.catalogue()->current_group(), 21u);
  EXPECT_EQ(gate.catalogue()->held_version(), 2u);
  EXPECT_TRUE(window_.Saw(ids::kKindHallClient, ids::hallclient::kAllGroupRsp));
  EXPECT_EQ(Sent(ids::kKindHallClient, ids::hallclient::kAllListReq).size(), 1u);
}

}  // namespace
}  // namespace hall
