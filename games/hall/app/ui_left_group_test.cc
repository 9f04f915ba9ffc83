#include "games/hall/app/ui_left_group.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/hall/app/testing/plan_views_fixture.h"
#include "gateclient/log/debug_trace.h"
#include "skinui/button.h"

namespace hall {
namespace {

using testing::PlanViewsTest;
using Ids = std::vector<uint32_t>;

std::vector<std::string>* g_traces = nullptr;
void KeepTrace(const char* text) {
  g_traces->push_back(text);
}

class GroupBarTest : public PlanViewsTest {
 protected:
  void Groups(const std::vector<std::pair<uint32_t, std::string>>& groups) {
    fixture_.SetGroups(groups);
    for (const auto& [id, name] : groups)
      fixture_.SetLists(id, {{1000 + id, name + "大奖赛"}});
  }
  UILeftGroup& bar() { return *host_->bar(); }
  Ids Options() {
    Ids ids;
    for (const skinui::COptionUI* o : bar().options())
      ids.push_back(static_cast<uint32_t>(o->GetTag()));
    return ids;
  }
  // The tree's types, as the window switched it.
  Ids TreeTypes() {
    Ids ids;
    for (const auto& t : tree().root().children())
      ids.push_back(static_cast<uint32_t>(t->data().id));
    return ids;
  }
};

TEST_F(GroupBarTest, FirstRebuildMakesOneOptionPerGroupLikeTheTemplateAndChoosesTheFirst) {
  Groups({{4, "斗地主"}, {8, "掼蛋"}, {2, "升级"}});
  Open();
  bar().Rebuild();
  EXPECT_EQ(Options(), (Ids{4, 8, 2})) << "the catalogue's order";
  EXPECT_EQ(bar().SelectedGroup(), 4u);
  EXPECT_EQ(account_.group_id, 4u);
  EXPECT_EQ(host_->switches, (Ids{4})) << "the window switched the tree once";
  EXPECT_EQ(TreeTypes(), (Ids{1004}));

  skinui::CControlUI* found = host_->GetPaintManager().FindControl("AllRoom");
  ASSERT_NE(found, nullptr);
  const auto* look = static_cast<skinui::COptionUI*>(found->GetInterface("Option"));
  EXPECT_FALSE(look->IsVisible());
  EXPECT_FALSE(bar().IsGroupOption(look));
  for (const skinui::COptionUI* option : bar().options()) {
    const auto group = static_cast<uint32_t>(option->GetTag());
    SCOPED_TRACE(group);
    EXPECT_EQ(option->GetName(), "group_btn_" + std::to_string(group));
    EXPECT_EQ(option->GetUserData(), UILeftGroup::kOptionMark);
    EXPECT_TRUE(bar().IsGroupOption(option));
    EXPECT_EQ(option->GetGroup(), "gametype");
    EXPECT_EQ(option->GetSelectedImage(), look->GetSelectedImage());
    EXPECT_EQ(option->GetSelectedHotImage(), look->GetSelectedHotImage());
    EXPECT_EQ(option->GetHotImage(), look->GetHotImage());
    EXPECT_EQ(option->GetPushedImage(), look->GetPushedImage());
    EXPECT_EQ(option->GetFixedWidth(), look->GetFixedWidth());
    EXPECT_EQ(option->GetFixedHeight(), look->GetFixedHeight());
    EXPECT_EQ(option->GetTextPadding(), look->GetTextPadding());
    EXPECT_EQ(option->GetSelectedTextColor(), look->GetSelectedTextColor());
    EXPECT_EQ(option->GetTextColor(), look->GetTextColor());
    EXPECT_EQ(option->GetFont(), UILeftGroup::kOptionFont);
    EXPECT_TRUE(option->IsVisible());
    EXPECT_EQ(bar().FindOption(group), option);
  }
  EXPECT_EQ(bar().FindOption(8)->GetText(), "掼蛋");
  EXPECT_FALSE(bar().IsGroupOption(host_->GetPaintManager().FindControl("PlanList")));
}

TEST_F(GroupBarTest, RebuildsKeepOneOptionPerGroupAndTheChosenGroupWithoutASecondSwitch) {
  Groups({{4, "斗地主"}, {8, "掼蛋"}, {2, "升级"}});
  Open();
  bar().Rebuild();
  // The user chooses the second group.
  ASSERT_TRUE(driver_.ClickControl(*host_, bar().FindOption(8)));
  EXPECT_EQ(host_->switches, (Ids{4, 8}));
  EXPECT_EQ(TreeTypes(), (Ids{1008}));
  for (int round = 0; round < 3; ++round) {
    Groups({{4, "斗地主"}, {8, "掼蛋"}, {2, "升级"}});
    bar().Rebuild();
    EXPECT_EQ(Options(), (Ids{4, 8, 2}));
    EXPECT_EQ(host_->GetPaintManager().FindControl("group_btn_8"), bar().FindOption(8))
        << "the old options left the window";
    EXPECT_EQ(bar().SelectedGroup(), 8u);
    EXPECT_TRUE(bar().FindOption(8)->IsSelected());
    EXPECT_FALSE(bar().FindOption(4)->IsSelected());
  }
  EXPECT_EQ(host_->switches, (Ids{4, 8})) << "no switch of the tree by the rebuilds";
  EXPECT_EQ(TreeTypes(), (Ids{1008}));

  // The chosen group is gone: the first group is chosen as at the start, and the tree follows.
  Groups({{2, "升级"}, {4, "斗地主"}});
  bar().Rebuild();
  EXPECT_EQ(Options(), (Ids{2, 4}));
  EXPECT_EQ(bar().SelectedGroup(), 2u);
  EXPECT_EQ(account_.group_id, 2u);
  EXPECT_EQ(host_->switches, (Ids{4, 8, 2}));
  EXPECT_EQ(TreeTypes(), (Ids{1002}));
}

TEST_F(GroupBarTest, NoGroupsNoCatalogueNoOptionsAndNothingChosen) {
  Open();
  bar().Rebuild();  // the catalogue holds no groups yet
  EXPECT_TRUE(bar().options().empty());
  EXPECT_EQ(bar().SelectedGroup(), 0u);
  gate_.SetCatalogue(nullptr);
  bar().Rebuild();
  EXPECT_TRUE(bar().options().empty());
  EXPECT_TRUE(host_->switches.empty());
  EXPECT_EQ(account_.group_id, 0u);
}

TEST_F(GroupBarTest, AChangeOfOptionIsTracedAndStillReachesTheWindow) {
  std::vector<std::string> traces;
  g_traces = &traces;
  const DebugTraceOutput previous = SetDebugTraceOutput(&KeepTrace);
  Groups({{4, "斗地主"}, {8, "掼蛋"}});
  Open();
  bar().Rebuild();
  ASSERT_TRUE(driver_.ClickControl(*host_, bar().FindOption(8)));
  SetDebugTraceOutput(previous);
  g_traces = nullptr;
  EXPECT_EQ(std::count(traces.begin(), traces.end(),
                       "UILeftGroup::OnNotify_4_Option:event = selectchanged\n"),
            2);
  EXPECT_EQ(host_->switches, (Ids{4, 8}));
  EXPECT_NE(std::find(host_->log.begin(), host_->log.end(), "selectchanged:group_btn_8"),
            host_->log.end());
}

TEST_F(GroupBarTest, OptionsExcludeEachOtherEvenWhenTheTemplateNamesNoGroup) {
  Groups({{4, "斗地主"}, {8, "掼蛋"}});
  host_ = std::make_unique<testing::PlanViewsHost>(
      Links(),
      "<Window size=\"300,300\"><HorizontalLayout><GroupList name=\"GroupList\" width=\"100\">"
      "<Option name=\"AllRoom\" height=\"40\" visible=\"false\"/></GroupList>"
      "<PlanList name=\"PlanList\"/><HotMatchList name=\"HotMatchList\" width=\"10\"/>"
      "</HorizontalLayout></Window>");
  host_->Open();
  bar().Rebuild();
  ASSERT_TRUE(driver_.ClickControl(*host_, bar().FindOption(8)));
  EXPECT_TRUE(bar().FindOption(8)->IsSelected());
  EXPECT_FALSE(bar().FindOption(4)->IsSelected());
  EXPECT_EQ(bar().SelectedGroup(), 8u);
  EXPECT_EQ(host_->switches, (Ids{4, 8}));
}

}  // namespace
}  // namespace hall
