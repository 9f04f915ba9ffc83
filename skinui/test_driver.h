// Drives windows the way a user would, through the real message path: clicks are mouse messages
// posted at the middle of a control, typing is WM_CHAR per character, a drag is a press, moves and
// a release whose points follow the moving window as a real mouse's do, and an input method's
// text is posted as the backends post it (text_input.h). For tests and tools only.
#pragma once

#include <functional>
#include <string>

#include "platform/clock.h"
#include "skinui/window_impl_base.h"

namespace skinui {

class TestDriver {
 public:
  // `clock`, when given, is installed as the library clock for the driver's lifetime.
  explicit TestDriver(platform::ManualClock* clock = nullptr);
  ~TestDriver();

  // Dispatches everything ready on this thread (timers already due included) until nothing is;
  // a WM_QUIT met on the way is posted again and ends the run. True when no quit was met.
  bool RunUntilIdle();
  // Moves the clock (REQUIRES: constructed with one) and runs until idle.
  void Advance(uint32_t ms);

  // The control named `name` of the window, or null.
  static CControlUI* Find(WindowImplBase& window, const char* name);
  // Moves the mouse onto the control, presses and releases the left button, runs until idle.
  // False when the control is missing, hidden or has no area.
  bool Click(WindowImplBase& window, const char* name);
  bool ClickControl(WindowImplBase& window, CControlUI* control);
  // Clicks the control (focusing it) and types `utf8` into it; into an edit after its text.
  bool Type(WindowImplBase& window, const char* name, const std::string& utf8);
  // Presses `key` with the MK_SHIFT / MK_CONTROL `modifiers` held, runs until idle.
  void PressKey(WindowImplBase& window, WPARAM key, WORD modifiers = 0);

  // Presses the left button at client point `from`, moves the mouse by (dx, dy) on the screen in
  // `steps` moves and lets go, running until idle after each.
  void Drag(WindowImplBase& window, POINT from, int dx, int dy, int steps = 4);
  // The same from the middle of the control `name`. False when it is missing or hidden.
  bool DragControl(WindowImplBase& window, const char* name, int dx, int dy, int steps = 4);
  // An input method shows `utf8` as being composed, the caret `cursor` characters into it (an
  // empty text ends the composition); then runs until idle.
  void Compose(WindowImplBase& window, const std::string& utf8, int cursor);
  // An input method commits `utf8`; then runs until idle.
  void CommitText(WindowImplBase& window, const std::string& utf8);

  // Runs `answer` with the next modal window as soon as its loop is idle (it is laid out and
  // painted by then). Answers are used in the order given.
  static void AnswerNextModal(std::function<void(WindowImplBase&)> answer);

  // Lays out and paints the window now and writes it as a PNG (backends with pixels only).
  static bool SaveScreenshot(WindowImplBase& window, const std::string& png_path);

 private:
  platform::ManualClock* clock_;
};

}  // namespace skinui
