// The gate endpoints, read from "LobbyData/addr.ini" (relative to the current folder): section
// "ADDR", keys "addr_00" .. "addr_31", each host:port or empty.
#pragma once

#include <string>

#include "gateclient/config/program_config_load.h"

inline constexpr const char* kAddrIniPath = "LobbyData/addr.ini";

class QGateAddress : public ccf::RProgramConfigLoad {
 public:
  explicit QGateAddress(std::string file_name = kAddrIniPath)
      : ccf::RProgramConfigLoad(std::move(file_name)) {}

  ccf::RConfigItemStringArr addr{this, "ADDR", "addr", ""};
};
