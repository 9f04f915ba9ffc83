#include "gateclient/plan_list/plan_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace qvc {
namespace {

namespace hc = qv::hallclient;

struct Sent {
  uint16_t subid;
  uint32_t apptype;
  uint32_t appid;
  std::string bytes;
};

class RecordingHost : public PlanListHost {
 public:
  void SendHallRequest(uint16_t subid, const google::protobuf::Message& request, uint32_t apptype,
                       uint32_t appid) override {
    std::lock_guard<std::mutex> lock(mu_);
    sent_.push_back({subid, apptype, appid, request.SerializePartialAsString()});
  }
  void PostTrace(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mu_);
    traces_.push_back(text);
  }
  void Log(int level, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mu_);
    logs_.push_back(std::to_string(level) + " " + text);
  }
  std::vector<std::string> TakeLogs() {
    std::lock_guard<std::mutex> lock(mu_);
    return std::exchange(logs_, {});
  }

  // Takes what was sent so far.
  std::vector<Sent> Take() {
    std::lock_guard<std::mutex> lock(mu_);
    return std::exchange(sent_, {});
  }
  std::vector<std::string> traces() {
    std::lock_guard<std::mutex> lock(mu_);
    return traces_;
  }

 private:
  std::mutex mu_;
  std::vector<Sent> sent_;
  std::vector<std::string> traces_;
  std::vector<std::string> logs_;
};

template <typename Message>
Message As(const Sent& sent) {
  Message message;
  EXPECT_TRUE(message.ParseFromString(sent.bytes));
  return message;
}

std::vector<uint16_t> Subids(const std::vector<Sent>& sent) {
  std::vector<uint16_t> ids;
  for (const Sent& s : sent)
    ids.push_back(s.subid);
  return ids;
}

hc::AllGroupRsp Groups(uint32_t version, std::vector<std::pair<uint32_t, uint32_t>> id_order) {
  hc::AllGroupRsp reply;
  reply.set_ver_code(version);
  for (auto [id, order] : id_order) {
    hc::groupItem* item = reply.add_items();
    item->set_group_id(id);
    item->set_group_order(order);
    item->set_show_name("g" + std::to_string(id));
  }
  return reply;
}

hc::AllListRsp Lists(uint32_t version, uint32_t group,
                     std::vector<std::pair<uint32_t, uint32_t>> id_order) {
  hc::AllListRsp reply;
  reply.set_ver_code(version);
  reply.set_group_id(group);
  for (auto [id, order] : id_order) {
    hc::listItem* item = reply.add_items();
    item->set_list_id(id);
    item->set_list_order(order);
  }
  return reply;
}

struct PlanRow {
  uint32_t plan_id;
  uint32_t order;
  uint32_t key;
  uint32_t type = 1;
};

hc::AllPlanRsp Plans(uint32_t version, uint32_t group, uint32_t list, std::vector<PlanRow> rows) {
  hc::AllPlanRsp reply;
  reply.set_ver_code(version);
  reply.set_group_id(group);
  reply.set_list_id(list);
  for (const PlanRow& row : rows) {
    hc::PlanSimpleInfo info;
    info.set_plan_id(row.plan_id);
    info.set_plan_type(row.type);
    info.set_show_name("p" + std::to_string(row.plan_id));
    reply.add_simple_infos(info.SerializePartialAsString());
    reply.add_plan_orders(row.order);
    reply.add_plan_show_nums(row.plan_id * 10);
    reply.add_plan_ids(row.key);
  }
  return reply;
}

std::string Point(uint32_t plan, hc::startPointItem::MatchState flag, uint32_t players,
                  uint32_t signed_count, uint64_t start) {
  hc::startPointItem point;
  point.set_plan_id(plan);
  point.set_start_flag(flag);
  point.set_player_count(players);
  point.set_current_sign(signed_count);
  point.set_start_time(start);
  return point.SerializePartialAsString();
}

class PlanListTest : public ::testing::Test {
 protected:
  PlanListTest() : waiter_(&clock_), list_(&host_, PlanListSettings{}, &clock_, &waiter_) {}
  ~PlanListTest() override { waiter_.Open(); }

  // Reaches version `version` with group 1 (lists 100, 101) as the current group.
  void FillCatalogue(uint32_t version) {
    list_.OnAllGroupRsp(Groups(version, {{1, 0}}));
    list_.OnAllListRsp(Lists(version, 1, {{100, 2}, {101, 1}}));
    list_.OnAllPlanRsp(Plans(version, 1, 100, {{11, 0, 1}, {12, 0, 2}}));
    list_.OnAllPlanRsp(Plans(version, 1, 101, {{13, 0, 1, 2}, {11, 0, 1}}));
    host_.Take();
  }

  platform::ManualClock clock_;
  platform::ManualWaiter waiter_;
  RecordingHost host_;
  PlanList list_;
};

TEST_F(PlanListTest, GroupRequestRepeatsEveryTenSecondsUntilAReplyIsAccepted) {
  list_.RequestAllGroups();
  std::vector<Sent> sent = host_.Take();
  ASSERT_EQ(Subids(sent), std::vector<uint16_t>{hc::IDAllGroupReq});
  EXPECT_EQ(sent[0].apptype, 10u);
  EXPECT_EQ(sent[0].appid, 2u);

  clock_.Advance(9'999);
  list_.RequestAllGroups();
  EXPECT_TRUE(host_.Take().empty());
  clock_.Advance(1);
  list_.RequestAllGroups();
  EXPECT_EQ(host_.Take().size(), 1u);

  list_.OnAllGroupRsp(Groups(5, {{1, 0}}));
  host_.Take();
  clock_.Advance(60'000);
  list_.RequestAllGroups();
  EXPECT_TRUE(host_.Take().empty()) << "no request while the held version is the newest";
}

TEST_F(PlanListTest, NewerVersionResetsAndAsksAgainOlderIsAccepted) {
  FillCatalogue(5);
  clock_.Advance(10'000);

  list_.OnAllPlanRsp(Plans(3, 1, 100, {{20, 0, 1}}));  // older: accepted
  EXPECT_EQ(list_.held_version(), 5u);
  EXPECT_EQ(list_.newest_version(), 5u) << "a late old reply must not hide the newest version";
  EXPECT_TRUE(list_.FindPlan(20).has_value());

  list_.OnAllPlanRsp(Plans(7, 1, 100, {{30, 0, 1}}));  // newer: dropped, catalogue reset
  EXPECT_FALSE(list_.FindPlan(30).has_value());
  EXPECT_EQ(list_.held_version(), 0u);
  EXPECT_EQ(list_.current_group(), 0u);
  ASSERT_FALSE(host_.traces().empty());
  EXPECT_EQ(host_.traces().back(), " 当前版本=5,newversion=7\n");

  list_.RequestAllGroups();
  std::vector<Sent> sent = host_.Take();
  ASSERT_EQ(Subids(sent), std::vector<uint16_t>{hc::IDAllGroupReq});
  EXPECT_EQ(As<hc::AllGroupReq>(sent[0]).ver_code(), 7u);
}

TEST_F(PlanListTest, AfterANewerVersionOnlyTheGroupsSetTheVersionAgain) {
  FillCatalogue(5);
  clock_.Advance(10'000);
  // The gate answers a display update with one reply per plan, all at the new version 7.
  for (uint32_t plan : {11u, 12u, 13u}) {
    hc::PlanAllStartPoint reply;
    reply.set_ver_code(7);
    reply.set_group_id(1);
    reply.set_plan_id(plan);
    reply.add_start_points(Point(plan, hc::startPointItem::SIGNUP_ALLOW, 6, 1, 0));
    list_.OnPlanAllStartPoint(reply);
  }
  EXPECT_EQ(list_.held_version(), 0u) << "the second and third replies must not adopt 7";
  EXPECT_FALSE(list_.FindStartPoints(12).has_value());
  list_.OnAllListRsp(Lists(7, 1, {{100, 2}}));  // nor may a list reply
  EXPECT_EQ(list_.held_version(), 0u);

  list_.RequestAllGroups();
  std::vector<Sent> sent = host_.Take();
  ASSERT_EQ(Subids(sent), std::vector<uint16_t>{hc::IDAllGroupReq});
  EXPECT_EQ(As<hc::AllGroupReq>(sent[0]).ver_code(), 7u);
  list_.OnAllGroupRsp(Groups(7, {{1, 0}}));
  EXPECT_EQ(list_.held_version(), 7u);
}

TEST_F(PlanListTest, GroupsSortByOrderDescendingThenIdAndFirstOfReplyBecomesCurrent) {
  list_.OnAllGroupRsp(Groups(1, {{4, 5}, {8, 9}, {2, 9}}));
  std::vector<uint32_t> ids = list_.Read([](const PlanList::View& view) {
    std::vector<uint32_t> out;
    for (const PlanGroupRecord& g : view.groups())
      out.push_back(g.group_id());
    return out;
  });
  EXPECT_EQ(ids, (std::vector<uint32_t>{2, 8, 4}));
  EXPECT_EQ(list_.current_group(), 4u);

  // One AllListReq per group in reply order, then the recommended list, then the own matches.
  std::vector<Sent> sent = host_.Take();
  EXPECT_EQ(Subids(sent),
            (std::vector<uint16_t>{hc::IDAllListReq, hc::IDAllListReq, hc::IDAllListReq,
                                   hc::IDAllPlanReq, hc::IDMyMatchDataReq}));
  EXPECT_EQ(As<hc::AllListReq>(sent[1]).group_id(), 8u);
  hc::AllPlanReq recommended = As<hc::AllPlanReq>(sent[3]);
  EXPECT_EQ(recommended.list_id(), 2u);
  EXPECT_EQ(recommended.group_id(), 4u);
}

TEST_F(PlanListTest, ListsAndPlansSortAndCompletingTheCurrentGroupAsksForItsStartPoints) {
  list_.OnAllGroupRsp(Groups(1, {{1, 0}}));
  list_.OnAllListRsp(Lists(1, 1, {{100, 1}, {102, 3}, {101, 3}}));
  host_.Take();
  list_.OnAllPlanRsp(Plans(1, 1, 101, {{11, 1, 5}, {12, 2, 1}, {13, 1, 9}}));
  list_.OnAllPlanRsp(Plans(1, 1, 102, {{14, 0, 0}}));
  EXPECT_TRUE(host_.Take().empty()) << "the group is not complete yet";
  list_.OnAllPlanRsp(Plans(1, 1, 100, {{11, 0, 0}}));

  std::vector<Sent> sent = host_.Take();
  ASSERT_EQ(Subids(sent), (std::vector<uint16_t>{hc::IDAllPlanReq, hc::IDDisplayPlanUpdateReq}));
  hc::DisplayPlanUpdateReq display = As<hc::DisplayPlanUpdateReq>(sent[1]);
  EXPECT_EQ(sent[1].apptype, 5u);
  EXPECT_EQ(display.group_id(), 1u);
  EXPECT_FALSE(display.has_list_id());
  // Lists 101, 102 (order 3, by id), then 100; plans by order then key, both descending.
  // Plan 11 is in two lists and is listed twice.
  EXPECT_EQ(std::vector<uint32_t>(display.array_plan_id().begin(), display.array_plan_id().end()),
            (std::vector<uint32_t>{12, 13, 11, 14, 11}));
  EXPECT_EQ(list_.FindPlan(11)->plan_key, 5u) << "the first occurrence in display order";
}

// A list of many plans with ties in order and key, plan ids listed more than once and plans that
// do not parse, against whole records sorted stably by the display order.
TEST_F(PlanListTest, ALongListKeepsTheStableDisplayOrderAndFindsFirstOccurrences) {
  FillCatalogue(1);
  std::mt19937 random(7);
  std::vector<PlanRow> rows;
  for (uint32_t i = 0; i < 600; ++i) {
    rows.push_back({static_cast<uint32_t>(1000 + random() % 400),
                    static_cast<uint32_t>(random() % 4), static_cast<uint32_t>(random() % 50)});
  }
  hc::AllPlanRsp reply = Plans(1, 1, 100, rows);
  std::vector<bool> parses(rows.size(), true);
  for (size_t i = 5; i < rows.size(); i += 97) {
    reply.set_simple_infos(static_cast<int>(i), std::string("\xff\xff", 2));
    parses[i] = false;
  }
  host_.TakeLogs();
  list_.OnAllPlanRsp(reply);

  struct Expected {
    uint32_t plan_id, order, key, show_num;
  };
  std::vector<Expected> expected;
  std::vector<std::string> logs;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!parses[i])
      continue;
    expected.push_back({rows[i].plan_id, rows[i].order, rows[i].key, rows[i].plan_id * 10});
    logs.push_back("1 Plan:groupid=1,listid=100,planid=" + std::to_string(rows[i].plan_id) +
                   ",showname=p" + std::to_string(rows[i].plan_id));
  }
  std::stable_sort(expected.begin(), expected.end(), [](const Expected& a, const Expected& b) {
    return a.order != b.order ? a.order > b.order : a.key > b.key;
  });
  EXPECT_EQ(host_.TakeLogs(), logs) << "logged in the reply's order";

  list_.Read([&](const PlanList::View& view) {
    const std::vector<PlanEntry>& plans = view.FindList(1, 100)->plans();
    ASSERT_EQ(plans.size(), expected.size());
    std::map<uint32_t, const PlanEntry*> first;
    for (size_t i = 0; i < plans.size(); ++i) {
      EXPECT_EQ(plans[i].plan_id(), expected[i].plan_id) << i;
      EXPECT_EQ(plans[i].plan_order, expected[i].order) << i;
      EXPECT_EQ(plans[i].plan_key, expected[i].key) << i;
      EXPECT_EQ(plans[i].show_num, expected[i].show_num) << i;
      first.emplace(plans[i].plan_id(), &plans[i]);
    }
    const PlanListRecord* list = view.FindList(1, 100);
    for (const auto& [id, plan] : first)
      EXPECT_EQ(list->FindPlan(id), plan) << "plan " << id;
    EXPECT_EQ(list->FindPlan(999), nullptr);
    EXPECT_EQ(list->FindPlan(1400), nullptr);
  });
}

// A description with every text set, and a field this client does not know.
std::string FullDescription(uint32_t plan_id) {
  hc::PlanSimpleInfo info;
  info.set_plan_id(plan_id);
  info.set_show_name("每日金币赛 第" + std::to_string(plan_id) + "场");
  info.set_plan_type(2);
  info.set_show_prize("冠军 1000 金币");
  info.set_free_join(true);
  info.set_show_start("每天 20:00 开赛");
  info.set_show_join("报名费 100 金币");
  info.set_heat_degree(77);
  info.set_show_custom("新手");
  info.set_show_title("金币赛");
  std::string bytes = info.SerializePartialAsString();
  bytes += std::string("\xc2\x02\x03new", 6);  // field 40, length-delimited
  return bytes;
}

TEST_F(PlanListTest, ReadersCopyEachPlanAsTheGateSentIt) {
  FillCatalogue(1);
  hc::AllPlanRsp reply = Plans(1, 1, 100, {{21, 0, 1}, {22, 0, 2}});
  reply.set_simple_infos(0, FullDescription(21));
  reply.set_simple_infos(1, FullDescription(22));
  list_.OnAllPlanRsp(reply);

  hc::PlanSimpleInfo expected;
  ASSERT_TRUE(expected.ParseFromString(FullDescription(21)));
  list_.Read([&](const PlanList::View& view) {
    const PlanEntry* plan = view.FindPlan(21);
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->simple_info_bytes(), FullDescription(21)) << "the bytes as received";
    EXPECT_EQ(plan->plan_type(), 2u);
    EXPECT_EQ(plan->info().SerializePartialAsString(), expected.SerializePartialAsString());
    EXPECT_EQ(plan->info().show_name(), "每日金币赛 第21场");
  });
  std::optional<PlanRecord> copy = list_.FindPlan(21);
  ASSERT_TRUE(copy.has_value());
  EXPECT_EQ(copy->simple_info_bytes(), FullDescription(21)) << "the unknown field kept";
  EXPECT_EQ(copy->plan_key, 1u);
  EXPECT_EQ(copy->show_num, 210u);

  // Copies own their bytes: the list replaced, they still read what they were given.
  std::optional<PlanListRecord> list = list_.FindList(1, 100);
  ASSERT_TRUE(list.has_value());
  list_.OnAllPlanRsp(Plans(1, 1, 100, {{23, 0, 1}}));
  ASSERT_EQ(list->plans().size(), 2u);
  EXPECT_EQ(list->plans()[0].info().show_name(), "每日金币赛 第22场");
  EXPECT_EQ(list->FindPlan(21)->simple_info_bytes(), FullDescription(21));
  EXPECT_EQ(copy->info.show_prize(), "冠军 1000 金币");
  EXPECT_FALSE(list_.FindPlan(21).has_value());
}

TEST(PlanEntryTest, ACopyOwnsItsBytes) {
  hc::PlanSimpleInfo info;
  ASSERT_TRUE(info.ParseFromString(FullDescription(5)));
  std::optional<PlanEntry> entry(std::in_place, info, FullDescription(5), 3, 4, 6);
  PlanEntry copy = *entry;
  PlanEntry assigned;
  EXPECT_EQ(assigned.simple_info_bytes(), "");
  EXPECT_FALSE(assigned.info().has_plan_id());
  assigned = copy;
  entry.reset();
  for (const PlanEntry* e : {&copy, &assigned}) {
    EXPECT_EQ(e->simple_info_bytes(), FullDescription(5));
    EXPECT_EQ(e->plan_id(), 5u);
    EXPECT_EQ(e->plan_type(), 2u);
    EXPECT_EQ(e->record().plan_order, 3u);
    EXPECT_EQ(e->record().show_num, 4u);
    EXPECT_EQ(e->record().plan_key, 6u);
    EXPECT_EQ(e->record().info.heat_degree(), 77u);
  }
}

TEST(PlanEntryTest, ReadingIntoAMessageUsedBeforeLeavesNothingOfTheEarlierPlan) {
  hc::PlanSimpleInfo full;
  ASSERT_TRUE(full.ParseFromString(FullDescription(5)));
  hc::PlanSimpleInfo bare;
  bare.set_plan_id(6);
  const PlanEntry first(full, FullDescription(5), 0, 0, 0);
  const PlanEntry second(bare, bare.SerializePartialAsString(), 0, 0, 0);
  hc::PlanSimpleInfo row;
  first.ReadInfo(&row);
  EXPECT_EQ(row.show_join(), "报名费 100 金币");
  second.ReadInfo(&row);
  EXPECT_EQ(row.SerializePartialAsString(), bare.SerializePartialAsString());
  EXPECT_FALSE(row.has_show_name());
  EXPECT_FALSE(row.free_join());
}

TEST(StartPointRecordTest, KeepsEachPointsBytesWhateverTheirLength) {
  // Lengths on both sides of each step of their one- to three-byte prefixes.
  const struct {
    const char* name;
    std::vector<size_t> sizes;
  } cases[] = {
      {"none", {}},
      {"empty points", {0, 0}},
      {"one-byte lengths", {1, 127, 5}},
      {"two-byte lengths", {128, 129, 16383}},
      {"three-byte lengths", {16384, 3, 200'000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> points;
    for (size_t i = 0; i < c.sizes.size(); ++i)
      points.push_back(std::string(c.sizes[i], static_cast<char>('a' + i)));
    StartPointRecord record;
    record.AddPoint("left over");  // dropped by the next fill
    size_t room = 0;
    for (const std::string& p : points)
      room += StartPointRecord::RoomFor(p);
    record.ClearPoints(room);
    for (const std::string& p : points)
      record.AddPoint(p);
    EXPECT_EQ(record.point_count(), points.size());
    EXPECT_EQ(record.point_bytes(), points);
    const StartPointRecord copy = record;
    record.ClearPoints(0);
    EXPECT_EQ(record.point_count(), 0u);
    EXPECT_EQ(copy.point_bytes(), points);
  }
}

TEST(StartPointRecordTest, ParsesItsCopiesOfThePoints) {
  const std::vector<std::string> sent = {
      Point(13, hc::startPointItem::SIGNUP_ALLOW, 6, 2, 1'700'000'100),
      Point(13, hc::startPointItem::MATCH_START, 9, 9, 1'700'000'500)};
  StartPointRecord record;
  record.ClearPoints(0);
  for (const std::string& p : sent)
    record.AddPoint(p);
  const std::vector<hc::startPointItem> points = record.points();
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].start_flag(), hc::startPointItem::SIGNUP_ALLOW);
  EXPECT_EQ(points[0].current_sign(), 2u);
  EXPECT_EQ(points[1].player_count(), 9u);
  EXPECT_EQ(points[1].start_time(), 1'700'000'500u);
  EXPECT_EQ(points[1].SerializePartialAsString(), sent[1]);
}

TEST(PlanRecordTest, KeepsItsDescriptionOnceAndCopiesWhatOthersSetOnIt) {
  hc::PlanSimpleInfo info;
  info.set_plan_id(9);
  info.set_show_name("周末欢乐赛");
  info.set_fixed_count(6);
  PlanRecord plan;
  ASSERT_TRUE(plan.info.ParseFromString(info.SerializePartialAsString()));
  EXPECT_EQ(plan.simple_info_bytes(), info.SerializePartialAsString());
  EXPECT_TRUE(plan.extra_bytes().empty());
  EXPECT_FALSE(plan.title_match().has_plan_id());

  plan.mutable_title_match()->set_plan_id(9);
  *plan.mutable_extra_bytes() = "extra";
  PlanRecord copy = plan;
  plan.mutable_title_match()->set_plan_id(10);
  EXPECT_EQ(copy.title_match().plan_id(), 9u) << "a copy owns its own";
  EXPECT_EQ(copy.extra_bytes(), "extra");
  EXPECT_EQ(copy.info.show_name(), "周末欢乐赛");
  copy = PlanRecord();
  EXPECT_FALSE(copy.title_match().has_plan_id());
  copy = plan;
  EXPECT_EQ(copy.title_match().plan_id(), 10u);
}

TEST_F(PlanListTest, SpecialListIsReplacedWhateverTheGroup) {
  FillCatalogue(1);
  list_.OnAllPlanRsp(Plans(1, 77, 2, {{50, 0, 0}}));
  list_.OnAllPlanRsp(Plans(1, 1, 2, {{51, 0, 0}, {52, 0, 0}}));
  std::vector<uint32_t> ids = list_.Read([](const PlanList::View& view) {
    std::vector<uint32_t> out;
    for (const PlanEntry& p : view.special_list(2).plans())
      out.push_back(p.plan_id());
    return out;
  });
  EXPECT_EQ(ids, (std::vector<uint32_t>{51, 52}));
  EXPECT_FALSE(list_.FindPlan(51).has_value()) << "special lists are not searched";
}

TEST_F(PlanListTest, MismatchedParallelListsAndUnparsablePlansAreCutOrSkipped) {
  FillCatalogue(1);
  hc::AllPlanRsp reply = Plans(1, 1, 100, {{61, 0, 0}, {62, 0, 0}, {63, 0, 0}});
  reply.mutable_plan_show_nums()->RemoveLast();           // one short
  reply.set_simple_infos(0, std::string("\xff\xff", 2));  // not a PlanSimpleInfo
  list_.OnAllPlanRsp(reply);
  std::optional<PlanListRecord> list = list_.FindList(1, 100);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->plans().size(), 1u);
  EXPECT_EQ(list->plans()[0].plan_id(), 62u);
  EXPECT_EQ(list->plans()[0].show_num, 620u);
}

TEST_F(PlanListTest, StartPointsOnlyOpenForSignUpChangeTheCounts) {
  FillCatalogue(1);  // plan 11 type 1 (lists 100 and 101), plan 13 type 2 (list 101)
  hc::PlanAllStartPoint reply;
  reply.set_ver_code(1);
  reply.set_group_id(1);
  reply.set_plan_id(13);
  reply.add_start_points(Point(13, hc::startPointItem::SIGNUP_ALLOW, 6, 2, 1'700'000'100));
  reply.add_start_points(Point(13, hc::startPointItem::MATCH_START, 9, 9, 1'700'000'500));
  list_.OnPlanAllStartPoint(reply);

  std::optional<StartPointRecord> record = list_.FindStartPoints(13);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->point_count(), 2u);
  EXPECT_EQ(
      record->point_bytes(),
      (std::vector<std::string>{Point(13, hc::startPointItem::SIGNUP_ALLOW, 6, 2, 1'700'000'100),
                                Point(13, hc::startPointItem::MATCH_START, 9, 9, 1'700'000'500)}));
  EXPECT_EQ(record->players, 6u);
  EXPECT_EQ(record->signed_count, 2u);
  EXPECT_EQ(record->start_time, 1'700'000'100u);
  EXPECT_TRUE(list_.FindList(1, 101)->start_points_received);
  EXPECT_FALSE(list_.FindList(1, 100)->start_points_received);

  reply.set_plan_id(11);
  reply.clear_start_points();
  reply.add_start_points(Point(11, hc::startPointItem::SIGNUP_FORBID, 4, 1, 1'700'000'900));
  list_.OnPlanAllStartPoint(reply);
  record = list_.FindStartPoints(11);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->point_count(), 1u);
  EXPECT_EQ(record->players, 0u);
  EXPECT_EQ(record->start_time, 0u);

  reply.set_plan_id(99);  // in no list of the group
  list_.OnPlanAllStartPoint(reply);
  EXPECT_FALSE(list_.FindStartPoints(99).has_value());
}

TEST_F(PlanListTest, DefaultSettingsAskForTheRecommendedListEveryThirtySeconds) {
  // Before any group: the recommended list of group 0, and no display update.
  list_.RefreshPlans(false);
  std::vector<Sent> sent = host_.Take();
  ASSERT_EQ(Subids(sent), std::vector<uint16_t>{hc::IDAllPlanReq});
  EXPECT_EQ(As<hc::AllPlanReq>(sent[0]).list_id(), 2u);
  EXPECT_EQ(As<hc::AllPlanReq>(sent[0]).group_id(), 0u);

  clock_.Advance(29'000);
  list_.RefreshPlans(false);
  EXPECT_TRUE(host_.Take().empty());
  clock_.Advance(1'000);
  list_.RefreshPlans(false);
  EXPECT_EQ(Subids(host_.Take()), std::vector<uint16_t>{hc::IDAllPlanReq});
  list_.RefreshPlans(true);
  EXPECT_EQ(Subids(host_.Take()), std::vector<uint16_t>{hc::IDAllPlanReq});
}

TEST_F(PlanListTest, OwnSignUpsAreReplacedAndALaterEntryWins) {
  hc::MyMatchDataRsp reply;
  auto add = [&](uint32_t plan, uint64_t match) {
    hc::HasSignedMatchItem* item = reply.add_signed_items();
    item->set_plan_id(plan);
    item->set_match_id(match);
  };
  add(1, 10);
  add(2, 20);
  add(1, 11);
  list_.OnMyMatchDataRsp(reply);
  EXPECT_EQ(list_.SignedUp(), (std::map<uint32_t, uint64_t>{{1, 11}, {2, 20}}));
  list_.OnMyMatchDataRsp(hc::MyMatchDataRsp());
  EXPECT_TRUE(list_.SignedUp().empty());
}

TEST_F(PlanListTest, RefreshThreadStartsOnceResumesAfterAStopAndIsJoined) {
  list_.StartRefreshThread();
  list_.StartRefreshThread();  // a second AuthInfo: still one thread
  waiter_.Step();
  // First tick: the group request and the recommended list.
  EXPECT_EQ(Subids(host_.Take()), (std::vector<uint16_t>{hc::IDAllGroupReq, hc::IDAllPlanReq}));
  waiter_.Step();
  EXPECT_TRUE(host_.Take().empty());
  EXPECT_EQ(waiter_.rounds_done(), 2u);

  list_.RequestStop();
  list_.StartRefreshThread();  // the next login withdraws the stop
  waiter_.Step(200);           // 10 s of ticks
  EXPECT_EQ(Subids(host_.Take()), std::vector<uint16_t>{hc::IDAllGroupReq});
  EXPECT_TRUE(list_.running());

  waiter_.Open();
  list_.StopAndJoin();
  EXPECT_FALSE(list_.running());
  list_.StartRefreshThread();
  EXPECT_FALSE(list_.running()) << "no thread starts after the shutdown";
}

}  // namespace
}  // namespace qvc
