// The launch parameter string: the game client's whole command line, and the game list that
// names the executable and resource folder of each game kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gateclient/base/cmd_base.h"
#include "gateclient/base/routing_header.h"

namespace qvc {

// Game kind whose game runs from the executable of kGameKindStandIn while the parameters still
// name its own executable and resources.
inline constexpr uint32_t kGameKindDouble = 555;
inline constexpr uint32_t kGameKindStandIn = 100;

// The three parallel comma-separated configuration lists ("gameid", "gameexe", "resource").
struct GameListConfig {
  std::string game_ids;
  std::string executables;
  std::string resource_folders;
};

struct GameEntry {
  std::string executable;
  std::string resource_folder;
};

// Splits `text` at ','; empty items are skipped.
std::vector<std::string> SplitString(std::string_view text);

// The executable and resource folder configured for `game_kind`; both empty when the kind is not
// listed or is 0. Items are paired by position; a later duplicate id replaces an earlier one.
GameEntry FindGame(const GameListConfig& config, uint32_t game_kind);

// What the launching command said about its match; all 0 until a launch fills them.
struct LaunchValues {
  uint64_t mp_id = 0;
  uint64_t match_group = 0;
  uint32_t rank_appid = 0;
  uint64_t rank_objectid = 0;
  uint64_t match_id = 0;
  uint32_t game_kind = 0;
  bool start_game = false;
  RoutingHeader routing;
};

struct LaunchContext {
  uint32_t hall_pid = 0;  // the game opens the channel with it
  uint64_t user_id = 0;   // of the stored login reply
  uint64_t key = 0;       // the table's match key
};

// The command line for `command`: executable, one blank, then for a kind-14 command the two
// parameter pieces. Fills `values` from a MatchStart or JoinRsp, and `second_piece` (match_id
// onwards, for the log) when not null.
std::string BuildLaunchParams(const qv::CMD_base& command, const GameListConfig& games,
                              const LaunchContext& context, LaunchValues* values,
                              std::string* second_piece = nullptr);

}  // namespace qvc
