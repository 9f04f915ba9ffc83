// The hall runtime against the local gate and its hall services over loopback: started as the
// main window starts it, logged in through its HallGate, results handed to the window's poster,
// the catalogue filled, and stopped with nothing left running.
#include "games/hall/app/hall_runtime.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "client/captcha.pb.h"
#include "client/hallclient.pb.h"
#include "games/hall/app/testing/queued_poster.h"
#include "gate/gate.pb.h"
#include "gateclient/client_frame/e2e_support.h"
#include "gateclient/client_frame/login_digest.h"
#include "gateclient/client_frame/program_frame.h"
#include "gateclient/command/factories.h"
#include "gateclient/plan_list/plan_list_instance.h"
#include "interface/command_ids.h"
#include "testing/gate/hall_services.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using namespace std::chrono_literals;
using qvc::e2e::WaitUntil;

// Drains `window` until a record of (kind, subid) was handled.
bool WaitFor(testing::QueuedPoster& window, uint16_t kind, uint16_t subid) {
  return WaitUntil([&] {
    window.Drain();
    return window.Saw(kind, subid);
  });
}

size_t ThreadCount() {
  size_t count = 0;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr)
    return 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.')
      ++count;
  }
  closedir(dir);
  return count;
}

// The catalogue requests (kind 18) the gate received inside transfers, as (subid, data).
std::vector<std::pair<uint32_t, std::string>> HallRequests(const testgate::LocalGate& gate) {
  std::vector<std::pair<uint32_t, std::string>> out;
  for (const testgate::ReceivedFrame& f : gate.Frames()) {
    if (f.kind != qv::cmd::kKindGate || f.subid != qv::cmd::gate::kTransferDataReq)
      continue;
    qv::gate::TransferDataReq transfer;
    if (!transfer.ParseFromString(f.payload))
      continue;
    if (transfer.data_cmd_kind() != qv::cmd::kKindHallClient)
      continue;
    out.emplace_back(transfer.data_cmd_subid(), transfer.data());
  }
  return out;
}

// A program folder holding LobbyData/ with the given client.ini (none when null) and an
// addr.ini naming the local gate, and the gate with its services.
class HallRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testgate::HelloReply hello;
    hello.rsp_flag = qvc::kHelloEncryptInfo | qvc::kHelloLoginToken;
    hello.key = "runtime-key";
    hello.login_token = 0x51;
    gate_.SetHelloReply(hello);
    services_.SetUserId(10001);
    services_.SetCatalogue({{21, 5, {{100, 1, {{7, 2, 1}, {8, 1, 2}}}, {101, 0, {{9, 0, 1}}}}},
                            {22, 3, {{200, 0, {{31, 0, 1}}}}}});
    services_.SetCatalogueVersion(3);
    services_.SetMatchDetail(7, 41);
    ASSERT_TRUE(gate_.Start());
    ASSERT_FALSE(folder_.path().empty());
    ASSERT_TRUE(
        update_server::PutFile(folder_.path(), "LobbyData/addr.ini",
                               "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate_.port()) + "\n"));
  }

  void TearDown() override { gate_.Stop(); }

  HallRuntimeOptions Options(testing::QueuedPoster* window) {
    HallRuntimeOptions options;
    options.program_folder = folder_.path();
    options.poster = window;
    return options;
  }

  testgate::LocalGate gate_;
  testgate::HallServices services_{gate_};
  update_server::TempFolder folder_{"tvx_hall_runtime"};
};

TEST_F(HallRuntimeTest, LogsInThroughTheHallGateFillsTheCatalogueAndStopsWithNothingLeft) {
  ASSERT_TRUE(update_server::PutFile(folder_.path(), "LobbyData/client.ini",
                                     "[main]\npageid=4\ngamekind=502\n"));
  testing::QueuedPoster window;
  const size_t threads_before = ThreadCount();
  qvc::PlanManager* made = nullptr;
  HallRuntimeOptions options = Options(&window);
  options.make_manager = [&](qvc::PlanTableEnv env) {
    auto manager = std::make_unique<qvc::PlanManager>(std::move(env));
    made = manager.get();
    return manager;
  };
  HallRuntime runtime(options);
  HallGate& hall_gate = runtime;
  EXPECT_EQ(hall_gate.catalogue(), nullptr) << "no catalogue before the runtime runs";

  ASSERT_TRUE(runtime.Start());
  EXPECT_TRUE(runtime.running());
  EXPECT_EQ(runtime.config().pageid.value, 4);
  ASSERT_NE(made, nullptr) << "the creator's plan manager is the program's";
  EXPECT_EQ(runtime.plan_manager(), made);
  EXPECT_NE(qvc::ProgramClientFrame(), nullptr);
  EXPECT_TRUE(qvc::HasMainWindow());

  // The captcha's kind is the window's to file; its commands then reach the window too.
  hall_gate.AddCommandFactory(qv::cmd::kKindCaptcha, &qv::CreateCaptchaCommand);
  hall_gate.SetCredentials("dora", "pa55");
  hall_gate.StartLogin();
  ASSERT_TRUE(WaitUntil([&] { return runtime.session_state() == qvc::GateSession::kLoggedIn; }));
  const std::vector<testgate::HallServices::LoginSeen> logins = services_.logins();
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(logins[0].account, "dora");
  EXPECT_EQ(logins[0].password, qvc::MakeLoginDigest("pa55", "dora", 0x51));
  // The session's copies.
  EXPECT_EQ(hall_gate.login_token(), 0x51u);
  EXPECT_EQ(hall_gate.user_id(), 10001u);
  EXPECT_EQ(hall_gate.base_info().nick_name(), "dora");
  ASSERT_TRUE(WaitFor(window, qv::cmd::kKindClient, qv::cmd::client::kLoginRsp));

  // The AuthInfo after the login starts the catalogue; its replies reach the plan list and the
  // window.
  ASSERT_TRUE(WaitUntil([&] { return hall_gate.catalogue() != nullptr; }));
  qvc::PlanList* list = hall_gate.catalogue();
  EXPECT_EQ(list, qvc::PlanListInstance());
  ASSERT_TRUE(WaitUntil([&] {
    return list->Read([](const qvc::PlanList::View& view) {
      return view.groups().size() == 2 && view.FindPlan(9) != nullptr &&
             view.FindStartPoints(7) != nullptr && view.FindStartPoints(8) != nullptr;
    });
  }));
  EXPECT_EQ(list->held_version(), 3u);
  EXPECT_EQ(list->current_group(), 21u);
  ASSERT_TRUE(WaitFor(window, qv::cmd::kKindHallClient, qv::cmd::hallclient::kAllGroupRsp));
  ASSERT_TRUE(WaitFor(window, qv::cmd::kKindHallClient, qv::cmd::hallclient::kAllPlanRsp));
  ASSERT_TRUE(WaitFor(window, qv::cmd::kKindHallClient, qv::cmd::hallclient::kPlanAllStartPoint));
  // Every catalogue request names the configured page; the plan requests the configured kind.
  size_t group_requests = 0, plan_requests = 0;
  for (const auto& [subid, data] : HallRequests(gate_)) {
    if (subid == qv::cmd::hallclient::kAllGroupReq) {
      qv::hallclient::AllGroupReq request;
      ASSERT_TRUE(request.ParseFromString(data));
      EXPECT_EQ(request.page_id(), 4u);
      ++group_requests;
    } else if (subid == qv::cmd::hallclient::kAllPlanReq) {
      qv::hallclient::AllPlanReq request;
      ASSERT_TRUE(request.ParseFromString(data));
      EXPECT_EQ(request.page_id(), 4u);
      EXPECT_EQ(request.game_kind(), 502u);
      ++plan_requests;
    }
  }
  EXPECT_GE(group_requests, 1u);
  EXPECT_GE(plan_requests, 1u);

  // A detail request through the HallGate: the reply is kept and handed out as a copy.
  EXPECT_EQ(hall_gate.FindMatchDetail(7), nullptr);
  hall_gate.RequestMatchDetail(7);
  ASSERT_TRUE(WaitUntil([&] { return hall_gate.FindMatchDetail(7) != nullptr; }));
  EXPECT_EQ(hall_gate.FindMatchDetail(7)->message.plan_id(), 7u);
  EXPECT_EQ(services_.detail_requests(), std::vector<uint32_t>{7});

  qv::captcha::CaptchaRsp captcha;
  captcha.set_captcha_id("c-1");
  gate_.SendTransfer(-1, qv::cmd::kKindCaptcha, qv::cmd::captcha::kCaptchaRsp,
                     captcha.SerializeAsString());
  ASSERT_TRUE(WaitFor(window, qv::cmd::kKindCaptcha, qv::cmd::captcha::kCaptchaRsp));

  runtime.Stop();
  EXPECT_FALSE(runtime.running());
  EXPECT_FALSE(qvc::HasMainWindow()) << "no post reaches the window after the stop";
  EXPECT_EQ(qvc::ProgramClientFrame(), nullptr);
  EXPECT_EQ(qvc::PlanListInstance(), nullptr);
  EXPECT_EQ(hall_gate.catalogue(), nullptr);
  EXPECT_EQ(runtime.plan_manager(), nullptr);
  EXPECT_TRUE(gate_.WaitForOpen(0, 10s));
  EXPECT_EQ(ThreadCount(), threads_before) << "every thread the runtime started is joined";
  // After the stop the HallGate sends nothing and reads as empty.
  const size_t frames = gate_.Frames().size();
  hall_gate.StartLogin();
  hall_gate.RequestMatchDetail(7);
  EXPECT_EQ(gate_.Frames().size(), frames);
  EXPECT_EQ(hall_gate.user_id(), 0u);
  EXPECT_EQ(hall_gate.FindMatchDetail(7), nullptr);
  runtime.Stop();  // again: nothing
}

TEST_F(HallRuntimeTest, WithoutSettingsTheCatalogueAsksForPageOne) {
  testing::QueuedPoster window;
  HallRuntime runtime(Options(&window));
  ASSERT_TRUE(runtime.Start());
  runtime.SetCredentials("dora", "pa55");
  runtime.StartLogin();
  std::vector<std::pair<uint32_t, std::string>> requests;
  ASSERT_TRUE(WaitUntil([&] {
    window.Drain();
    requests = HallRequests(gate_);
    for (const auto& [subid, data] : requests) {
      if (subid == qv::cmd::hallclient::kAllGroupReq)
        return true;
    }
    return false;
  }));
  for (const auto& [subid, data] : requests) {
    if (subid != qv::cmd::hallclient::kAllGroupReq)
      continue;
    qv::hallclient::AllGroupReq request;
    ASSERT_TRUE(request.ParseFromString(data));
    EXPECT_EQ(request.page_id(), 1u);
  }
}

TEST_F(HallRuntimeTest, ASecondRuntimeIsRefusedAndLeavesTheFirstOneAndItsWindowAlone) {
  testing::QueuedPoster first_window, second_window;
  HallRuntime first(Options(&first_window));
  ASSERT_TRUE(first.Start());
  {
    HallRuntime second(Options(&second_window));
    EXPECT_FALSE(second.Start());
    EXPECT_FALSE(second.running());
    second.StartLogin();  // not running: nothing
  }
  EXPECT_TRUE(first.running());
  EXPECT_NE(qvc::ProgramClientFrame(), nullptr) << "the refused one's end took nothing away";
  first.SetCredentials("dora", "pa55");
  first.StartLogin();
  ASSERT_TRUE(WaitFor(first_window, qv::cmd::kKindClient, qv::cmd::client::kLoginRsp));
  second_window.Drain();
  EXPECT_TRUE(second_window.seen().empty());
  EXPECT_EQ(services_.logins().size(), 1u);
}

}  // namespace
}  // namespace hall
