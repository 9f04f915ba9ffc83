#include "gateclient/plan_table/game_frame_check.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "gateclient/ipc/ipc_frames.h"
#include "gateclient/plan_table/plan_table.h"

namespace qvc::frame_check {
namespace {

uint32_t U32(std::string_view b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

// Records what a table hands on; nothing else of the gate client is needed for a game's frame.
class RecordingHost : public PlanHost {
 public:
  std::unique_ptr<qv::CMD_base> StoredLoginReply() override { return nullptr; }
  std::unique_ptr<qv::CMD_base> StoredMatchDetail(uint32_t) override { return nullptr; }
  void RequestMatchDetail(uint32_t) override {}
  void SendThroughGate(qv::CMD_base&) override {}
  void SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message) override {
    std::lock_guard<std::mutex> lock(mu);
    messages.push_back(std::move(message));
  }
  std::mutex mu;
  std::vector<std::unique_ptr<qv::CMDNetwork_DataMessage>> messages;
};

// A channel that is never opened: OnIpcData is what the worker would call.
class IdleChannel : public IWinIpc {
 public:
  bool Open(uint32_t, uint64_t, IWinIpcCallback*, bool) override { return false; }
  void Send(const void*, uint32_t) override {}
  void Close() override {}
};

std::string CheckDecoders(std::string_view bytes) {
  std::optional<GameFrame> game = DecodeGameFrame(bytes);
  if (bytes.size() < kGameFrameHeaderBytes) {
    if (game)
      return "a game frame shorter than its header decoded";
  } else {
    if (!game)
      return "a whole game frame header did not decode";
    if (game->type != U32(bytes, 0) || game->kind != U16(bytes, 4) || game->subid != U16(bytes, 6))
      return "a game frame's header fields came out wrong";
    if (EncodeGameFrame(*game) != bytes)
      return "a game frame did not encode back to its bytes";
  }
  std::optional<HallFrame> hall = DecodeHallFrame(bytes);
  if (bytes.size() < kHallFrameHeaderBytes) {
    if (hall)
      return "a hall frame shorter than its header decoded";
  } else {
    if (!hall)
      return "a whole hall frame header did not decode";
    if (hall->type != U32(bytes, 0) || hall->kind != U16(bytes, 4 + kIpcRoutingBytes) ||
        hall->subid != U16(bytes, 6 + kIpcRoutingBytes) ||
        std::memcmp(hall->routing.data(), bytes.data() + 4, kIpcRoutingBytes) != 0)
      return "a hall frame's header fields came out wrong";
    if (EncodeHallFrame(*hall) != bytes)
      return "a hall frame did not encode back to its bytes";
  }
  return {};
}

std::string CheckTable(std::string_view bytes) {
  RecordingHost host;
  PlanTableEnv env;
  env.host = &host;
  env.make_channel = [] { return std::make_unique<IdleChannel>(); };
  PlanTable table(env);
  // The bytes in a buffer of their own length, so a read past them is caught.
  std::vector<char> copy(bytes.begin(), bytes.end());
  table.OnIpcData(copy.empty() ? nullptr : copy.data(), static_cast<uint32_t>(copy.size()));
  table.OnIpcData(nullptr, static_cast<uint32_t>(copy.size()));
  const bool passes = bytes.size() >= kGameFrameHeaderBytes && U32(bytes, 0) == kIpcFrameMessage;
  if (host.messages.size() != (passes ? 1u : 0u))
    return "the table handed on " + std::to_string(host.messages.size()) + " messages";
  if (!passes)
    return {};
  const qv::CMDNetwork_DataMessage& m = *host.messages.front();
  if (m.gate_kind != U16(bytes, 4) || m.gate_subid != U16(bytes, 6))
    return "the handed-on message has the wrong kind or subid";
  if (m.payload != bytes.substr(kGameFrameHeaderBytes))
    return "the handed-on message has the wrong payload";
  return {};
}

}  // namespace

std::string CheckGameFrame(std::string_view bytes) {
  std::string failure = CheckDecoders(bytes);
  if (failure.empty())
    failure = CheckTable(bytes);
  return failure;
}

}  // namespace qvc::frame_check
