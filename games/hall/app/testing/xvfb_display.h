// A private X display for tests that drive real hall processes as a person would: Xvfb on the
// first free display number from 90 up (a number another live server holds is skipped), with
// xdotool to move the pointer and press keys, and imagemagick's import to take a picture of the
// screen. Every program is started without a shell and waited for with a time limit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"

namespace hall::testing {

class XvfbDisplay {
 public:
  static constexpr int kWidth = 1280;
  static constexpr int kHeight = 1024;

  XvfbDisplay() = default;
  // Ends the server.
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // True when Xvfb and xdotool are installed (scripts/setup installs both).
  static bool Available();

  // Starts the server and waits until it takes clients. False, with *error, when no display
  // could be started.
  bool Start(std::string* error);
  // ":<n>", empty until Start succeeded.
  const std::string& name() const { return name_; }
  // The environment entry that sends a program's windows here.
  std::string DisplayEntry() const { return "DISPLAY=" + name_; }

  // Runs xdotool with `args` on this display; true when it ended with 0 within `timeout_ms`.
  bool XdoTool(const std::vector<std::string>& args, uint32_t timeout_ms = 10000);
  // Moves the pointer to the middle of the screen, where the hall's windows are centred, and
  // presses `key` (an xdotool key name such as "Return").
  bool PressKeyAtCentre(const std::string& key);
  // Writes the whole screen to `png_path`; false when import is missing or fails.
  bool SaveScreenshot(const std::string& png_path);

 private:
  // Runs `program` with `args` on this display to its end; true on exit code 0 in time.
  bool RunToEnd(const std::string& program, const std::vector<std::string>& args,
                uint32_t timeout_ms);

  std::unique_ptr<platform::Process> server_;
  int number_ = 0;
  std::string name_;
};

}  // namespace hall::testing
