// What a person expects of the windows beyond their controls, driven through the real message
// path: a borderless window moves when its caption is dragged, edits copy, cut and paste through
// the clipboard, Enter presses the default button, and an input method's text arrives whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skinui/edit.h"
#include "skinui/headless_backend.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"
#include "skinui/test_window.h"
#include "skinui/text_input.h"

namespace skinui {
namespace {

// --- dragging by the caption

// A 400 x 300 window whose top 30 pixels, less 40 at the right, are its caption: a title label
// with a close button in the band, and below it a text and an edit.
std::string CaptionSkin(const std::string& caption) {
  return "<Window size=\"400,300\"" + caption +
         "><VerticalLayout>"
         "<HorizontalLayout height=\"30\">"
         "<Label name=\"title\" text=\"大厅\"/>"
         "<Button name=\"close\" width=\"30\" text=\"x\"/>"
         "</HorizontalLayout>"
         "<Label name=\"body\" height=\"100\" text=\"正文\"/>"
         "<Edit name=\"edit\" height=\"30\"/>"
         "</VerticalLayout></Window>";
}

TEST(CaptionDragTest, APressInTheCaptionOnWhatOnlyShowsMovesTheWindow) {
  struct Case {
    const char* name;
    const char* caption;  // the Window's caption attribute, or nothing
    POINT from;           // client point of the press
    bool moves;
  };
  const Case cases[] = {
      {"the title label", " caption=\"0,0,40,30\"", {100, 15}, true},
      {"the caption's very top-left corner", " caption=\"0,0,40,30\"", {0, 0}, true},
      {"a button in the caption band", " caption=\"0,0,0,30\"", {385, 15}, false},
      {"the band's right inset", " caption=\"0,0,40,30\"", {365, 15}, false},
      {"below the band", " caption=\"0,0,40,30\"", {100, 60}, false},
      {"an edit inside a deep caption", " caption=\"0,0,0,200\"", {100, 145}, false},
      {"a skin without a caption", "", {100, 15}, false},
      {"a caption of no height", " caption=\"0,0,0,0\"", {100, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkinTestWindow w(CaptionSkin(c.caption));
    ASSERT_NE(w.Create(nullptr, "drag", 0, 0, 200, 100), nullptr);
    w.ShowWindow();
    TestDriver d;
    d.Drag(w, c.from, 70, -45);
    const RECT r = w.GetWindowRect();
    const POINT expected = c.moves ? POINT{270, 55} : POINT{200, 100};
    EXPECT_EQ(r.left, expected.x);
    EXPECT_EQ(r.top, expected.y);
    EXPECT_EQ(r.right - r.left, 400) << "the size stays";
    EXPECT_EQ(r.bottom - r.top, 300);
    EXPECT_TRUE(HeadlessWindowOf(w.GetHWND())->bounds() == r) << "the native window follows";
    EXPECT_FALSE(w.GetPaintManager().IsDragging()) << "letting go ends the drag";
    EXPECT_TRUE(w.clicks.empty()) << "a drag clicks nothing";
  }
}

TEST(CaptionDragTest, TheWindowFollowsEveryMoveAndStopsWhenTheButtonIsLetGo) {
  SkinTestWindow w(CaptionSkin(" caption=\"0,0,0,30\""));
  w.Create(nullptr, "drag", 0, 0, 200, 100);
  w.ShowWindow();
  TestDriver d;
  // Back and forth past the screen's edge, many small steps, as a hand does.
  ASSERT_TRUE(d.DragControl(w, "title", -260, -130, 13));
  EXPECT_EQ(w.GetWindowRect().left, -60);
  EXPECT_EQ(w.GetWindowRect().top, -30);
  // After the release the mouse moves the window no more, and a press below the band acts on
  // the controls again.
  PostMessage(w.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(150, 20));
  d.RunUntilIdle();
  EXPECT_EQ(w.GetWindowRect().left, -60);
  ASSERT_TRUE(d.Click(w, "edit"));
  EXPECT_EQ(w.GetPaintManager().GetFocus(), TestDriver::Find(w, "edit"));
  ASSERT_TRUE(d.Click(w, "close"));
  EXPECT_EQ(w.clicks, std::vector<std::string>{"close"}) << "the caption's button still clicks";
}

// --- the clipboard

struct ClipCase {
  const char* name;
  const char* edit;  // the Edit or RichEdit element, without its name
  std::string text;  // in the edit first; the caret at its end
  std::string clipboard;
  std::vector<WPARAM> keys;  // each pressed with Ctrl (Home / End / Left with Shift instead)
  std::string expected_text;
  std::string expected_clipboard;
};

void PrintTo(const ClipCase& c, std::ostream* os) {
  *os << c.name;
}

class ClipboardTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipboardTest, CtrlCXAndVGoThroughTheSystemClipboard) {
  const ClipCase& c = GetParam();
  SkinTestWindow w(std::string("<VerticalLayout><") + c.edit +
                   " name=\"e\" height=\"60\"/></VerticalLayout>");
  w.Open();
  TestDriver d;
  auto* edit = static_cast<CEditUI*>(TestDriver::Find(w, "e"));
  ASSERT_NE(edit, nullptr);
  edit->SetText(c.text.c_str());
  w.GetPaintManager().SetFocus(edit);
  ASSERT_TRUE(CurrentBackend().SetClipboardText(c.clipboard));
  for (WPARAM key : c.keys) {
    const bool moves = key == VK_HOME || key == VK_END || key == VK_LEFT;
    d.PressKey(w, key, moves ? MK_SHIFT : MK_CONTROL);
  }
  EXPECT_EQ(std::string(edit->GetText()), c.expected_text);
  EXPECT_EQ(CurrentBackend().GetClipboardText(), c.expected_clipboard);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipboardTest,
    ::testing::Values(
        ClipCase{"CopyLeavesTheText", "Edit", "hello", "old", {'A', 'C'}, "hello", "hello"},
        ClipCase{"CopyTakesTheSelectionOnly",
                 "Edit",
                 "你好世界",
                 "",
                 {VK_LEFT, VK_LEFT, 'C'},
                 "你好世界",
                 "世界"},
        ClipCase{"CutMovesIt", "Edit", "hello", "", {VK_LEFT, VK_LEFT, 'X'}, "hel", "lo"},
        ClipCase{
            "NothingSelectedCopiesNothing", "Edit", "hello", "keep", {'C', 'X'}, "hello", "keep"},
        ClipCase{"PasteGoesInAtTheCaret", "Edit", "ab", "你好", {'V'}, "ab你好", "你好"},
        ClipCase{
            "PasteReplacesTheSelection", "Edit", "abcd", "X", {VK_LEFT, VK_LEFT, 'V'}, "abX", "X"},
        ClipCase{"OneLineTakesTheFirstLine",
                 "Edit",
                 "",
                 "line one\r\nline two",
                 {'V'},
                 "line one",
                 "line one\r\nline two"},
        ClipCase{"ControlCharactersAreLeftOut",
                 "Edit",
                 "",
                 "a\tb\x01"
                 "c",
                 {'V'},
                 "abc",
                 "a\tb\x01"
                 "c"},
        ClipCase{
            "PasteStopsAtTheLimit", "Edit maxchar=\"5\"", "ab", "cdefgh", {'V'}, "abcde", "cdefgh"},
        ClipCase{"AnEmptyClipboardPastesNothing", "Edit", "ab", "", {'V'}, "ab", ""},
        // A password edit gives nothing away, but takes a pasted password.
        ClipCase{"PasswordsAreNotCopied",
                 "Edit password=\"true\"",
                 "secret",
                 "old",
                 {'A', 'C'},
                 "secret",
                 "old"},
        ClipCase{"PasswordsAreNotCut",
                 "Edit password=\"true\"",
                 "secret",
                 "old",
                 {'A', 'X'},
                 "secret",
                 "old"},
        ClipCase{
            "PasswordsTakeAPaste", "Edit password=\"true\"", "", "pa55", {'V'}, "pa55", "pa55"},
        ClipCase{"ReadOnlyCopiesButNeitherCutsNorPastes",
                 "Edit readonly=\"true\"",
                 "fixed",
                 "in",
                 {'V', 'A', 'X', 'C'},
                 "fixed",
                 "fixed"},
        ClipCase{"SeveralLinesKeepTheirBreaks",
                 "RichEdit",
                 "",
                 "a\r\nb\rc\nd",
                 {'V'},
                 "a\nb\nc\nd",
                 "a\r\nb\rc\nd"}),
    [](const ::testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

TEST(ClipboardTest, WhatOneWindowCopiesAnotherPastes) {
  const std::string skin = "<VerticalLayout><Edit name=\"e\" height=\"30\"/></VerticalLayout>";
  SkinTestWindow from(skin), to(skin);
  from.Open();
  to.Open();
  TestDriver d;
  ASSERT_TRUE(d.Type(from, "e", "账号10086"));
  d.PressKey(from, 'A', MK_CONTROL);
  d.PressKey(from, 'X', MK_CONTROL);
  EXPECT_EQ(std::string(TestDriver::Find(from, "e")->GetText()), "");
  ASSERT_TRUE(d.Type(to, "e", ">"));
  d.PressKey(to, 'V', MK_CONTROL);
  EXPECT_EQ(std::string(TestDriver::Find(to, "e")->GetText()), ">账号10086");
}

// --- Enter and the default button

struct EnterCase {
  const char* name;
  std::string window_attributes;
  std::string extra;  // further controls
  const char* focus;  // the control with the focus; null: none
  std::vector<std::string> clicks;
  std::string rich_text;  // what the rich edit "notes" holds afterwards, when there is one
};

void PrintTo(const EnterCase& c, std::ostream* os) {
  *os << c.name;
}

class DefaultButtonTest : public ::testing::TestWithParam<EnterCase> {};

TEST_P(DefaultButtonTest, EnterPressesTheDefaultButtonUnlessTheFocusTakesIt) {
  const EnterCase& c = GetParam();
  SkinTestWindow w("<Window size=\"300,200\"" + c.window_attributes +
                   "><VerticalLayout>"
                   "<Edit name=\"account\" height=\"30\"/>" +
                   c.extra +
                   "<Button name=\"ok\" height=\"30\" text=\"登录\"/>"
                   "<Button name=\"cancel\" height=\"30\" text=\"取消\"/>"
                   "</VerticalLayout></Window>");
  w.Open();
  TestDriver d;
  if (c.focus != nullptr)
    w.GetPaintManager().SetFocus(TestDriver::Find(w, c.focus));
  d.PressKey(w, VK_RETURN);
  EXPECT_EQ(w.clicks, c.clicks);
  if (CControlUI* notes = TestDriver::Find(w, "notes")) {
    EXPECT_EQ(std::string(notes->GetText()), c.rich_text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultButtonTest,
    ::testing::Values(
        EnterCase{"FromAnEdit", " defaultbutton=\"ok\"", "", "account", {"ok"}, ""},
        EnterCase{"WithNothingFocused", " defaultbutton=\"ok\"", "", nullptr, {"ok"}, ""},
        EnterCase{
            "AFocusedButtonPressesItself", " defaultbutton=\"ok\"", "", "cancel", {"cancel"}, ""},
        EnterCase{"NoDefaultButtonNoClick", "", "", "account", {}, ""},
        EnterCase{"ADefaultButtonTheSkinLacks", " defaultbutton=\"gone\"", "", "account", {}, ""},
        EnterCase{"ALabelIsNoButton",
                  " defaultbutton=\"hint\"",
                  "<Label name=\"hint\" height=\"20\" text=\"提示\"/>",
                  "account",
                  {},
                  ""},
        EnterCase{"ADisabledDefaultIsNotPressed",
                  " defaultbutton=\"later\"",
                  "<Button name=\"later\" height=\"30\" enabled=\"false\"/>",
                  "account",
                  {},
                  ""},
        EnterCase{"AHiddenDefaultIsNotPressed",
                  " defaultbutton=\"later\"",
                  "<Button name=\"later\" height=\"30\" visible=\"false\"/>",
                  "account",
                  {},
                  ""},
        EnterCase{"SeveralLinesTakeEnterAsALineBreak",
                  " defaultbutton=\"ok\"",
                  "<RichEdit name=\"notes\" height=\"40\"/>",
                  "notes",
                  {},
                  "\n"},
        EnterCase{"ReadOnlyLinesLeaveEnterToTheDefault",
                  " defaultbutton=\"ok\"",
                  "<RichEdit name=\"notes\" height=\"40\" readonly=\"true\"/>",
                  "notes",
                  {"ok"},
                  ""}),
    [](const ::testing::TestParamInfo<EnterCase>& info) { return info.param.name; });

TEST(DefaultButtonTest, AWindowCanNameItsDefaultInCode) {
  SkinTestWindow w(
      "<VerticalLayout><Edit name=\"e\" height=\"30\"/>"
      "<Button name=\"go\" height=\"30\"/></VerticalLayout>");
  w.Open();
  TestDriver d;
  w.GetPaintManager().SetFocus(TestDriver::Find(w, "e"));
  d.PressKey(w, VK_RETURN);
  EXPECT_TRUE(w.clicks.empty());
  w.GetPaintManager().SetDefaultButton("go");
  d.PressKey(w, VK_RETURN);
  EXPECT_EQ(w.clicks, std::vector<std::string>{"go"});
}

// --- input-method text

class InputMethodTest : public ::testing::Test {
 protected:
  void Open(const std::string& attributes) {
    window_ = std::make_unique<SkinTestWindow>(
        "<VerticalLayout><Edit name=\"e\" height=\"30\" " + attributes +
        "/><Edit name=\"other\" height=\"30\"/></VerticalLayout>");
    window_->Open();
    edit_ = static_cast<CEditUI*>(TestDriver::Find(*window_, "e"));
    ASSERT_NE(edit_, nullptr);
    window_->GetPaintManager().SetFocus(edit_);
    driver_.RunUntilIdle();
  }
  // Every text the last paint drew.
  std::vector<std::string> Drawn() {
    window_->GetPaintManager().Paint();
    std::vector<std::string> out;
    for (const DrawOp& op : HeadlessWindowOf(window_->GetHWND())->ops()) {
      if (op.kind == DrawOp::kText)
        out.push_back(op.text);
    }
    return out;
  }

  TestDriver driver_;
  std::unique_ptr<SkinTestWindow> window_;
  CEditUI* edit_ = nullptr;
};

TEST_F(InputMethodTest, TheCompositionIsShownAtTheCaretAndTheCommittedTextGoesInWhole) {
  Open("");
  edit_->SetText("ab");
  edit_->SetSel(1, 1);
  driver_.Compose(*window_, "ni hao", 6);
  EXPECT_EQ(std::string(edit_->GetText()), "ab") << "being composed is not yet typed";
  EXPECT_EQ(edit_->GetComposition(), "ni hao");
  EXPECT_EQ(Drawn(), std::vector<std::string>{"ani haob"});
  driver_.Compose(*window_, "你好", 2);
  EXPECT_EQ(Drawn(), std::vector<std::string>{"a你好b"});

  driver_.CommitText(*window_, "你好");
  EXPECT_EQ(std::string(edit_->GetText()), "a你好b");
  EXPECT_EQ(edit_->GetComposition(), "");
  int start = -1, end = -1;
  edit_->GetSel(&start, &end);
  EXPECT_EQ(start, 3) << "the caret follows the committed text";
  EXPECT_EQ(end, 3);
  EXPECT_EQ(PostedTextsWaiting(), 0u);
}

TEST_F(InputMethodTest, ACompositionReplacesTheSelectionOnlyWhenItIsCommitted) {
  Open("");
  edit_->SetText("abcd");
  edit_->SetSel(1, 3);
  driver_.Compose(*window_, "中", 1);
  EXPECT_EQ(Drawn(), std::vector<std::string>{"a中d"});
  driver_.Compose(*window_, "", 0);  // the input method gave up
  EXPECT_EQ(Drawn(), std::vector<std::string>{"abcd"});
  EXPECT_EQ(std::string(edit_->GetText()), "abcd");
  driver_.CommitText(*window_, "中");
  EXPECT_EQ(std::string(edit_->GetText()), "a中d");
}

TEST_F(InputMethodTest, CommittedTextIsCutOnlyAtTheLimit) {
  Open("maxchar=\"4\"");
  edit_->SetText("ab");
  driver_.CommitText(*window_, "中华人民");
  EXPECT_EQ(std::string(edit_->GetText()), "ab中华");
}

TEST_F(InputMethodTest, APasswordEditShowsNoClearText) {
  Open("password=\"true\"");
  edit_->SetText("pw");
  driver_.Compose(*window_, "mima", 4);
  EXPECT_EQ(Drawn(), std::vector<std::string>{"******"});
  driver_.CommitText(*window_, "mima");
  EXPECT_EQ(std::string(edit_->GetText()), "pwmima");
}

TEST_F(InputMethodTest, MovingTheFocusEndsTheComposition) {
  Open("");
  driver_.Compose(*window_, "zhong", 5);
  ASSERT_EQ(edit_->GetComposition(), "zhong");
  ASSERT_TRUE(driver_.Click(*window_, "other"));
  EXPECT_EQ(edit_->GetComposition(), "");
  EXPECT_EQ(std::string(edit_->GetText()), "");
  // What is committed now goes to the control with the focus.
  driver_.CommitText(*window_, "中");
  EXPECT_EQ(std::string(TestDriver::Find(*window_, "other")->GetText()), "中");
  EXPECT_EQ(std::string(edit_->GetText()), "");
}

TEST_F(InputMethodTest, ReadOnlyAndUnfocusedTakeNothingAndNoTextIsLeftBehind) {
  Open("readonly=\"true\"");
  driver_.Compose(*window_, "zi", 2);
  driver_.CommitText(*window_, "字");
  EXPECT_EQ(edit_->GetComposition(), "");
  EXPECT_EQ(std::string(edit_->GetText()), "");
  window_->GetPaintManager().SetFocus(nullptr);
  driver_.CommitText(*window_, "字");
  EXPECT_EQ(PostedTextsWaiting(), 0u);

  // A text posted to a window that goes before it is handled is dropped with the next one.
  SkinTestWindow gone("<VerticalLayout><Edit name=\"e\"/></VerticalLayout>");
  gone.Open();
  ASSERT_TRUE(PostTextInput(gone.GetHWND(), "丢"));
  gone.DestroyWindow();
  driver_.RunUntilIdle();
  EXPECT_EQ(PostedTextsWaiting(), 1u);
  window_->GetPaintManager().SetFocus(TestDriver::Find(*window_, "other"));
  driver_.CommitText(*window_, "留");
  EXPECT_EQ(PostedTextsWaiting(), 0u);
  EXPECT_EQ(std::string(TestDriver::Find(*window_, "other")->GetText()), "留");
  EXPECT_FALSE(PostTextInput(gone.GetHWND(), "x")) << "no window: the caller keeps nothing";
  EXPECT_EQ(PostedTextsWaiting(), 0u);
}

}  // namespace
}  // namespace skinui
