// `cmake --install` of this build lays out a program folder the hall can run from: the programs,
// the skins, LobbyData/ and update.ini with defaults their readers take, and the hall's check-list
// naming exactly what was installed, also when the folder already holds games and user files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "games/hall/app/lobby_links.h"
#include "games/hall/update/check_list.h"
#include "gateclient/config/ini_file.h"
#include "gateclient/config/qconfig.h"
#include "gateclient/config/qgate_address.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "testing/update_server/temp_folder.h"
#include "xmldoc/xml_document.h"
#include "xmldoc/xml_node.h"

namespace {

using update_server::TempFolder;

// Runs a program to its end; its exit code, or 999 when it could not be started.
int RunToEnd(const std::string& program, const std::vector<std::string>& args) {
  platform::LaunchOptions o;
  o.program = program;
  o.args = args;
  std::string error;
  auto p = platform::SystemProcessLauncher().Launch(o, &error);
  EXPECT_NE(p, nullptr) << program << ": " << error;
  if (p == nullptr)
    return 999;
  platform::ExitStatus status;
  EXPECT_EQ(p->Wait(240000, &status), platform::WaitOutcome::kExited) << program;
  return status.code;
}

std::vector<std::string> FilesBelow(const std::string& root) {
  std::vector<std::string> files;
  platform::RealFileSystem().ListFiles(root, &files);
  std::sort(files.begin(), files.end());
  return files;
}

std::string Contents(const std::string& path) {
  std::string text;
  EXPECT_TRUE(platform::ReadFile(path, &text)) << path;
  return text;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(',', start), text.size());
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

class ProgramFolderInstallTest : public ::testing::Test {
 protected:
  int Install() {
    return RunToEnd(CMAKE_COMMAND_PATH, {"--install", BUILD_FOLDER, "--prefix", dir_});
  }
  std::string In(const std::string& relative) const { return platform::JoinPath(dir_, relative); }

  // Every file the install is to lay out, with where its contents come from.
  std::map<std::string, std::string> Expected() const {
    std::map<std::string, std::string> files;
    files["brimsett"] = platform::JoinPath(BUILD_FOLDER, "bin/brimsett");
    files["tarvix"] = platform::JoinPath(BUILD_FOLDER, "bin/tarvix");
    const std::string skins = platform::JoinPath(BUILD_FOLDER, "bin/tarvixresource");
    for (const std::string& f : FilesBelow(skins))
      files["tarvixresource/" + f] = platform::JoinPath(skins, f);
    for (const char* f : {"LobbyData/client.ini", "LobbyData/addr.ini", "LobbyData/lobby.cfg",
                          "LobbyData/gamelist.xml", "update.ini"}) {
      files[f] = platform::JoinPath(DEFAULTS_FOLDER, f);
    }
    return files;
  }

  // The installed check-list must name exactly `files`, each with its size and time on disk.
  void ExpectCheckListNames(const std::map<std::string, std::string>& files) {
    hall::CheckList list;
    ASSERT_TRUE(hall::LoadCheckList(In("updateTarvix.cl"), list));
    std::set<std::string> listed, expected;
    for (const auto& [path, entry] : list) {
      std::string relative;
      ASSERT_TRUE(hall::ListPathToRelative(path, &relative)) << path;
      listed.insert(relative);
      platform::FileInfo info;
      ASSERT_TRUE(platform::RealFileSystem().Stat(In(relative), &info)) << relative;
      EXPECT_EQ(entry.size, info.size) << relative;
      EXPECT_EQ(entry.ftime, info.mtime_seconds) << relative;
    }
    for (const auto& [relative, source] : files)
      expected.insert(relative);
    EXPECT_EQ(listed, expected);
  }

  TempFolder base_{"tvx_install"};
  const std::string dir_ = base_.Sub("程序 文件夹 甲");
};

TEST_F(ProgramFolderInstallTest, LaysOutAFolderTheHallRunsFromAndListsOnlyItsOwnFiles) {
  ASSERT_EQ(Install(), 0);
  const std::map<std::string, std::string> expected = Expected();
  ASSERT_GT(expected.size(), 6u) << "the skins were not found in the build";
  std::vector<std::string> want;
  for (const auto& [relative, source] : expected)
    want.push_back(relative);
  want.push_back("updateTarvix.cl");
  std::sort(want.begin(), want.end());
  EXPECT_EQ(FilesBelow(dir_), want);
  for (const auto& [relative, source] : expected)
    EXPECT_EQ(Contents(In(relative)), Contents(source)) << relative;
  ExpectCheckListNames(expected);

  // The applier is a working program there (without arguments it refuses them).
  struct stat st {};
  ASSERT_EQ(::stat(In("brimsett").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
  EXPECT_EQ(RunToEnd(In("brimsett"), {}), -1);

  // Installed again over a folder in use: a game, the cache, the user's own files stay, and the
  // hall's list still names only the hall's files.
  const std::map<std::string, std::string> user_files = {
      {"cache/Tarvix/tarvix.cache", "staged"},
      {"zop/zop", "a game"},
      {"updatezop.cl", "<checklist/>"},
      {"account.ini", "[main]\nlastaccount=dora\n"},
  };
  for (const auto& [relative, text] : user_files)
    ASSERT_TRUE(update_server::PutFile(dir_, relative, text, 1'000'000));
  ASSERT_EQ(Install(), 0);
  for (const auto& [relative, text] : user_files)
    EXPECT_EQ(Contents(In(relative)), text) << relative;
  ExpectCheckListNames(expected);
}

TEST_F(ProgramFolderInstallTest, TheDefaultsAreWhatTheirReadersTake) {
  const std::string defaults = DEFAULTS_FOLDER;
  QConfig config(platform::JoinPath(defaults, "LobbyData/client.ini"));
  ASSERT_TRUE(config.Load());
  EXPECT_EQ(config.pageid.value, 1);
  EXPECT_EQ(config.start_point_interval.value, 30);
  EXPECT_EQ(config.timedisconn.value, 25);
  EXPECT_EQ(config.send_heartbeat.value, 1);
  EXPECT_EQ(config.quick_start_list.value, 0);
  EXPECT_EQ(config.recommended_list.value, 1);
  const std::vector<std::string> ids = Split(config.gameid.value);
  EXPECT_EQ(ids.size(), Split(config.gameexe.value).size());
  EXPECT_EQ(ids.size(), Split(config.resource.value).size());

  QGateAddress gates(platform::JoinPath(defaults, "LobbyData/addr.ini"));
  ASSERT_TRUE(gates.Load());
  EXPECT_EQ(gates.addr.entries[0], "gate.tarvix.net:10168");

  for (const char* key : {"UrlHome", "UrlPay", "UrlGM"})
    EXPECT_TRUE(hall::IsWebLink(hall::ReadLobbyUrl(defaults, key))) << key;

  CIniFile update(platform::JoinPath(defaults, "update.ini"));
  ASSERT_TRUE(update.Load());
  const std::string url = update.GetValue("update", "url_update", "");
  ASSERT_FALSE(url.empty());
  EXPECT_EQ(url.back(), '/');
  const std::string ftp = update.GetValue("update", "url_update_ftp", "");
  EXPECT_TRUE(ftp.empty() || ftp.back() == '/');

  // Every game of the list is complete (nothing is written back to a file that lacks an
  // attribute), its folder name is a plain name, and it is one the settings can start.
  xmldoc::CXmlDocument games;
  ASSERT_TRUE(games.Load(platform::JoinPath(defaults, "LobbyData/gamelist.xml")));
  ASSERT_NE(games.root(), nullptr);
  EXPECT_EQ(games.root()->GetName(), "gamelist");
  int count = 0;
  for (const xmldoc::CXmlNode* game : games.root()->children()) {
    if (game == nullptr || game->GetName() != "game")
      continue;
    ++count;
    for (const char* attribute : {"gameid", "gamename", "engname", "version"})
      EXPECT_NE(game->GetAttribute(attribute), nullptr) << attribute;
    std::string folder;
    const std::string engname = game->GetAttributeValue("engname");
    EXPECT_TRUE(hall::ListPathToRelative(engname, &folder) && folder == engname) << engname;
    EXPECT_NE(std::find(ids.begin(), ids.end(), game->GetAttributeValue("gameid")), ids.end())
        << game->GetAttributeValue("gameid");
  }
  EXPECT_GT(count, 0);
}

}  // namespace
