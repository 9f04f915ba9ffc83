#include "gateclient/client_frame/plan_glue.h"

#include <gtest/gtest.h>

#include "gateclient/client_frame/protocol_test_support.h"

namespace qvc {
namespace {

using testing_support::RecordingLink;

// Records the keys the manager is handed.
class KeyRecordingManager : public PlanManager {
 public:
  explicit KeyRecordingManager(PlanTableEnv env) : PlanManager(std::move(env)) {}
  void OnMatchClientCmd(qv::CMD_base& command, uint32_t low, uint32_t high) override {
    keys.push_back({command.kind, low, high});
  }
  void OnHallClientCmd(qv::CMD_base& command, uint32_t low, uint32_t high) override {
    keys.push_back({command.kind, low, high});
  }
  void OnClientCmd(qv::CMD_base& command, uint32_t low, uint32_t high) override {
    keys.push_back({command.kind, low, high});
  }
  struct Key {
    uint16_t kind;
    uint32_t low, high;
  };
  std::vector<Key> keys;
};

class PlanGlueTest : public ::testing::Test {
 protected:
  GateSession session_;
  RecordingLink link_;
  Publisher publisher_;
  GateRequests requests_{session_, link_, publisher_};
  GateDispatch dispatch_{session_, link_, publisher_, requests_};
  GatePlanHost host_{session_, dispatch_, requests_, nullptr};
};

TEST_F(PlanGlueTest, TheApplicationSessionReachesTheManagerAsLowThenHighHalf) {
  PlanTableEnv env;
  env.host = &host_;
  KeyRecordingManager manager(env);
  PlanManagerAdapter adapter(manager);
  qv::CMD_base command13(13, 7), command14(14, 5), command18(18, 10);
  adapter.OnClientCmd(&command13, 0x0000000100000002ull);
  adapter.OnMatchClientCmd(&command14, 0xAABBCCDD11223344ull);
  adapter.OnHallClientCmd(&command18, 5);
  ASSERT_EQ(manager.keys.size(), 3u);
  EXPECT_EQ(manager.keys[0].low, 2u);
  EXPECT_EQ(manager.keys[0].high, 1u);
  EXPECT_EQ(manager.keys[1].low, 0x11223344u);
  EXPECT_EQ(manager.keys[1].high, 0xAABBCCDDu);
  EXPECT_EQ(manager.keys[2].low, 5u);
  EXPECT_EQ(manager.keys[2].high, 0u);
}

TEST_F(PlanGlueTest, StoredRepliesAreCopiesThatOutliveWhatTheSessionKeeps) {
  EXPECT_EQ(host_.StoredLoginReply(), nullptr);
  EXPECT_EQ(host_.StoredMatchDetail(3), nullptr);

  dispatch_.RegisterDefaultFactories();
  qv::CmdTransferDataReq transfer;
  transfer.message.set_data_cmd_kind(18);
  transfer.message.set_data_cmd_subid(14);
  qv::hallclient::GetMatchDetailRsp detail;
  detail.set_plan_id(3);
  detail.set_app_id(61);
  transfer.message.set_data(detail.SerializeAsString());
  dispatch_.OnTransferData(transfer);
  std::unique_ptr<qv::CMD_base> copy = host_.StoredMatchDetail(3);
  ASSERT_NE(copy, nullptr);
  detail.set_app_id(62);
  transfer.message.set_data(detail.SerializeAsString());
  dispatch_.OnTransferData(transfer);  // replaces and releases the kept one
  EXPECT_EQ(static_cast<qv::CmdGetMatchDetailRsp*>(copy.get())->message.app_id(), 61u);

  qv::CmdLoginRsp login;
  login.message.set_login_result(qv::client::LoginRsp::SUCCESS);
  login.message.set_user_id(9);
  session_.StoreLoginRsp(login);
  std::unique_ptr<qv::CMD_base> stored = host_.StoredLoginReply();
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->kind, 13);
  EXPECT_EQ(static_cast<qv::CmdLoginRsp*>(stored.get())->message.user_id(), 9u);
}

}  // namespace
}  // namespace qvc
