#include <gtest/gtest.h>

#include "skinui/container.h"
#include "skinui/list.h"
#include "skinui/test_driver.h"
#include "skinui/test_window.h"

namespace skinui {
namespace {

RECT PosOf(SkinTestWindow& w, const char* name) {
  CControlUI* c = w.GetPaintManager().FindControl(name);
  EXPECT_NE(c, nullptr) << name;
  return c != nullptr ? c->GetPos() : RECT{};
}

TEST(SkinuiLayout, VerticalAndHorizontalShareWhatFixedSizesLeave) {
  SkinTestWindow w(
      "<Window size=\"300,200\"><VerticalLayout name=\"root\" inset=\"10,10,10,10\" "
      "childpadding=\"5\">"
      "<Control name=\"top\" height=\"30\"/>"
      "<HorizontalLayout name=\"row\">"
      "  <Control name=\"a\" width=\"50\" padding=\"2,0,3,0\"/>"
      "  <Control name=\"b\"/><Control name=\"c\"/>"
      "</HorizontalLayout>"
      "<Control name=\"bottom\" height=\"20\" padding=\"0,4,0,0\"/>"
      "</VerticalLayout></Window>");
  w.Create(nullptr, "t", 0, 0);  // size from the skin
  w.ShowWindow();
  TestDriver d;
  d.RunUntilIdle();
  EXPECT_EQ(w.GetClientSize().cx, 300);
  EXPECT_EQ(PosOf(w, "root"), (RECT{0, 0, 300, 200}));
  EXPECT_EQ(PosOf(w, "top"), (RECT{10, 10, 290, 40}));
  // 180 inner height - 30 - 20 - 4 padding - 2 x 5 child padding = 116 for the stretch row.
  EXPECT_EQ(PosOf(w, "row"), (RECT{10, 45, 290, 161}));
  EXPECT_EQ(PosOf(w, "bottom"), (RECT{10, 170, 290, 190}));
  // 280 width - 50 - 5 padding = 225: 112 and 113 (the last takes the remainder).
  EXPECT_EQ(PosOf(w, "a"), (RECT{12, 45, 62, 161}));
  EXPECT_EQ(PosOf(w, "b"), (RECT{65, 45, 177, 161}));
  EXPECT_EQ(PosOf(w, "c"), (RECT{177, 45, 290, 161}));
}

TEST(SkinuiLayout, HiddenChildrenTakeNoSpaceAndFloatsSitAtTheirOffset) {
  SkinTestWindow w(
      "<VerticalLayout>"
      "<Control name=\"gone\" height=\"50\" visible=\"false\"/>"
      "<Control name=\"first\" height=\"40\"/>"
      "<Control name=\"over\" float=\"true\" pos=\"100,20,150,60\"/>"
      "</VerticalLayout>");
  w.Open(300, 200);
  TestDriver d;
  d.RunUntilIdle();
  EXPECT_EQ(PosOf(w, "first"), (RECT{0, 0, 300, 40}));
  EXPECT_EQ(PosOf(w, "over"), (RECT{100, 20, 150, 60}));
  // Showing the hidden one pushes the next down at the next layout.
  w.GetPaintManager().FindControl("gone")->SetVisible(true);
  d.RunUntilIdle();
  EXPECT_EQ(PosOf(w, "first"), (RECT{0, 50, 300, 90}));
}

TEST(SkinuiLayout, MinimumAboveMaximumDoesNotBreakTheLayout) {
  SkinTestWindow w(
      "<VerticalLayout><Control name=\"odd\" minheight=\"50\" maxheight=\"10\"/></VerticalLayout>");
  w.Open(100, 100);
  TestDriver d;
  d.RunUntilIdle();
  EXPECT_EQ(PosOf(w, "odd").bottom - PosOf(w, "odd").top, 50);
}

TEST(SkinuiLayout, ListScrollsItsRowsWithTheWheelWithinItsRange) {
  SkinTestWindow w("<VerticalLayout><List name=\"list\"/></VerticalLayout>");
  w.Open(200, 100);
  auto* list = static_cast<CListUI*>(w.GetPaintManager().FindControl("list"));
  for (int i = 0; i < 10; ++i) {
    auto* row = new CListContainerElementUI;
    row->SetFixedHeight(30);
    row->SetName(("row" + std::to_string(i)).c_str());
    list->Add(row);
  }
  TestDriver d;
  d.RunUntilIdle();
  EXPECT_EQ(list->GetScrollRange(), 200);  // 300 of rows in 100
  const LPARAM at = MAKELPARAM(50, 50);
  for (int i = 0; i < 20; ++i)
    PostMessage(w.GetHWND(), WM_MOUSEWHEEL, MAKELPARAM(0, static_cast<WORD>(-120)), at);
  d.RunUntilIdle();
  EXPECT_EQ(list->GetScrollPos(), 200);
  EXPECT_EQ(PosOf(w, "row9"), (RECT{0, 70, 200, 100}));
  // Selecting the first row brings it back into view.
  list->SelectItem(0);
  EXPECT_EQ(list->GetScrollPos(), 0);
  EXPECT_EQ(PosOf(w, "row0").top, 0);
}

TEST(SkinuiLayout, HitTestFindsTheTopmostControlAndSkipsHiddenOnes) {
  SkinTestWindow w(
      "<Container name=\"root\">"
      "<Button name=\"under\"/>"
      "<Button name=\"over\" float=\"true\" pos=\"0,0,50,50\"/>"
      "<Button name=\"hidden\" float=\"true\" pos=\"0,0,20,20\" visible=\"false\"/>"
      "</Container>");
  w.Open(100, 100);
  TestDriver d;
  d.RunUntilIdle();
  CPaintManagerUI& pm = w.GetPaintManager();
  EXPECT_EQ(pm.FindControl(POINT{10, 10}), pm.FindControl("over"));
  EXPECT_EQ(pm.FindControl(POINT{70, 70}), pm.FindControl("under"));
  EXPECT_EQ(pm.FindControl(POINT{150, 10}), nullptr);
}

}  // namespace
}  // namespace skinui
