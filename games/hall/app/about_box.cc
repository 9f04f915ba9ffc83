#include "games/hall/app/about_box.h"

#include "skinui/control.h"

namespace hall {

void AboutBox::OnClick(skinui::TNotifyUI& msg) {
  if (msg.pSender != nullptr && msg.pSender->GetName() == "about_ok")
    Close(IDOK);
}

LRESULT AboutBox::ResponseDefaultKeyEvent(WPARAM key) {
  // Enter and Escape both close a box that only informs.
  if (key == VK_RETURN || key == VK_ESCAPE) {
    Close(IDOK);
    return 1;
  }
  return 0;
}

void ShowAboutBox(HWND owner) {
  AboutBox box;
  if (box.Create(owner, "", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0) ==
      nullptr)
    return;
  box.CenterWindow();
  box.ShowModal();
}

}  // namespace hall
