#include "games/hall/app/lobby_links.h"

#include <strings.h>

#include "gateclient/config/ini_file.h"
#include "platform/file_util.h"
#include "platform/web_link.h"

namespace hall {

std::string ReadLobbyUrl(const std::string& program_dir, const std::string& key) {
  CIniFile ini(platform::JoinPath(program_dir, kLobbyConfigFile));
  if (!ini.Load())
    return {};
  return ini.GetValue("Lobby", key, "");
}

bool IsWebLink(const std::string& url) {
  const bool http = url.size() > 7 && strncasecmp(url.c_str(), "http://", 7) == 0;
  const bool https = url.size() > 8 && strncasecmp(url.c_str(), "https://", 8) == 0;
  if (!http && !https)
    return false;
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7F)
      return false;
  }
  return true;
}

bool OpenUrl(const std::string& url, platform::WebLinkOpener& opener) {
  if (!IsWebLink(url))
    return false;
  return opener.Open(url);
}

}  // namespace hall
