// The connection events and requests exchanged between the client frame and the network agent
// (kind 9). They carry no message: ParseBody and SerializeBody are the base's (false).
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/base/cmd_base.h"
#include "interface/command_ids.h"

namespace qv {

// A connection to the gate was established.
class CMDNetwork_OnConnectionCome final : public CMD_base {
 public:
  static constexpr uint16_t kSubId = 0;
  CMDNetwork_OnConnectionCome() : CMD_base(cmd::kKindNetwork, kSubId) {}
};

// A connection to the gate closed.
class CMDNetwork_OnConnectionClose final : public CMD_base {
 public:
  static constexpr uint16_t kSubId = 1;
  CMDNetwork_OnConnectionClose() : CMD_base(cmd::kKindNetwork, kSubId) {}
};

// One gate frame, received or to be sent; the frame's payload lives in `payload`.
class CMDNetwork_DataMessage final : public CMD_base {
 public:
  static constexpr uint16_t kSubId = 2;
  // The frame marker: the bytes 'c','h' in memory order, read as a little-endian u16.
  static constexpr uint16_t kFrameTag = 0x6863;
  CMDNetwork_DataMessage() : CMD_base(cmd::kKindNetwork, kSubId) {}

  uint16_t tag = kFrameTag;
  uint16_t gate_kind = 0;   // kind of the message in the frame
  uint16_t gate_subid = 0;  // subid of the message in the frame
  std::string text;         // the frame's optional short text
};

// Asks the network agent to connect; `delay` carries the connect time-out in ms.
class CMDNetwork_ConnectTo final : public CMD_base {
 public:
  static constexpr uint16_t kSubId = 3;
  CMDNetwork_ConnectTo() : CMD_base(cmd::kKindNetwork, kSubId) {}

  std::string host;
  uint32_t port = 0;
  uint32_t user_context = 0;
  uint8_t flag = 1;
};

// The outcome of one connect attempt.
class CMDNetwork_OnConnectToRet final : public CMD_base {
 public:
  static constexpr uint16_t kSubId = 4;
  CMDNetwork_OnConnectToRet() : CMD_base(cmd::kKindNetwork, kSubId) {}

  std::string host;
  uint32_t port = 0;
  uint32_t user_context = 0;
  uint8_t flag = 1;
  uint8_t success = 0;
};

// Asks the network agent to drop the connection named in the routing header.
class CMDNetwork_KickConnection final : public CMD_base {
 public:
  static constexpr uint16_t kSubId = 7;
  CMDNetwork_KickConnection() : CMD_base(cmd::kKindNetwork, kSubId) {}
};

}  // namespace qv
