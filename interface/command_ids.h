#ifndef INTERFACE_COMMAND_IDS_H_
#define INTERFACE_COMMAND_IDS_H_

// Command ids: every command is labelled by (kind, subid). The kind names the schema a message
// belongs to; the subid is the message's value in that schema's id enum. Kinds live here rather
// than in the schemas, and the match schema is built for the lite runtime, which keeps no enum
// names, so its subids are only defined here.

#include <cstdint>

namespace qv::cmd {

using Kind = std::uint16_t;
using SubId = std::uint16_t;

// Internal kinds: these commands never reach the wire.
inline constexpr Kind kKindDeferred = 5;  // deferred callbacks, subid 0
inline constexpr Kind kKindNetwork = 9;   // connection events of the network agent

// Wire kinds, one per schema that carries commands.
inline constexpr Kind kKindGate = 12;         // gate/gate.proto
inline constexpr Kind kKindClient = 13;       // client/client.proto
inline constexpr Kind kKindMatchClient = 14;  // client/matchclient.proto
inline constexpr Kind kKindHallClient = 18;   // client/hallclient.proto
inline constexpr Kind kKindUserInfo = 23;     // client/userinfo.proto
inline constexpr Kind kKindCaptcha = 159;     // client/captcha.proto

// Kind 12, enum CMDID_Gate.
namespace gate {
inline constexpr SubId kPulseReq = 1;
inline constexpr SubId kPulseRsp = 2;
inline constexpr SubId kTransferDataReq = 3;
inline constexpr SubId kTransferDataRsp = 4;
inline constexpr SubId kAuthInfo = 5;
inline constexpr SubId kLoginToken = 6;  // declared only: no command carries it
inline constexpr SubId kHelloReq = 7;
inline constexpr SubId kHelloRsp = 8;
inline constexpr SubId kLast = 10;
}  // namespace gate

// Kind 13, enum CMDID_Client.
namespace client {
inline constexpr SubId kLoginReq = 1;
inline constexpr SubId kLoginRsp = 2;
inline constexpr SubId kLogoutReq = 3;
inline constexpr SubId kLogoutRsp = 4;
inline constexpr SubId kEnterAppReq = 5;
inline constexpr SubId kEnterAppRsp = 6;
inline constexpr SubId kMessagePrompt = 7;
inline constexpr SubId kUserInfoReq = 8;
inline constexpr SubId kUserInfoRsp = 9;
inline constexpr SubId kQueryFundReq = 10;
inline constexpr SubId kQueryFundRsp = 11;
inline constexpr SubId kPackedMessage = 12;
inline constexpr SubId kGetOnlineUserReq = 80;
inline constexpr SubId kGetOnlineUserRsp = 81;
inline constexpr SubId kKickUserReq = 82;
inline constexpr SubId kKickUserRsp = 83;
inline constexpr SubId kTestRouter = 90;
inline constexpr SubId kLast = 100;
}  // namespace client

// Kind 14. No id enum exists for this kind; subid 31 is unused.
namespace matchclient {
inline constexpr SubId kPlayerActionReq = 1;
inline constexpr SubId kPlayerActionRsp = 2;
inline constexpr SubId kJoinReq = 3;
inline constexpr SubId kJoinRsp = 4;
inline constexpr SubId kTableStatus = 5;
inline constexpr SubId kGameData = 6;
inline constexpr SubId kAddChip = 7;
inline constexpr SubId kRankListReq = 8;
inline constexpr SubId kMatchRankData = 9;
inline constexpr SubId kEnterMatchReq = 10;
inline constexpr SubId kEnterMatchRsp = 11;
inline constexpr SubId kRoundStart = 12;
inline constexpr SubId kUserInfoInd = 13;
inline constexpr SubId kRoundEnd = 14;
inline constexpr SubId kMatchStart = 15;
inline constexpr SubId kDieoutStageEnding = 16;
inline constexpr SubId kOneTurnEvent = 17;
inline constexpr SubId kStageEvent = 18;
inline constexpr SubId kMatchPrize = 19;
inline constexpr SubId kBaseScoreEvent = 20;
inline constexpr SubId kBackGameReq = 21;
inline constexpr SubId kBackGameRsp = 22;
inline constexpr SubId kFixedNumberPlanReq = 23;
inline constexpr SubId kFixedNumberPlanRsp = 24;
inline constexpr SubId kMayIBack2MP = 25;
inline constexpr SubId kRoundSceneReq = 26;
inline constexpr SubId kRoundSceneRsp = 27;
inline constexpr SubId kPlayerRightReq = 28;
inline constexpr SubId kPlayerRightRsp = 29;
inline constexpr SubId kUserDetailInfo = 30;
inline constexpr SubId kPlayerEndOneMatch = 32;
inline constexpr SubId kFreeMatchNewMatch = 33;
}  // namespace matchclient

// Kind 18, enum CMDID_HallClient. Subids 5 and 6 are unused.
namespace hallclient {
inline constexpr SubId kAllGroupReq = 1;
inline constexpr SubId kAllGroupRsp = 2;
inline constexpr SubId kAllListReq = 3;
inline constexpr SubId kAllListRsp = 4;
inline constexpr SubId kAllPlanReq = 7;
inline constexpr SubId kAllPlanRsp = 8;
inline constexpr SubId kDisplayPlanUpdateReq = 9;
inline constexpr SubId kPlanAllStartPoint = 10;
inline constexpr SubId kMyMatchDataReq = 11;
inline constexpr SubId kMyMatchDataRsp = 12;
inline constexpr SubId kGetMatchDetailReq = 13;
inline constexpr SubId kGetMatchDetailRsp = 14;
inline constexpr SubId kTokenReq = 15;
inline constexpr SubId kTokenRsp = 16;
inline constexpr SubId kClientSysInfo = 17;
inline constexpr SubId kLast = 100;
}  // namespace hallclient

// Kind 23, enum CMDID_UserInfo.
namespace userinfo {
inline constexpr SubId kRegisterCheckReq = 1;
inline constexpr SubId kRegisterCheckRsp = 2;
inline constexpr SubId kRegisterReq = 3;
inline constexpr SubId kRegisterRsp = 4;
inline constexpr SubId kModifyPasswordReq = 5;
inline constexpr SubId kModifyPasswordRsp = 6;
inline constexpr SubId kModifyUserInfoReq = 7;  // no message: never built nor decoded
inline constexpr SubId kModifyUserInfoRsp = 8;  // no message: never built nor decoded
inline constexpr SubId kLast = 31;
}  // namespace userinfo

// Kind 159, enum CMDID_Captcha. Subids 3 to 6 have no message: never built nor decoded.
namespace captcha {
inline constexpr SubId kCaptchaReq = 1;
inline constexpr SubId kCaptchaRsp = 2;
inline constexpr SubId kVerifyReq = 3;
inline constexpr SubId kVerifyRsp = 4;
inline constexpr SubId kInfoReq = 5;
inline constexpr SubId kInfoRsp = 6;
inline constexpr SubId kLast = 31;
}  // namespace captcha

}  // namespace qv::cmd

#endif  // INTERFACE_COMMAND_IDS_H_
