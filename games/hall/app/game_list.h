// The card games the hall's plans run on, from "LobbyData/gamelist.xml" under the program folder
// (delivered by the hall's own update), and the check made before a sign-up that the installed
// game is at the version the list names:
//
//   <gamelist>
//     <game gameid="3" gamename="斗地主" engname="Landlord" version="1.0.2.7" />
//   </gamelist>
//
// Each game lives in <program>/<engname>/ with the settings file <engname>/<engname>.cfg, whose
// section [<engname>] holds the installed "version". A listed version above the installed one
// (version_number.h) runs the game's update (update_flow.h) before the game may be used.
//
// The list's "engname" names folders that the update applier empties and deletes, so a game is
// usable only when its engname is a plain folder name (IsPlainFolderName); any other game is
// refused and logged in the update log.
//
// Window thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hall {

inline constexpr const char* kGameListFile = "LobbyData/gamelist.xml";
inline constexpr const char* kRankFolder = "Rank";
// Attribute texts are read into path-sized buffers, as the records keep them.
inline constexpr size_t kGameTextCapacity = 260;

struct RankEntry {
  std::string name;  // ANSI
  int32_t value = 0;
};

struct GameRecord {
  uint32_t gameId = 0;   // "gameid"
  std::string gameName;  // "gamename", ANSI
  std::string engName;   // "engname", ANSI: the game's folder, settings file and section
  std::string reserved;  // stays empty
  std::string version;   // "version", ANSI: the version the list expects
  bool checked = false;  // result of the last version check
};

// Brings one game up to date (update_flow.h); true when the game may be used now.
using GameUpdater = std::function<bool(const GameRecord& game)>;

// The game's version check before a sign-up, the form the sign-up flow calls: sets `usable` when
// the game is current or its update has just succeeded, leaves it untouched for a game the list
// does not know; returns whether an update was run.
using GameVersionCheck = std::function<bool(uint32_t game_id, bool& usable)>;

// True when `name` can be used as the name of one folder directly below the program folder and
// passed whole on the applier's command line: not empty, not "." or "..", no separator, no
// control byte, no ':' and no '"', at most 259 bytes.
bool IsPlainFolderName(std::string_view name);

class GameList {
 public:
  // `program_dir` is the program folder (no trailing separator). `update_game` runs a game's
  // update; when it is empty an outdated game is simply not usable.
  GameList(std::string program_dir, GameUpdater update_game);
  GameList(const GameList&) = delete;
  GameList& operator=(const GameList&) = delete;

  // The program's one list: the folder of the running executable, games updated by the
  // program's update flow (UpdateFlow::Instance). Windows take it from their creator.
  static GameList& Instance();

  // Reads the list file. Attributes a "game" element lacks are added with their defaults
  // ("gameid" "0", the others empty) and the file is written back, unless it did not parse whole.
  // The games (and the rank tables of each, LoadRankFile) replace what an earlier load read, so
  // loading after every login does not grow the list. False, with the list as it was, when the
  // file cannot be read or its root element is not "gamelist".
  bool LoadGameList();

  // The first record with that id, or null.
  GameRecord* FindGameRecord(uint32_t gameId);

  // Reads <program>/Rank/Rank<gameId>.ini: per line a name (up to a blank or '=') and, when the
  // name is not empty, a value (atoi). Stores the entries under the id when there was at least
  // one; a missing file changes nothing.
  void LoadRankFile(uint32_t gameId);

  // Compares the listed version of the game with the installed one. Returns true when an update
  // was run (then `usable` is its result); false otherwise: `usable` true when the installed game
  // is current, false when its engname is refused, untouched when the id is not in the list.
  bool CheckGameVersion(uint32_t gameId, bool& usable);

  // CheckGameVersion as a function for the sign-up flow; the list must outlive it.
  GameVersionCheck VersionCheck();

  // The installed version of a game: "version" of section [<engName>] in its settings file,
  // "0" when the file or the key is missing.
  std::string InstalledVersion(const GameRecord& game) const;

  const std::vector<std::unique_ptr<GameRecord>>& games() const { return games_; }
  const std::map<uint32_t, std::vector<RankEntry>>& ranks() const { return ranks_; }
  const std::string& program_dir() const { return program_dir_; }
  void set_update_game(GameUpdater update_game) { update_game_ = std::move(update_game); }

 private:
  void LogRefusedGame(const GameRecord& game) const;

  const std::string program_dir_;
  GameUpdater update_game_;
  std::map<uint32_t, std::vector<RankEntry>> ranks_;
  std::vector<std::unique_ptr<GameRecord>> games_;
};

}  // namespace hall
