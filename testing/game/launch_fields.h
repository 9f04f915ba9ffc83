// The launch parameter string a game receives from the hall, split into its named fields:
//   " process_id:88|user_id:10001|cmd_id:15|...|exename:zop|resfolder:zop"
// Items are separated by '|'; each is a name, ':' and the value (which may hold further ':').
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fake_game {

struct LaunchField {
  std::string name;
  std::string value;
};

// More items than this are not read (a real launch string has fourteen).
inline constexpr size_t kMaxLaunchFields = 64;

// The fields in the order they stand. Blanks before a name are dropped; items without ':' or with
// an empty name are skipped.
std::vector<LaunchField> ParseLaunchFields(std::string_view params);

// The value of the first field named `name`.
std::optional<std::string> FindLaunchField(const std::vector<LaunchField>& fields,
                                           std::string_view name);

// What a person reads for a field the hall sends ("plan_id" -> "方案"); other names as they are.
std::string LaunchFieldCaption(std::string_view name);

}  // namespace fake_game
