// The About box (skin "about.xml"): the program's name and version, and one button that closes
// it. Shown modally from the main window.
#pragma once

#include "skinui/window_impl_base.h"

namespace hall {

class AboutBox : public skinui::WindowImplBase {
 public:
  const char* GetWindowClassName() const override { return "TarvixAboutBox"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource\\"; }
  skinui::CDuiString GetSkinFile() override { return "about.xml"; }
  void OnClick(skinui::TNotifyUI& msg) override;
  LRESULT ResponseDefaultKeyEvent(WPARAM key) override;

 protected:
  UINT GetDismissResult() const override { return IDOK; }
};

// Shows the About box modally, owned by `owner`; returns when it is closed.
void ShowAboutBox(HWND owner);

}  // namespace hall
