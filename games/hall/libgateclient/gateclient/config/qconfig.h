// The hall's settings, read from "LobbyData/client.ini" (relative to the current folder). The
// file is UTF-8: several keys are Chinese text compared byte for byte.
#pragma once

#include <string>

#include "gateclient/config/program_config_load.h"

inline constexpr const char* kClientIniPath = "LobbyData/client.ini";

class QConfig : public ccf::RProgramConfigLoad {
 public:
  explicit QConfig(std::string file_name = kClientIniPath)
      : ccf::RProgramConfigLoad(std::move(file_name)) {}

  // Catalogue page id of the group, list and plan requests.
  ccf::RConfigItemLong pageid{this, "main", "pageid", 1};
  ccf::RConfigItemStringArr address{this, "gate", "address", ""};
  // Seconds between start-point refreshes.
  ccf::RConfigItemLong start_point_interval{this, "main", "开赛点获取间隔秒数", 30};
  ccf::RConfigItemLong show{this, "ui", "show", 0};
  // Parallel comma-separated lists: game id, game-client executable, resource folder.
  ccf::RConfigItemString gameid{this, "gameid", "501,502,555"};
  ccf::RConfigItemString gameexe{this, "gameexe", "zop,zop,twozop"};
  ccf::RConfigItemString resource{this, "resource", "zop,zop,twozop"};
  // Seconds without data before the gate connection is dropped.
  ccf::RConfigItemLong timedisconn{this, "main", "timedisconn", 25};
  ccf::RConfigItemLong message_mode{this, "main", "报文方式", 1};
  // Heartbeat on when non-zero.
  ccf::RConfigItemLong send_heartbeat{this, "main", "发送心跳", 1};
  // The quick-start and recommended lists are requested only when equal to 1.
  ccf::RConfigItemLong quick_start_list{this, "main", "快速开赛列表", 0};
  ccf::RConfigItemLong recommended_list{this, "main", "推荐大赛列表", 1};
  // game_kind of the plan request.
  ccf::RConfigItemLong gamekind{this, "main", "gamekind", 0};
};
