#include "platform/web_link.h"

#include "platform/process.h"

namespace platform {

namespace {
constexpr const char* kLinkHandlers[] = {"/usr/bin/xdg-open", "/bin/xdg-open"};
}  // namespace

bool XdgWebLinkOpener::Open(const std::string& url) {
  for (const char* handler : kLinkHandlers) {
    LaunchOptions options;
    options.program = handler;
    options.args = {url};
    std::string error;
    if (launcher_.Launch(options, &error) != nullptr)
      return true;
  }
  return false;
}

WebLinkOpener& SystemWebLinkOpener() {
  static XdgWebLinkOpener opener(SystemProcessLauncher());
  return opener;
}

}  // namespace platform
