// Every message that travels between the hall and the gate, as (kind, subid, package, message):
// one typed command class, one creator and one factory entry each. Kind 12 subid 6 has a message
// but no command. Expanded with a macro X(kind, subid, package, message).
#pragma once

// clang-format off
#define GATECLIENT_FOR_EACH_COMMAND(X) \
  X(12, 1, gate, PulseReq) \
  X(12, 2, gate, PulseRsp) \
  X(12, 3, gate, TransferDataReq) \
  X(12, 4, gate, TransferDataRsp) \
  X(12, 5, gate, AuthInfo) \
  X(12, 7, gate, HelloReq) \
  X(12, 8, gate, HelloRsp) \
  X(13, 1, client, LoginReq) \
  X(13, 2, client, LoginRsp) \
  X(13, 3, client, LogoutReq) \
  X(13, 4, client, LogoutRsp) \
  X(13, 5, client, EnterAppReq) \
  X(13, 6, client, EnterAppRsp) \
  X(13, 7, client, MessagePrompt) \
  X(13, 8, client, UserInfoReq) \
  X(13, 9, client, UserInfoRsp) \
  X(13, 10, client, QueryFundReq) \
  X(13, 11, client, QueryFundRsp) \
  X(13, 12, client, PackedMessage) \
  X(13, 80, client, GetOnlineUserReq) \
  X(13, 81, client, GetOnlineUserRsp) \
  X(13, 82, client, KickUserReq) \
  X(13, 83, client, KickUserRsp) \
  X(13, 90, client, TestRouter) \
  X(14, 1, matchclient, PlayerActionReq) \
  X(14, 2, matchclient, PlayerActionRsp) \
  X(14, 3, matchclient, JoinReq) \
  X(14, 4, matchclient, JoinRsp) \
  X(14, 5, matchclient, TableStatus) \
  X(14, 6, matchclient, GameData) \
  X(14, 7, matchclient, AddChip) \
  X(14, 8, matchclient, RankListReq) \
  X(14, 9, matchclient, MatchRankData) \
  X(14, 10, matchclient, EnterMatchReq) \
  X(14, 11, matchclient, EnterMatchRsp) \
  X(14, 12, matchclient, RoundStart) \
  X(14, 13, matchclient, UserInfoInd) \
  X(14, 14, matchclient, RoundEnd) \
  X(14, 15, matchclient, MatchStart) \
  X(14, 16, matchclient, DieoutStageEnding) \
  X(14, 17, matchclient, OneTurnEvent) \
  X(14, 18, matchclient, StageEvent) \
  X(14, 19, matchclient, MatchPrize) \
  X(14, 20, matchclient, BaseScoreEvent) \
  X(14, 21, matchclient, BackGameReq) \
  X(14, 22, matchclient, BackGameRsp) \
  X(14, 23, matchclient, FixedNumberPlanReq) \
  X(14, 24, matchclient, FixedNumberPlanRsp) \
  X(14, 25, matchclient, MayIBack2MP) \
  X(14, 26, matchclient, RoundSceneReq) \
  X(14, 27, matchclient, RoundSceneRsp) \
  X(14, 28, matchclient, PlayerRightReq) \
  X(14, 29, matchclient, PlayerRightRsp) \
  X(14, 30, matchclient, UserDetailInfo) \
  X(14, 32, matchclient, PlayerEndOneMatch) \
  X(14, 33, matchclient, FreeMatchNewMatch) \
  X(18, 1, hallclient, AllGroupReq) \
  X(18, 2, hallclient, AllGroupRsp) \
  X(18, 3, hallclient, AllListReq) \
  X(18, 4, hallclient, AllListRsp) \
  X(18, 7, hallclient, AllPlanReq) \
  X(18, 8, hallclient, AllPlanRsp) \
  X(18, 9, hallclient, DisplayPlanUpdateReq) \
  X(18, 10, hallclient, PlanAllStartPoint) \
  X(18, 11, hallclient, MyMatchDataReq) \
  X(18, 12, hallclient, MyMatchDataRsp) \
  X(18, 13, hallclient, GetMatchDetailReq) \
  X(18, 14, hallclient, GetMatchDetailRsp) \
  X(18, 15, hallclient, TokenReq) \
  X(18, 16, hallclient, TokenRsp) \
  X(18, 17, hallclient, ClientSysInfo) \
  X(23, 1, userinfo, RegisterCheckReq) \
  X(23, 2, userinfo, RegisterCheckRsp) \
  X(23, 3, userinfo, RegisterReq) \
  X(23, 4, userinfo, RegisterRsp) \
  X(23, 5, userinfo, ModifyPasswordReq) \
  X(23, 6, userinfo, ModifyPasswordRsp) \
  X(159, 1, captcha, CaptchaReq) \
  X(159, 2, captcha, CaptchaRsp)
// clang-format on
