// Text for controls: the hall holds UTF-8, the windows take the ANSI code page.
#pragma once

namespace skinui {
class CControlUI;
}

namespace hall {

// Characters a control text may hold (the conversion's UTF-16 buffer less its terminator);
// longer texts are cut at a whole character.
inline constexpr int kControlTextMaxUnits = 1023;
// Bytes of the ANSI text given to the control, terminator included: room for every character in
// the widest code page the hall meets (UTF-8, three bytes for each UTF-16 unit), so that a text of
// the allowed length is never cut short by the conversion.
inline constexpr int kControlTextAnsiBytes = 3 * kControlTextMaxUnits + 1;

// Converts `utf8` UTF-8 -> UTF-16 -> ANSI and sets it as the control's text; null sets the empty
// text. A null control (a skin without it) is reported and skipped.
void SetControlTextUtf8(skinui::CControlUI* control, const char* utf8);

}  // namespace hall
