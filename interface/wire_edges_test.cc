// The behaviour at the edges of the generated classes that the command layer, the gate protocol
// and the game relay rely on: required fields, defaults, undeclared enum values, unknown and
// packed fields, the exact bytes of oddly numbered fields, and truncated input.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gtest/gtest.h"
#include "interface/wire_bytes_for_test.h"
#include "types/types.pb.h"

namespace {

using google::protobuf::MessageLite;
using wire_test::BytesField;
using wire_test::Hex;
using wire_test::PackedField;
using wire_test::VarintField;

std::string Serialized(const MessageLite& message) {
  std::string out;
  EXPECT_TRUE(message.SerializePartialToString(&out));
  return out;
}

std::unique_ptr<MessageLite> Parsed(const MessageLite& prototype, const std::string& bytes,
                                    bool* ok) {
  std::unique_ptr<MessageLite> message(prototype.New());
  *ok = message->ParseFromString(bytes);
  return message;
}

// Messages with required fields: without them the parse fails (no command is made from such a
// payload); with them, and only with all of them, it succeeds.
TEST(WireEdgesTest, MissingRequiredFieldFailsTheParse) {
  const std::string login_four = VarintField(1, 7) + VarintField(2, 0) + VarintField(3, 1) +
                                 VarintField(4, 0);  // market_id missing
  struct Case {
    const char* what;
    const MessageLite& prototype;
    std::string incomplete;
    std::string complete;
  };
  const std::vector<Case> cases = {
      {"LoginReq", qv::client::LoginReq::default_instance(), login_four,
       login_four + VarintField(5, 0)},
      {"TestRouter", qv::client::TestRouter::default_instance(), BytesField(2, "info"),
       VarintField(1, 1)},
      {"LogoutReq", qv::client::LogoutReq::default_instance(), "", VarintField(1, 5)},
      {"UserInfoReq", qv::client::UserInfoReq::default_instance(), VarintField(2, 3),
       VarintField(1, 5)},
      {"UserInfoRsp", qv::client::UserInfoRsp::default_instance(), BytesField(6, "x"),
       VarintField(1, 5)},
      {"QueryFundReq", qv::client::QueryFundReq::default_instance(), VarintField(1, 2),
       VarintField(1, 2) + VarintField(2, 5)},
      {"QueryFundRsp", qv::client::QueryFundRsp::default_instance(), VarintField(2, 1),
       VarintField(1, 5)},
      {"PlanAllStartPoint", qv::hallclient::PlanAllStartPoint::default_instance(),
       VarintField(1, 2) + VarintField(5, 9), VarintField(3, 0)},
      {"TokenRsp", qv::hallclient::TokenRsp::default_instance(), "", VarintField(1, 0)},
      {"PlayerActionReq", qv::matchclient::PlayerActionReq::default_instance(), VarintField(2, 4),
       VarintField(1, 2)},
      // 3 is not an ActionType: the value is kept aside and the required field stays unset.
      {"PlayerActionReq with an undeclared action",
       qv::matchclient::PlayerActionReq::default_instance(), VarintField(1, 3), VarintField(1, 15)},
      {"PlayerActionRsp", qv::matchclient::PlayerActionRsp::default_instance(), "",
       VarintField(1, 1)},
  };
  for (const auto& c : cases) {
    bool ok = true;
    Parsed(c.prototype, c.incomplete, &ok);
    EXPECT_FALSE(ok) << c.what << " parsed without its required field";
    auto complete = Parsed(c.prototype, c.complete, &ok);
    EXPECT_TRUE(ok) << c.what << " did not parse with its required field";
    EXPECT_TRUE(complete->IsInitialized()) << c.what;
  }
}

TEST(WireEdgesTest, EmptyPayloadParsesWhereNothingIsRequired) {
  const std::vector<const MessageLite*> prototypes = {
      &qv::client::LoginRsp::default_instance(),
      &qv::gate::HelloRsp::default_instance(),
      &qv::hallclient::TokenReq::default_instance(),
      &qv::hallclient::TitleMatchItem::default_instance(),
      &qv::matchclient::JoinRsp::default_instance(),
      &qv::matchclient::MatchRankData::default_instance(),
  };
  for (const MessageLite* prototype : prototypes) {
    bool ok = false;
    auto message = Parsed(*prototype, "", &ok);
    EXPECT_TRUE(ok) << prototype->GetTypeName();
    EXPECT_EQ(message->ByteSizeLong(), 0u) << prototype->GetTypeName();
  }
}

// Unset fields read the declared default, or the enum's first declared value.
TEST(WireEdgesTest, UnsetFieldsReadTheirDefaults) {
  const qv::client::MessagePrompt prompt;
  const qv::client::LoginReq login_req;
  const qv::types::UserSessionInfo session;
  struct Case {
    const char* what;
    long long got;
    long long want;
  };
  const std::vector<Case> cases = {
      {"LoginRsp.login_result", qv::client::LoginRsp().login_result(), 1000},
      {"TestRouter.login_result", qv::client::TestRouter().login_result(), 1},
      {"EnterAppRsp.enter_result", qv::client::EnterAppRsp().enter_result(), 1},
      {"LoginReq.client_os", login_req.client_os(), 1},
      {"LoginReq.action_type", login_req.action_type(), 0},
      {"UserSessionInfo.client_os", session.client_os(), 1},
      {"FundItem.type", qv::types::FundItem().type(), 0},
      {"BaseUserInfo.user_type", qv::types::BaseUserInfo().user_type(), 0},
      {"MessagePrompt.is_chat", prompt.is_chat(), 1},
      {"MessagePrompt.need_close_conn", prompt.need_close_conn(), 0},
      {"MessagePrompt.need_close_game", prompt.need_close_game(), 0},
      {"MessagePrompt.is_eject", prompt.is_eject(), 0},
      {"MessagePrompt.is_tableroll", prompt.is_tableroll(), 0},
      {"startPointItem.start_flag", qv::hallclient::startPointItem().start_flag(), 0},
      {"JoinRsp.join_result", qv::matchclient::JoinRsp().join_result(), 1000},
      {"PlayerActionRsp.action_result", qv::matchclient::PlayerActionRsp().action_result(), 1000},
      {"EnterMatchRsp.enter_result", qv::matchclient::EnterMatchRsp().enter_result(), 1000},
      {"PlayerActionReq.action_type", qv::matchclient::PlayerActionReq().action_type(), 1},
      {"TableStatus.table_state", qv::matchclient::TableStatus().table_state(), 1},
      {"EnterMatchReq.state_1", qv::matchclient::EnterMatchReq().state_1(), 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_FALSE(prompt.has_is_chat());
}

// The generated validity tests accept exactly each enum's value set; the parsers use them to
// decide what is stored and what is kept aside.
TEST(WireEdgesTest, EnumValidityIsExactlyTheValueSet) {
  struct Case {
    const char* what;
    bool (*is_valid)(int);
    std::set<int> values;
  };
  const std::vector<Case> cases = {
      {"LoginReq.LoginAction", qv::client::LoginReq_LoginAction_IsValid, {0, 2, 3, 4, 5, 10}},
      {"ClientOS", qv::types::ClientOS_IsValid, {1, 2, 4, 8}},
      {"ActionType", qv::matchclient::ActionType_IsValid, {1, 2, 4, 5, 10, 11, 13, 14, 15}},
      {"RankState", qv::matchclient::RankState_IsValid, {0, 1, 2}},
      {"EnterMatchState", qv::matchclient::EnterMatchState_IsValid, {0, 2, 4}},
      {"JoinRsp.Result",
       qv::matchclient::JoinRsp_Result_IsValid,
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1000}},
      {"PlayerActionRsp.Result",
       qv::matchclient::PlayerActionRsp_Result_IsValid,
       {0, 1, 2, 3, 1000}},
      {"EnterMatchRsp.Result",
       qv::matchclient::EnterMatchRsp_Result_IsValid,
       {0, 1, 2, 3, 4, 1000}},
      {"TableStatus.TableState", qv::matchclient::TableStatus_TableState_IsValid, {1, 2, 3}},
  };
  for (const auto& c : cases) {
    for (int v = -1; v <= 1100; ++v) {
      EXPECT_EQ(c.is_valid(v), c.values.count(v) == 1) << c.what << " " << v;
    }
  }
}

// An unset embedded message reads as its type's default instance: an empty ranking, an empty
// plan description.
TEST(WireEdgesTest, UnsetEmbeddedMessagesReadEmpty) {
  qv::matchclient::MatchRankData rank;
  ASSERT_TRUE(rank.ParseFromString(VarintField(2, 4)));
  EXPECT_FALSE(rank.has_top_rank_list());
  EXPECT_EQ(&rank.top_rank_list(), &qv::matchclient::TopRankList::default_instance());
  EXPECT_EQ(rank.top_rank_list().values_1_size(), 0);

  qv::hallclient::GetMatchDetailRsp detail;
  ASSERT_TRUE(detail.ParseFromString(VarintField(1, 42)));
  qv::hallclient::TitleMatchItem item;
  ASSERT_TRUE(item.ParseFromString(detail.detail_titlematch()));
  EXPECT_FALSE(item.has_plan_id());
  EXPECT_EQ(item.plan_prizes_size(), 0);
  EXPECT_EQ(item.join_fee_size(), 0);
  EXPECT_FALSE(item.has_hold_fund());
}

// A number that the enum does not declare is not stored: the field reads unset, and the number
// travels on among the unknown fields, so parsing and serializing again loses nothing.
TEST(WireEdgesTest, UndeclaredEnumValueIsKeptAside) {
  struct Case {
    const char* what;
    const MessageLite& prototype;
    std::string input;
    std::function<bool(const MessageLite&)> reads_unset;
  };
  const std::vector<Case> cases = {
      {"LoginRsp.login_result 12", qv::client::LoginRsp::default_instance(), VarintField(1, 12),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::client::LoginRsp&>(m);
         return !r.has_login_result() && r.login_result() == qv::client::LoginRsp::UNKOWN;
       }},
      {"LogoutRsp.logout_reason 2", qv::client::LogoutRsp::default_instance(), VarintField(1, 2),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::client::LogoutRsp&>(m);
         return !r.has_logout_reason() && r.logout_reason() == qv::client::LogoutRsp::Normal;
       }},
      {"UserSessionInfo.client_os 0", qv::types::UserSessionInfo::default_instance(),
       VarintField(3, 0),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::types::UserSessionInfo&>(m);
         return !r.has_client_os() && r.client_os() == qv::types::PC;
       }},
      {"FundItem.type 8", qv::types::FundItem::default_instance(), VarintField(1, 8),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::types::FundItem&>(m);
         return !r.has_type() && r.type() == qv::types::ALL_TYPE;
       }},
      {"BaseUserInfo.user_type 2", qv::types::BaseUserInfo::default_instance(), VarintField(12, 2),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::types::BaseUserInfo&>(m);
         return !r.has_user_type() && r.user_type() == qv::types::BaseUserInfo::UNKNOW;
       }},
      {"startPointItem.start_flag 5", qv::hallclient::startPointItem::default_instance(),
       VarintField(5, 5),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::hallclient::startPointItem&>(m);
         return !r.has_start_flag() &&
                r.start_flag() == qv::hallclient::startPointItem::SIGNUP_FORBID;
       }},
      {"JoinRsp.join_result 17", qv::matchclient::JoinRsp::default_instance(), VarintField(2, 17),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::matchclient::JoinRsp&>(m);
         return !r.has_join_result() && r.join_result() == 1000;
       }},
      {"TableStatus.table_state 0", qv::matchclient::TableStatus::default_instance(),
       VarintField(1, 0),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::matchclient::TableStatus&>(m);
         return !r.has_table_state() && r.table_state() == 1;
       }},
      {"EnterMatchReq.state_1 1", qv::matchclient::EnterMatchReq::default_instance(),
       VarintField(1, 1),
       [](const MessageLite& m) {
         auto& r = static_cast<const qv::matchclient::EnterMatchReq&>(m);
         return !r.has_state_1() && r.state_1() == 0;
       }},
  };
  for (const auto& c : cases) {
    bool ok = false;
    auto message = Parsed(c.prototype, c.input, &ok);
    ASSERT_TRUE(ok) << c.what;
    EXPECT_TRUE(c.reads_unset(*message)) << c.what;
    EXPECT_EQ(Hex(Serialized(*message)), Hex(c.input)) << c.what;
  }
}

// Kept-aside values and unknown field numbers are written after the known fields, byte for byte.
TEST(WireEdgesTest, UnknownFieldsFollowTheKnownOnesAgain) {
  struct Case {
    const char* what;
    const MessageLite& prototype;
    std::string input;
    std::string output;
  };
  const std::string fixed64_field = wire_test::Tag(9, wire_test::kFixed64) + "12345678";
  const std::string fixed32_field = wire_test::Tag(10, wire_test::kFixed32) + "abcd";
  const std::vector<Case> cases = {
      {"JoinRsp with result 17 before plan_id", qv::matchclient::JoinRsp::default_instance(),
       VarintField(2, 17) + VarintField(4, 5), VarintField(4, 5) + VarintField(2, 17)},
      {"JoinReq field 5 before field 4", qv::matchclient::JoinReq::default_instance(),
       VarintField(5, 300) + VarintField(3, 1) + VarintField(4, 2),
       VarintField(3, 1) + VarintField(4, 2) + VarintField(5, 300)},
      {"JoinReq field 3 with the wrong wire type", qv::matchclient::JoinReq::default_instance(),
       BytesField(3, "no") + VarintField(4, 2), VarintField(4, 2) + BytesField(3, "no")},
      {"GameData fixed-width unknowns", qv::matchclient::GameData::default_instance(),
       fixed64_field + BytesField(3, "payload") + fixed32_field,
       BytesField(3, "payload") + fixed64_field + fixed32_field},
      {"PulseRsp from a peer that writes field 1", qv::gate::PulseRsp::default_instance(),
       VarintField(1, 99) + VarintField(2, 7), VarintField(2, 7) + VarintField(1, 99)},
      {"LoginRsp with result 12 and a text", qv::client::LoginRsp::default_instance(),
       VarintField(1, 12) + BytesField(2, "t"), BytesField(2, "t") + VarintField(1, 12)},
      {"TopRankList packed states with an undeclared 5",
       qv::matchclient::TopRankList::default_instance(), PackedField(4, 1, 5, 2),
       VarintField(4, 1) + VarintField(4, 2) + VarintField(4, 5)},
  };
  for (const auto& c : cases) {
    bool ok = false;
    auto message = Parsed(c.prototype, c.input, &ok);
    ASSERT_TRUE(ok) << c.what;
    EXPECT_EQ(Hex(Serialized(*message)), Hex(c.output)) << c.what;
  }
}

TEST(WireEdgesTest, CopyAndClearCarryTheUnknownFields) {
  qv::matchclient::JoinReq received;
  ASSERT_TRUE(received.ParseFromString(VarintField(3, 1) + VarintField(5, 300)));
  qv::matchclient::JoinReq copy;
  copy.CopyFrom(received);
  EXPECT_EQ(Hex(Serialized(copy)), Hex(VarintField(3, 1) + VarintField(5, 300)));
  copy.Clear();
  EXPECT_EQ(Serialized(copy), "");
}

// Repeated scalars are written one tag per element; the packed form reads the same.
TEST(WireEdgesTest, PackedInputReadsLikeUnpacked) {
  struct Case {
    const char* what;
    const MessageLite& prototype;
    int field;
  };
  const std::vector<Case> cases = {
      {"AllPlanRsp.planid_set", qv::hallclient::AllPlanRsp::default_instance(), 6},
      {"AllPlanRsp.plan_ids", qv::hallclient::AllPlanRsp::default_instance(), 10},
      {"DisplayPlanUpdateReq.array_plan_id",
       qv::hallclient::DisplayPlanUpdateReq::default_instance(), 2},
      {"QueryFundReq.fund_type", qv::client::QueryFundReq::default_instance(), 1},
      {"PackedMessage.cmd_kind", qv::client::PackedMessage::default_instance(), 5},
      {"KickUserReq.array_user_id", qv::client::KickUserReq::default_instance(), 2},
      {"TopRankList.values_1", qv::matchclient::TopRankList::default_instance(), 1},
      {"TopRankList.values_2", qv::matchclient::TopRankList::default_instance(), 2},
      {"RankListReq.values_4", qv::matchclient::RankListReq::default_instance(), 4},
      {"UserInfoInd.values_2", qv::matchclient::UserInfoInd::default_instance(), 2},
  };
  // QueryFundReq needs its required user_id to parse at all.
  const std::string required = VarintField(2, 1);
  for (const auto& c : cases) {
    const std::string extra = c.prototype.GetTypeName() == "qv.client.QueryFundReq" ? required : "";
    const std::string unpacked =
        VarintField(c.field, 3) + VarintField(c.field, 300) + VarintField(c.field, 0);
    bool ok = false;
    auto from_packed = Parsed(c.prototype, PackedField(c.field, 3, 300, 0) + extra, &ok);
    ASSERT_TRUE(ok) << c.what;
    auto from_unpacked = Parsed(c.prototype, unpacked + extra, &ok);
    ASSERT_TRUE(ok) << c.what;
    EXPECT_EQ(Hex(Serialized(*from_packed)), Hex(Serialized(*from_unpacked))) << c.what;
    // Nothing was left over as unknown: the known field holds all three elements, unpacked.
    const std::string again = Serialized(*from_packed);
    EXPECT_NE(again.find(unpacked), std::string::npos) << c.what << ": " << Hex(again);
  }
}

// Fields whose numbers a peer could easily get wrong, and the signed encodings, byte for byte.
TEST(WireEdgesTest, OddFieldNumbersGiveTheExactBytes) {
  qv::gate::PulseRsp pulse;
  pulse.set_speed_data(1);
  pulse.set_attachd_data("x");
  qv::gate::TransferDataRsp transfer;
  transfer.set_req_id(5);
  qv::gate::HelloReq hello;
  hello.set_ad_id(0);
  qv::hallclient::TitleMatchItem title;
  title.set_hide_nick(true);
  qv::hallclient::TitleMatchItem names;
  names.set_group_name("g");
  names.set_list_name("l");
  qv::types::UserRoomInfo score;
  score.set_score(-1);
  qv::types::UserRoomInfo health;
  health.set_health(-1);
  qv::client::MessagePrompt prompt;
  prompt.set_is_chat(false);
  qv::matchclient::MayIBack2MP back;
  back.set_plan_id(1);
  back.set_match_id(1ull << 40);
  qv::matchclient::StageEvent stage;
  stage.set_value_13(-2);

  struct Case {
    const char* what;
    const MessageLite& message;
    const char* hex;
  };
  const std::vector<Case> cases = {
      {"PulseRsp starts at field 2", pulse, "10 01 1a 01 78"},
      {"TransferDataRsp.req_id is field 6", transfer, "30 05"},
      {"HelloReq.ad_id 0 is field 2 and still written", hello, "10 00"},
      {"TitleMatchItem.hide_nick takes a two-byte tag", title, "c8 03 01"},
      {"TitleMatchItem group and list names", names, "82 03 01 67 8a 03 01 6c"},
      {"UserRoomInfo.score -1 is zig-zag", score, "18 01"},
      {"UserRoomInfo.health -1 takes ten bytes", health, "28 ff ff ff ff ff ff ff ff ff 01"},
      {"MessagePrompt.is_chat false is written when set", prompt, "20 00"},
      {"MayIBack2MP", back, "08 01 10 80 80 80 80 80 20"},
      {"StageEvent.value_13 -2 plain varint", stage, "68 fe ff ff ff ff ff ff ff ff 01"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Hex(Serialized(c.message)), c.hex) << c.what;
}

// A message without its required fields is still written; only the parse refuses it.
TEST(WireEdgesTest, PartialSerializeWritesMessageWithoutRequiredFields) {
  qv::client::LoginReq login;
  login.set_login_account("a");
  login.set_logon_token(9);
  EXPECT_FALSE(login.IsInitialized());
  std::string bytes;
  ASSERT_TRUE(login.SerializePartialToString(&bytes));
  EXPECT_EQ(Hex(bytes), "3a 01 61 a8 01 09");

  qv::client::LoginReq back;
  EXPECT_FALSE(back.ParseFromString(bytes));
  EXPECT_TRUE(back.ParsePartialFromString(bytes));
  EXPECT_EQ(back.login_account(), "a");

  qv::matchclient::PlayerActionRsp action;
  action.set_result_info("r");
  ASSERT_TRUE(action.SerializePartialToString(&bytes));
  EXPECT_EQ(Hex(bytes), "2a 01 72");
}

// Every prefix of an encoding that ends inside a field fails; prefixes that end between fields
// are themselves valid messages.
TEST(WireEdgesTest, TruncatedInputFailsInsideAField) {
  qv::client::LoginRsp login;
  login.set_login_result(qv::client::LoginRsp::SUCCESS);
  login.set_login_info("ok");
  login.set_user_id(1ull << 50);
  login.set_base_info_buff(std::string("\0\1", 2));
  qv::matchclient::JoinRsp join;
  join.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_IN_MATCH);
  join.set_result_info("back");
  join.set_plan_id((1ull << 32) + 1);
  join.set_mp_appid(7);

  struct Case {
    const char* what;
    const MessageLite& message;
    std::vector<size_t> boundaries;
  };
  // Field ends: 08 00 | 12 02 6f 6b | 30 and 8 varint bytes | 3a 02 00 01
  // and 10 0a | 1a 04 ... | 20 and 5 varint bytes | 38 07
  const std::vector<Case> cases = {
      {"LoginRsp", login, {0, 2, 6, 15, 19}},
      {"JoinRsp", join, {0, 2, 8, 14, 16}},
  };
  for (const auto& c : cases) {
    const std::string full = Serialized(c.message);
    ASSERT_EQ(full.size(), c.boundaries.back()) << c.what << ": " << Hex(full);
    for (size_t length = 0; length <= full.size(); ++length) {
      bool at_boundary = false;
      for (size_t b : c.boundaries)
        at_boundary = at_boundary || b == length;
      bool ok = false;
      Parsed(c.message, full.substr(0, length), &ok);
      EXPECT_EQ(ok, at_boundary) << c.what << " cut to " << length << " bytes";
    }
  }
}

}  // namespace
