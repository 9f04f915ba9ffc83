// The client frame joined to the session, the requests, the dispatch and the catalogue, against
// the local gate and its hall services: the whole road from connect to a filled catalogue.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "gateclient/client_frame/catalogue_glue.h"
#include "gateclient/client_frame/client_frame.h"
#include "gateclient/client_frame/e2e_support.h"
#include "gateclient/client_frame/login_digest.h"
#include "gateclient/client_frame/net_result.h"
#include "platform/file_util.h"
#include "platform/waiter.h"
#include "testing/gate/hall_services.h"

namespace qvc {
namespace {

using namespace std::chrono_literals;
using e2e::WaitUntil;


TEST(ClientFrameEndToEndTest, ConnectHelloLoginAuthInfoAndTheCatalogueReachesThePlanList) {
  char pattern[] = "/tmp/tarvix_frame_e2e_XXXXXX";
  const std::string folder = mkdtemp(pattern);
  struct RemoveFolder {
    std::string path;
    ~RemoveFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
  } remove_folder{folder};

  e2e::FinishingWindow window;
  SetMainWindowPoster(&window);
  testgate::LocalGate gate;
  testgate::HallServices services(gate);
  testgate::HelloReply hello;
  hello.rsp_flag = kHelloEncryptInfo | kHelloLoginToken;
  hello.key = "e2e-key";
  hello.login_token = 0x51;
  gate.SetHelloReply(hello);
  services.SetCatalogue({{21, 5, {{100, 1, {{7, 2, 1}, {8, 1, 2}}}}}});
  services.SetCatalogueVersion(3);
  ASSERT_TRUE(gate.Start());

  ClientFrameOptions options;
  platform::ManualClock frame_clock;
  options.clock = &frame_clock;
  options.client_ini = platform::JoinPath(folder, "client.ini");
  options.addr_ini = platform::JoinPath(folder, "addr.ini");
  ASSERT_TRUE(platform::WriteFileAtomic(options.client_ini, "[main]\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(
      options.addr_ini, "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate.port()) + "\n"));
  ClientFrame frame(options);

  platform::ManualClock clock;
  platform::ManualWaiter waiter(&clock);
  GatePlanListHost host(frame.requests());
  PlanListCatalogue catalogue(&host, PlanListSettings{}, &clock, &waiter);
  frame.dispatch().SetCatalogue(&catalogue);
  // Whatever happens, the job thread is gone and the refresh thread can end before the
  // catalogue goes.
  struct Cleanup {
    ClientFrame* frame;
    testgate::LocalGate* gate;
    platform::ManualWaiter* waiter;
    ~Cleanup() {
      frame->Stop();
      gate->Stop();
      waiter->Open();
      SetMainWindowPoster(nullptr);
    }
  } cleanup{&frame, &gate, &waiter};

  // The login is wished for before any connection: it goes out after the keyed hello reply.
  frame.session().SetCredentials("dora", "pa55");
  frame.requests().StartLogin();
  ASSERT_TRUE(frame.Start());
  ASSERT_TRUE(WaitUntil([&] { return frame.session().state() == GateSession::kLoggedIn; }));
  EXPECT_NE(frame.link()->cipher, nullptr) << "the hello's key keys the frame's link";
  EXPECT_FALSE(frame.session().key_material().empty());
  EXPECT_EQ(frame.session().login_token(), 0x51u);
  const std::vector<testgate::HallServices::LoginSeen> logins = services.logins();
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(logins[0].account, "dora");
  EXPECT_EQ(logins[0].token, 0x51u);
  EXPECT_EQ(logins[0].password, MakeLoginDigest("pa55", "dora", 0x51));
  // Everything after the hello left enciphered.
  size_t transfers = 0;
  for (const testgate::ReceivedFrame& f : gate.Frames()) {
    if (f.kind != 12 || f.subid != 3) continue;
    ++transfers;
    EXPECT_TRUE(f.enciphered);
  }
  EXPECT_GE(transfers, 1u);

  // The login service's AuthInfo starts the catalogue; its first round asks for the groups and
  // the replies reach the plan list through the dispatch.
  ASSERT_TRUE(WaitUntil([] { return PlanListInstance() != nullptr; })) << "AuthInfo after login";
  PlanList* list = PlanListInstance();
  waiter.Step(1);
  ASSERT_TRUE(WaitUntil([&] {
    return list->FindStartPoints(7).has_value() && list->FindStartPoints(8).has_value();
  }));
  EXPECT_EQ(list->held_version(), 3u);
  EXPECT_EQ(list->current_group(), 21u);
  ASSERT_TRUE(list->FindPlan(8).has_value());
  EXPECT_EQ(list->FindStartPoints(8)->signed_count, 2u);

  // The gate closes: the session drops to no connection through the dispatch.
  frame.SetNoReconnect();
  gate.CloseConnection(-1);
  ASSERT_TRUE(WaitUntil([&] { return frame.session().state() == GateSession::kNoConnection; }));
  EXPECT_FALSE(frame.connected());
}

}  // namespace
}  // namespace qvc
