// The catalogue at 1,000 / 10,000 / 100,000 plans of one list, each plan as a gate sends it: a
// PlanSimpleInfo with every text set (Chinese, as the service writes them) and three start
// points of its own reply.
//   apply:  AllPlanRsp, then every plan's PlanAllStartPoint, then each plan looked up by id (the
//           found count is checked). The cost per plan must stay flat as the count grows.
//           Baseline: parsing the same messages into plain vectors, the work no catalogue can
//           skip.
//   memory: heap bytes the catalogue holds per plan (malloc's own count, before and after one
//           apply; the plans' reply and the start points' apart), beside the serialised size of
//           the plan's messages (its share of the AllPlanRsp and its PlanAllStartPoint). Every
//           plan and its start points must then read back as the bytes they were sent as.
//   lookup: every plan by id through the catalogue's index, beside walking the list.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bench/interleaved_main.h"
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
constexpr int kPointsPerPlan = 3;

hc::PlanSimpleInfo TypicalPlan(uint32_t id) {
  hc::PlanSimpleInfo info;
  info.set_plan_id(id);
  info.set_show_name("每日金币赛 第" + std::to_string(id) + "场");
  info.set_plan_type(1 + id % 2);
  info.set_show_prize("冠军 " + std::to_string(1000 + id % 9000) + " 金币");
  info.set_free_join(id % 3 == 0);
  info.set_show_icon(id % 12);
  info.set_fixed_count(6);
  info.set_show_start("每天 20:00 开赛");
  info.set_show_join("报名费 100 金币");
  info.set_quick_start(id % 2);
  info.set_game_kind(502);
  info.set_app_id(41);
  info.set_heat_degree(id % 100);
  info.set_repeat_type(1);
  info.set_repeat_value(30);
  info.set_show_custom("新手");
  info.set_show_point_count(kPointsPerPlan);
  info.set_show_title("金币赛");
  return info;
}

struct Messages {
  hc::AllPlanRsp plans;
  std::vector<hc::PlanAllStartPoint> points;
  size_t wire_bytes = 0;
};

Messages MakeMessages(uint32_t count) {
  Messages m;
  m.plans.set_ver_code(1);
  m.plans.set_group_id(kGroup);
  m.plans.set_list_id(kList);
  m.points.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    m.plans.add_simple_infos(TypicalPlan(i + 1).SerializePartialAsString());
    m.plans.add_plan_orders(i % 7);
    m.plans.add_plan_show_nums(i);
    m.plans.add_plan_ids(i);
    hc::PlanAllStartPoint& reply = m.points[i];
    reply.set_ver_code(1);
    reply.set_group_id(kGroup);
    reply.set_list_id(kList);
    reply.set_plan_id(i + 1);
    for (int k = 0; k < kPointsPerPlan; ++k) {
      hc::startPointItem point;
      point.set_plan_id(i + 1);
      point.set_match_id(uint64_t{1} << 40 | (i * kPointsPerPlan + k));
      point.set_start_time(1'700'000'000 + i * 60 + k * 3600);
      point.set_current_sign(i % 6);
      point.set_start_flag(k == 0 ? hc::startPointItem::SIGNUP_ALLOW
                                  : hc::startPointItem::SIGNUP_FORBID);
      point.set_player_count(6);
      reply.add_start_points(point.SerializePartialAsString());
    }
    m.wire_bytes += reply.ByteSizeLong();
  }
  m.wire_bytes += m.plans.ByteSizeLong();
  return m;
}

const Messages& MessagesFor(uint32_t count) {
  static Messages k1 = MakeMessages(1'000);
  static Messages k10 = MakeMessages(10'000);
  static Messages k100 = MakeMessages(100'000);
  return count == 1'000 ? k1 : count == 10'000 ? k10 : k100;
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

  // Every plan's description and start points are the bytes the gate sent, and parse.
  bool ReadsBackAsSent(const Messages& m) const {
    return list.Read([&m](const qvc::PlanList::View& view) {
      for (int i = 0; i < m.plans.simple_infos_size(); ++i) {
        const uint32_t id = static_cast<uint32_t>(i) + 1;
        const qvc::PlanEntry* plan = view.FindPlan(id);
        const qvc::StartPointRecord* points = view.FindStartPoints(id);
        if (plan == nullptr || points == nullptr ||
            plan->simple_info_bytes() != m.plans.simple_infos(i) || plan->info().plan_id() != id ||
            plan->plan_key != static_cast<uint32_t>(i))
          return false;
        const auto& sent = m.points[static_cast<size_t>(i)].start_points();
        if (points->point_bytes() != std::vector<std::string>(sent.begin(), sent.end()) ||
            points->signed_count != static_cast<uint32_t>(i) % 6)
          return false;
      }
      return true;
    });
  }

  // Plans found by id, and of them those with their start points.
  std::pair<uint32_t, uint32_t> FindEach(uint32_t count) const {
    return list.Read([count](const qvc::PlanList::View& view) {
      std::pair<uint32_t, uint32_t> found{0, 0};
      for (uint32_t id = 1; id <= count; ++id) {
        found.first += view.FindPlan(id) != nullptr;
        const qvc::StartPointRecord* points = view.FindStartPoints(id);
        found.second += points != nullptr && points->point_count() == kPointsPerPlan;
      }
      return found;
    });
  }
};

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_Apply(benchmark::State& state) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  const Messages& m = MessagesFor(count);
  // Memory, once, outside the timing: the plans' share and the start points', and every plan
  // read back as it was sent.
  {
    const size_t before = HeapInUse();
    auto catalogue = std::make_unique<Catalogue>();
    catalogue->list.OnAllPlanRsp(m.plans);
    const size_t plans_done = HeapInUse();
    for (const hc::PlanAllStartPoint& reply : m.points)
      catalogue->list.OnPlanAllStartPoint(reply);
    const size_t after = HeapInUse();
    state.counters["heap_B_per_plan"] = static_cast<double>(after - before) / count;
    state.counters["plans_heap_B_per_plan"] = static_cast<double>(plans_done - before) / count;
    state.counters["points_heap_B_per_plan"] = static_cast<double>(after - plans_done) / count;
    state.counters["wire_B_per_plan"] = static_cast<double>(m.wire_bytes) / count;
    state.counters["heap_per_wire"] = static_cast<double>(after - before) / m.wire_bytes;
    if (!catalogue->ReadsBackAsSent(m)) {
      state.SkipWithError("a plan or its start points did not read back as sent");
      return;
    }
  }
  // Where the time goes, per plan: the plans' reply, the start points' replies, the lookups.
  using Clock = std::chrono::steady_clock;
  Clock::duration plans{}, points{}, lookups{};
  for (auto _ : state) {
    auto catalogue = std::make_unique<Catalogue>();
    const Clock::time_point start = Clock::now();
    catalogue->list.OnAllPlanRsp(m.plans);
    const Clock::time_point plans_done = Clock::now();
    for (const hc::PlanAllStartPoint& reply : m.points)
      catalogue->list.OnPlanAllStartPoint(reply);
    const Clock::time_point points_done = Clock::now();
    const auto found = catalogue->FindEach(count);
    lookups += Clock::now() - points_done;
    points += points_done - plans_done;
    plans += plans_done - start;
    if (found.first != count || found.second != count) {
      state.SkipWithError("not every plan was found with its start points");
      return;
    }
    state.PauseTiming();
    catalogue.reset();
    state.ResumeTiming();
  }
  const double plans_seen = static_cast<double>(state.iterations()) * count;
  auto per_plan = [plans_seen](Clock::duration d) {
    return std::chrono::duration<double, std::nano>(d).count() / plans_seen;
  };
  state.counters["plans_ns"] = per_plan(plans);
  state.counters["start_points_ns"] = per_plan(points);
  state.counters["lookups_ns"] = per_plan(lookups);
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["ns_per_plan"] =
      benchmark::Counter(static_cast<double>(state.iterations() * count),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Apply)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Baseline: the messages parsed into plain vectors, kept until the iteration ends.
void BM_Baseline_ParseOnly(benchmark::State& state) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  const Messages& m = MessagesFor(count);
  for (auto _ : state) {
    std::vector<hc::PlanSimpleInfo> infos(count);
    std::vector<hc::startPointItem> points(size_t{count} * kPointsPerPlan);
    size_t parsed = 0;
    for (uint32_t i = 0; i < count; ++i) {
      parsed += infos[i].ParseFromString(m.plans.simple_infos(static_cast<int>(i)));
      for (int k = 0; k < kPointsPerPlan; ++k) {
        parsed += points[i * kPointsPerPlan + static_cast<size_t>(k)].ParseFromString(
            m.points[i].start_points(k));
      }
    }
    if (parsed != size_t{count} * (1 + kPointsPerPlan)) {
      state.SkipWithError("a message did not parse");
      return;
    }
    benchmark::DoNotOptimize(infos.data());
    state.PauseTiming();
    infos.clear();
    points.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["ns_per_plan"] =
      benchmark::Counter(static_cast<double>(state.iterations() * count),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Baseline_ParseOnly)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond);

void BM_FindEach(benchmark::State& state) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  Catalogue catalogue;
  catalogue.list.OnAllPlanRsp(MessagesFor(count).plans);
  for (auto _ : state) {
    const uint32_t found = catalogue.list.Read([count](const qvc::PlanList::View& view) {
      uint32_t n = 0;
      for (uint32_t id = 1; id <= count; ++id)
        n += view.FindPlan(id) != nullptr && view.FindPlan(id)->plan_id() == id;
      return n;
    });
    if (found != count) {
      state.SkipWithError("not every plan was found");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_FindEach)->Arg(1'000)->Arg(10'000)->Arg(100'000);

// Baseline: the same lookups by walking the list in display order.
void BM_Baseline_FindEachByWalkingTheList(benchmark::State& state) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  Catalogue catalogue;
  catalogue.list.OnAllPlanRsp(MessagesFor(count).plans);
  for (auto _ : state) {
    const uint32_t found = catalogue.list.Read([count](const qvc::PlanList::View& view) {
      const std::vector<qvc::PlanEntry>& all = view.FindList(kGroup, kList)->plans();
      uint32_t n = 0;
      for (uint32_t id = 1; id <= count; ++id) {
        for (const qvc::PlanEntry& plan : all) {
          if (plan.plan_id() == id) {
            ++n;
            break;
          }
        }
      }
      return n;
    });
    if (found != count) {
      state.SkipWithError("not every plan was found");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Baseline_FindEachByWalkingTheList)->Arg(1'000)->Arg(10'000);

}  // namespace

TARVIX_BENCHMARK_MAIN()
