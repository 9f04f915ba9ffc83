#include "testing/game/hall_message_text.h"

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/ipc/ipc_frames.h"
#include "interface/command_ids.h"

namespace fake_game {
namespace {

namespace cmd = qv::cmd;

// Subids of the network kind's connection events.
constexpr uint16_t kConnectionCome = 0;
constexpr uint16_t kConnectionClose = 1;

std::string Id(uint32_t kind, uint32_t subid) {
  return "(" + std::to_string(kind) + "," + std::to_string(subid) + ")";
}

// A text from the message as one short line: control bytes become blanks and it is cut after
// kMaxQuotedCharacters whole characters.
std::string Quote(const std::string& text) {
  std::string out;
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool starts_character = (c & 0xC0) != 0x80;
    if (starts_character && ++characters > kMaxQuotedCharacters) {
      out += "…";
      break;
    }
    out.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
  }
  return out;
}

std::string Bytes(size_t n) {
  return std::to_string(n) + " 字节";
}

// The carried command of (kind, subid) with its payload.
std::string DescribeCommand(uint32_t kind, uint32_t subid, const std::string& data) {
  const std::string unreadable = "无法解析 · " + Bytes(data.size());
  if (kind == cmd::kKindClient && subid == cmd::client::kLoginRsp) {
    qv::client::LoginRsp m;
    if (!m.ParseFromString(data))
      return unreadable;
    std::string text = "登录回复 · 结果 " + std::to_string(m.login_result()) + " · 用户 " +
                       std::to_string(m.user_id());
    if (m.has_base_info() && !m.base_info().nick_name().empty())
      text += " · 昵称 " + Quote(m.base_info().nick_name());
    return text;
  }
  if (kind == cmd::kKindHallClient && subid == cmd::hallclient::kGetMatchDetailRsp) {
    qv::hallclient::GetMatchDetailRsp m;
    if (!m.ParseFromString(data))
      return unreadable;
    return "比赛详情 · 方案 " + std::to_string(m.plan_id()) + " · 比赛服务 " +
           std::to_string(m.app_id());
  }
  if (kind == cmd::kKindMatchClient && subid == cmd::matchclient::kMatchStart) {
    qv::matchclient::MatchStart m;
    if (!m.ParseFromString(data))
      return unreadable;
    return "比赛开始 · 比赛 " + std::to_string(m.match_id()) + " · 分组 " +
           std::to_string(m.match_group()) + " · 游戏类型 " + std::to_string(m.game_kind()) +
           " · 比赛进程 " + std::to_string(m.mp_id());
  }
  if (kind == cmd::kKindMatchClient && subid == cmd::matchclient::kJoinRsp) {
    qv::matchclient::JoinRsp m;
    if (!m.ParseFromString(data))
      return unreadable;
    return "报名回复 · 结果 " + std::to_string(m.join_result()) + " · 方案 " +
           std::to_string(m.plan_id()) + (m.start_game() ? " · 开始游戏" : "");
  }
  if (kind == cmd::kKindMatchClient && subid == cmd::matchclient::kMatchPrize) {
    qv::matchclient::MatchPrize m;
    if (!m.ParseFromString(data))
      return unreadable;
    std::string text = "比赛奖励 · " + std::to_string(m.prize_items_size()) + " 项";
    if (!m.text_2().empty())
      text += " · " + Quote(m.text_2());
    return text;
  }
  return Bytes(data.size());
}

}  // namespace

HallMessageText DescribeHallFrame(std::string_view bytes) {
  HallMessageText out;
  std::optional<qvc::HallFrame> frame = qvc::DecodeHallFrame(bytes);
  if (!frame) {
    out.text = "短帧 · " + Bytes(bytes.size());
    return out;
  }
  out.decoded = true;
  out.type = frame->type;
  out.kind = frame->kind;
  out.subid = frame->subid;
  const std::string id = Id(frame->kind, frame->subid);
  if (frame->type == qvc::kIpcFrameConnectionState) {
    if (frame->kind == cmd::kKindNetwork && frame->subid == kConnectionCome) {
      out.text = id + " 网关已连接";
    } else if (frame->kind == cmd::kKindNetwork && frame->subid == kConnectionClose) {
      out.text = id + " 网关已断开";
    } else {
      out.text = id + " 连接状态";
    }
    return out;
  }
  if (frame->type != qvc::kIpcFrameMessage) {
    out.text = id + " 类型 " + std::to_string(frame->type) + " · " + Bytes(frame->body.size());
    return out;
  }
  qv::gate::TransferDataReq transfer;
  if (frame->kind != cmd::kKindGate || frame->subid != cmd::gate::kTransferDataReq) {
    out.text = id + " " + Bytes(frame->body.size());
    return out;
  }
  if (!transfer.ParseFromString(frame->body) || !transfer.has_data_cmd_kind() ||
      !transfer.has_data_cmd_subid()) {
    out.text = id + " 无法解开的转发 · " + Bytes(frame->body.size());
    return out;
  }
  out.carries = true;
  out.inner_kind = transfer.data_cmd_kind();
  out.inner_subid = transfer.data_cmd_subid();
  out.text = Id(out.inner_kind, out.inner_subid) + " " +
             DescribeCommand(out.inner_kind, out.inner_subid, transfer.data());
  return out;
}

}  // namespace fake_game
