// Opening a web link in the user's browser, behind an interface tests replace.
#pragma once

#include <string>

namespace platform {

class ProcessLauncher;

class WebLinkOpener {
 public:
  virtual ~WebLinkOpener() = default;
  // Hands `url` to the desktop's link handler as one argument. False when it cannot be started.
  virtual bool Open(const std::string& url) = 0;
};

// The real opener: xdg-open with the link as its only argument, never through a shell; the
// opener is not waited for. `launcher` must outlive it.
class XdgWebLinkOpener : public WebLinkOpener {
 public:
  explicit XdgWebLinkOpener(ProcessLauncher& launcher) : launcher_(launcher) {}
  bool Open(const std::string& url) override;

 private:
  ProcessLauncher& launcher_;
};

// The process's real opener (over the system launcher).
WebLinkOpener& SystemWebLinkOpener();

}  // namespace platform
