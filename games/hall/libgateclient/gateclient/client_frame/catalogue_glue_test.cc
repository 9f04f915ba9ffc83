#include "gateclient/client_frame/catalogue_glue.h"

#include <gtest/gtest.h>

#include "gateclient/client_frame/gate_dispatch.h"
#include "gateclient/client_frame/protocol_test_support.h"
#include "testing/update_server/temp_folder.h"

namespace qvc {
namespace {

using testing_support::RecordingLink;

TEST(CatalogueGlueTest, AuthInfoStartsTheCatalogueWhoseRequestsAndRepliesTravelThroughTheGate) {
  platform::ManualClock clock;
  platform::ManualWaiter waiter(&clock);
  GateSession session;
  RecordingLink link;
  Publisher publisher;
  GateRequests requests(session, link, publisher);
  GatePlanListHost host(requests);
  GateDispatch dispatch(session, link, publisher, requests);
  dispatch.RegisterDefaultFactories();
  {
    PlanListCatalogue catalogue(&host, PlanListSettings{}, &clock, &waiter);
    dispatch.SetCatalogue(&catalogue);
    catalogue.StopRefreshing();  // no catalogue yet: nothing
    EXPECT_EQ(PlanListInstance(), nullptr);

    qv::gate::AuthInfo info;
    info.set_user_id(42);
    dispatch.OnAuthInfo(info);
    ASSERT_NE(PlanListInstance(), nullptr);
    waiter.Step(1);
    std::vector<qv::gate::TransferDataReq> sent = link.TakeTransfers();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].data_cmd_kind(), 18u);
    EXPECT_EQ(sent[0].data_cmd_subid(), 1u);  // AllGroupReq
    EXPECT_EQ(sent[0].att_apptype(), 10u);
    EXPECT_EQ(sent[0].att_appid(), 2u);

    qv::hallclient::AllGroupRsp groups;
    groups.set_ver_code(4);
    groups.add_items()->set_group_id(21);
    qv::CmdTransferDataReq reply;
    reply.message.set_data_cmd_kind(18);
    reply.message.set_data_cmd_subid(2);
    reply.message.set_data(groups.SerializeAsString());
    dispatch.OnTransferData(reply);
    EXPECT_EQ(PlanListInstance()->current_group(), 21u);
    EXPECT_EQ(PlanListInstance()->held_version(), 4u);
    std::vector<qv::gate::TransferDataReq> asked = link.TakeTransfers();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].data_cmd_subid(), 3u) << "the lists of the group are asked for";

    waiter.Open();  // lets the refresh thread end; the glue joins it when it goes
  }
  EXPECT_EQ(PlanListInstance(), nullptr);
}

TEST(CatalogueGlueTest, SettingsComeFromTheClientIniWithTheirDefaultsWhereItIsSilent) {
  struct Case {
    const char* ini;  // null: no file at all
    PlanListSettings expected;
  };
  const Case cases[] = {
      {nullptr, {1, 30, 0, 1, 0}},
      {"[main]\n", {1, 30, 0, 1, 0}},
      {"[main]\npageid=7\n开赛点获取间隔秒数=12\n快速开赛列表=1\n推荐大赛列表=0\ngamekind=502\n",
       {7, 12, 1, 0, 502}},
      // Only 1 asks for a special list; the value is carried as it is.
      {"[main]\n快速开赛列表=2\n", {1, 30, 2, 1, 0}},
      // The keys live in [main]; elsewhere they are not read.
      {"[ui]\npageid=9\n", {1, 30, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    update_server::TempFolder folder("tvx_catalogue_settings");
    if (c.ini != nullptr) {
      ASSERT_TRUE(update_server::PutFile(folder.path(), "client.ini", c.ini));
    }
    QConfig config(folder.Sub("client.ini"));
    config.Load();
    const PlanListSettings got = PlanListSettingsFromConfig(config);
    SCOPED_TRACE(c.ini == nullptr ? "(no file)" : c.ini);
    EXPECT_EQ(got.page_id, c.expected.page_id);
    EXPECT_EQ(got.refresh_interval_s, c.expected.refresh_interval_s);
    EXPECT_EQ(got.quick_start_list, c.expected.quick_start_list);
    EXPECT_EQ(got.recommended_list, c.expected.recommended_list);
    EXPECT_EQ(got.game_kind, c.expected.game_kind);
  }
  // The catalogue's own defaults are the settings' defaults.
  const PlanListSettings defaults;
  EXPECT_EQ(defaults.page_id, 1u);
}

}  // namespace
}  // namespace qvc
