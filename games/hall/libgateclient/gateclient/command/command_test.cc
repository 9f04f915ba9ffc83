#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "gateclient/command/factories.h"
#include "gateclient/command/gate_encoders.h"
#include "gateclient/command/transfer_wrap.h"
#include "gateclient/command/typed_commands.h"

namespace qv {
namespace {

// The accepted subids of each kind, written out independently of the command list.
std::set<int> Range(int from, int to) {
  std::set<int> out;
  for (int i = from; i <= to; ++i) out.insert(i);
  return out;
}
std::set<int> Join(std::set<int> a, const std::set<int>& b) {
  a.insert(b.begin(), b.end());
  return a;
}
const std::map<int, std::set<int>>& AcceptedSubids() {
  static const std::map<int, std::set<int>> table = {
      {12, {1, 2, 3, 4, 5, 7, 8}},
      {13, Join(Join(Range(1, 12), Range(80, 83)), {90})},
      {14, Join(Range(1, 30), {32, 33})},
      {18, Join(Range(1, 4), Range(7, 17))},
      {23, Range(1, 6)},
      {159, {1, 2}},
  };
  return table;
}

// Messages whose empty encoding does not parse (they have required fields).
bool EmptyPayloadParses(int kind, int subid) {
#define GATECLIENT_TEST_EMPTY(k, s, package, name) \
  if (kind == (k) && subid == (s)) return package::name().IsInitialized();
  GATECLIENT_FOR_EACH_COMMAND(GATECLIENT_TEST_EMPTY)
#undef GATECLIENT_TEST_EMPTY
  ADD_FAILURE() << "no class for " << kind << "," << subid;
  return false;
}

void Drop(CMD_base* command) { delete command; }

TEST(CommandFactoryTest, EveryKindAndSubid) {
  struct Factory {
    const char* name;
    int kind;
    CommandFactory make;
  };
  const std::vector<Factory> factories = {
      {"client", 13, &CreateClientCommand},       {"matchclient", 14, &CreateMatchClientCommand},
      {"hallclient", 18, &CreateHallClientCommand}, {"userinfo", 23, &CreateUserInfoCommand},
      {"captcha", 159, &CreateCaptchaCommand},
  };
  const std::vector<int> kinds = {0, 5, 9, 12, 13, 14, 18, 23, 99, 159};
  int classes = 0;
  for (const Factory& f : factories) {
    const std::set<int>& accepted = AcceptedSubids().at(f.kind);
    for (int kind : kinds) {
      for (int subid = 0; subid <= 260; ++subid) {
        SCOPED_TRACE(std::string(f.name) + " kind " + std::to_string(kind) + " subid " +
                     std::to_string(subid));
        const bool has = kind == f.kind && accepted.count(subid) != 0;
        CMD_base* made = f.make(kind, subid, "");
        if (!has) {
          EXPECT_EQ(made, nullptr);
        } else if (EmptyPayloadParses(kind, subid)) {
          ASSERT_NE(made, nullptr);
          ++classes;
          EXPECT_EQ(made->command_id(), CommandIdWord(kind, subid));
          EXPECT_EQ(made->releaser, nullptr);
          EXPECT_TRUE(made->payload.empty());
        } else {
          EXPECT_EQ(made, nullptr) << "a message with required fields parsed from nothing";
        }
        Drop(made);
      }
    }
  }
  // Gate commands by subid alone; subid 6 has a message but no command.
  for (int subid = 0; subid <= 260; ++subid) {
    CMD_base* made = CreateGateCommand(subid, "");
    EXPECT_EQ(made != nullptr, AcceptedSubids().at(12).count(subid) != 0) << subid;
    if (made != nullptr) {
      EXPECT_EQ(made->command_id(), CommandIdWord(12, subid));
    }
    Drop(made);
  }
  // Most application messages have no required field, so most pairs produced a command.
  EXPECT_GT(classes, 50);
}

TEST(CommandFactoryTest, BytesThatDoNotParseGiveNull) {
  // A truncated varint (field 1, varint, continuation bit set and nothing after it).
  EXPECT_EQ(CreateGateCommand(cmd::gate::kPulseReq, std::string("\x08\x80", 2)), nullptr);
  EXPECT_EQ(CreateClientCommand(13, 2, std::string("\x08\x80", 2)), nullptr);
  // Valid bytes parse: a LoginRsp with its required result.
  client::LoginRsp rsp;
  rsp.set_login_result(client::LoginRsp::SUCCESS);
  rsp.set_user_id(77);
  CMD_base* made = CreateClientCommand(13, 2, rsp.SerializeAsString());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(static_cast<CmdLoginRsp*>(made)->message.user_id(), 77u);
  delete made;
}

TEST(CmdTemplateTest, IdWordAndCopyFrom) {
  CmdTransferDataReq transfer;
  EXPECT_EQ(transfer.command_id(), 0x3000Cu);

  CmdHelloRsp a, b;
  a.routing.connid = 9;
  a.routing.apptype = 3;
  a.message.set_login_token(5);
  b.payload = "kept";
  b.delay = 40;
  b.message.set_rsp_flag(7);  // cleared by the copy
  b.CopyFrom(a);
  EXPECT_EQ(b.routing, a.routing);
  EXPECT_EQ(b.message.login_token(), 5u);
  EXPECT_FALSE(b.message.has_rsp_flag());
  EXPECT_EQ(b.payload, "kept");
  EXPECT_EQ(b.delay, 40);
  EXPECT_EQ(b.command_id(), CommandIdWord(12, 8));
  b.CopyFrom(b);  // on itself only the header is rewritten
  EXPECT_EQ(b.message.login_token(), 5u);
}

TEST(CmdTemplateTest, SerializeBodyIsTrueEvenWithoutRequiredFields) {
  CmdLoginReq login;  // every required field but one missing
  login.message.set_game_kind(502);
  std::string out = "x";
  EXPECT_TRUE(login.SerializeBody(&out));
  EXPECT_EQ(out, std::string("\x08\xf6\x03", 3));
}

TEST(GateEncoderTest, FillsIdsRoutingAndPayload) {
  CmdPulseReq pulse;
  pulse.routing.connid = 4;
  pulse.message.set_my_speed(1);
  CMDNetwork_DataMessage out;
  ASSERT_TRUE(EncodeGateCommand(pulse, out));
  EXPECT_EQ(out.gate_kind, 12);
  EXPECT_EQ(out.gate_subid, 1);
  EXPECT_EQ(out.routing.connid, 4u);
  EXPECT_EQ(out.payload, std::string("\x08\x01", 2));

  CmdHelloReq hello;
  hello.message.set_ad_id(0);  // set, so present on the wire
  ASSERT_TRUE(EncodeGateCommand(hello, out));
  EXPECT_EQ(out.gate_subid, 7);
  EXPECT_EQ(out.payload, std::string("\x10\x00", 2));

  // Only the seven gate classes encode.
  CmdLoginReq login;
  out.payload = "untouched";
  EXPECT_FALSE(EncodeGateCommand(login, out));
  EXPECT_EQ(out.payload, "untouched");
}

TEST(TransferWrapTest, WrapsOnlyCommandsThatTravel) {
  struct Case {
    int kind, subid;
    bool wrapped;
  };
  const std::vector<Case> cases = {
      {14, 31, false}, {14, 33, true}, {13, 90, true}, {13, 13, false}, {18, 5, false},
      {18, 17, true},  {23, 6, true},  {23, 7, false}, {12, 1, false},  {159, 1, false},
      {9, 2, false},   {5, 0, false},
  };
  for (const Case& c : cases) {
    // A plain base command carries just the ids: its serialized body is empty.
    CMD_base command(c.kind, c.subid);
    CmdTransferDataReq wrapper;
    wrapper.message.set_req_id(99);
    EXPECT_EQ(WrapForGate(command, wrapper), c.wrapped) << c.kind << "," << c.subid;
    if (c.wrapped) {
      EXPECT_EQ(wrapper.message.data_cmd_subid(), static_cast<uint32_t>(c.subid));
      EXPECT_EQ(wrapper.message.data_cmd_kind(), static_cast<uint32_t>(c.kind));
    } else {
      EXPECT_FALSE(wrapper.message.has_data_cmd_kind());
    }
  }
}

TEST(TransferWrapTest, CarriesTheDestinationAndTheSerializedMessage) {
  CmdJoinReq join;
  join.routing.apptype = 7;
  join.routing.appid = 2;
  join.message.set_plan_id(1234);
  CmdTransferDataReq wrapper;
  wrapper.routing.connid = 5;
  WrapIntoTransferData(join, wrapper);
  EXPECT_EQ(wrapper.message.att_apptype(), 7u);
  EXPECT_EQ(wrapper.message.att_appid(), 2u);
  EXPECT_EQ(wrapper.message.data_cmd_kind(), 14u);
  EXPECT_EQ(wrapper.message.data_cmd_subid(), 3u);
  EXPECT_EQ(wrapper.message.data(), join.message.SerializeAsString());
  EXPECT_FALSE(wrapper.message.has_req_id());
  EXPECT_FALSE(wrapper.message.has_att_sessionid());
  EXPECT_EQ(wrapper.routing.connid, 5u);
  EXPECT_EQ(wrapper.command_id(), 0x3000Cu);

  // Zero values are present on the wire.
  CMD_base bare(13, 1);
  CmdTransferDataReq zero;
  WrapIntoTransferData(bare, zero);
  EXPECT_TRUE(zero.message.has_att_apptype());
  EXPECT_TRUE(zero.message.has_att_appid());
  EXPECT_TRUE(zero.message.has_data());
}

}  // namespace
}  // namespace qv
