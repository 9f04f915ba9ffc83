// The kinds and subids of interface/command_ids.h against the schemas: every value of each id
// enum has its constant with the same number, and the match kind's table (which no enum
// carries) names each match message that travels alone exactly once.

#include "interface/command_ids.h"

#include <google/protobuf/descriptor.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "client/captcha.pb.h"
#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "client/userinfo.pb.h"
#include "gate/gate.pb.h"
#include "gtest/gtest.h"

namespace {

namespace cmd = qv::cmd;

struct IdRow {
  const char* enum_value;  // name in the schema's id enum
  cmd::SubId constant;     // the header's constant for it
};

struct KindRow {
  const char* what;
  cmd::Kind kind;
  cmd::Kind want;
  const google::protobuf::EnumDescriptor* id_enum;  // nullptr where the kind has none
  std::vector<IdRow> ids;
};

std::vector<KindRow> WireKinds() {
  namespace g = cmd::gate;
  namespace c = cmd::client;
  namespace h = cmd::hallclient;
  namespace u = cmd::userinfo;
  namespace p = cmd::captcha;
  return {
      {"gate",
       cmd::kKindGate,
       12,
       qv::gate::CMDID_Gate_descriptor(),
       {{"IDPulseReq", g::kPulseReq},
        {"IDPulseRsp", g::kPulseRsp},
        {"IDTransferDataReq", g::kTransferDataReq},
        {"IDTransferDataRsp", g::kTransferDataRsp},
        {"IDAuthInfo", g::kAuthInfo},
        {"IDLoginToken", g::kLoginToken},
        {"IDHelloReq", g::kHelloReq},
        {"IDHelloRsp", g::kHelloRsp},
        {"IDLast", g::kLast}}},
      {"client",
       cmd::kKindClient,
       13,
       qv::client::CMDID_Client_descriptor(),
       {{"IDLoginReq", c::kLoginReq},
        {"IDLoginRsp", c::kLoginRsp},
        {"IDLogoutReq", c::kLogoutReq},
        {"IDLogoutRsp", c::kLogoutRsp},
        {"IDEnterAppReq", c::kEnterAppReq},
        {"IDEnterAppRsp", c::kEnterAppRsp},
        {"IDMessagePrompt", c::kMessagePrompt},
        {"IDUserInfoReq", c::kUserInfoReq},
        {"IDUserInfoRsp", c::kUserInfoRsp},
        {"IDQueryFundReq", c::kQueryFundReq},
        {"IDQueryFundRsp", c::kQueryFundRsp},
        {"IDPackedMessage", c::kPackedMessage},
        {"IDGetOnlineUserReq", c::kGetOnlineUserReq},
        {"IDGetOnlineUserRsp", c::kGetOnlineUserRsp},
        {"IDKickUserReq", c::kKickUserReq},
        {"IDKickUserRsp", c::kKickUserRsp},
        {"IDTestRouter", c::kTestRouter},
        {"IDLast", c::kLast}}},
      {"hallclient",
       cmd::kKindHallClient,
       18,
       qv::hallclient::CMDID_HallClient_descriptor(),
       {{"IDAllGroupReq", h::kAllGroupReq},
        {"IDAllGroupRsp", h::kAllGroupRsp},
        {"IDAllListReq", h::kAllListReq},
        {"IDAllListRsp", h::kAllListRsp},
        {"IDAllPlanReq", h::kAllPlanReq},
        {"IDAllPlanRsp", h::kAllPlanRsp},
        {"IDDisplayPlanUpdateReq", h::kDisplayPlanUpdateReq},
        {"IDPlanAllStartPoint", h::kPlanAllStartPoint},
        {"IDMyMatchDataReq", h::kMyMatchDataReq},
        {"IDMyMatchDataRsp", h::kMyMatchDataRsp},
        {"IDGetMatchDetailReq", h::kGetMatchDetailReq},
        {"IDGetMatchDetailRsp", h::kGetMatchDetailRsp},
        {"IDTokenReq", h::kTokenReq},
        {"IDTokenRsp", h::kTokenRsp},
        {"IDClientSysInfo", h::kClientSysInfo},
        {"IDLast", h::kLast}}},
      {"userinfo",
       cmd::kKindUserInfo,
       23,
       qv::userinfo::CMDID_UserInfo_descriptor(),
       {{"IDRegisterCheckReq", u::kRegisterCheckReq},
        {"IDRegisterCheckRsp", u::kRegisterCheckRsp},
        {"IDRegisterReq", u::kRegisterReq},
        {"IDRegisterRsp", u::kRegisterRsp},
        {"IDModifyPasswordReq", u::kModifyPasswordReq},
        {"IDModifyPasswordRsp", u::kModifyPasswordRsp},
        {"IDModifyUserInfoReq", u::kModifyUserInfoReq},
        {"IDModifyUserInfoRsp", u::kModifyUserInfoRsp},
        {"IDLast", u::kLast}}},
      {"captcha",
       cmd::kKindCaptcha,
       159,
       qv::captcha::CMDID_Captcha_descriptor(),
       {{"IDCaptchaReq", p::kCaptchaReq},
        {"IDCaptchaRsp", p::kCaptchaRsp},
        {"IDVerifyReq", p::kVerifyReq},
        {"IDVerifyRsp", p::kVerifyRsp},
        {"IDInfoReq", p::kInfoReq},
        {"IDInfoRsp", p::kInfoRsp},
        {"IDLast", p::kLast}}},
  };
}

TEST(CommandIdsTest, EveryIdEnumValueHasItsConstant) {
  for (const auto& row : WireKinds()) {
    EXPECT_EQ(row.kind, row.want) << row.what;
    ASSERT_NE(row.id_enum, nullptr);
    EXPECT_EQ(static_cast<size_t>(row.id_enum->value_count()), row.ids.size())
        << row.what << ": the header and the id enum differ in size";
    for (const auto& id : row.ids) {
      const auto* value = row.id_enum->FindValueByName(id.enum_value);
      ASSERT_NE(value, nullptr) << row.what << ": no " << id.enum_value;
      EXPECT_EQ(id.constant, value->number()) << row.what << "." << id.enum_value;
    }
  }
}

// Each id enum's messages are named after their id: "IDFoo" is message Foo where Foo exists,
// and only the ids known to have no message lack one.
TEST(CommandIdsTest, IdsWithoutMessageAreExactlyTheDeclaredOnes) {
  const std::set<std::string> without_message = {
      "qv.gate.IDLast",
      "qv.client.IDLast",
      "qv.hallclient.IDLast",
      "qv.userinfo.IDModifyUserInfoReq",
      "qv.userinfo.IDModifyUserInfoRsp",
      "qv.userinfo.IDLast",
      "qv.captcha.IDVerifyReq",
      "qv.captcha.IDVerifyRsp",
      "qv.captcha.IDInfoReq",
      "qv.captcha.IDInfoRsp",
      "qv.captcha.IDLast",
  };
  for (const auto& row : WireKinds()) {
    const auto* file = row.id_enum->file();
    for (int i = 0; i < row.id_enum->value_count(); ++i) {
      const auto* value = row.id_enum->value(i);
      const std::string message = value->name().substr(2);
      const std::string key = file->package() + "." + value->name();
      const bool has_message = file->FindMessageTypeByName(message) != nullptr;
      EXPECT_EQ(has_message, without_message.count(key) == 0) << key;
    }
  }
}

TEST(CommandIdsTest, MatchKindTableNamesEachTravellingMessageOnce) {
  namespace m = cmd::matchclient;
  namespace mc = qv::matchclient;
  struct Row {
    cmd::SubId constant;
    cmd::SubId want;
    std::string message;  // the lite class's type name
  };
  const std::vector<Row> rows = {
      {m::kPlayerActionReq, 1, mc::PlayerActionReq().GetTypeName()},
      {m::kPlayerActionRsp, 2, mc::PlayerActionRsp().GetTypeName()},
      {m::kJoinReq, 3, mc::JoinReq().GetTypeName()},
      {m::kJoinRsp, 4, mc::JoinRsp().GetTypeName()},
      {m::kTableStatus, 5, mc::TableStatus().GetTypeName()},
      {m::kGameData, 6, mc::GameData().GetTypeName()},
      {m::kAddChip, 7, mc::AddChip().GetTypeName()},
      {m::kRankListReq, 8, mc::RankListReq().GetTypeName()},
      {m::kMatchRankData, 9, mc::MatchRankData().GetTypeName()},
      {m::kEnterMatchReq, 10, mc::EnterMatchReq().GetTypeName()},
      {m::kEnterMatchRsp, 11, mc::EnterMatchRsp().GetTypeName()},
      {m::kRoundStart, 12, mc::RoundStart().GetTypeName()},
      {m::kUserInfoInd, 13, mc::UserInfoInd().GetTypeName()},
      {m::kRoundEnd, 14, mc::RoundEnd().GetTypeName()},
      {m::kMatchStart, 15, mc::MatchStart().GetTypeName()},
      {m::kDieoutStageEnding, 16, mc::DieoutStageEnding().GetTypeName()},
      {m::kOneTurnEvent, 17, mc::OneTurnEvent().GetTypeName()},
      {m::kStageEvent, 18, mc::StageEvent().GetTypeName()},
      {m::kMatchPrize, 19, mc::MatchPrize().GetTypeName()},
      {m::kBaseScoreEvent, 20, mc::BaseScoreEvent().GetTypeName()},
      {m::kBackGameReq, 21, mc::BackGameReq().GetTypeName()},
      {m::kBackGameRsp, 22, mc::BackGameRsp().GetTypeName()},
      {m::kFixedNumberPlanReq, 23, mc::FixedNumberPlanReq().GetTypeName()},
      {m::kFixedNumberPlanRsp, 24, mc::FixedNumberPlanRsp().GetTypeName()},
      {m::kMayIBack2MP, 25, mc::MayIBack2MP().GetTypeName()},
      {m::kRoundSceneReq, 26, mc::RoundSceneReq().GetTypeName()},
      {m::kRoundSceneRsp, 27, mc::RoundSceneRsp().GetTypeName()},
      {m::kPlayerRightReq, 28, mc::PlayerRightReq().GetTypeName()},
      {m::kPlayerRightRsp, 29, mc::PlayerRightRsp().GetTypeName()},
      {m::kUserDetailInfo, 30, mc::UserDetailInfo().GetTypeName()},
      {m::kPlayerEndOneMatch, 32, mc::PlayerEndOneMatch().GetTypeName()},
      {m::kFreeMatchNewMatch, 33, mc::FreeMatchNewMatch().GetTypeName()},
  };
  EXPECT_EQ(cmd::kKindMatchClient, 14);
  std::set<cmd::SubId> subids;
  std::set<std::string> messages;
  for (const auto& row : rows) {
    EXPECT_EQ(row.constant, row.want) << row.message;
    EXPECT_TRUE(subids.insert(row.constant).second) << "subid " << row.constant << " twice";
    EXPECT_TRUE(messages.insert(row.message).second) << row.message << " twice";
  }
  EXPECT_EQ(subids.count(31), 0u);
  // 35 messages, of which PrizeItem, TopRankList and MatchGoingInfo travel only inside others or
  // not at all.
  EXPECT_EQ(messages.count(mc::PrizeItem().GetTypeName()), 0u);
  EXPECT_EQ(messages.count(mc::TopRankList().GetTypeName()), 0u);
  EXPECT_EQ(messages.count(mc::MatchGoingInfo().GetTypeName()), 0u);
  EXPECT_EQ(rows.size(), 32u);
}

TEST(CommandIdsTest, KindsAreDistinct) {
  const std::vector<cmd::Kind> kinds = {
      cmd::kKindDeferred,    cmd::kKindNetwork,    cmd::kKindGate,     cmd::kKindClient,
      cmd::kKindMatchClient, cmd::kKindHallClient, cmd::kKindUserInfo, cmd::kKindCaptcha};
  EXPECT_EQ(std::set<cmd::Kind>(kinds.begin(), kinds.end()).size(), kinds.size());
  EXPECT_EQ(cmd::kKindDeferred, 5);
  EXPECT_EQ(cmd::kKindNetwork, 9);
}

}  // namespace
