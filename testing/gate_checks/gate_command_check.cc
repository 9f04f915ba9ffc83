#include "testing/gate_checks/gate_command_check.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "gateclient/base/network_commands.h"
#include "gateclient/client_frame/client_frame.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/factories.h"
#include "gateclient/command/gate_encoders.h"
#include "gateclient/command/payload_key.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/net/client_net_agent.h"
#include "gateclient/plan_list/plan_list_commands.h"
#include "interface/command_ids.h"
#include "platform/clock.h"
#include "platform/waiter.h"

namespace gatecheck {
namespace {

namespace cmd = qv::cmd;

struct Record {
  uint16_t kind = 0;
  uint16_t subid = 0;
  uint8_t flags = 0;
  std::string payload;
};

std::vector<Record> ReadRecords(std::string_view input) {
  std::vector<Record> records;
  size_t at = 0;
  while (input.size() - at >= 7) {
    const auto* p = reinterpret_cast<const uint8_t*>(input.data() + at);
    Record r;
    r.kind = static_cast<uint16_t>(p[0] << 8 | p[1]);
    r.subid = static_cast<uint16_t>(p[2] << 8 | p[3]);
    r.flags = p[4];
    const size_t length = std::min<size_t>(p[5] << 8 | p[6], input.size() - at - 7);
    r.payload.assign(input.data() + at + 7, length);
    at += 7 + length;
    records.push_back(std::move(r));
  }
  return records;
}

struct Factory {
  uint16_t kind;
  qv::CommandFactory make;
};

qv::CMD_base* MakeGate(uint16_t, uint16_t subid, const std::string& payload) {
  return qv::CreateGateCommand(subid, payload);
}

const Factory kFactories[] = {
    {cmd::kKindGate, &MakeGate},
    {cmd::kKindClient, &qv::CreateClientCommand},
    {cmd::kKindMatchClient, &qv::CreateMatchClientCommand},
    {cmd::kKindHallClient, &qv::CreateHallClientCommand},
    {cmd::kKindUserInfo, &qv::CreateUserInfoCommand},
    {cmd::kKindCaptcha, &qv::CreateCaptchaCommand},
};

std::string Where(const Record& r) {
  return " (" + std::to_string(r.kind) + "," + std::to_string(r.subid) + ")";
}

std::string CheckGateEncoding(const Record& r, qv::CMD_base& command, const std::string& body) {
  qv::CMDNetwork_DataMessage message;
  if (!qv::EncodeGateCommand(command, message))
    return "a gate command did not encode";
  if (message.gate_kind != cmd::kKindGate || message.gate_subid != r.subid ||
      message.payload != body) {
    return "the gate encoder changed the command";
  }
  const std::string frame = EncodeFrame(message);
  qv::CMDNetwork_DataMessage decoded;
  if (!DecodeFrame(frame.data(), frame.size(), &decoded) || decoded.payload != body ||
      decoded.gate_subid != r.subid || decoded.tag != qv::CMDNetwork_DataMessage::kFrameTag) {
    return "an encoded gate command does not decode from its frame";
  }
  std::unique_ptr<qv::CMD_base> again(qv::CreateGateCommand(decoded.gate_subid, decoded.payload));
  if (again == nullptr)
    return "a gate command's frame does not make the command again";
  return "";
}

// Each factory is offered the record; the gate's is chosen by subid alone, so it is offered the
// record's subid as a gate command whatever the record's kind.
std::string CheckFactories(const Record& r) {
  for (const Factory& factory : kFactories) {
    const uint16_t kind = factory.kind == cmd::kKindGate ? cmd::kKindGate : r.kind;
    Record as = r;
    as.kind = kind;
    std::unique_ptr<qv::CMD_base> command(factory.make(kind, r.subid, r.payload));
    if (command == nullptr)
      continue;
    if (kind != factory.kind || !qv::HasCommandClass(kind, r.subid))
      return "a factory made a command of another kind or without a class" + Where(as);
    if (command->kind != kind || command->subid != r.subid)
      return "a factory made a command with other ids" + Where(as);
    if (!command->payload.empty() || command->releaser != nullptr)
      return "a made command carries a payload or releaser" + Where(as);
    std::string body;
    if (!command->SerializeBody(&body))
      return "a made command does not serialize" + Where(as);
    std::unique_ptr<qv::CMD_base> again(factory.make(kind, r.subid, body));
    if (again == nullptr)
      return "a serialized command does not parse back" + Where(as);
    std::string body_again;
    again->SerializeBody(&body_again);
    if (body_again != body)
      return "a command does not serialize the same twice" + Where(as);
    if (kind == cmd::kKindGate) {
      const std::string failure = CheckGateEncoding(as, *command, body);
      if (!failure.empty())
        return failure + Where(as);
    }
  }
  return "";
}

// The window: keeps the ids of what it receives and finishes every record at once.
class Window : public qvc::NetResultPoster {
 public:
  bool PostToMainWindow(uint32_t, qvc::NetResultRecord* record) override {
    if (record->command->kind != cmd::kKindDeferred)
      seen.push_back({record->command->kind, record->command->subid});
    qvc::FinishNetResult(record);
    return true;
  }
  std::vector<std::pair<uint16_t, uint16_t>> seen;
};

class NullCatalogueHost : public qvc::PlanListHost {
 public:
  void SendHallRequest(uint16_t, const google::protobuf::Message&, uint32_t, uint32_t) override {}
  void PostTrace(const std::string&) override {}
  void Log(int, const std::string&) override {}
};

// A catalogue that is never refreshed: the dispatch's kind-18 commands go to its real table.
class Catalogue : public qvc::CatalogueSink {
 public:
  Catalogue() : waiter_(&clock_), list_(&host_, {}, &clock_, &waiter_), commands_(list_) {}
  void HandleHallCommand(qv::CMD_base* command) override { commands_.HandleCmd(command); }
  void StartRefreshing() override { ++starts; }
  void StopRefreshing() override { ++stops; }
  int starts = 0;
  int stops = 0;

 private:
  NullCatalogueHost host_;
  platform::ManualClock clock_;
  platform::ManualWaiter waiter_;
  qvc::PlanList list_;
  qvc::PlanListCommands commands_;
};

class WindowScope {
 public:
  explicit WindowScope(Window* window) { qvc::SetMainWindowPoster(window); }
  ~WindowScope() { qvc::SetMainWindowPoster(nullptr); }
};

constexpr uint64_t kFirstConnection = 7;
constexpr uint32_t kSignUpPlan = 9;

void Connect(qvc::ClientFrame& frame, uint64_t connid) {
  qv::CMDNetwork_OnConnectToRet result;
  result.routing.connid = connid;
  result.success = 1;
  frame.OnNetworkCommand(&result);
  qv::CMDNetwork_OnConnectionCome come;
  come.routing.connid = connid;
  frame.OnNetworkCommand(&come);
}

void Close(qvc::ClientFrame& frame, uint64_t connid) {
  qv::CMDNetwork_OnConnectionClose close;
  close.routing.connid = connid;
  frame.OnNetworkCommand(&close);
}

// The ids a transfer names for `r`: flags bits 3 and 4 push the kind or subid past 16 bits.
uint32_t TransferKind(const Record& r) {
  return r.kind + ((r.flags & 8) != 0 ? 0x10000u : 0u);
}
uint32_t TransferSubId(const Record& r) {
  return r.subid + ((r.flags & 16) != 0 ? 0x10000u : 0u);
}

using Ids = std::vector<std::pair<uint16_t, uint16_t>>;

// The command the dispatch can make of (kind, subid, data), made by the factory of its kind.
std::unique_ptr<qv::CMD_base> MakeInner(uint32_t kind, uint32_t subid, const std::string& data) {
  if (kind > 0xffff || subid > 0xffff)
    return nullptr;
  for (const Factory& factory : kFactories) {
    if (factory.kind != kind || factory.kind == cmd::kKindGate)
      continue;
    return std::unique_ptr<qv::CMD_base>(factory.make(kind, subid, data));
  }
  return nullptr;
}

// What a transfer of (kind, subid, data) must dispatch to the window: the command it names, or
// each entry of a packed message that a command can be made of; nothing else.
Ids ExpectedDispatch(uint32_t kind, uint32_t subid, const std::string& data) {
  std::unique_ptr<qv::CMD_base> inner = MakeInner(kind, subid, data);
  if (inner == nullptr)
    return {};
  if (inner->kind != cmd::kKindClient || inner->subid != qv::CmdPackedMessage::kSubId)
    return {{inner->kind, inner->subid}};
  const qv::client::PackedMessage& m = static_cast<qv::CmdPackedMessage*>(inner.get())->message;
  Ids ids;
  const int count = std::min({m.cmd_kind_size(), m.cmd_subid_size(), m.cmd_data_size()});
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<qv::CMD_base> entry = MakeInner(m.cmd_kind(i), m.cmd_subid(i), m.cmd_data(i));
    if (entry != nullptr)
      ids.push_back({entry->kind, entry->subid});
  }
  return ids;
}

// What the frame of `r` must dispatch: a transfer's commands; nothing for other gate commands.
Ids ExpectedOfRecord(const Record& r) {
  if (r.kind != cmd::kKindGate)
    return ExpectedDispatch(TransferKind(r), TransferSubId(r), r.payload);
  if (r.subid != cmd::gate::kTransferDataReq)
    return {};
  qv::gate::TransferDataReq transfer;
  if (!transfer.ParseFromString(r.payload))
    return {};
  return ExpectedDispatch(transfer.data_cmd_kind(), transfer.data_cmd_subid(), transfer.data());
}

// The frame that carries `r` from the gate, enciphered as the gate would on a keyed link.
void FillFrame(const Record& r, const qvc::LinkSnapshot& link,
               qv::CMDNetwork_DataMessage& message) {
  message.gate_kind = cmd::kKindGate;
  message.gate_subid = r.subid;
  message.payload = r.payload;
  if (r.kind != cmd::kKindGate) {
    qv::gate::TransferDataReq transfer;
    transfer.set_data_cmd_kind(TransferKind(r));
    transfer.set_data_cmd_subid(TransferSubId(r));
    transfer.set_data(r.payload);
    transfer.set_att_appid(44);
    transfer.set_att_apptype(10);
    transfer.set_att_sessionid(r.flags);
    message.gate_subid = cmd::gate::kTransferDataReq;
    message.payload = transfer.SerializeAsString();
  }
  const bool clear = (r.flags & 4) != 0 || message.gate_subid == cmd::gate::kHelloRsp;
  if (link.cipher != nullptr && !clear)
    message.payload = qvc::EncryptPayload(*link.cipher, message.payload);
}

std::string CheckAfter(const Record& r, qvc::ClientFrame& frame, const Window& window,
                       size_t seen_before, bool current) {
  qvc::GateSession& session = frame.session();
  const int32_t state = session.state();
  if (state != 0 && state != 1 && state != 2 && state != 4 && state != 5)
    return "the session entered state " + std::to_string(state) + Where(r);
  for (size_t i = seen_before; i < window.seen.size(); ++i) {
    const auto [kind, subid] = window.seen[i];
    const bool has_factory = kind == cmd::kKindClient || kind == cmd::kKindMatchClient ||
                             kind == cmd::kKindHallClient || kind == cmd::kKindUserInfo ||
                             kind == cmd::kKindCaptcha;
    if (!has_factory || !qv::HasCommandClass(kind, subid))
      return "the window received (" + std::to_string(kind) + "," + std::to_string(subid) + ")";
  }
  if (!current) {
    if (window.seen.size() != seen_before)
      return "a stale connection's frame was dispatched";
    return "";
  }
  if ((r.flags & 4) != 0 && frame.link()->cipher != nullptr)
    return "";
  const Ids dispatched(window.seen.begin() + static_cast<std::ptrdiff_t>(seen_before),
                       window.seen.end());
  if (dispatched != ExpectedOfRecord(r))
    return "the window did not receive exactly the commands the frame carries" + Where(r);
  if (TransferKind(r) != r.kind || TransferSubId(r) != r.subid)
    return "";  // the transfer named no command
  if (r.kind == cmd::kKindGate && r.subid == cmd::gate::kHelloRsp) {
    qv::gate::HelloRsp hello;
    if (!hello.ParseFromString(r.payload))
      return "";
    if (state != qvc::GateSession::kHelloDone && state != qvc::GateSession::kLoginFailed &&
        state != qvc::GateSession::kLoggedIn) {
      return "a hello reply left the session in state " + std::to_string(state);
    }
    if ((hello.rsp_flag() & qv::gate::HelloRsp::EncryptInfo) != 0) {
      if (session.key_material() != qv::PayloadKeyMaterial(hello.encrypt_key()))
        return "a hello reply's key is not the session's";
      if (frame.link()->cipher == nullptr || !frame.link()->hello_done)
        return "a keyed hello reply left the link unkeyed";
    }
    if ((hello.rsp_flag() & qv::gate::HelloRsp::AdviceNewGate) != 0 &&
        session.gate_addresses() !=
            std::vector<std::string>(hello.gate_address().begin(), hello.gate_address().end())) {
      return "a hello reply's gate list is not the session's";
    }
    if ((hello.rsp_flag() & qv::gate::HelloRsp::LoginToken) != 0 &&
        session.login_token() != hello.login_token()) {
      return "a hello reply's login token is not the session's";
    }
    return "";
  }
  if (r.kind == cmd::kKindClient && r.subid == qv::CmdLoginRsp::kSubId) {
    qv::client::LoginRsp login;
    if (!login.ParseFromString(r.payload))
      return "";
    const int32_t expected =
        login.login_result() == 0 ? qvc::GateSession::kLoggedIn : qvc::GateSession::kLoginFailed;
    if (state != expected)
      return "a login reply left the session in state " + std::to_string(state);
    if (session.user_id() != login.user_id())
      return "a login reply's user id was not kept";
    return "";
  }
  if (r.kind == cmd::kKindHallClient && r.subid == qv::CmdGetMatchDetailRsp::kSubId) {
    qv::hallclient::GetMatchDetailRsp detail;
    if (!detail.ParseFromString(r.payload) || detail.plan_id() == 0)
      return "";
    auto kept = frame.dispatch().FindMatchDetail(detail.plan_id());
    if (kept == nullptr || kept->message.SerializeAsString() != detail.SerializeAsString())
      return "a match detail was not kept under its plan";
  }
  return "";
}

std::string CheckFrameHandling(const std::vector<Record>& records) {
  Window window;
  WindowScope scope(&window);
  Catalogue catalogue;
  platform::ManualClock clock;
  qvc::ClientFrameOptions options;
  options.clock = &clock;
  qvc::ClientFrame frame(options);
  frame.SetNoReconnect();  // nothing may be scheduled on the frame's job thread: it never runs
  frame.proc().RegisterHandlers();
  frame.dispatch().SetCatalogue(&catalogue);
  frame.dispatch().AddFactory(cmd::kKindCaptcha, &qv::CreateCaptchaCommand);
  // A user who asked to log in and to sign up for plan 9: hello replies make logins, and the
  // details of plan 9 make a join.
  frame.session().SetCredentials("player", "secret");
  frame.requests().StartLogin();
  frame.requests().SignUp(kSignUpPlan);
  uint64_t connid = kFirstConnection;
  Connect(frame, connid);
  for (const Record& r : records) {
    if ((r.flags & 1) != 0) {
      Close(frame, connid);
      Connect(frame, ++connid);
    }
    const bool current = (r.flags & 2) == 0;
    qv::CMDNetwork_DataMessage message;
    FillFrame(r, *frame.link(), message);
    message.routing.connid = current ? connid : connid + 1000;
    message.routing.from_connection = 1;
    const size_t seen_before = window.seen.size();
    frame.OnNetworkCommand(&message);
    const std::string failure = CheckAfter(r, frame, window, seen_before, current);
    if (!failure.empty())
      return failure;
  }
  Close(frame, connid);
  if (frame.session().state() != qvc::GateSession::kNoConnection)
    return "the session outlived its connection";
  return "";
}

}  // namespace

std::string CheckGateCommands(std::string_view input) {
  const std::vector<Record> records = ReadRecords(input);
  for (const Record& r : records) {
    const std::string failure = CheckFactories(r);
    if (!failure.empty())
      return failure;
  }
  return CheckFrameHandling(records);
}

}  // namespace gatecheck
