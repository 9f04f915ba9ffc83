#include "games/hall/ui/control_text.h"

#include <string>

#include "games/hall/text/text_convert.h"
#include "games/hall/text/utf.h"
#include "skinui/control.h"
#include "skinui/ui_log.h"

namespace hall {

void SetControlTextUtf8(skinui::CControlUI* control, const char* utf8) {
  if (control == nullptr) {
    skinui::UiLog("text for a control the skin does not have: " +
                  std::string(utf8 != nullptr ? utf8 : "").substr(0, 60));
    return;
  }
  char16_t wide[kControlTextMaxUnits + 1];
  CopyUtf16(Utf8ToUtf16(utf8 != nullptr ? utf8 : ""), wide, kControlTextMaxUnits + 1);
  char ansi[kControlTextAnsiBytes];
  WideToAnsi(wide, ansi, sizeof ansi);
  control->SetText(ansi);
}

}  // namespace hall
