// A bare hall for the local gate's service tests: gate frames over a blocking loopback socket,
// payloads in clear (no keyed hello), read one at a time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "gate/gate.pb.h"
#include "gateclient/net/packet_frame.h"
#include "platform/net.h"

namespace testgate {

class RawHall {
 public:
  explicit RawHall(uint16_t port) : fd_(platform::ConnectToLoopback(port)) {
    platform::SetReceiveTimeout(fd_, 5000);
  }
  ~RawHall() { platform::CloseSocket(fd_); }
  bool ok() const { return fd_ >= 0; }

  void SendTransfer(uint32_t kind, uint32_t subid, const google::protobuf::MessageLite& m,
                    uint32_t appid = 2) {
    qv::gate::TransferDataReq t;
    t.set_data_cmd_kind(kind);
    t.set_data_cmd_subid(subid);
    t.set_data(m.SerializePartialAsString());
    t.set_att_appid(appid);
    gateframe::PacketFrame frame;
    frame.kind = 12;
    frame.subid = 3;
    frame.payload = t.SerializeAsString();
    std::string bytes;
    ASSERT_TRUE(gateframe::EncodeFrame(frame, &bytes));
    ASSERT_TRUE(platform::WriteAll(fd_, bytes.data(), bytes.size()));
  }
  // The next frame; kind 0 when none came.
  gateframe::PacketFrame Next() {
    gateframe::PacketFrame frame;
    uint8_t prefix[4];
    if (!platform::ReadExact(fd_, prefix, 4))
      return frame;
    const uint32_t length = prefix[0] << 24 | prefix[1] << 16 | prefix[2] << 8 | prefix[3];
    std::string bytes(reinterpret_cast<char*>(prefix), 4);
    bytes.resize(4 + length);
    if (!platform::ReadExact(fd_, bytes.data() + 4, length))
      return frame;
    EXPECT_EQ(gateframe::DecodeFrame(bytes.data(), bytes.size(), &frame),
              gateframe::DecodeError::kNone);
    return frame;
  }
  // The next frame as a transfer.
  qv::gate::TransferDataReq NextTransfer() {
    gateframe::PacketFrame frame = Next();
    qv::gate::TransferDataReq t;
    EXPECT_EQ(frame.subid, 3);
    EXPECT_TRUE(t.ParseFromString(frame.payload));
    return t;
  }

 private:
  int fd_;
};

}  // namespace testgate
