#include "gateclient/client_frame/catalogue_glue.h"

#include <gtest/gtest.h>

#include "gateclient/client_frame/gate_dispatch.h"
#include "gateclient/client_frame/protocol_test_support.h"

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

}  // namespace
}  // namespace qvc
