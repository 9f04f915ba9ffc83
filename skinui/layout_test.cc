#include <gtest/gtest.h>

#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/label.h"
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

// A scroll that moves only the rows it brings into or out of view must leave every row, and
// every shown row's insides, where a whole layout puts them, and hit-testing must find the same
// control; also after rows change between notches and with a child floating over the rows.
TEST(SkinuiLayout, ScrollingALongListPlacesAndHitsAsAWholeLayoutWould) {
  struct Case {
    const char* what;
    bool with_float;
    bool change_between;  // a row's height and another's visibility change mid-way
  };
  const Case cases[] = {
      {"rows only", false, false},
      {"rows changing between notches", false, true},
      {"a floating child over the rows", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SkinTestWindow w("<VerticalLayout><List name=\"list\" inset=\"0,5,0,5\"/></VerticalLayout>");
    w.Open(200, 150);
    CPaintManagerUI& pm = w.GetPaintManager();
    auto* list = static_cast<CListUI*>(pm.FindControl("list"));
    std::vector<CControlUI*> rows, buttons;
    for (int i = 0; i < 60; ++i) {
      auto* row = new CListContainerElementUI;
      row->SetFixedHeight(20 + (i % 3) * 7);
      auto* button = new CButtonUI;
      button->SetFixedWidth(40);
      row->Add(new CLabelUI);
      row->Add(button);
      list->Add(row);
      rows.push_back(row);
      buttons.push_back(button);
    }
    rows[7]->SetVisible(false);
    if (c.with_float) {
      auto* over = new CButtonUI;
      over->SetAttribute("float", "true");
      over->SetAttribute("pos", "150,20,190,60");
      list->Add(over);
    }
    TestDriver d;
    d.RunUntilIdle();
    const RECT view = list->GetPos();
    const std::vector<POINT> probes = {{10, 6}, {10, 30}, {180, 40}, {170, 100}, {100, 144}};
    auto snapshot = [&] {
      std::vector<RECT> places;
      for (size_t i = 0; i < rows.size(); ++i) {
        places.push_back(rows[i]->GetPos());
        if (!RectEmpty(IntersectRects(rows[i]->GetPos(), view)))
          places.push_back(buttons[i]->GetPos());
      }
      std::vector<CControlUI*> hits;
      for (POINT p : probes)
        hits.push_back(pm.FindControl(p));
      return std::make_pair(places, hits);
    };
    // What the window should find at `p`: the list's children asked one by one, the topmost first.
    auto hit_by_walk = [&](POINT p) -> CControlUI* {
      for (int i = list->GetCount(); i-- > 0;) {
        if (CControlUI* hit = list->GetItemAt(i)->HitTest(p))
          return hit;
      }
      return list;
    };
    const LPARAM at = MAKELPARAM(100, 75);
    for (int notch = 0; notch < 70; ++notch) {
      const bool down = notch < 45;
      PostMessage(w.GetHWND(), WM_MOUSEWHEEL, MAKELPARAM(0, static_cast<WORD>(down ? -120 : 120)),
                  at);
      d.RunUntilIdle();
      if (c.change_between && notch == 20) {
        rows[30]->SetFixedHeight(55);
        rows[7]->SetVisible(true);
        d.RunUntilIdle();
      }
      const auto scrolled = snapshot();
      for (size_t i = 0; i < probes.size(); ++i)
        ASSERT_EQ(scrolled.second[i], hit_by_walk(probes[i])) << "notch " << notch << " probe " << i;
      pm.NeedUpdate();
      d.RunUntilIdle();
      const auto laid_out = snapshot();
      ASSERT_EQ(scrolled.first, laid_out.first) << "notch " << notch;
      ASSERT_EQ(scrolled.second, laid_out.second) << "notch " << notch;
    }
    EXPECT_GT(list->GetScrollPos(), 0);
  }
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
