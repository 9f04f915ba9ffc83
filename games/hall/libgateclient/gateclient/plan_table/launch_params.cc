#include "gateclient/plan_table/launch_params.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "gateclient/command/typed_commands.h"
#include "gateclient/plan_table/command_message.h"
#include "interface/command_ids.h"

namespace qvc {
namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0)
    return {};
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace

std::vector<std::string> SplitString(std::string_view text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string_view::npos)
      end = text.size();
    if (end > start)
      items.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

GameEntry FindGame(const GameListConfig& config, uint32_t game_kind) {
  if (game_kind == 0)
    return {};
  std::vector<std::string> ids = SplitString(config.game_ids);
  std::vector<std::string> exes = SplitString(config.executables);
  std::vector<std::string> folders = SplitString(config.resource_folders);
  std::map<long, GameEntry> games;
  for (size_t i = 0; i < ids.size() && i < exes.size() && i < folders.size(); ++i)
    games[std::atol(ids[i].c_str())] = GameEntry{exes[i], folders[i]};
  auto it = games.find(static_cast<long>(game_kind));
  return it == games.end() ? GameEntry{} : it->second;
}

std::string BuildLaunchParams(const qv::CMD_base& command, const GameListConfig& games,
                              const LaunchContext& context, LaunchValues* values,
                              std::string* second_piece) {
  namespace mc = qv::cmd::matchclient;
  const bool match_kind = command.kind == qv::cmd::kKindMatchClient;
  uint32_t game_kind = 0;
  if (match_kind && command.subid == mc::kMatchStart)
    game_kind = MessageOf<qv::CmdMatchStart>(command).game_kind();
  else if (match_kind && command.subid == mc::kJoinRsp)
    game_kind = MessageOf<qv::CmdJoinRsp>(command).game_kind();

  GameEntry game = FindGame(games, game_kind);
  std::string line = game.executable;
  if (game_kind == kGameKindDouble)
    line = FindGame(games, kGameKindStandIn).executable;
  line += ' ';
  if (!match_kind)
    return line;

  LaunchValues v;
  v.routing = command.routing;
  if (command.subid == mc::kMatchStart) {
    auto m = MessageOf<qv::CmdMatchStart>(command);
    v.match_id = m.match_id();
    v.match_group = m.match_group();
    v.rank_appid = m.rank_appid();
    v.rank_objectid = m.rank_objectid();
    v.mp_id = m.mp_id();
    v.game_kind = m.game_kind();
  } else if (command.subid == mc::kJoinRsp) {
    auto m = MessageOf<qv::CmdJoinRsp>(command);
    v.match_id = m.match_id();
    v.start_game = m.start_game();
    v.game_kind = m.game_kind();
  }
  // The game reads these numbers with the signed formats of its own parser.
  line += Format(" process_id:%d|user_id:%lld|cmd_id:%d|app_id:%d|app_type:%d|plan_id:%lld|",
                 static_cast<int>(context.hall_pid), static_cast<long long>(context.user_id),
                 static_cast<int>(command.subid), static_cast<int>(command.routing.appid),
                 static_cast<int>(command.routing.apptype), static_cast<long long>(context.key));
  std::string second = Format(
      "match_id:%lld|match_group:%lld|rank_appid:%d|rank_objectid:%lld|mp_id:%lld|game_kind:%u|"
      "exename:%s|resfolder:%s",
      static_cast<long long>(v.match_id), static_cast<long long>(v.match_group),
      static_cast<int>(v.rank_appid), static_cast<long long>(v.rank_objectid),
      static_cast<long long>(v.mp_id), static_cast<unsigned>(v.game_kind), game.executable.c_str(),
      game.resource_folder.c_str());
  line += second;
  if (values)
    *values = v;
  if (second_piece)
    *second_piece = std::move(second);
  return line;
}

}  // namespace qvc
