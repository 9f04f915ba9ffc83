#include <gtest/gtest.h>

#include "skinui/button.h"
#include "skinui/edit.h"
#include "skinui/label.h"
#include "skinui/list.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"
#include "skinui/test_window.h"

namespace skinui {
namespace {

using Log = std::vector<std::string>;

class MappedWindow : public SkinTestWindow {
 public:
  using SkinTestWindow::SkinTestWindow;
  const NotifyMapEntry* GetMessageMap() const override {
    static const NotifyMapEntry map[] = {
        {"click", "mapped", NotifyFn(&MappedWindow::OnMapped)},
        {"selectchanged", "", NotifyFn(&MappedWindow::OnAnySelect)},
        {"windowinit", nullptr, NotifyFn(&MappedWindow::OnInit)},
        {nullptr, nullptr, nullptr},
    };
    return map;
  }
  void OnMapped(TNotifyUI& m) { mapped.push_back("mapped:" + m.pSender->GetName()); }
  void OnAnySelect(TNotifyUI& m) { mapped.push_back("select:" + m.pSender->GetName()); }
  void OnInit(TNotifyUI&) { mapped.push_back("init"); }
  Log mapped;
};

constexpr char kButtons[] =
    "<VerticalLayout>"
    "<Button name=\"mapped\" height=\"30\"/><Button name=\"plain\" height=\"30\"/>"
    "<Option name=\"o1\" group=\"g\" height=\"30\"/><Option name=\"o2\" group=\"g\" height=\"30\"/>"
    "<Option name=\"lone\" height=\"30\"/>"
    "</VerticalLayout>";

TEST(SkinuiNotify, MapEntriesTakeTheirNotificationsAndOtherClicksReachOnClick) {
  MappedWindow w(kButtons);
  w.Open();
  TestDriver d;
  d.RunUntilIdle();
  EXPECT_EQ(w.mapped, Log{"init"});  // windowinit once, at the first layout
  ASSERT_TRUE(d.Click(w, "mapped"));
  ASSERT_TRUE(d.Click(w, "plain"));
  EXPECT_EQ(w.mapped, (Log{"init", "mapped:mapped"}));
  EXPECT_EQ(w.clicks, Log{"plain"});
  ASSERT_TRUE(d.Click(w, "o2"));
  EXPECT_EQ(w.mapped.back(), "select:o2");
  // An option click is also a click (the map has no entry for it).
  EXPECT_EQ(w.clicks.back(), "o2");
  d.RunUntilIdle();
  EXPECT_EQ(std::count(w.mapped.begin(), w.mapped.end(), "init"), 1);
}

TEST(SkinuiNotify, ControlHandlersRunFirstInOrderAndCanTakeTheNotification) {
  SkinTestWindow w(kButtons);
  w.Open();
  TestDriver d;
  Log order;
  CControlUI* b = w.GetPaintManager().FindControl("plain");
  b->OnNotify += MakeDelegate(std::function<bool(void*)>([&](void* p) {
    order.push_back("first:" + static_cast<TNotifyUI*>(p)->sType);
    return true;
  }));
  bool take = false;
  b->OnNotify += MakeDelegate(std::function<bool(void*)>([&](void*) {
    order.push_back("second");
    return !take;
  }));
  ASSERT_TRUE(d.Click(w, "plain"));
  EXPECT_EQ(order, (Log{"first:click", "second"}));
  EXPECT_EQ(w.clicks, Log{"plain"});
  take = true;
  ASSERT_TRUE(d.Click(w, "plain"));
  EXPECT_EQ(w.clicks, Log{"plain"});  // taken by the control's handler
}

struct Target {
  int hits = 0;
  bool OnHit(void*) {
    ++hits;
    return true;
  }
};

TEST(SkinuiNotify, MemberDelegatesCanBeRemoved) {
  CEventSource source;
  Target t;
  source += MakeDelegate(&t, &Target::OnHit);
  source += MakeDelegate(&t, &Target::OnHit);
  source(nullptr);
  EXPECT_EQ(t.hits, 2);
  source -= MakeDelegate(&t, &Target::OnHit);
  source(nullptr);
  EXPECT_EQ(t.hits, 3);
}

TEST(SkinuiControls, OptionGroupsExcludeEachOtherAndLoneOptionsToggle) {
  SkinTestWindow w(kButtons);
  w.Open();
  TestDriver d;
  auto* o1 = static_cast<COptionUI*>(TestDriver::Find(w, "o1"));
  auto* o2 = static_cast<COptionUI*>(TestDriver::Find(w, "o2"));
  auto* lone = static_cast<COptionUI*>(TestDriver::Find(w, "lone"));
  d.Click(w, "o1");
  EXPECT_TRUE(o1->IsSelected());
  d.Click(w, "o2");
  EXPECT_FALSE(o1->IsSelected());
  EXPECT_TRUE(o2->IsSelected());
  d.Click(w, "o2");  // clicking the selected one of a group keeps it
  EXPECT_TRUE(o2->IsSelected());
  d.Click(w, "lone");
  d.Click(w, "lone");
  EXPECT_FALSE(lone->IsSelected());
  // One selectchanged per change of the group's choice, from the option chosen.
  const Log want{"selectchanged:o1", "selectchanged:o2"};
  Log got;
  for (const auto& e : w.log) {
    if (e.rfind("selectchanged:o", 0) == 0)
      got.push_back(e);
  }
  EXPECT_EQ(got, want);
}

TEST(SkinuiControls, ButtonIsHotUnderTheMouseAndAClickNeedsPressAndReleaseOnIt) {
  SkinTestWindow w(kButtons);
  w.Open();
  TestDriver d;
  d.RunUntilIdle();
  auto* b = static_cast<CButtonUI*>(TestDriver::Find(w, "plain"));
  const RECT r = b->GetPos();
  const LPARAM on = MAKELPARAM(10, static_cast<WORD>(r.top + 5));
  const LPARAM off = MAKELPARAM(10, static_cast<WORD>(r.bottom + 5));
  PostMessage(w.GetHWND(), WM_MOUSEMOVE, 0, on);
  d.RunUntilIdle();
  EXPECT_TRUE(b->GetButtonState() & UISTATE_HOT);
  PostMessage(w.GetHWND(), WM_LBUTTONDOWN, 0, on);
  d.RunUntilIdle();
  EXPECT_TRUE(b->GetButtonState() & UISTATE_PUSHED);
  PostMessage(w.GetHWND(), WM_MOUSEMOVE, 0, off);
  PostMessage(w.GetHWND(), WM_LBUTTONUP, 0, off);
  d.RunUntilIdle();
  EXPECT_FALSE(b->GetButtonState() & UISTATE_HOT);
  EXPECT_TRUE(w.clicks.empty());  // released elsewhere: no click
  b->SetEnabled(false);
  EXPECT_FALSE(d.Click(w, "plain") && !w.clicks.empty());
}

TEST(SkinuiControls, EditTakesTypingWithItsLimitsAndPasswordEditDrawsStars) {
  SkinTestWindow w(
      "<VerticalLayout><Edit name=\"e\" height=\"30\" maxchar=\"5\"/>"
      "<Edit name=\"p\" height=\"30\" password=\"true\"/>"
      "<RichEdit name=\"info\" readonly=\"true\" height=\"60\" text=\"hall\"/></VerticalLayout>");
  w.Open();
  TestDriver d;
  ASSERT_TRUE(d.Type(w, "e", "ab中文xyz"));
  CControlUI* e = TestDriver::Find(w, "e");
  EXPECT_EQ(e->GetText(), "ab中文x");  // five characters, not five bytes
  EXPECT_TRUE(e->IsFocused());
  d.PressKey(w, VK_BACK);
  d.PressKey(w, VK_BACK);
  EXPECT_EQ(e->GetText(), "ab中");
  ASSERT_TRUE(d.Type(w, "p", "密码12"));
  EXPECT_FALSE(e->IsFocused());
  EXPECT_EQ(TestDriver::Find(w, "p")->GetText(), "密码12");
  ASSERT_TRUE(d.Type(w, "info", "typed"));
  EXPECT_EQ(TestDriver::Find(w, "info")->GetText(), "hall");
  w.GetPaintManager().Paint();
  auto* native = HeadlessWindowOf(w.GetHWND());
  ASSERT_NE(native, nullptr);
  Log texts;
  for (const DrawOp& op : native->ops()) {
    if (op.kind == DrawOp::kText)
      texts.push_back(op.text);
  }
  EXPECT_EQ(texts, (Log{"ab中", "****", "hall"}));
}

TEST(SkinuiControls, ListRowsSelectOnPressAndReportClicksToTheListToo) {
  SkinTestWindow w("<VerticalLayout><List name=\"plan_list\"/></VerticalLayout>");
  w.Open();
  auto* list = static_cast<CListUI*>(TestDriver::Find(w, "plan_list"));
  for (int i = 0; i < 3; ++i) {
    auto* row = new CListContainerElementUI;
    row->SetFixedHeight(30);
    row->SetName(("row" + std::to_string(i)).c_str());
    auto* label = new CLabelUI;
    label->SetText("label");
    row->Add(label);
    list->Add(row);
  }
  Log seen_by_list;
  list->OnNotify += MakeDelegate(std::function<bool(void*)>([&](void* p) {
    auto* m = static_cast<TNotifyUI*>(p);
    seen_by_list.push_back(m->sType + ":" + m->pSender->GetName());
    return true;
  }));
  TestDriver d;
  ASSERT_TRUE(d.Click(w, "row1"));  // lands on the label inside the row
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(seen_by_list, (Log{"itemselect:plan_list", "itemclick:row1"}));
  EXPECT_EQ(w.log.back(), "itemclick:row1");
  // Removing a row before the selection keeps the same row selected.
  list->RemoveAt(0);
  EXPECT_EQ(list->GetCurSel(), 0);
  EXPECT_EQ(list->GetItemAt(0)->GetName(), "row1");
  list->RemoveAt(0);
  EXPECT_EQ(list->GetCurSel(), -1);
}

TEST(SkinuiControls, DropListOpensShowsItsRowsAndSelectsOne) {
  SkinTestWindow w(
      "<VerticalLayout><Combo name=\"Account\" height=\"30\"/><Control/>"
      "<Button name=\"below\" height=\"30\"/></VerticalLayout>");
  w.Open(300, 300);
  auto* combo = static_cast<CComboUI*>(TestDriver::Find(w, "Account"));
  for (const char* name : {"alice01", "bob0002"}) {
    auto* row = new CListContainerElementUI;
    row->SetFixedHeight(30);
    row->SetText(name);
    row->SetName(name);
    combo->Add(row);
  }
  TestDriver d;
  ASSERT_TRUE(d.Click(w, "Account"));
  ASSERT_TRUE(combo->IsDropped());
  ASSERT_TRUE(d.Click(w, "bob0002"));
  EXPECT_FALSE(combo->IsDropped());
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_EQ(combo->GetText(), "bob0002");
  EXPECT_NE(std::find(w.log.begin(), w.log.end(), "itemselect:Account"), w.log.end());
  // A click outside an open drop list closes it and still reaches what was clicked.
  d.Click(w, "Account");
  ASSERT_TRUE(combo->IsDropped());
  d.Click(w, "below");
  EXPECT_FALSE(combo->IsDropped());
  EXPECT_EQ(w.clicks, Log{"below"});
}

TEST(SkinuiControls, ProgressKeepsItsValueInRangeAndFillsInProportion) {
  CProgressUI p;
  p.SetPos(RECT{0, 0, 200, 10});
  p.SetMaxValue(8);
  p.SetValue(2);
  EXPECT_EQ(p.GetFillRect().right, 50);
  p.SetValue(20);
  EXPECT_EQ(p.GetValue(), 8);
  p.SetMaxValue(0);  // empty range: nothing filled, no division by zero
  EXPECT_EQ(p.GetFillRect().right, 0);
}

TEST(SkinuiControls, RemovingTheFocusedOrHotControlLeavesNoDanglingPointer) {
  SkinTestWindow w(
      "<VerticalLayout name=\"root\"><Edit name=\"e\" height=\"30\"/></VerticalLayout>");
  w.Open();
  TestDriver d;
  ASSERT_TRUE(d.Type(w, "e", "x"));
  auto* root = static_cast<CContainerUI*>(TestDriver::Find(w, "root"));
  root->RemoveAt(0);
  EXPECT_EQ(w.GetPaintManager().GetFocus(), nullptr);
  EXPECT_EQ(w.GetPaintManager().GetHot(), nullptr);
  EXPECT_EQ(TestDriver::Find(w, "e"), nullptr);
  PostMessage(w.GetHWND(), WM_CHAR, 'y', 0);  // ASan would catch a stale focus
  PostMessage(w.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  d.RunUntilIdle();
}

TEST(SkinuiControls, AWindowUnderAModalChildTakesNoInput) {
  SkinTestWindow owner(kButtons);
  owner.Open();
  TestDriver d;
  TestDriver::AnswerNextModal([&](WindowImplBase& dialog) {
    d.Click(owner, "plain");  // the owner is disabled while the dialog runs
    dialog.Close(5);
  });
  SkinTestWindow dialog("<VerticalLayout/>");
  dialog.Create(owner.GetHWND(), "dialog", 0, 0, 0, 0, 100, 100);
  EXPECT_EQ(dialog.ShowModal(), 5u);
  EXPECT_TRUE(owner.clicks.empty());
  d.Click(owner, "plain");
  EXPECT_EQ(owner.clicks, Log{"plain"});
}

TEST(SkinuiMessageBox, ScriptedProviderRecordsAndAnswers) {
  ScriptedMessageBoxes script;
  SetMessageBoxProvider(&script);
  script.AnswerNext(IDYES);
  EXPECT_EQ(MessageBox(nullptr, "是否跳过更新?", "信息", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(MessageBox(nullptr, "again", "信息", MB_YESNO), IDNO);  // script used up
  EXPECT_EQ(MessageBox(nullptr, "note", "c", MB_ICONWARNING), IDOK);
  ASSERT_EQ(script.shown().size(), 3u);
  EXPECT_EQ(script.shown()[0].caption, "信息");
  EXPECT_EQ(script.shown()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  SetMessageBoxProvider(nullptr);
}

TEST(SkinuiMessageBox, DefaultBoxIsASkinWindowAnsweredThroughItsButtons) {
  TestDriver::AnswerNextModal([](WindowImplBase& box) {
    TestDriver d;
    EXPECT_EQ(TestDriver::Find(box, "mb_text")->GetText(), "a <b> & \"c\"");
    d.Click(box, "mb_no");
  });
  EXPECT_EQ(MessageBox(nullptr, "a <b> & \"c\"", "问题", MB_YESNO), IDNO);
  TestDriver::AnswerNextModal([](WindowImplBase& box) {
    PostMessage(box.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the window manager's close
  });
  EXPECT_EQ(MessageBox(nullptr, "x", "y", MB_YESNO), IDNO);
  TestDriver::AnswerNextModal([](WindowImplBase& box) {
    TestDriver d;
    d.Click(box, "mb_ok");
  });
  EXPECT_EQ(MessageBox(nullptr, "x", "y", MB_OK | MB_ICONERROR), IDOK);
}

}  // namespace
}  // namespace skinui

namespace skinui {
namespace {

TEST(SkinuiNotify, ASenderDestroyedByItsOwnHandlerIsNotHandedOn) {
  // A sign-up button's handler runs a dialog during which the list is rebuilt: the button is gone
  // when the handler returns.
  SkinTestWindow w("<VerticalLayout><List name=\"hot\"/></VerticalLayout>");
  w.Open();
  auto* list = static_cast<CListUI*>(TestDriver::Find(w, "hot"));
  auto* row = new CListContainerElementUI;
  row->SetFixedHeight(30);
  auto* join = new CButtonUI;
  join->SetName("button_join");
  row->Add(join);
  list->Add(row);
  join->OnNotify += MakeDelegate(std::function<bool(void*)>([&](void* p) {
    if (static_cast<TNotifyUI*>(p)->sType == kNotifyClick)
      list->RemoveAll();
    return true;
  }));
  TestDriver d;
  ASSERT_TRUE(d.Click(w, "button_join"));
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_TRUE(w.clicks.empty());  // the window never saw the dead sender
  EXPECT_EQ(std::count(w.log.begin(), w.log.end(), "click:button_join"), 0);
}

TEST(SkinuiControls, FindControlGivesTheFirstOfANameStillInTheWindow) {
  SkinTestWindow w("<VerticalLayout><List name=\"list\"/></VerticalLayout>");
  w.Open(200, 100);
  CPaintManagerUI& pm = w.GetPaintManager();
  auto* list = static_cast<CListUI*>(pm.FindControl("list"));
  std::vector<CControlUI*> rows;
  for (int i = 0; i < 3; ++i) {
    auto* row = new CListContainerElementUI;
    row->SetName("row");
    list->AddAt(row, 0);  // each above the ones before: the window's order is not the list's
    rows.push_back(row);
  }
  EXPECT_EQ(pm.FindControl("row"), rows[0]);
  list->Remove(rows[0]);
  EXPECT_EQ(pm.FindControl("row"), rows[1]);
  rows[1]->SetName("other");
  EXPECT_EQ(pm.FindControl("row"), rows[2]);
  EXPECT_EQ(pm.FindControl("other"), rows[1]);
  // Taken out and put back: one entry, now after the others.
  list->Remove(rows[2], true);
  EXPECT_EQ(pm.FindControl("row"), nullptr);
  list->Add(rows[2]);
  rows[2]->SetManager(&pm, list);  // attached again to the same window: still one entry
  EXPECT_EQ(pm.FindControl("row"), rows[2]);
  list->Remove(rows[2]);
  EXPECT_EQ(pm.FindControl("row"), nullptr);
  list->Remove(rows[1]);
  EXPECT_EQ(pm.FindControl("other"), nullptr);
}

}  // namespace
}  // namespace skinui
