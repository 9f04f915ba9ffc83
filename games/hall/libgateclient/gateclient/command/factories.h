// The per-kind command factories: choose the creator of (kind, subid) and make a command from
// message bytes. Each returns null for another kind, a subid it does not accept, or bytes that do
// not parse.
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/base/cmd_base.h"

namespace qv {

using CommandFactory = CMD_base* (*)(uint16_t kind, uint16_t subid, const std::string& payload);

CMD_base* CreateClientCommand(uint16_t kind, uint16_t subid, const std::string& payload);
CMD_base* CreateMatchClientCommand(uint16_t kind, uint16_t subid, const std::string& payload);
CMD_base* CreateHallClientCommand(uint16_t kind, uint16_t subid, const std::string& payload);
CMD_base* CreateUserInfoCommand(uint16_t kind, uint16_t subid, const std::string& payload);
CMD_base* CreateCaptchaCommand(uint16_t kind, uint16_t subid, const std::string& payload);

// The gate's own messages (kind 12, subids 1-5, 7, 8), chosen by subid alone.
CMD_base* CreateGateCommand(uint16_t subid, const std::string& payload);

// True when (kind, subid) has a command class.
bool HasCommandClass(uint16_t kind, uint16_t subid);

}  // namespace qv
