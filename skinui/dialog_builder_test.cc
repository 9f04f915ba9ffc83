#include "skinui/dialog_builder.h"

#include <gtest/gtest.h>

#include "platform/file_util.h"
#include "skinui/button.h"
#include "skinui/label.h"
#include "skinui/test_driver.h"
#include "skinui/test_window.h"
#include "skinui/ui_log.h"

namespace skinui {
namespace {

class CapturedLog {
 public:
  CapturedLog() {
    SetUiLogSink([this](const std::string& l) { lines.push_back(l); });
  }
  ~CapturedLog() { SetUiLogSink(nullptr); }
  bool Mentions(const std::string& s) const {
    for (const auto& l : lines) {
      if (l.find(s) != std::string::npos)
        return true;
    }
    return false;
  }
  std::vector<std::string> lines;
};

class HallThing : public CControlUI {
 public:
  const char* GetClass() const override { return "HallThingUI"; }
};

TEST(SkinuiDialogBuilder, AttributesOfTheSkinReachTheControls) {
  SkinTestWindow w(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<Window size=\"320,240\">"
      "<Font id=\"0\" name=\"微软雅黑\" size=\"14\" bold=\"true\" default=\"true\"/>"
      "<Font id=\"9\" name=\"宋体\" size=\"12\"/>"
      "<Default name=\"Button\" value=\"textcolor=&quot;#FF112233&quot; height=&quot;25&quot;\"/>"
      "<VerticalLayout bkcolor=\"#FF000000\">"
      "<Label name=\"title\" text=\"请确定 &amp; 继续\" font=\"9\" textcolor=\"#00FF00\" "
      "textpadding=\"1,2,3,4\" userdata=\"PlanList\" visible=\"true\"/>"
      "<Button name=\"ok\" text=\"确定\" enabled=\"false\"/>"
      "<Button name=\"tall\" height=\"40\"/>"
      "<Option name=\"opt\" group=\"gametype\" selected=\"true\"/>"
      "</VerticalLayout></Window>");
  w.Create(nullptr, "t", 0, 0);
  CPaintManagerUI& pm = w.GetPaintManager();
  EXPECT_EQ(pm.GetInitSize().cx, 320);
  EXPECT_EQ(w.GetClientSize().cy, 240);
  EXPECT_EQ(pm.GetFont(9).name, "宋体");
  EXPECT_EQ(pm.GetFont(-1).size, 14);
  EXPECT_TRUE(pm.GetFont(42).bold);  // unknown id: the default font
  auto* title = static_cast<CLabelUI*>(pm.FindControl("title"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->GetText(), "请确定 & 继续");
  EXPECT_EQ(title->GetFont(), 9);
  EXPECT_EQ(title->GetTextColor(), 0xFF00FF00u);
  EXPECT_EQ(title->GetTextPadding(), (RECT{1, 2, 3, 4}));
  EXPECT_EQ(title->GetUserData(), "PlanList");
  auto* ok = static_cast<CButtonUI*>(pm.FindControl("ok"));
  EXPECT_FALSE(ok->IsEnabled());
  EXPECT_EQ(ok->GetTextColor(), 0xFF112233u);  // from the class default
  EXPECT_EQ(ok->GetFixedHeight(), 25);
  EXPECT_EQ(pm.FindControl("tall")->GetFixedHeight(), 40);  // own attribute after the default
  auto* opt = static_cast<COptionUI*>(pm.FindControl("opt"));
  EXPECT_TRUE(opt->IsSelected());
  ASSERT_NE(pm.GetOptionGroup("gametype"), nullptr);
  EXPECT_EQ(pm.GetOptionGroup("gametype")->size(), 1u);
}

TEST(SkinuiDialogBuilder, UnknownClassesGoToTheCallbackOrAreReportedAndSkipped) {
  CapturedLog log;
  SkinTestWindow w(
      "<VerticalLayout>"
      "<PlanList name=\"mine\"/>"
      "<Mystery name=\"lost\"><Button name=\"inside_lost\"/></Mystery>"
      "<Button name=\"after\"/>"
      "</VerticalLayout>");
  w.factories["PlanList"] = [] { return new HallThing; };
  w.Create(nullptr, "t", 0, 0, 0, 0, 100, 100);
  CPaintManagerUI& pm = w.GetPaintManager();
  ASSERT_NE(pm.FindControl("mine"), nullptr);
  EXPECT_STREQ(pm.FindControl("mine")->GetClass(), "HallThingUI");
  EXPECT_EQ(pm.FindControl("lost"), nullptr);
  EXPECT_EQ(pm.FindControl("inside_lost"), nullptr);
  EXPECT_NE(pm.FindControl("after"), nullptr);
  EXPECT_TRUE(log.Mentions("Mystery"));
  // Looking up a control the skin lacks is reported and gives null.
  EXPECT_EQ(w.FindControl("closebtn"), nullptr);
  EXPECT_TRUE(log.Mentions("closebtn"));
}

TEST(SkinuiDialogBuilder, MissingOrDamagedSkinStillGivesAWindowThatCanClose) {
  CapturedLog log;
  for (const char* skin : {"no_such_skin.xml", "<VerticalLayout><Button", "<Window/>"}) {
    SkinTestWindow w(skin);
    ASSERT_NE(w.Create(nullptr, "t", 0, 0, 0, 0, 50, 50), nullptr) << skin;
    EXPECT_NE(w.GetPaintManager().GetRoot(), nullptr);
    w.Close(3);
    EXPECT_EQ(w.ShowModal(), 3u);
  }
  EXPECT_FALSE(log.lines.empty());
}

TEST(SkinuiDialogBuilder, RowSkinsBuildAgainFromTheKeptMarkupIntoAParent) {
  CPaintManagerUI pm;
  CVerticalLayoutUI list;
  CDialogBuilder builder;
  const std::string row =
      "<ListContainerElement height=\"32\"><Label name=\"title\"/>"
      "<Button name=\"bt_signup\"/></ListContainerElement>";
  CControlUI* first = builder.Create(row, nullptr, &pm, &list);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(builder.GetMarkup()->IsValid());
  CControlUI* second = builder.Create(nullptr, &pm, &list);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(second->GetFixedHeight(), 32);
  EXPECT_NE(pm.FindSubControlByName(second, "bt_signup"), nullptr);
  EXPECT_NE(pm.FindSubControlByName(second, "bt_signup"),
            pm.FindSubControlByName(first, "bt_signup"));
  CDialogBuilder empty;
  EXPECT_FALSE(empty.GetMarkup()->IsValid());
  EXPECT_EQ(empty.Create(nullptr, &pm), nullptr);
}

std::string PngHeader(uint32_t w, uint32_t h) {
  std::string b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t v : {w, h}) {
    for (int s = 24; s >= 0; s -= 8)
      b.push_back(static_cast<char>((v >> s) & 0xFF));
  }
  b.append(5, '\0');
  return b;
}

std::string BmpHeader(int32_t w, int32_t h) {
  std::string b = "BM";
  b.append(16, '\0');
  for (int32_t v : {w, h}) {
    for (int s = 0; s < 32; s += 8)
      b.push_back(static_cast<char>((static_cast<uint32_t>(v) >> s) & 0xFF));
  }
  b.append(28, '\0');
  return b;
}

TEST(SkinuiDialogBuilder, ImagesComeFromSkinFilesOrFromMemory) {
  const std::string dir = ::testing::TempDir() + "skinui_images";
  ASSERT_TRUE(platform::MakeDirectories(dir + "/face"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir + "/face/k005.bmp", BmpHeader(48, -48)));
  ASSERT_TRUE(platform::WriteFileAtomic(dir + "/logo.png", PngHeader(20, 10)));
  ASSERT_TRUE(platform::WriteFileAtomic(dir + "/bad.png", "not an image"));
  CPaintManagerUI pm;
  pm.SetResourceFolder(dir);
  Image* face = pm.GetImage("face\\k005.bmp");
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->height(), 48);
  ASSERT_NE(pm.GetImage("logo.png"), nullptr);
  EXPECT_EQ(pm.GetImage("logo.png")->width(), 20);
  EXPECT_EQ(pm.GetImage("bad.png"), nullptr);
  EXPECT_EQ(pm.GetImage("missing.png"), nullptr);
  EXPECT_TRUE(pm.AddImage("captcha", PngHeader(90, 30)));
  EXPECT_EQ(pm.GetImage("captcha")->width(), 90);
  EXPECT_FALSE(pm.AddImage("captcha2", PngHeader(90, 30).substr(0, 20)));
  EXPECT_FALSE(pm.AddImage("huge", PngHeader(1u << 30, 1)));
}

TEST(SkinuiDialogBuilder, ButtonImageStripPaintsTheCellOfItsState) {
  const std::string dir = ::testing::TempDir() + "skinui_strip";
  ASSERT_TRUE(platform::MakeDirectories(dir + "/logon"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir + "/logon/delete2.png", PngHeader(64, 16)));
  SkinTestWindow w(
      "<VerticalLayout><Button name=\"removeaccount\" height=\"16\"/></VerticalLayout>");
  w.Create(nullptr, "t", 0, 0, 0, 0, 100, 100);
  w.GetPaintManager().SetResourceFolder(dir);
  auto* b = static_cast<CButtonUI*>(w.GetPaintManager().FindControl("removeaccount"));
  b->SetButtonImage("logon\\delete2.png", 4, true);
  w.ShowWindow();
  TestDriver d;
  d.RunUntilIdle();
  auto* native = HeadlessWindowOf(w.GetHWND());
  ASSERT_NE(native, nullptr);
  int images = 0;
  for (const DrawOp& op : native->ops())
    images += op.kind == DrawOp::kImage;
  EXPECT_EQ(images, 1);
}

}  // namespace
}  // namespace skinui
