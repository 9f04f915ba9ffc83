#include "games/hall/app/hot_match_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "games/hall/app/testing/plan_views_fixture.h"

namespace hall {
namespace {

using testing::PlanSpec;
using testing::PlanViewsTest;
using Ids = std::vector<uint32_t>;

constexpr uint32_t kGroup = 1;
constexpr uint32_t kList = 100;

PlanSpec Hot(uint32_t id, uint32_t heat) {
  PlanSpec spec;
  spec.plan_id = id;
  spec.name = "热门赛" + std::to_string(id);
  spec.heat = heat;
  return spec;
}

class HotMatchListTest : public PlanViewsTest {
 protected:
  // The recommended plans, all of them also in the group's list unless `missing`.
  void Recommend(const std::vector<PlanSpec>& hot, const Ids& missing = {}) {
    std::vector<PlanSpec> known;
    for (const PlanSpec& spec : hot) {
      if (std::find(missing.begin(), missing.end(), spec.plan_id) == missing.end())
        known.push_back(spec);
    }
    fixture_.SetGroups({{kGroup, "斗地主"}});
    fixture_.SetLists(kGroup, {{kList, "大奖赛"}});
    fixture_.SetPlans(kGroup, kList, known);
    fixture_.SetRecommended(hot);
  }
  Ids Rows() {
    Ids ids;
    for (const HotMatchList::HotRow& row : host_->hot()->rows())
      ids.push_back(row.plan_id);
    return ids;
  }
  std::string Text(size_t row, const char* name) {
    skinui::CControlUI* c = host_->hot()->rows().at(row).row->FindByName(name);
    return c != nullptr ? std::string(c->GetText()) : "<none>";
  }
  // The recommended list as the catalogue holds it.
  Ids CatalogueOrder() {
    return fixture_.catalogue().Read([](const qvc::PlanList::View& view) {
      Ids ids;
      for (const qvc::PlanEntry& plan :
           view.special_list(qvc::PlanList::kRecommendedListId).plans())
        ids.push_back(plan.plan_id());
      return ids;
    });
  }
};

TEST_F(HotMatchListTest, SevenRecommendedPlansGiveTheFiveHottestByHeatThenPlanId) {
  Recommend({Hot(1, 50), Hot(2, 90), Hot(3, 50), Hot(4, 10), Hot(5, 90), Hot(6, 70), Hot(7, 0)});
  const Ids before = CatalogueOrder();
  Open();
  host_->hot()->Refresh();
  EXPECT_EQ(Rows(), (Ids{5, 2, 6, 3, 1}));
  EXPECT_EQ(host_->hot()->GetCount(), 5);
  EXPECT_EQ(CatalogueOrder(), before) << "the catalogue's own list is never reordered";
  // Again: the same rows, not five more.
  host_->hot()->Refresh();
  EXPECT_EQ(Rows(), (Ids{5, 2, 6, 3, 1}));
  EXPECT_EQ(host_->hot()->GetCount(), 5);
}

TEST_F(HotMatchListTest, AHotPlanTheCatalogueDoesNotHoldGetsNoRowAndNoStandIn) {
  Recommend({Hot(1, 50), Hot(2, 90), Hot(3, 40), Hot(4, 30), Hot(5, 20), Hot(6, 10)}, {2});
  Open();
  host_->hot()->Refresh();
  EXPECT_EQ(Rows(), (Ids{1, 3, 4, 5}));
}

TEST_F(HotMatchListTest, RowsShowNameCountAndJoinOrWithdrawAndFollowThePrize) {
  Recommend({Hot(1, 50), Hot(2, 90)});
  fixture_.SetStartPoint(kGroup, 2, 17, 100);
  Join(1);
  Open();
  host_->hot()->Refresh();
  ASSERT_EQ(Rows(), (Ids{2, 1}));
  EXPECT_EQ(Text(0, "label_matchname"), "热门赛2");
  EXPECT_EQ(Text(0, "label_joincount"), "17人报名");
  EXPECT_EQ(Text(0, "button_join"), "立即报名");
  EXPECT_EQ(Text(1, "label_joincount"), "0人报名") << "no start point";
  EXPECT_EQ(Text(1, "button_join"), "退  赛");
  Prize(1);
  host_->hot()->Refresh();
  EXPECT_EQ(Text(1, "button_join"), "立即报名");
}

TEST_F(HotMatchListTest, TheJoinButtonStartsTheFlowWithItsPlan) {
  Recommend({Hot(1, 50), Hot(2, 90)});
  Open();
  host_->hot()->Refresh();
  driver_.RunUntilIdle();
  ASSERT_TRUE(driver_.ClickControl(*host_, host_->hot()->rows().at(1).join));
  EXPECT_EQ(signups_, (Ids{1}));
  // A flow that rebuilds the list while its dialog is open (the button goes with its row).
  PlanViewLinks links = Links();
  links.begin_signup = [&](uint32_t plan_id) {
    signups_.push_back(plan_id);
    host_->hot()->Refresh();
  };
  host_->DestroyWindow();
  host_ = std::make_unique<testing::PlanViewsHost>(links, PLAN_VIEWS_HOST_SKIN);
  host_->Open();
  host_->hot()->Refresh();
  driver_.RunUntilIdle();
  ASSERT_TRUE(driver_.ClickControl(*host_, host_->hot()->rows().at(0).join));
  EXPECT_EQ(signups_, (Ids{1, 2}));
  EXPECT_EQ(Rows(), (Ids{2, 1}));
}

TEST_F(HotMatchListTest, WithoutACatalogueNothingChanges) {
  Recommend({Hot(1, 50)});
  Open();
  host_->hot()->Refresh();
  gate_.SetCatalogue(nullptr);
  host_->hot()->Refresh();
  EXPECT_EQ(Rows(), (Ids{1}));
}

TEST_F(HotMatchListTest, RefreshesWhileTheJobThreadReplacesTheRecommendedList) {
  Recommend({Hot(1, 50), Hot(2, 90), Hot(3, 70)});
  Open();
  std::atomic<bool> stop{false};
  std::thread job([&] {
    for (uint32_t round = 0; !stop.load(); ++round) {
      std::vector<PlanSpec> hot;
      for (uint32_t i = 0; i < 3 + round % 20; ++i)
        hot.push_back(Hot(1 + i % 3, (round * 7 + i) % 100));
      fixture_.SetRecommended(hot);
    }
  });
  for (int i = 0; i < 300; ++i) {
    host_->hot()->Refresh();
    ASSERT_LE(host_->hot()->rows().size(), HotMatchList::kMaxRows);
  }
  stop = true;
  job.join();
}

}  // namespace
}  // namespace hall
