#include "gateclient/plan_list/plan_list_commands.h"

#include <gtest/gtest.h>

#include "gateclient/command/factories.h"
#include "gateclient/plan_list/plan_list_instance.h"

namespace qvc {
namespace {

namespace hc = qv::hallclient;

class CountingHost : public PlanListHost {
 public:
  void SendHallRequest(uint16_t subid, const google::protobuf::Message&, uint32_t,
                       uint32_t) override {
    std::lock_guard<std::mutex> lock(mu_);
    subids_.push_back(subid);
  }
  void PostTrace(const std::string&) override {}
  void Log(int, const std::string&) override {}
  size_t sent() {
    std::lock_guard<std::mutex> lock(mu_);
    return subids_.size();
  }

 private:
  std::mutex mu_;
  std::vector<uint16_t> subids_;
};

// Makes the command the factory makes of these message bytes, as the dispatch receives it.
std::unique_ptr<qv::CMD_base> Received(uint16_t subid, const google::protobuf::Message& message) {
  return std::unique_ptr<qv::CMD_base>(
      qv::CreateHallClientCommand(18, subid, message.SerializeAsString()));
}

TEST(PlanListCommandsTest, RepliesReachTheCatalogueByTheirSubid) {
  CountingHost host;
  platform::ManualClock clock;
  platform::ManualWaiter waiter(&clock);
  PlanList list(&host, PlanListSettings{}, &clock, &waiter);
  PlanListCommands commands(list);

  hc::AllGroupRsp groups;
  groups.set_ver_code(3);
  groups.add_items()->set_group_id(11);
  commands.HandleCmd(Received(2, groups).get());
  EXPECT_EQ(list.held_version(), 3u);
  EXPECT_EQ(list.current_group(), 11u);

  hc::MyMatchDataRsp mine;
  hc::HasSignedMatchItem* signed_item = mine.add_signed_items();
  signed_item->set_plan_id(7);
  signed_item->set_match_id(70);
  commands.HandleCmd(Received(12, mine).get());
  EXPECT_EQ(list.SignedUp(), (std::map<uint32_t, uint64_t>{{7, 70}}));

  hc::GetMatchDetailRsp detail;
  detail.set_plan_id(5);
  const size_t before = host.sent();
  commands.HandleCmd(Received(14, detail).get());  // the protocol handler's: ignored here
  qv::CMD_base stray(18, 99);
  commands.HandleCmd(&stray);  // an empty slot
  EXPECT_EQ(host.sent(), before);
  EXPECT_EQ(list.held_version(), 3u);
}

TEST(PlanListInstanceTest, OneCatalogueWhoseThreadIsJoinedWhenItGoes) {
  CountingHost host;
  platform::ManualClock clock;
  platform::ManualWaiter waiter(&clock);
  EXPECT_EQ(PlanListInstance(), nullptr);
  PlanList* first = CreatePlanListInstance(&host, PlanListSettings{}, &clock, &waiter);
  EXPECT_EQ(CreatePlanListInstance(&host, PlanListSettings{}, &clock, &waiter), first);
  EXPECT_EQ(PlanListInstance(), first);
  first->StartRefreshThread();
  waiter.Step(1);
  EXPECT_TRUE(first->running());
  EXPECT_GE(host.sent(), 1u) << "the first round asks for the groups";
  waiter.Open();
  DestroyPlanListInstance();  // would hang or leave a thread behind if not joined
  EXPECT_EQ(PlanListInstance(), nullptr);
}

}  // namespace
}  // namespace qvc
