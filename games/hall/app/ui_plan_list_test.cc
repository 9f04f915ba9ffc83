#include "games/hall/app/ui_plan_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "games/hall/app/plan_row_text.h"
#include "games/hall/app/testing/plan_views_fixture.h"
#include "skinui/label.h"

namespace hall {
namespace {

using testing::PlanSpec;
using testing::PlanViewsTest;
using Ids = std::vector<uint32_t>;

constexpr uint32_t kGroup = 1;
constexpr uint32_t kOtherGroup = 2;
constexpr uint32_t kFree = 100;
constexpr uint32_t kPrize = 101;
constexpr uint32_t kPoints = 200;

PlanSpec Plan(uint32_t id, std::string name = "") {
  PlanSpec spec;
  spec.plan_id = id;
  spec.name = name.empty() ? "赛" + std::to_string(id) : name;
  spec.fixed_count = 6;
  return spec;
}

class PlanTreeTest : public PlanViewsTest {
 protected:
  // Group 1: lists 100 (plans 500, 501) and 101 (plans 500, 502); group 2: list 200 (plan 600).
  void TwoGroups() {
    fixture_.SetGroups({{kGroup, "斗地主"}, {kOtherGroup, "掼蛋"}});
    fixture_.SetLists(kGroup, {{kFree, "免费赛"}, {kPrize, "大奖赛"}});
    fixture_.SetLists(kOtherGroup, {{kPoints, "积分赛"}});
    fixture_.SetPlans(kGroup, kFree, {Plan(500), Plan(501)});
    fixture_.SetPlans(kGroup, kPrize, {Plan(500), Plan(502)});
    fixture_.SetPlans(kOtherGroup, kPoints, {Plan(600)});
  }
  Ids Types() {
    Ids ids;
    for (const auto& type : tree().root().children())
      ids.push_back(static_cast<uint32_t>(type->data().id));
    return ids;
  }
  // Every row of the list, as the names the tree gave them, top to bottom.
  std::vector<std::string> RowNames() {
    std::vector<std::string> names;
    for (int i = 0; i < tree().GetCount(); ++i)
      names.push_back(tree().GetItemAt(i)->GetName());
    return names;
  }
  bool RowVisible(uint32_t list_id, uint32_t plan_id) {
    PlanTreeNode* item = tree().FindItem(list_id, plan_id);
    return item != nullptr && item->data().row->IsVisible();
  }
  skinui::CControlUI* TypeButton(uint32_t list_id, const char* name) {
    return tree().FindType(list_id)->data().row->FindByName(name);
  }
};

TEST_F(PlanTreeTest, EachRowShowsItsPlanByTypeStartPointFreeJoinAndSignup) {
  struct Case {
    const char* what;
    uint32_t plan_type;
    bool start_point;
    uint32_t signed_count;
    uint64_t start_time;
    bool free_join;
    bool signed_up;
    // What the row shows.
    const char* join_count;
    const char* image;  // null: the button keeps the skin's (hidden, no image)
    const char* join_term;
    const char* start;  // "(skin)": left as it was
  };
  const Case cases[] = {
      {"full, open", 1, true, 5, 0, false, false, "5人报名", kSignupImage, "500金币", "满6人开赛"},
      {"full, no start point, free", 1, false, 0, 0, true, false, "0人报名", nullptr, "免费报名",
       "满6人开赛"},
      {"full, free", 1, true, 2, 0, true, false, "2人报名", kFreeSignupImage, "免费报名",
       "满6人开赛"},
      {"full, free, signed up", 1, true, 3, 0, true, true, "3人报名", kWithdrawImage, "免费报名",
       "满6人开赛"},
      {"timed today", 2, true, 12, 20240315193000, false, false, "12人报名", kSignupImage,
       "500金币", "今天 19:30"},
      {"timed tomorrow, signed up", 2, true, 1, 20240316083000, false, true, "1人报名",
       kWithdrawImage, "500金币", "明天 08:30"},
      {"timed, next month", 2, true, 0, 20240401100000, true, false, "0人报名", kFreeSignupImage,
       "免费报名", "04-01 10:00"},
      {"timed, no start point", 2, false, 0, 0, false, false, "0人报名", nullptr, "500金币",
       "(skin)"},
      {"open tables", 10, true, 4, 0, false, false, "0人报名", kSignupImage, "500金币", "散桌"},
      {"open tables, no start point, free", 10, false, 0, 0, true, false, "0人报名", nullptr,
       "免费报名", "散桌"},
      {"other type, signed up", 7, true, 4, 0, false, true, "0人报名", kWithdrawImage, "500金币",
       "(skin)"},
      {"other type, no start point", 7, false, 0, 0, false, true, "0人报名", nullptr, "500金币",
       "(skin)"},
  };
  std::vector<PlanSpec> plans;
  uint32_t id = 100;
  for (const Case& c : cases) {
    PlanSpec spec = Plan(id++, c.what);
    spec.plan_type = c.plan_type;
    spec.free_join = c.free_join;
    spec.show_join = "500金币";
    plans.push_back(spec);
  }
  fixture_.SetGroups({{kGroup, "斗地主"}});
  fixture_.SetLists(kGroup, {{kFree, "全部"}});
  fixture_.SetPlans(kGroup, kFree, plans);
  id = 100;
  for (const Case& c : cases) {
    if (c.start_point)
      fixture_.SetStartPoint(kGroup, id, c.signed_count, 6, c.start_time);
    if (c.signed_up)
      Join(id);
    ++id;
  }
  Open();
  host_->ShowGroup(kGroup);
  // What the skin had before this refresh, so that "left as it was" can be seen.
  for (uint32_t p = 100; p < id; ++p) {
    tree().FindItem(kFree, p)->data().row->FindByName("txt_start_time")->SetText("(skin)");
    tree().RefreshPlanRow(p);
  }
  id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t p = id++;
    EXPECT_EQ(ItemText(kFree, p, "title"),
              "{x 50}" + std::string(c.what) + "(" + std::to_string(p) + "){/x}");
    EXPECT_EQ(ItemText(kFree, p, "txt_join_count"), c.join_count);
    skinui::CButtonUI* button = SignupButton(kFree, p);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->IsVisible(), c.image != nullptr);
    EXPECT_EQ(button->GetButtonImage(), c.image != nullptr ? c.image : "");
    EXPECT_EQ(ItemText(kFree, p, "txt_join_term"), c.join_term);
    EXPECT_EQ(ItemText(kFree, p, "txt_start_time"), c.start);
  }
  // The title is markup: the label draws it without the tags.
  auto* title = static_cast<skinui::CLabelUI*>(
      tree().FindItem(kFree, 100)->data().row->FindByName("title")->GetInterface("Label"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->GetDrawnText(), "full, open(100)");
}

TEST_F(PlanTreeTest, TypesAndPlansFollowTheCataloguesAnswersAcrossGroupsAndSharedPlans) {
  TwoGroups();
  Open();
  host_->ShowGroup(kGroup);
  EXPECT_EQ(Types(), (Ids{kFree, kPrize}));
  // Each item goes directly under its type, above the ones added before it.
  EXPECT_EQ(RowsOf(kFree), (Ids{501, 500}));
  EXPECT_EQ(RowsOf(kPrize), (Ids{502, 500}));
  EXPECT_EQ(RowNames(),
            (std::vector<std::string>{"plan_list_type", "plan_list_item", "plan_list_item",
                                      "plan_list_type", "plan_list_item", "plan_list_item"}));
  for (int i = 0; i < tree().GetCount(); ++i)
    EXPECT_EQ(tree().GetItemAt(i)->GetUserData(), UIPlanList::kRowUserData);
  EXPECT_EQ(tree().FindType(kFree)->data().row->FindByName("title")->GetText(), "免费赛");

  // Plan 500 leaves list 100 only: its row under list 101 stays.
  fixture_.SetPlans(kGroup, kFree, {Plan(501), Plan(503)});
  fixture_.SetStartPoint(kGroup, 500, 4, 6);
  host_->ShowListPlans(kFree, kGroup);
  EXPECT_EQ(RowsOf(kFree), (Ids{503, 501}));
  EXPECT_EQ(RowsOf(kPrize), (Ids{502, 500}));
  host_->ShowListPlans(kPrize, kGroup);
  EXPECT_EQ(RowsOf(kPrize), (Ids{502, 500}));
  EXPECT_EQ(ItemText(kPrize, 500, "txt_join_count"), "4人报名") << "refreshed in place";

  // The other group: its list replaces both types, rows and all.
  host_->ShowGroup(kOtherGroup);
  EXPECT_EQ(Types(), (Ids{kPoints}));
  EXPECT_EQ(RowsOf(kPoints), (Ids{600}));
  EXPECT_EQ(tree().GetCount(), 2);
  EXPECT_EQ(host_->GetPaintManager().FindControl("plan_list_item"),
            tree().FindItem(kPoints, 600)->data().row)
      << "the removed rows left the window's names";

  // Back: everything is built again.
  host_->ShowGroup(kGroup);
  EXPECT_EQ(Types(), (Ids{kFree, kPrize}));
  EXPECT_EQ(RowsOf(kFree), (Ids{503, 501}));
}

TEST_F(PlanTreeTest, AddingAndRefreshingKeepsOneRowPerPlanAndListsOutsideTheGroupGetNone) {
  TwoGroups();
  Open();
  tree().SetCurrentGroup(kGroup);
  tree().ClearShownTypes();
  tree().AddType(kFree);
  tree().AddType(kPoints);  // group 2's list
  tree().AddType(99);       // no such list
  EXPECT_EQ(Types(), (Ids{kFree}));
  EXPECT_EQ(tree().shown_types(), (std::set<uint32_t>{kFree, kPoints, 99}));
  skinui::CControlUI* row = tree().FindType(kFree)->data().row;
  tree().AddType(kFree);
  EXPECT_EQ(tree().GetCount(), 1) << "a list already shown changes nothing";
  EXPECT_EQ(tree().FindType(kFree)->data().row, row);

  tree().SetCurrentGroup(77);  // a group the catalogue does not hold
  tree().AddType(kPrize);
  EXPECT_EQ(Types(), (Ids{kFree}));

  tree().AddOrUpdatePlan(kFree, 501);
  EXPECT_EQ(ItemText(kFree, 501, "txt_join_count"), "0人报名");
  fixture_.SetStartPoint(kGroup, 501, 3, 6);
  tree().AddOrUpdatePlan(kFree, 501);
  EXPECT_EQ(RowsOf(kFree), (Ids{501}));
  EXPECT_EQ(ItemText(kFree, 501, "txt_join_count"), "3人报名");
  tree().AddOrUpdatePlan(kPrize, 502);  // no type of that list: nothing
  EXPECT_EQ(tree().GetCount(), 2);
  EXPECT_EQ(tree().shown_plans(), (std::set<uint32_t>{501, 502}));

  // A plan the catalogue does not know gets a row with the skin's texts.
  tree().AddOrUpdatePlan(kFree, 999);
  EXPECT_EQ(ItemText(kFree, 999, "txt_join_count"), "");
  EXPECT_FALSE(SignupButton(kFree, 999)->IsVisible());
}

TEST_F(PlanTreeTest, RefreshAndRemovalOfOnePlanReachItsRowInEveryList) {
  TwoGroups();
  Open();
  host_->ShowGroup(kGroup);
  fixture_.SetStartPoint(kGroup, 500, 5, 6);
  tree().RefreshPlanRow(500);
  EXPECT_EQ(ItemText(kFree, 500, "txt_join_count"), "5人报名");
  EXPECT_EQ(ItemText(kPrize, 500, "txt_join_count"), "5人报名");
  EXPECT_EQ(ItemText(kFree, 501, "txt_join_count"), "0人报名");

  Join(500);
  tree().RefreshPlanRow(500);
  EXPECT_EQ(SignupButton(kFree, 500)->GetButtonImage(), kWithdrawImage);
  Prize(500);
  tree().RefreshPlanRow(500);
  EXPECT_EQ(SignupButton(kFree, 500)->GetButtonImage(), kSignupImage);

  tree().RemovePlanRows(500);
  EXPECT_EQ(RowsOf(kFree), (Ids{501}));
  EXPECT_EQ(RowsOf(kPrize), (Ids{502}));

  // A type that keeps its items is not pruned.
  tree().FindType(kPrize)->data().keep_items = true;
  tree().ClearShownPlans();
  tree().RemoveStalePlans(kPrize);
  EXPECT_EQ(RowsOf(kPrize), (Ids{502}));
  tree().RemoveStalePlans(kFree);
  EXPECT_EQ(RowsOf(kFree), Ids{});
}

TEST_F(PlanTreeTest, FoldingHidesAndUnfoldingShowsTheItemsAndSwapsTheButtons) {
  TwoGroups();
  Open();
  host_->ShowGroup(kGroup);
  PlanTreeNode* type = tree().FindType(kFree);
  EXPECT_TRUE(type->data().expanded);
  EXPECT_TRUE(TypeButton(kFree, "btn_pl_type_fold")->IsVisible());
  EXPECT_FALSE(TypeButton(kFree, "btn_pl_type_expand")->IsVisible());

  tree().SetExpanded(type, false);
  EXPECT_FALSE(type->data().expanded);
  EXPECT_FALSE(RowVisible(kFree, 500));
  EXPECT_FALSE(RowVisible(kFree, 501));
  EXPECT_TRUE(RowVisible(kPrize, 500)) << "the other list's row of the same plan";
  EXPECT_FALSE(TypeButton(kFree, "btn_pl_type_fold")->IsVisible());
  EXPECT_TRUE(TypeButton(kFree, "btn_pl_type_expand")->IsVisible());

  // A plan that arrives while its type is folded stays folded with the others.
  fixture_.SetPlans(kGroup, kFree, {Plan(500), Plan(501), Plan(504)});
  host_->ShowListPlans(kFree, kGroup);
  EXPECT_FALSE(RowVisible(kFree, 504));

  tree().SetExpanded(type, true);
  for (uint32_t p : {500u, 501u, 504u})
    EXPECT_TRUE(RowVisible(kFree, p)) << p;
  EXPECT_TRUE(TypeButton(kFree, "btn_pl_type_fold")->IsVisible());

  // A folded type whose row is itself hidden: only its flag and buttons change.
  tree().SetExpanded(type, false);
  type->data().row->SetVisible(false);
  tree().SetExpanded(type, true);
  EXPECT_TRUE(type->data().expanded);
  EXPECT_FALSE(RowVisible(kFree, 500));
  type->data().row->SetVisible(true);
  EXPECT_FALSE(RowVisible(kFree, 500)) << "showing the type again does not unfold its rows";
  EXPECT_TRUE(TypeButton(kFree, "btn_pl_type_fold")->IsVisible()) << "but its buttons changed";
  EXPECT_FALSE(TypeButton(kFree, "btn_pl_type_expand")->IsVisible());
}

TEST_F(PlanTreeTest, ClicksOnATypeRowAndItsButtonsFoldItOnceEach) {
  TwoGroups();
  Open();
  host_->ShowGroup(kGroup);
  driver_.RunUntilIdle();
  PlanTreeNode* type = tree().FindType(kFree);
  ASSERT_TRUE(driver_.ClickControl(*host_, TypeButton(kFree, "btn_pl_type_fold")));
  EXPECT_FALSE(type->data().expanded);
  EXPECT_FALSE(RowVisible(kFree, 500));
  ASSERT_TRUE(driver_.ClickControl(*host_, TypeButton(kFree, "btn_pl_type_expand")));
  EXPECT_TRUE(type->data().expanded);
  EXPECT_TRUE(RowVisible(kFree, 500));
  // A click anywhere else on the row toggles it through the list's own notify event, once, and
  // the window does not see it.
  host_->log.clear();
  ASSERT_TRUE(driver_.ClickControl(*host_, type->data().row->FindByName("title")));
  EXPECT_FALSE(type->data().expanded);
  EXPECT_FALSE(RowVisible(kFree, 501));
  for (const std::string& entry : host_->log)
    EXPECT_NE(entry, "itemclick:plan_list_type");
  // An item row's click passes on to the window.
  host_->log.clear();
  ASSERT_TRUE(driver_.ClickControl(*host_, tree().FindItem(kPrize, 502)->data().row));
  EXPECT_NE(std::find(host_->log.begin(), host_->log.end(), "itemclick:plan_list_item"),
            host_->log.end());
}

TEST_F(PlanTreeTest, TheSignupButtonStartsTheFlowWithItsPlanAndNeverWithPlanZero) {
  fixture_.SetGroups({{kGroup, "斗地主"}});
  fixture_.SetLists(kGroup, {{kFree, "免费赛"}});
  PlanSpec zero = Plan(0, "无编号");
  fixture_.SetPlans(kGroup, kFree, {Plan(501), zero});
  fixture_.SetStartPoint(kGroup, 501, 1, 6);
  fixture_.SetStartPoint(kGroup, 0, 1, 6);
  Open();
  host_->ShowGroup(kGroup);
  ASSERT_TRUE(SignupButton(kFree, 0)->IsVisible());
  ASSERT_TRUE(driver_.ClickControl(*host_, SignupButton(kFree, 0)));
  EXPECT_TRUE(signups_.empty());
  ASSERT_TRUE(driver_.ClickControl(*host_, SignupButton(kFree, 501)));
  EXPECT_EQ(signups_, (Ids{501}));
}

TEST_F(PlanTreeTest, ASignupFlowThatRebuildsTheTreeMeanwhileLeavesNothingDangling) {
  TwoGroups();
  fixture_.SetStartPoint(kGroup, 501, 1, 6);
  Open();
  host_->ShowGroup(kGroup);
  // The flow's modal dialog runs while the catalogue moves on and the tree switches groups.
  PlanViewLinks links = Links();
  bool switched = false;
  links.begin_signup = [&](uint32_t plan_id) {
    signups_.push_back(plan_id);
    host_->ShowGroup(kOtherGroup);
    switched = true;
  };
  host_->DestroyWindow();
  host_ = std::make_unique<testing::PlanViewsHost>(links, PLAN_VIEWS_HOST_SKIN);
  host_->Open();
  host_->ShowGroup(kGroup);
  driver_.RunUntilIdle();
  ASSERT_TRUE(driver_.ClickControl(*host_, SignupButton(kFree, 501)));
  EXPECT_TRUE(switched);
  EXPECT_EQ(signups_, (Ids{501}));
  EXPECT_EQ(Types(), (Ids{kPoints}));
}

TEST_F(PlanTreeTest, ATreeThatTakesNoMouseInputHandsItsWheelToItsParent) {
  TwoGroups();
  host_ = std::make_unique<testing::PlanViewsHost>(
      Links(),
      "<Window size=\"300,200\"><VerticalLayout name=\"outer\" vscrollbar=\"true\">"
      "<PlanList name=\"PlanList\" height=\"400\" vscrollbar=\"true\"/>"
      "<HotMatchList name=\"HotMatchList\" height=\"10\"/><GroupList name=\"GroupList\" "
      "height=\"10\"/></VerticalLayout></Window>");
  host_->Open();
  host_->ShowGroup(kGroup);
  for (uint32_t p = 700; p < 720; ++p)
    tree().AddOrUpdatePlan(kFree, p);  // more than fits
  driver_.RunUntilIdle();
  auto* outer = static_cast<skinui::CContainerUI*>(host_->GetPaintManager().FindControl("outer"));
  ASSERT_GT(outer->GetScrollRange(), 0);
  ASSERT_GT(tree().GetScrollRange(), 0);
  const LPARAM at = MAKELPARAM(100, 50);  // over a row
  const auto down = static_cast<WPARAM>(MAKELPARAM(0, static_cast<WORD>(-120)));
  skinui::PostMessage(host_->GetHWND(), WM_MOUSEWHEEL, down, at);
  driver_.RunUntilIdle();
  EXPECT_GT(tree().GetScrollPos(), 0);
  EXPECT_EQ(outer->GetScrollPos(), 0);

  tree().SetScrollPos(0);
  tree().SetMouseEnabled(false);
  skinui::PostMessage(host_->GetHWND(), WM_MOUSEWHEEL, down, at);
  driver_.RunUntilIdle();
  EXPECT_EQ(tree().GetScrollPos(), 0);
  EXPECT_GT(outer->GetScrollPos(), 0);
}

TEST(PlanTreeRowSkins, EachRowSkinBuildsWithTheControlsTheTreeFills) {
  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
  skinui::CPaintManagerUI manager;
  manager.SetResourceFolder(std::string(HALL_PROGRAM_FOLDER) + "/tarvixresource");
  struct Case {
    const char* skin;
    std::vector<const char*> controls;
  };
  const Case cases[] = {
      {"plan_type.xml", {"btn_pl_type_expand", "btn_pl_type_fold", "title"}},
      {"plan_item.xml",
       {"title", "txt_join_count", "bt_signup", "txt_join_term", "txt_start_time"}},
      {"start_point.xml", {"title", "txt_join_count", "txt_start_time"}},
      {"hot_match.xml", {"button_join", "label_matchname", "label_joincount", "label_showjoin"}},
  };
  for (const Case& c : cases) {
    skinui::CDialogBuilder builder;
    std::unique_ptr<skinui::CControlUI> row(builder.Create(c.skin, nullptr, &manager));
    ASSERT_NE(row, nullptr) << c.skin;
    EXPECT_NE(row->GetInterface("ListContainerElement"), nullptr) << c.skin;
    for (const char* name : c.controls)
      EXPECT_NE(row->FindByName(name), nullptr) << name;
  }
}

}  // namespace
}  // namespace hall
