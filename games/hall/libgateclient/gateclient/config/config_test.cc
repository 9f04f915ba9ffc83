#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "gateclient/config/qconfig.h"
#include "gateclient/config/qgate_address.h"
#include "platform/file_util.h"

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/config_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return platform::JoinPath(dir_, name); }
  std::string dir_;
};

TEST_F(ConfigTest, DefaultPathsAreTheLobbyDataFiles) {
  EXPECT_EQ(QConfig().file_name(), "LobbyData/client.ini");
  EXPECT_EQ(QGateAddress().file_name(), "LobbyData/addr.ini");
}

TEST_F(ConfigTest, MissingSettingsFileLeavesEveryDefault) {
  QConfig config(Path("client.ini"));
  EXPECT_FALSE(config.Load());
  EXPECT_EQ(config.pageid.value, 1);
  EXPECT_EQ(config.start_point_interval.value, 30);
  EXPECT_EQ(config.show.value, 0);
  EXPECT_EQ(config.gameid.value, "501,502,555");
  EXPECT_EQ(config.gameexe.value, "zop,zop,twozop");
  EXPECT_EQ(config.resource.value, "zop,zop,twozop");
  EXPECT_EQ(config.timedisconn.value, 25);
  EXPECT_EQ(config.message_mode.value, 1);
  EXPECT_EQ(config.send_heartbeat.value, 1);
  EXPECT_EQ(config.quick_start_list.value, 0);
  EXPECT_EQ(config.recommended_list.value, 1);
  EXPECT_EQ(config.gamekind.value, 0);
  for (const std::string& entry : config.address.entries)
    EXPECT_EQ(entry, "");
}

TEST_F(ConfigTest, SettingsAreReadFromTheirSectionsByUtf8Keys) {
  ASSERT_TRUE(platform::WriteFileAtomic(Path("client.ini"),
                                        "[main]\n"
                                        "发送心跳=0\n"
                                        "快速开赛列表=2\n"
                                        "开赛点获取间隔秒数=12\n"
                                        "timedisconn=x\n"
                                        "gameid=7\n"
                                        "show=1\n"  // belongs to [ui], not [main]
                                        "[ui]\n"
                                        "show=3\n"
                                        "[gate]\n"
                                        "address_31=last:1\n"));
  QConfig config(Path("client.ini"));
  ASSERT_TRUE(config.Load());
  EXPECT_EQ(config.send_heartbeat.value, 0);
  EXPECT_EQ(config.quick_start_list.value, 2);  // the catalogue asks only when it is 1
  EXPECT_EQ(config.start_point_interval.value, 12);
  EXPECT_EQ(config.timedisconn.value, 0);  // non-numeric reads as 0
  EXPECT_EQ(config.gameid.value, "7");
  EXPECT_EQ(config.gameexe.value, "zop,zop,twozop");
  EXPECT_EQ(config.show.value, 3);
  EXPECT_EQ(config.address.entries[31], "last:1");
  EXPECT_EQ(config.recommended_list.value, 1);
}

TEST_F(ConfigTest, SingleGateAddressLeavesTheOthersEmpty) {
  ASSERT_TRUE(platform::WriteFileAtomic(Path("addr.ini"), "[ADDR]\naddr_05=host:10168\n"));
  QGateAddress gates(Path("addr.ini"));
  ASSERT_TRUE(gates.Load());
  for (int i = 0; i < ccf::RConfigItemStringArr::kCount; ++i) {
    EXPECT_EQ(gates.addr.entries[i], i == 5 ? "host:10168" : "") << i;
  }
  EXPECT_EQ(gates.addr.ElementKey(0), "addr_00");
  EXPECT_EQ(gates.addr.ElementKey(31), "addr_31");
}

TEST_F(ConfigTest, SecondLoadDoesNotReadTheFileAgain) {
  QGateAddress failed(Path("addr.ini"));
  EXPECT_FALSE(failed.Load());
  ASSERT_TRUE(platform::WriteFileAtomic(Path("addr.ini"), "[ADDR]\naddr_00=a:1\n"));
  EXPECT_TRUE(failed.Load());
  EXPECT_EQ(failed.addr.entries[0], "");

  QGateAddress loaded(Path("addr.ini"));
  ASSERT_TRUE(loaded.Load());
  ASSERT_TRUE(platform::WriteFileAtomic(Path("addr.ini"), "[ADDR]\naddr_00=b:2\n"));
  EXPECT_TRUE(loaded.Load());
  EXPECT_EQ(loaded.addr.entries[0], "a:1");
}

TEST_F(ConfigTest, ItemListVisitsEveryItemOnceInDeclarationOrder) {
  QConfig config(Path("client.ini"));
  std::vector<std::string> keys;
  for (ccf::RConfigItemBase* item = config.FirstItem(); item != nullptr; item = item->next) {
    keys.push_back(item->key);
  }
  EXPECT_EQ(keys,
            (std::vector<std::string>{"pageid", "address", "开赛点获取间隔秒数", "show", "gameid",
                                      "gameexe", "resource", "timedisconn", "报文方式", "发送心跳",
                                      "快速开赛列表", "推荐大赛列表", "gamekind"}));
}

}  // namespace
