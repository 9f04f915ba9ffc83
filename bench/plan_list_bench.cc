// Applying a catalogue list of N plans with their start points, and looking every plan up by id.
// The cost per plan must stay flat as N grows (linear in total); the baseline looks plans up by
// walking the list, which is what a catalogue without an index would do.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "gateclient/plan_list/plan_list.h"

namespace {

namespace hc = qv::hallclient;

class NullHost : public qvc::PlanListHost {
 public:
  void SendHallRequest(uint16_t, const google::protobuf::Message&, uint32_t, uint32_t) override {}
  void PostTrace(const std::string&) override {}
  void Log(int, const std::string&) override {}
};

class NeverWaiter : public platform::Waiter {
 public:
  bool WaitMs(uint32_t) override { return false; }
};

constexpr uint32_t kGroup = 1;
constexpr uint32_t kList = 100;

hc::AllPlanRsp MakePlans(uint32_t count) {
  hc::AllPlanRsp reply;
  reply.set_ver_code(1);
  reply.set_group_id(kGroup);
  reply.set_list_id(kList);
  for (uint32_t i = 0; i < count; ++i) {
    hc::PlanSimpleInfo info;
    info.set_plan_id(i + 1);
    info.set_plan_type(1 + i % 2);
    info.set_show_name("plan " + std::to_string(i + 1));
    reply.add_simple_infos(info.SerializePartialAsString());
    reply.add_plan_orders(i % 7);
    reply.add_plan_show_nums(i);
    reply.add_plan_ids(i);
  }
  return reply;
}

std::vector<hc::PlanAllStartPoint> MakeStartPoints(uint32_t count) {
  std::vector<hc::PlanAllStartPoint> replies(count);
  for (uint32_t i = 0; i < count; ++i) {
    hc::PlanAllStartPoint& reply = replies[i];
    reply.set_ver_code(1);
    reply.set_group_id(kGroup);
    reply.set_plan_id(i + 1);
    hc::startPointItem point;
    point.set_plan_id(i + 1);
    point.set_start_flag(hc::startPointItem::SIGNUP_ALLOW);
    point.set_player_count(6);
    point.set_current_sign(i % 6);
    point.set_start_time(1'700'000'000 + i);
    reply.add_start_points(point.SerializePartialAsString());
  }
  return replies;
}

struct Catalogue {
  NullHost host;
  platform::ManualClock clock;
  NeverWaiter waiter;
  qvc::PlanList list{&host, qvc::PlanListSettings{}, &clock, &waiter};

  Catalogue() {
    hc::AllGroupRsp groups;
    groups.set_ver_code(1);
    groups.add_items()->set_group_id(kGroup);
    list.OnAllGroupRsp(groups);
    hc::AllListRsp lists;
    lists.set_ver_code(1);
    lists.set_group_id(kGroup);
    lists.add_items()->set_list_id(kList);
    list.OnAllListRsp(lists);
  }
};

void BM_ApplyPlansAndStartPointsThenFindEach(benchmark::State& state) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  const hc::AllPlanRsp plans = MakePlans(count);
  const std::vector<hc::PlanAllStartPoint> points = MakeStartPoints(count);
  for (auto _ : state) {
    Catalogue catalogue;
    catalogue.list.OnAllPlanRsp(plans);
    for (const hc::PlanAllStartPoint& reply : points) catalogue.list.OnPlanAllStartPoint(reply);
    uint64_t found = catalogue.list.Read([count](const qvc::PlanList::View& view) {
      uint64_t n = 0;
      for (uint32_t id = 1; id <= count; ++id) n += view.FindPlan(id) != nullptr;
      return n;
    });
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ApplyPlansAndStartPointsThenFindEach)
    ->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Baseline: the same lookups by walking the list in display order.
void BM_Baseline_FindEachByWalkingTheList(benchmark::State& state) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  Catalogue catalogue;
  catalogue.list.OnAllPlanRsp(MakePlans(count));
  for (auto _ : state) {
    uint64_t found = catalogue.list.Read([count](const qvc::PlanList::View& view) {
      const std::vector<qvc::PlanRecord>& all = view.FindList(kGroup, kList)->plans();
      uint64_t n = 0;
      for (uint32_t id = 1; id <= count; ++id) {
        for (const qvc::PlanRecord& plan : all) {
          if (plan.plan_id() == id) {
            ++n;
            break;
          }
        }
      }
      return n;
    });
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Baseline_FindEachByWalkingTheList)
    ->Arg(1'000)->Arg(10'000)->Arg(30'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
