#include "testing/game/launch_fields.h"

namespace fake_game {

std::vector<LaunchField> ParseLaunchFields(std::string_view params) {
  std::vector<LaunchField> fields;
  size_t start = 0;
  while (start <= params.size() && fields.size() < kMaxLaunchFields) {
    size_t end = params.find('|', start);
    if (end == std::string_view::npos)
      end = params.size();
    std::string_view item = params.substr(start, end - start);
    while (!item.empty() && item.front() == ' ')
      item.remove_prefix(1);
    const size_t colon = item.find(':');
    if (colon != std::string_view::npos && colon > 0)
      fields.push_back({std::string(item.substr(0, colon)), std::string(item.substr(colon + 1))});
    start = end + 1;
  }
  return fields;
}

std::optional<std::string> FindLaunchField(const std::vector<LaunchField>& fields,
                                           std::string_view name) {
  for (const LaunchField& f : fields) {
    if (f.name == name)
      return f.value;
  }
  return std::nullopt;
}

std::string LaunchFieldCaption(std::string_view name) {
  struct Caption {
    std::string_view name;
    const char* caption;
  };
  static constexpr Caption kCaptions[] = {
      {"process_id", "大厅进程"},    {"user_id", "用户"},         {"cmd_id", "启动命令"},
      {"app_id", "比赛服务"},        {"app_type", "服务类型"},    {"plan_id", "方案"},
      {"match_id", "比赛"},          {"match_group", "比赛分组"}, {"rank_appid", "排名服务"},
      {"rank_objectid", "排名对象"}, {"mp_id", "比赛进程"},       {"game_kind", "游戏类型"},
      {"exename", "游戏程序"},       {"resfolder", "资源目录"},
  };
  for (const Caption& c : kCaptions) {
    if (c.name == name)
      return c.caption;
  }
  return std::string(name);
}

}  // namespace fake_game
