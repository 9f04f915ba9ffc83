#include "testing/game/hall_message_text.h"

#include <gtest/gtest.h>

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/ipc/ipc_frames.h"

namespace fake_game {
namespace {

// A frame as the hall's plan table sends a command: wrapped into a gate transfer.
std::string Transfer(uint32_t kind, uint32_t subid, const std::string& data) {
  qv::gate::TransferDataReq t;
  t.set_data_cmd_kind(kind);
  t.set_data_cmd_subid(subid);
  t.set_data(data);
  qvc::HallFrame f;
  f.kind = 12;
  f.subid = 3;
  t.SerializePartialToString(&f.body);
  return qvc::EncodeHallFrame(f);
}

std::string Frame(uint32_t type, uint16_t kind, uint16_t subid, const std::string& body = "") {
  qvc::HallFrame f;
  f.type = type;
  f.kind = kind;
  f.subid = subid;
  f.body = body;
  return qvc::EncodeHallFrame(f);
}

std::string LoginReply(const std::string& nick) {
  qv::client::LoginRsp m;
  m.set_login_result(qv::client::LoginRsp::SUCCESS);
  m.set_user_id(10001);
  if (!nick.empty())
    m.mutable_base_info()->set_nick_name(nick);
  return m.SerializePartialAsString();
}

std::string MatchStart() {
  qv::matchclient::MatchStart m;
  m.set_match_id(7);
  m.set_match_group(3);
  m.set_game_kind(502);
  m.set_mp_id(6);
  return m.SerializeAsString();
}

std::string JoinReply(bool start_game) {
  qv::matchclient::JoinRsp m;
  m.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
  m.set_plan_id(33);
  m.set_start_game(start_game);
  return m.SerializeAsString();
}

std::string Detail() {
  qv::hallclient::GetMatchDetailRsp m;
  m.set_plan_id(33);
  m.set_app_id(41);
  return m.SerializeAsString();
}

std::string Prize(const std::string& text) {
  qv::matchclient::MatchPrize m;
  m.add_prize_items();
  m.add_prize_items();
  m.set_text_2(text);
  return m.SerializeAsString();
}

TEST(HallMessageTextTest, DescribesEveryFrameTheHallSends) {
  struct Case {
    std::string name;
    std::string frame;
    bool carries;
    uint32_t inner_kind, inner_subid;
    std::string text;
  };
  const std::string long_nick(40, 'n');
  const Case cases[] = {
      {"login", Transfer(13, 2, LoginReply("小明")), true, 13, 2,
       "(13,2) 登录回复 · 结果 0 · 用户 10001 · 昵称 小明"},
      {"login without nickname", Transfer(13, 2, LoginReply("")), true, 13, 2,
       "(13,2) 登录回复 · 结果 0 · 用户 10001"},
      {"nickname cut, control bytes blanked", Transfer(13, 2, LoginReply("a\nb" + long_nick)), true,
       13, 2, "(13,2) 登录回复 · 结果 0 · 用户 10001 · 昵称 a b" + std::string(29, 'n') + "…"},
      {"detail", Transfer(18, 14, Detail()), true, 18, 14,
       "(18,14) 比赛详情 · 方案 33 · 比赛服务 41"},
      {"match start", Transfer(14, 15, MatchStart()), true, 14, 15,
       "(14,15) 比赛开始 · 比赛 7 · 分组 3 · 游戏类型 502 · 比赛进程 6"},
      {"join starting the game", Transfer(14, 4, JoinReply(true)), true, 14, 4,
       "(14,4) 报名回复 · 结果 0 · 方案 33 · 开始游戏"},
      {"join", Transfer(14, 4, JoinReply(false)), true, 14, 4,
       "(14,4) 报名回复 · 结果 0 · 方案 33"},
      {"prize", Transfer(14, 19, Prize("冠军 100 金币")), true, 14, 19,
       "(14,19) 比赛奖励 · 2 项 · 冠军 100 金币"},
      {"other command", Transfer(14, 3, "abcd"), true, 14, 3, "(14,3) 4 字节"},
      {"damaged known command", Transfer(14, 15, "\xff\xff"), true, 14, 15,
       "(14,15) 无法解析 · 2 字节"},
      {"gate connected", Frame(1, 9, 0), false, 0, 0, "(9,0) 网关已连接"},
      {"gate closed", Frame(1, 9, 1), false, 0, 0, "(9,1) 网关已断开"},
      {"other state", Frame(1, 9, 7), false, 0, 0, "(9,7) 连接状态"},
      {"not a transfer", Frame(0, 14, 3, "xyz"), false, 0, 0, "(14,3) 3 字节"},
      {"unknown type", Frame(5, 12, 3, "xy"), false, 0, 0, "(12,3) 类型 5 · 2 字节"},
      {"damaged transfer", Frame(0, 12, 3, "\x0a\xff"), false, 0, 0,
       "(12,3) 无法解开的转发 · 2 字节"},
      {"transfer without its command id", Frame(0, 12, 3, ""), false, 0, 0,
       "(12,3) 无法解开的转发 · 0 字节"},
  };
  for (const Case& c : cases) {
    const HallMessageText t = DescribeHallFrame(c.frame);
    EXPECT_TRUE(t.decoded) << c.name;
    EXPECT_EQ(t.carries, c.carries) << c.name;
    if (c.carries) {
      EXPECT_EQ(t.inner_kind, c.inner_kind) << c.name;
      EXPECT_EQ(t.inner_subid, c.inner_subid) << c.name;
    }
    EXPECT_EQ(t.text, c.text) << c.name;
  }
}

TEST(HallMessageTextTest, EveryCutFrameHeaderIsAShortFrame) {
  const std::string whole = Transfer(13, 2, LoginReply("x"));
  for (size_t n = 0; n < qvc::kHallFrameHeaderBytes; ++n) {
    const HallMessageText t = DescribeHallFrame(std::string_view(whole).substr(0, n));
    EXPECT_FALSE(t.decoded) << n;
    EXPECT_EQ(t.text, "短帧 · " + std::to_string(n) + " 字节");
  }
  EXPECT_TRUE(
      DescribeHallFrame(std::string_view(whole).substr(0, qvc::kHallFrameHeaderBytes)).decoded);
}

}  // namespace
}  // namespace fake_game
