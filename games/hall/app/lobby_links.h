// The web pages the hall links to: their addresses come from "LobbyData/lobby.cfg" (section
// "Lobby"), a file the self-update delivers, so a link is opened only when it is a web address.
#pragma once

#include <string>

namespace platform {
class WebLinkOpener;
}

namespace hall {

inline constexpr const char* kLobbyConfigFile = "LobbyData/lobby.cfg";

// The value of `key` in section "Lobby" of <program_dir>/LobbyData/lobby.cfg; empty when the file
// or the key is missing.
std::string ReadLobbyUrl(const std::string& program_dir, const std::string& key);

// True when `url` starts with "http://" or "https://" (any letter case of the scheme) and holds
// no control character or blank, so that it can only be read as one web address.
bool IsWebLink(const std::string& url);

// Opens `url` with `opener` when it is a web link; false, and nothing started, otherwise.
bool OpenUrl(const std::string& url, platform::WebLinkOpener& opener);

}  // namespace hall
