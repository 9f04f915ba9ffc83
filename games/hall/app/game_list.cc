#include "games/hall/app/game_list.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

#include "games/hall/app/update_flow.h"
#include "games/hall/app/version_number.h"
#include "games/hall/text/text_convert.h"
#include "games/hall/update/update_log.h"
#include "gateclient/config/ini_file.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "xmldoc/xml_document.h"

namespace hall {
namespace {

constexpr std::string_view kRootName = "gamelist";
constexpr std::string_view kGameElement = "game";
constexpr std::string_view kVersionKey = "version";

struct GameAttribute {
  std::string_view name;
  std::string_view fallback;
};
constexpr GameAttribute kGameAttributes[] = {
    {"gameid", "0"}, {"gamename", ""}, {"engname", ""}, {"version", ""}};

// An attribute value as the records keep it: ANSI, cut to a path-sized buffer.
std::string ToRecordText(const std::string& utf8) {
  char buffer[kGameTextCapacity];
  Utf8ToAnsi(utf8.c_str(), buffer);
  return buffer;
}

// "gameid" is a decimal u32; anything else reads as 0.
uint32_t ReadGameId(const std::string& text) {
  size_t i = text.find_first_not_of(" \t\r\n");
  if (i == std::string::npos)
    return 0;
  if (text[i] == '+')
    ++i;
  uint32_t id = 0;
  const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), id);
  (void)end;
  return error == std::errc() ? id : 0;
}

// C's atoi without its undefined overflow: the value is held at the ends of int32.
int32_t AtoiClamped(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{1} << 31);
  if (negative)
    value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// One line of a rank file: the name runs to the first blank or '='; the value is the next run of
// non-blank characters after the blanks and '=' that follow the name.
RankEntry ReadRankLine(std::string_view line) {
  RankEntry entry;
  size_t i = 0;
  while (i < line.size() && (IsBlank(line[i]) || line[i] == '='))
    ++i;
  const size_t name_start = i;
  while (i < line.size() && !IsBlank(line[i]) && line[i] != '=')
    ++i;
  entry.name = std::string(line.substr(name_start, i - name_start));
  if (entry.name.empty())
    return entry;
  while (i < line.size() && (IsBlank(line[i]) || line[i] == '='))
    ++i;
  const size_t value_start = i;
  while (i < line.size() && !IsBlank(line[i]))
    ++i;
  entry.value = AtoiClamped(line.substr(value_start, i - value_start));
  return entry;
}

}  // namespace

bool IsPlainFolderName(std::string_view name) {
  if (name.empty() || name.size() >= kGameTextCapacity || name == "." || name == "..")
    return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == ':' || c == '"')
      return false;
  }
  return true;
}

GameList::GameList(std::string program_dir, GameUpdater update_game)
    : program_dir_(std::move(program_dir)), update_game_(std::move(update_game)) {}

GameList& GameList::Instance() {
  static GameList list(platform::ProgramFolder(), [](const GameRecord& game) {
    return UpdateFlow::Instance().UpdateGame(game);
  });
  return list;
}

bool GameList::LoadGameList() {
  const std::string path = platform::JoinPath(program_dir_, kGameListFile);
  if (!platform::FileExists(path))
    return false;
  xmldoc::CXmlDocument document;
  document.Load(path);
  xmldoc::CXmlNode* root = document.root();
  if (root == nullptr || root->GetName() != kRootName)
    return false;

  std::vector<std::unique_ptr<GameRecord>> games;
  bool changed = false;
  for (xmldoc::CXmlNode* game : root->children()) {
    if (game == nullptr || game->GetName() != kGameElement)
      continue;
    for (const GameAttribute& attribute : kGameAttributes) {
      if (game->GetAttribute(attribute.name) == nullptr) {
        game->AddAttribute(attribute.name, attribute.fallback);
        changed = true;
      }
    }
    auto record = std::make_unique<GameRecord>();
    record->gameId = ReadGameId(game->GetAttributeValue("gameid", "0"));
    record->gameName = ToRecordText(game->GetAttributeValue("gamename"));
    record->engName = ToRecordText(game->GetAttributeValue("engname"));
    record->version = ToRecordText(game->GetAttributeValue("version"));
    games.push_back(std::move(record));
  }
  // A document cut short holds only part of the file: writing it back would lose the rest.
  const bool whole =
      document.status() == xmldoc::kXmlParsed || document.status() == xmldoc::kXmlNoDeclaration;
  if (changed && whole)
    document.Save();

  games_ = std::move(games);
  ranks_.clear();
  for (const auto& game : games_)
    LoadRankFile(game->gameId);
  return true;
}

GameRecord* GameList::FindGameRecord(uint32_t gameId) {
  for (const auto& game : games_) {
    if (game->gameId == gameId)
      return game.get();
  }
  return nullptr;
}

void GameList::LoadRankFile(uint32_t gameId) {
  // The name is formatted with "%d", as the files have always been named.
  char name[32];
  std::snprintf(name, sizeof name, "Rank%d.ini", static_cast<int>(gameId));
  std::string text;
  if (!platform::ReadFile(platform::JoinPath(platform::JoinPath(program_dir_, kRankFolder), name),
                          &text)) {
    return;
  }
  std::vector<RankEntry> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    entries.push_back(ReadRankLine(line));
    start = end + 1;
  }
  if (!entries.empty())
    ranks_[gameId] = std::move(entries);
}

std::string GameList::InstalledVersion(const GameRecord& game) const {
  const std::string settings =
      platform::JoinPath(platform::JoinPath(program_dir_, game.engName), game.engName + ".cfg");
  CIniFile ini(settings);
  if (!ini.Load())
    return "0";
  std::string version = ini.GetValue(game.engName, std::string(kVersionKey), "0");
  if (version.size() >= kGameTextCapacity)
    version.resize(kGameTextCapacity - 1);
  return version;
}

bool GameList::CheckGameVersion(uint32_t gameId, bool& usable) {
  GameRecord* game = FindGameRecord(gameId);
  if (game == nullptr)
    return false;
  game->checked = false;
  if (!IsPlainFolderName(game->engName)) {
    LogRefusedGame(*game);
    usable = false;
    return false;
  }
  const uint64_t listed = ReadVersionNumber(game->version);
  const uint64_t installed = ReadVersionNumber(InstalledVersion(*game));
  if (listed > installed) {
    if (!update_game_) {
      usable = false;
      return false;
    }
    // The update runs a modal window whose loop may reach code that reloads the list, so it is
    // given a copy and the record is looked up again afterwards.
    const GameRecord copy = *game;
    const bool ok = update_game_(copy);
    if (GameRecord* still = FindGameRecord(gameId))
      still->checked = ok;
    usable = ok;
    return true;
  }
  game->checked = true;
  usable = true;
  return false;
}

GameVersionCheck GameList::VersionCheck() {
  return [this](uint32_t game_id, bool& usable) { return CheckGameVersion(game_id, usable); };
}

void GameList::LogRefusedGame(const GameRecord& game) const {
  UpdateLog log(program_dir_, platform::RealFileSystem(), platform::SystemClock());
  log.Write("游戏目录名无效, 游戏不可用: gameid=" + std::to_string(game.gameId) +
            ", engname=" + AnsiToUtf8(game.engName));
}

}  // namespace hall
