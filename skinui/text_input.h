// Text from an input method, as a backend hands it to a window: the text being composed (shown
// in the focused edit, not yet part of it) and the committed text, which arrives whole, in one
// message, in its place among the window's other posted input.
//
// The texts wait in a store of the posting thread (the window thread: backends translate their
// events there), keyed by a number the message carries, so nothing is lost or leaked when the
// window goes before the message is handled: a text left behind is dropped once a later one is
// taken, and the store ends with its thread. Backends post through these two functions; the
// paint manager takes the text back with TakePostedText.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/win_types.h"

namespace skinui {

// wParam: the number of the text in the store. kCompositionMessage's lParam: the caret's place
// in the composition, in characters.
inline constexpr UINT kTextInputMessage = WM_APP - 2;
inline constexpr UINT kCompositionMessage = WM_APP - 3;

// Posts committed `utf8` text to `hwnd` (nothing for an empty text). False when `hwnd` is not a
// live window.
bool PostTextInput(HWND hwnd, const std::string& utf8);
// Posts the composition as it now stands (an empty text ends it), with the caret at `cursor`
// characters into it.
bool PostComposition(HWND hwnd, const std::string& utf8, int cursor);

// The text posted under `number` by this thread, taken out of the store; none when it is not
// there (already taken, or posted by another thread).
std::optional<std::string> TakePostedText(WPARAM number);

// Texts waiting in this thread's store (for tests).
size_t PostedTextsWaiting();

}  // namespace skinui
