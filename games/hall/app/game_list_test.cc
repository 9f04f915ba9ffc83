#include "games/hall/app/game_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/hall/text/code_page.h"
#include "games/hall/text/utf.h"
#include "games/hall/update/update_log.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "testing/update_server/temp_folder.h"
#include "xmldoc/xml_document.h"

namespace hall {
namespace {

using update_server::PutFile;
using update_server::TempFolder;

std::string GameXml(const std::string& attributes) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gamelist>\n  <game " + attributes +
         " />\n</gamelist>\n";
}

class GameListTest : public ::testing::Test {
 protected:
  GameListTest()
      : list_(dir_.path(), [this](const GameRecord& game) {
          updates_.push_back(game.engName);
          return update_result_;
        }) {}

  void WriteList(const std::string& xml, int64_t mtime = -1) {
    ASSERT_TRUE(PutFile(dir_.path(), kGameListFile, xml, mtime));
  }
  std::string ListFile() const {
    std::string text;
    platform::ReadFile(dir_.Sub(kGameListFile), &text);
    return text;
  }
  int64_t ListTime() const {
    platform::FileInfo info;
    return platform::RealFileSystem().Stat(dir_.Sub(kGameListFile), &info) ? info.mtime_seconds
                                                                           : -1;
  }
  void Install(const std::string& eng_name, const std::string& cfg) {
    ASSERT_TRUE(PutFile(dir_.path(), eng_name + "/" + eng_name + ".cfg", cfg));
  }
  // The lines of the update log without their time stamps.
  std::vector<std::string> LogLines() const {
    std::string bytes;
    std::vector<std::string> lines;
    if (!platform::ReadFile(dir_.Sub(std::string(kUpdateLogName)), &bytes))
      return lines;
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    const std::string utf8 = Utf16ToUtf8(text);
    size_t start = 0;
    for (size_t end; (end = utf8.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(utf8.substr(start + 19, end - start - 19));
    return lines;
  }

  TempFolder dir_{"game-list"};
  std::vector<std::string> updates_;
  bool update_result_ = true;
  GameList list_;
};

TEST_F(GameListTest, ListedVersionAboveTheInstalledOneRunsTheUpdate) {
  struct Case {
    const char* listed;
    const char* cfg;  // null: no settings file
    bool update;      // the update runs (and is then what `usable` says)
  } cases[] = {
      {"1.2.3.4", "[Poker]\nversion=1.2.3.4\n", false},  // equal
      {"1.2.3", "[Poker]\nversion=1.2.4\n", false},      // the installed one is newer
      {"1.10", "[Poker]\nversion=1.9\n", true},          // numeric parts, not text
      {"1.9", "[Poker]\nversion=1.10\n", false},
      {"1.0", nullptr, true},  // no settings file reads as 0
      {"0", nullptr, false},
      {"", nullptr, false},
      {"1.0", "[Other]\nversion=9.9\n", true},           // the game's own section only
      {"1.0", "[Poker]\nrevision=9.9\n", true},          // no key reads as 0
      {"1.70000", "[Poker]\nversion=1.9\n", true},       // too large a part is still newer
      {"1.70000", "[Poker]\nversion=1.65535\n", false},  // ... but only as large as 65535
      {"2", "[Poker]\nversion=1.70000.1\n", true},       // it does not spill into the first part
      {"1.-1", "[Poker]\nversion=1.0\n", false},         // a negative part is 0
  };
  for (const Case& c : cases) {
    for (const bool result : {true, false}) {
      SCOPED_TRACE(std::string(c.listed) + " over " + (c.cfg ? c.cfg : "(none)"));
      platform::RemoveFile(dir_.Sub("Poker/Poker.cfg"));
      if (c.cfg != nullptr)
        Install("Poker", c.cfg);
      WriteList(GameXml("gameid=\"5\" gamename=\"扑克\" engname=\"Poker\" version=\"" +
                        std::string(c.listed) + "\""));
      ASSERT_TRUE(list_.LoadGameList());
      updates_.clear();
      update_result_ = result;
      bool usable = !c.update || !result;  // the opposite of what must come back
      EXPECT_EQ(list_.CheckGameVersion(5, usable), c.update);
      EXPECT_EQ(updates_,
                c.update ? std::vector<std::string>{"Poker"} : std::vector<std::string>{});
      const bool want = c.update ? result : true;
      EXPECT_EQ(usable, want);
      EXPECT_EQ(list_.FindGameRecord(5)->checked, want);
    }
  }
}

TEST_F(GameListTest, UnknownGameLeavesUsableAsTheCallerSetIt) {
  WriteList(GameXml("gameid=\"5\" gamename=\"g\" engname=\"Poker\" version=\"9\""));
  ASSERT_TRUE(list_.LoadGameList());
  for (const bool before : {true, false}) {
    bool usable = before;
    EXPECT_FALSE(list_.CheckGameVersion(6, usable));
    EXPECT_EQ(usable, before);
  }
  EXPECT_TRUE(updates_.empty());
  // The same through the function the sign-up flow holds.
  GameVersionCheck check = list_.VersionCheck();
  bool usable = false;
  EXPECT_TRUE(check(5, usable));
  EXPECT_TRUE(usable);
  EXPECT_EQ(updates_, std::vector<std::string>{"Poker"});
}

TEST_F(GameListTest, WithoutAnUpdaterAnOutdatedGameIsNotUsable) {
  GameList list(dir_.path(), nullptr);
  WriteList(GameXml("gameid=\"5\" gamename=\"g\" engname=\"Poker\" version=\"9\""));
  ASSERT_TRUE(list.LoadGameList());
  bool usable = true;
  EXPECT_FALSE(list.CheckGameVersion(5, usable));
  EXPECT_FALSE(usable);
}

TEST_F(GameListTest, EngNameThatIsNotAPlainFolderNameMakesTheGameUnusable) {
  const std::string too_long(kGameTextCapacity - 1, 'a');  // cut to 259 bytes: still allowed
  struct Case {
    std::string eng_name;  // as written in the XML attribute
    bool plain;
  } cases[] = {
      {"Poker", true},
      {"斗地主", true},
      {"game-1.2_x", true},
      {"..x", true},
      {too_long, true},
      {"", false},
      {".", false},
      {"..", false},
      {"../Poker", false},
      {"a/b", false},
      {"a\\b", false},
      {"/tmp", false},
      {"cache", true},  // a plain name; what it names is the list's business
      {"C:x", false},
      {"a&#9;b", false},                                            // a tab
      {"a&#10;b", false},                                           // a line break
      {"x&quot;&quot;&quot; /l:&quot;&quot;&quot;/bin/sh", false},  // would add a switch
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("engname=" + c.eng_name);
    WriteList(
        GameXml("gameid=\"7\" gamename=\"g\" engname=\"" + c.eng_name + "\" version=\"3.0\""));
    ASSERT_TRUE(list_.LoadGameList());
    platform::RemoveFile(dir_.Sub(std::string(kUpdateLogName)));
    updates_.clear();
    bool usable = true;
    const bool ran = list_.CheckGameVersion(7, usable);
    EXPECT_EQ(ran, c.plain);
    EXPECT_EQ(usable, c.plain);
    EXPECT_EQ(updates_.size(), c.plain ? 1u : 0u);
    const std::vector<std::string> log = LogLines();
    if (c.plain) {
      EXPECT_TRUE(log.empty());
    } else {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_NE(log[0].find("gameid=7"), std::string::npos) << log[0];
    }
  }
}

TEST_F(GameListTest, IsPlainFolderNameRefusesBytesAFileSystemOrCommandLineMisreads) {
  for (const char* name : {"a\x01", "a\x7f", "a\"b", "a:b", "a\nb", "\\"}) {
    EXPECT_FALSE(IsPlainFolderName(name)) << name;
  }
  EXPECT_FALSE(IsPlainFolderName(std::string(kGameTextCapacity, 'a')));
  EXPECT_TRUE(IsPlainFolderName(std::string(kGameTextCapacity - 1, 'a')));
}

TEST_F(GameListTest, MissingAttributesAreWrittenBackOnce) {
  WriteList(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gamelist>\n"
      "  <game gameid=\"3\" gamename=\"斗地主\" engname=\"Landlord\" version=\"1.0\" />\n"
      "  <game gamename=\"无名\" />\n"
      "  <other engname=\"skip\" />\n"
      "  <game gameid=\"9\" />\n"
      "</gamelist>\n",
      1'600'000'000);
  ASSERT_TRUE(list_.LoadGameList());
  ASSERT_EQ(list_.games().size(), 3u);
  const GameRecord& unnamed = *list_.games()[1];
  EXPECT_EQ(unnamed.gameId, 0u);
  EXPECT_EQ(unnamed.gameName, "无名");
  EXPECT_EQ(unnamed.engName, "");
  EXPECT_EQ(list_.games()[2]->gameId, 9u);
  EXPECT_EQ(list_.FindGameRecord(3)->engName, "Landlord");

  // Every game element now carries all four attributes, the others are as they were.
  xmldoc::CXmlDocument written;
  written.Load(dir_.Sub(kGameListFile));
  ASSERT_EQ(written.root()->GetName(), "gamelist");
  int games = 0;
  for (const xmldoc::CXmlNode* node : written.root()->children()) {
    if (node->GetName() != "game") {
      EXPECT_EQ(node->GetAttribute("gameid"), nullptr);
      continue;
    }
    ++games;
    for (const char* name : {"gameid", "gamename", "engname", "version"})
      EXPECT_NE(node->GetAttribute(name), nullptr) << name;
  }
  EXPECT_EQ(games, 3);
  EXPECT_EQ(written.root()->Child(1)->GetAttributeValue("gameid"), "0");
  EXPECT_EQ(written.root()->Child(1)->GetAttributeValue("gamename"), "无名");

  // Nothing missing any more: the second load leaves the file alone.
  const std::string after_first = ListFile();
  ASSERT_TRUE(platform::RealFileSystem().SetModifiedTime(dir_.Sub(kGameListFile), 1'600'000'000));
  ASSERT_TRUE(list_.LoadGameList());
  EXPECT_EQ(ListFile(), after_first);
  EXPECT_EQ(ListTime(), 1'600'000'000);
  // ... and reading it again replaces the games instead of adding to them.
  EXPECT_EQ(list_.games().size(), 3u);

  // The game without an engname is refused rather than pointed at the program folder.
  bool usable = true;
  EXPECT_FALSE(list_.CheckGameVersion(0, usable));
  EXPECT_FALSE(usable);
}

TEST_F(GameListTest, FileThatIsNoGameListLeavesTheListAsItWas) {
  WriteList(GameXml("gameid=\"3\" engname=\"Landlord\" version=\"1\" gamename=\"a\""));
  ASSERT_TRUE(list_.LoadGameList());
  struct Case {
    const char* name;
    std::string text;  // null-like empty: no file
  } cases[] = {
      {"other root", "<?xml version=\"1.0\"?>\n<games><game gameid=\"4\" /></games>\n"},
      {"root differs in case",
       "<?xml version=\"1.0\"?>\n<GameList><game gameid=\"4\"/></GameList>"},
      {"no element", "just text"},
      {"missing", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::RemoveFile(dir_.Sub(kGameListFile));
    if (!c.text.empty())
      WriteList(c.text);
    EXPECT_FALSE(list_.LoadGameList());
    ASSERT_EQ(list_.games().size(), 1u);
    EXPECT_EQ(list_.games()[0]->gameId, 3u);
    if (!c.text.empty()) {
      EXPECT_EQ(ListFile(), c.text);  // not written back
    }
  }
}

TEST_F(GameListTest, ListCutShortIsNeitherReadNorWrittenBack) {
  const std::string cut =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gamelist>\n"
      "  <game gameid=\"3\" engname=\"Landlord\" />\n"
      "  <game gameid=\"4\" engname=\"Poker\" gamename=\"p\" version=\"2\" />\n"
      "  <game gameid=\"5\" engname=\"Mahjong\" gamename=\"m\" ver";
  WriteList(cut);
  EXPECT_FALSE(list_.LoadGameList());
  EXPECT_TRUE(list_.games().empty());
  EXPECT_EQ(ListFile(), cut);  // the first game's missing attributes were not written back
}

TEST_F(GameListTest, AttributeTextsAreKeptInTheAnsiCodePageCutToThePathBuffer) {
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  std::string long_name;
  for (int i = 0; i < 200; ++i)
    long_name += "牌";  // two bytes each in GBK
  WriteList(
      GameXml("gameid=\"3\" engname=\"Landlord\" version=\"1\" gamename=\"" + long_name + "\""));
  const bool loaded = list_.LoadGameList();
  const std::string name = loaded ? list_.FindGameRecord(3)->gameName : "";
  ASSERT_TRUE(SetAnsiCodePage(""));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(name.size(), 258u);              // 129 whole characters; the 130th would need byte 260
  EXPECT_EQ(name.substr(0, 2), "\xC5\xC6");  // 牌 in GBK
}

TEST_F(GameListTest, RankFilesAreReadPerGame) {
  WriteList(
      "<?xml version=\"1.0\"?>\n<gamelist>\n"
      "  <game gameid=\"3\" engname=\"A\" gamename=\"a\" version=\"1\" />\n"
      "  <game gameid=\"4\" engname=\"B\" gamename=\"b\" version=\"1\" />\n"
      "  <game gameid=\"5\" engname=\"C\" gamename=\"c\" version=\"1\" />\n"
      "</gamelist>\n");
  ASSERT_TRUE(PutFile(dir_.path(), "Rank/Rank3.ini",
                      "alice=120\r\nbob 95\n= 7\n\ncarol = -3\ndave=99999999999\neve=12abc"));
  ASSERT_TRUE(PutFile(dir_.path(), "Rank/Rank4.ini", ""));
  ASSERT_TRUE(list_.LoadGameList());

  ASSERT_EQ(list_.ranks().count(3), 1u);
  struct Want {
    const char* name;
    int32_t value;
  } want[] = {{"alice", 120}, {"bob", 95},         {"7", 0},   {"", 0},
              {"carol", -3},  {"dave", INT32_MAX}, {"eve", 12}};
  const std::vector<RankEntry>& entries = list_.ranks().at(3);
  ASSERT_EQ(entries.size(), std::size(want));
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, want[i].name) << i;
    EXPECT_EQ(entries[i].value, want[i].value) << i;
  }
  EXPECT_EQ(list_.ranks().count(4), 0u);  // an empty file gives no entry
  EXPECT_EQ(list_.ranks().count(5), 0u);  // nor a missing one

  // A rank file read on its own later is added; a missing one changes nothing.
  ASSERT_TRUE(PutFile(dir_.path(), "Rank/Rank5.ini", "zed=1\n"));
  list_.LoadRankFile(5);
  ASSERT_EQ(list_.ranks().count(5), 1u);
  list_.LoadRankFile(6);
  EXPECT_EQ(list_.ranks().count(6), 0u);
}

TEST_F(GameListTest, FirstRecordOfAnIdIsTheOneFound) {
  WriteList(
      "<?xml version=\"1.0\"?>\n<gamelist>\n"
      "  <game gameid=\"3\" engname=\"First\" gamename=\"a\" version=\"1\" />\n"
      "  <game gameid=\"3\" engname=\"Second\" gamename=\"b\" version=\"1\" />\n"
      "</gamelist>\n");
  ASSERT_TRUE(list_.LoadGameList());
  ASSERT_NE(list_.FindGameRecord(3), nullptr);
  EXPECT_EQ(list_.FindGameRecord(3)->engName, "First");
  EXPECT_EQ(list_.FindGameRecord(4), nullptr);
}

}  // namespace
}  // namespace hall
