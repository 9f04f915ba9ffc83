// Finding a window by title, in this process or another one of the same user, and the calls that
// work on such a handle.
//
// FindWindow returns a remote handle: a handle kind of its own (odd values, never those of local
// windows) that stands for "the window titled X" and sends through that window's link. PostMessage
// on it sends an integer-only record, for messages of the program-private range only (WM_APP to
// 0xBFFF; others fail, as the receiving window would drop them); SetForegroundWindow asks the
// window to show itself. Both work whether the window lives in this process or another, because
// every titled top-level window binds its link when it is created.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace skinui {

// The handle of the window titled `title`, null when no window of this user has that title.
HWND FindWindow(const std::string& title);

// Shows and raises the window: directly for a window of the calling thread, by a posted request
// for one of another thread, through its link for a remote handle. False when there is no such
// window.
bool SetForegroundWindow(HWND hwnd);

namespace internal {
// Used by PostMessage for handles that are not local windows: true when `hwnd` is a remote handle
// and the record was sent.
bool PostToRemoteWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace internal

}  // namespace skinui
