// The edit's caret and selection, and Tab between edits, driven through the window's real key and
// mouse messages.
#include "skinui/edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skinui/headless_backend.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"
#include "skinui/test_window.h"
#include "skinui/utf8.h"

namespace skinui {
namespace {

// One thing the user does: type text, or press a key with modifiers held.
struct Step {
  std::string typed;
  WPARAM key = 0;
  WORD modifiers = 0;
};
Step Typed(std::string text) {
  return Step{std::move(text)};
}
Step Key(WPARAM key, WORD modifiers = 0) {
  return Step{"", key, modifiers};
}
Step Shift(WPARAM key) {
  return Key(key, MK_SHIFT);
}

struct KeyCase {
  const char* name;
  std::string text;  // set before the steps; the caret starts at its end
  std::string attributes;
  std::vector<Step> steps;
  std::string expected;
  int sel_start;
  int sel_end;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
  *os << c.name;
}

class EditKeysTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(EditKeysTest, EditsAtTheCaret) {
  const KeyCase& c = GetParam();
  SkinTestWindow w("<VerticalLayout><Edit name=\"e\" height=\"30\" " + c.attributes +
                   "/></VerticalLayout>");
  w.Open();
  TestDriver d;
  auto* edit = static_cast<CEditUI*>(TestDriver::Find(w, "e"));
  ASSERT_NE(edit, nullptr);
  edit->SetText(c.text.c_str());
  w.GetPaintManager().SetFocus(edit);
  for (const Step& s : c.steps) {
    if (!s.typed.empty()) {
      for (char32_t ch : DecodeUtf8(s.typed))
        PostMessage(w.GetHWND(), WM_CHAR, ch, 0);
      d.RunUntilIdle();
    } else {
      d.PressKey(w, s.key, s.modifiers);
    }
  }
  EXPECT_EQ(std::string(edit->GetText()), c.expected);
  int start = -1, end = -1;
  edit->GetSel(&start, &end);
  EXPECT_EQ(start, c.sel_start);
  EXPECT_EQ(end, c.sel_end);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditKeysTest,
    ::testing::Values(
        KeyCase{"TypingGoesInAtTheCaret", "ac", "", {Key(VK_LEFT), Typed("b")}, "abc", 2, 2},
        KeyCase{"HomeAndEnd",
                "bc",
                "",
                {Key(VK_HOME), Typed("a"), Key(VK_END), Typed("d")},
                "abcd",
                4,
                4},
        KeyCase{
            "BackspaceRemovesBeforeTheCaret", "abc", "", {Key(VK_LEFT), Key(VK_BACK)}, "ac", 1, 1},
        KeyCase{
            "DeleteRemovesAfterTheCaret", "abc", "", {Key(VK_HOME), Key(VK_DELETE)}, "bc", 0, 0},
        KeyCase{
            "NothingBeforeTheStartOrAfterTheEnd",
            "ab",
            "",
            {Key(VK_HOME), Key(VK_BACK), Key(VK_LEFT), Key(VK_END), Key(VK_DELETE), Key(VK_RIGHT)},
            "ab",
            2,
            2},
        // The caret steps over whole characters, never into the bytes of one.
        KeyCase{"ChineseCharactersAreOneStepEach",
                "中文字",
                "",
                {Key(VK_LEFT), Key(VK_LEFT), Key(VK_BACK), Key(VK_RIGHT), Typed("x")},
                "文x字",
                2,
                2},
        KeyCase{"MalformedBytesAreNeverSplit",
                "a\x80\x80"
                "b",
                "",
                {Key(VK_HOME), Key(VK_RIGHT), Key(VK_BACK)},
                "b",
                0,
                0},
        KeyCase{"ShiftExtendsTheSelectionAndTypingReplacesIt",
                "hello",
                "",
                {Key(VK_HOME), Shift(VK_RIGHT), Shift(VK_RIGHT), Typed("J")},
                "Jllo",
                1,
                1},
        KeyCase{"ShiftLeftThenBackspaceRemovesTheSelection",
                "hello",
                "",
                {Shift(VK_LEFT), Shift(VK_LEFT), Key(VK_BACK)},
                "hel",
                3,
                3},
        KeyCase{"ShiftHomeSelectsToTheStart",
                "hello",
                "",
                {Key(VK_LEFT), Shift(VK_HOME)},
                "hello",
                0,
                4},
        KeyCase{"DeleteRemovesTheSelection",
                "abcd",
                "",
                {Key(VK_HOME), Shift(VK_RIGHT), Shift(VK_RIGHT), Key(VK_DELETE)},
                "cd",
                0,
                0},
        KeyCase{"CtrlASelectsAll", "abc", "", {Key('A', MK_CONTROL), Typed("x")}, "x", 1, 1},
        KeyCase{"AWithoutCtrlIsNoShortcut", "abc", "", {Key('A')}, "abc", 3, 3},
        // An arrow without Shift ends a selection at its near side instead of moving past it.
        KeyCase{"LeftCollapsesASelectionToItsStart",
                "abcd",
                "",
                {Key(VK_LEFT), Shift(VK_LEFT), Shift(VK_LEFT), Key(VK_LEFT)},
                "abcd",
                1,
                1},
        KeyCase{"RightCollapsesASelectionToItsEnd",
                "abcd",
                "",
                {Key(VK_HOME), Shift(VK_RIGHT), Shift(VK_RIGHT), Key(VK_RIGHT)},
                "abcd",
                2,
                2},
        KeyCase{"AFullEditTakesNoMore",
                "abc",
                "maxchar=\"3\"",
                {Key(VK_HOME), Typed("x")},
                "abc",
                0,
                0},
        // What the selection holds goes, so it does not count against the limit.
        KeyCase{"AFullEditTakesAReplacementForItsSelection",
                "abc",
                "maxchar=\"3\"",
                {Shift(VK_LEFT), Typed("xy")},
                "abx",
                3,
                3},
        KeyCase{"PasswordEditsMoveByCharacterToo",
                "密码12",
                "password=\"true\"",
                {Key(VK_HOME), Key(VK_DELETE), Key(VK_RIGHT), Typed("9")},
                "码912",
                2,
                2},
        // A read-only edit lets the caret move and select but changes nothing.
        KeyCase{"ReadOnlyMovesButKeepsItsText",
                "abc",
                "readonly=\"true\"",
                {Key(VK_HOME), Key(VK_DELETE), Typed("x"), Shift(VK_END), Key(VK_BACK)},
                "abc",
                0,
                3}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

// The headless backend measures 6 pixels for an ASCII character and 12 for others at the default
// 12-pixel font; the edit's text starts 4 pixels in from its left side.
constexpr int kPad = 4;
constexpr int kAscii = 6;
constexpr int kWide = 12;
// wParam of a mouse move with the left button down.
constexpr WPARAM kLeftButtonHeld = 0x0001;

class EditMouseAndPaintTest : public ::testing::Test {
 protected:
  void Open(const char* width = "200") {
    window_ = std::make_unique<SkinTestWindow>(
        std::string("<VerticalLayout><Edit name=\"e\" height=\"30\" width=\"") + width +
        "\"/><Edit name=\"other\" height=\"30\"/></VerticalLayout>");
    window_->Open();
    edit_ = static_cast<CEditUI*>(TestDriver::Find(*window_, "e"));
    ASSERT_NE(edit_, nullptr);
    driver_.RunUntilIdle();
  }
  LPARAM At(int text_x) const {
    const RECT r = edit_->GetPos();
    return MAKELPARAM(r.left + kPad + text_x, (r.top + r.bottom) / 2);
  }
  void Mouse(UINT message, int text_x, WPARAM keys = 0) {
    PostMessage(window_->GetHWND(), message, keys, At(text_x));
    driver_.RunUntilIdle();
  }
  std::vector<int> Selection() const {
    int start = -1, end = -1;
    edit_->GetSel(&start, &end);
    return {start, end};
  }
  // The fills of the last paint in `colour`, and the text drawn.
  std::vector<RECT> Fills(DWORD colour) {
    window_->GetPaintManager().Paint();
    std::vector<RECT> out;
    for (const DrawOp& op : HeadlessWindowOf(window_->GetHWND())->ops()) {
      if (op.kind == DrawOp::kFill && op.colour == colour)
        out.push_back(op.rect);
    }
    return out;
  }
  RECT TextRectOf(const std::string& text) {
    window_->GetPaintManager().Paint();
    for (const DrawOp& op : HeadlessWindowOf(window_->GetHWND())->ops()) {
      if (op.kind == DrawOp::kText && op.text == text)
        return op.rect;
    }
    ADD_FAILURE() << "\"" << text << "\" was not drawn";
    return RECT{};
  }

  TestDriver driver_;
  std::unique_ptr<SkinTestWindow> window_;
  CEditUI* edit_ = nullptr;
};

TEST_F(EditMouseAndPaintTest, AClickPlacesTheCaretAtTheNearestBoundary) {
  Open();
  edit_->SetText("ab中d");
  // x of the boundaries: 0, 6, 12, 24, 30. Each click lands a little off one of them.
  const struct {
    int x;
    int caret;
  } clicks[] = {{-3, 0}, {2, 0}, {4, 1}, {13, 2}, {19, 3}, {29, 4}, {90, 4}};
  for (const auto& c : clicks) {
    Mouse(WM_LBUTTONDOWN, c.x);
    Mouse(WM_LBUTTONUP, c.x);
    EXPECT_EQ(Selection(), (std::vector<int>{c.caret, c.caret})) << c.x;
    EXPECT_TRUE(edit_->IsFocused());
  }
  Mouse(WM_LBUTTONDOWN, 2 * kAscii);
  Mouse(WM_LBUTTONUP, 2 * kAscii);
  PostMessage(window_->GetHWND(), WM_CHAR, 'X', 0);
  driver_.RunUntilIdle();
  EXPECT_EQ(std::string(edit_->GetText()), "abX中d");
}

TEST_F(EditMouseAndPaintTest, DragAndShiftClickSelect) {
  Open();
  edit_->SetText("abcdef");
  Mouse(WM_LBUTTONDOWN, 1 * kAscii);
  Mouse(WM_MOUSEMOVE, 4 * kAscii, kLeftButtonHeld);
  Mouse(WM_LBUTTONUP, 4 * kAscii);
  EXPECT_EQ(Selection(), (std::vector<int>{1, 4}));
  Mouse(WM_MOUSEMOVE, 6 * kAscii);  // released: moving no longer selects
  EXPECT_EQ(Selection(), (std::vector<int>{1, 4}));
  Mouse(WM_LBUTTONDOWN, 6 * kAscii, MK_SHIFT);
  Mouse(WM_LBUTTONUP, 6 * kAscii);
  EXPECT_EQ(Selection(), (std::vector<int>{1, 6}));
  // A drag that goes back past where it began selects backwards.
  Mouse(WM_LBUTTONDOWN, 3 * kAscii);
  Mouse(WM_MOUSEMOVE, 0, kLeftButtonHeld);
  Mouse(WM_LBUTTONUP, 0);
  EXPECT_EQ(Selection(), (std::vector<int>{0, 3}));
  driver_.PressKey(*window_, VK_DELETE);
  EXPECT_EQ(std::string(edit_->GetText()), "def");
}

TEST_F(EditMouseAndPaintTest, TheCaretAndSelectionAreDrawnOnlyWhileFocused) {
  Open();
  edit_->SetText("ab中");
  const RECT box = edit_->GetTextRect();
  const DWORD ink = edit_->GetTextColor();
  EXPECT_TRUE(Fills(ink).empty());  // not focused: no caret
  window_->GetPaintManager().SetFocus(edit_);
  std::vector<RECT> caret = Fills(ink);
  ASSERT_EQ(caret.size(), 1u);
  EXPECT_EQ(caret[0].left, box.left + 2 * kAscii + kWide);
  EXPECT_EQ(caret[0].right - caret[0].left, 1);
  EXPECT_GT(caret[0].bottom, caret[0].top);
  EXPECT_GE(caret[0].top, box.top);
  EXPECT_LE(caret[0].bottom, box.bottom);

  driver_.PressKey(*window_, VK_LEFT);
  driver_.PressKey(*window_, VK_LEFT, MK_SHIFT);
  caret = Fills(ink);
  ASSERT_EQ(caret.size(), 1u);
  EXPECT_EQ(caret[0].left, box.left + kAscii);
  const std::vector<RECT> marked = Fills(0xFFB5D5FF);
  ASSERT_EQ(marked.size(), 1u);
  EXPECT_EQ(marked[0].left, box.left + kAscii);
  EXPECT_EQ(marked[0].right, box.left + 2 * kAscii);

  window_->GetPaintManager().SetFocus(TestDriver::Find(*window_, "other"));
  EXPECT_TRUE(Fills(0xFFB5D5FF).empty());
  const std::vector<RECT> other_caret = Fills(ink);
  ASSERT_EQ(other_caret.size(), 1u);  // the empty edit that has the focus now
  EXPECT_NE(other_caret[0].top, caret[0].top);
}

TEST_F(EditMouseAndPaintTest, ALongTextScrollsToKeepTheCaretInView) {
  Open("40");                    // a text box of 32 pixels: five and a bit ASCII characters
  edit_->SetText("abcdefghij");  // 60 pixels
  window_->GetPaintManager().SetFocus(edit_);
  const RECT box = edit_->GetTextRect();
  const DWORD ink = edit_->GetTextColor();
  ASSERT_EQ(box.right - box.left, 32);

  // At the end the text's last pixel column is the caret's, inside the box.
  std::vector<RECT> caret = Fills(ink);
  ASSERT_EQ(caret.size(), 1u);
  EXPECT_EQ(caret[0].left, box.right - 1);
  EXPECT_EQ(TextRectOf("abcdefghij").left, box.right - 1 - 10 * kAscii);

  // Home shows the start again; moving right inside the view does not scroll.
  driver_.PressKey(*window_, VK_HOME);
  EXPECT_EQ(TextRectOf("abcdefghij").left, box.left);
  driver_.PressKey(*window_, VK_RIGHT);
  driver_.PressKey(*window_, VK_RIGHT);
  caret = Fills(ink);
  ASSERT_EQ(caret.size(), 1u);
  EXPECT_EQ(caret[0].left, box.left + 2 * kAscii);
  EXPECT_EQ(TextRectOf("abcdefghij").left, box.left);

  // Deleting at the end pulls the text back so no empty room is left at the right.
  driver_.PressKey(*window_, VK_END);
  for (int i = 0; i < 4; ++i)
    driver_.PressKey(*window_, VK_BACK);
  EXPECT_EQ(std::string(edit_->GetText()), "abcdef");
  EXPECT_EQ(TextRectOf("abcdef").left, box.right - 1 - 6 * kAscii);
  driver_.PressKey(*window_, VK_BACK);
  EXPECT_EQ(TextRectOf("abcde").left, box.left);  // fits again: drawn in the box as a label
}

// Tab walks the controls that take the focus in skin order, skipping hidden and disabled ones
// (and everything inside a hidden container), and wraps; Shift+Tab walks back.
TEST(EditFocusTest, TabAndShiftTabWalkTheFocusableControls) {
  SkinTestWindow w(
      "<VerticalLayout>"
      "<Label name=\"caption\" height=\"20\"/>"
      "<Edit name=\"account\" height=\"30\"/>"
      "<Edit name=\"hidden\" height=\"30\" visible=\"false\"/>"
      "<Edit name=\"disabled\" height=\"30\" enabled=\"false\"/>"
      "<VerticalLayout height=\"30\" visible=\"false\"><Edit name=\"inside\"/></VerticalLayout>"
      "<HorizontalLayout height=\"30\"><Edit name=\"password\" "
      "password=\"true\"/></HorizontalLayout>"
      "<Button name=\"login\" height=\"30\"/>"
      "</VerticalLayout>");
  w.Open();
  TestDriver d;
  d.RunUntilIdle();
  auto focused = [&]() -> std::string {
    CControlUI* f = w.GetPaintManager().GetFocus();
    return f != nullptr ? std::string(f->GetName()) : "";
  };
  ASSERT_EQ(focused(), "");
  std::vector<std::string> walk;
  for (int i = 0; i < 4; ++i) {
    d.PressKey(w, VK_TAB);
    walk.push_back(focused());
  }
  EXPECT_EQ(walk, (std::vector<std::string>{"account", "password", "login", "account"}));
  walk.clear();
  for (int i = 0; i < 3; ++i) {
    d.PressKey(w, VK_TAB, MK_SHIFT);
    walk.push_back(focused());
  }
  EXPECT_EQ(walk, (std::vector<std::string>{"login", "password", "account"}));
  // Typing goes where Tab put the focus, and Tab itself types nothing.
  d.PressKey(w, VK_TAB);
  PostMessage(w.GetHWND(), WM_CHAR, 'k', 0);
  d.RunUntilIdle();
  EXPECT_EQ(std::string(TestDriver::Find(w, "password")->GetText()), "k");
  EXPECT_EQ(std::string(TestDriver::Find(w, "account")->GetText()), "");
}

TEST(EditFocusTest, TabWithNothingToFocusIsHarmless) {
  SkinTestWindow w("<VerticalLayout><Label name=\"only\" height=\"20\"/></VerticalLayout>");
  w.Open();
  TestDriver d;
  d.PressKey(w, VK_TAB);
  d.PressKey(w, VK_TAB, MK_SHIFT);
  EXPECT_EQ(w.GetPaintManager().GetFocus(), nullptr);
  EXPECT_FALSE(w.GetPaintManager().SetNextTabControl());
}

}  // namespace
}  // namespace skinui
