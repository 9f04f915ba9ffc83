#include "games/hall/ui/control_text.h"

#include <gtest/gtest.h>

#include "skinui/label.h"
#include "skinui/ui_log.h"

namespace hall {
namespace {

TEST(HallControlText, SetsUtf8TextsCutsLongOnesAndSkipsMissingControls) {
  skinui::CLabelUI label;
  SetControlTextUtf8(&label, "登录失败：密码错误");
  EXPECT_EQ(label.GetText(), "登录失败：密码错误");
  SetControlTextUtf8(&label, nullptr);
  EXPECT_EQ(label.GetText(), "");
  std::string long_text;
  for (int i = 0; i < 1100; ++i)
    long_text += "汉";
  SetControlTextUtf8(&label, long_text.c_str());
  EXPECT_EQ(label.GetText().size(), 1023u * 3);  // 1023 whole characters
  std::vector<std::string> logged;
  skinui::SetUiLogSink([&](const std::string& l) { logged.push_back(l); });
  SetControlTextUtf8(nullptr, "昵称");
  skinui::SetUiLogSink(nullptr);
  EXPECT_EQ(logged.size(), 1u);
}

}  // namespace
}  // namespace hall
