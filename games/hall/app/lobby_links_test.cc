#include "games/hall/app/lobby_links.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/web_link.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

class RecordingOpener : public platform::WebLinkOpener {
 public:
  bool Open(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

TEST(LobbyLinksTest, OnlyTextsThatStartWithAWebSchemeAreLinks) {
  struct Case {
    const char* url;
    bool link;
  } cases[] = {
      {"http://pay.example/u?id=1", true},
      {"https://www.example/", true},
      {"HTTPS://WWW.EXAMPLE/", true},
      {"", false},
      {"http://", false},  // nothing after the scheme
      {"www.example/pay", false},
      {"file:///etc/passwd#http://x", false},  // merely contains a scheme
      {"javascript:alert(1)//https://x", false},
      {" http://leading.blank/", false},
      {"http://a b/", false},  // a blank would make it two words
      {"http://a/\nrm", false},
      {"ftp://files.example/", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsWebLink(c.url), c.link) << c.url;
}

TEST(LobbyLinksTest, OpenUrlHandsOnlyWebLinksToTheOpenerAsOneArgument) {
  RecordingOpener opener;
  EXPECT_FALSE(OpenUrl("10001", opener));  // a pay link without its address
  EXPECT_TRUE(OpenUrl("https://pay.example/?u=10001", opener));
  EXPECT_EQ(opener.opened, (std::vector<std::string>{"https://pay.example/?u=10001"}));
}

TEST(LobbyLinksTest, ReadsTheLobbySectionOfTheProgramsLobbyFile) {
  update_server::TempFolder dir("lobby_links");
  ASSERT_FALSE(dir.path().empty());
  EXPECT_EQ(ReadLobbyUrl(dir.path(), "UrlHome"), "");  // no file
  ASSERT_TRUE(update_server::PutFile(
      dir.path(), "LobbyData/lobby.cfg",
      "[Other]\nUrlHome=http://wrong/\n[Lobby]\nUrlHome=http://home.example/\nUrlPay=\n"));
  EXPECT_EQ(ReadLobbyUrl(dir.path(), "UrlHome"), "http://home.example/");
  EXPECT_EQ(ReadLobbyUrl(dir.path(), "UrlPay"), "");
  EXPECT_EQ(ReadLobbyUrl(dir.path(), "UrlGM"), "");
}

}  // namespace
}  // namespace hall
