#include "testing/gate/local_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gate/gate.pb.h"
#include "gateclient/command/payload_key.h"
#include "gateclient/crypto/blowfish.h"
#include "gateclient/net/packet_frame.h"
#include "platform/net.h"

namespace testgate {
namespace {

using namespace std::chrono_literals;

std::string Frame(uint16_t subid, const std::string& payload) {
  gateframe::PacketFrame frame;
  frame.kind = 12;
  frame.subid = subid;
  frame.payload = payload;
  std::string out;
  EXPECT_TRUE(gateframe::EncodeFrame(frame, &out));
  return out;
}

// Reads one frame from a blocking socket.
bool ReadFrame(int fd, gateframe::PacketFrame* frame) {
  uint8_t prefix[4];
  if (!platform::ReadExact(fd, prefix, 4)) return false;
  const uint32_t length = prefix[0] << 24 | prefix[1] << 16 | prefix[2] << 8 | prefix[3];
  std::string bytes(reinterpret_cast<char*>(prefix), 4);
  bytes.resize(4 + length);
  if (!platform::ReadExact(fd, bytes.data() + 4, length)) return false;
  return gateframe::DecodeFrame(bytes.data(), bytes.size(), frame) == gateframe::DecodeError::kNone;
}

std::string Cipher(const std::string& key, const std::string& in, bool encrypt) {
  const std::string material = qv::PayloadKeyMaterial(key);
  Blowfish bf;
  bf.SetKey(reinterpret_cast<const uint8_t*>(material.data()), material.size());
  const std::vector<uint8_t> bytes(in.begin(), in.end());
  const auto out = encrypt ? bf.Encrypt(bytes) : bf.Decrypt(bytes);
  return std::string(out.begin(), out.end());
}

TEST(LocalGateTest, KeyedHelloThenEncipheredPulses) {
  LocalGate gate;
  HelloReply hello;
  hello.rsp_flag = 7;
  hello.key = "k3y";
  hello.gate_addresses = {"127.0.0.1:1", "127.0.0.1:2"};
  hello.login_token = 99;
  gate.SetHelloReply(hello);
  ASSERT_TRUE(gate.Start());
  const int fd = platform::ConnectToLoopback(gate.port());
  ASSERT_GE(fd, 0);
  platform::SetReceiveTimeout(fd, 5000);
  const std::string hello_req = Frame(7, std::string("\x10\x00", 2));
  ASSERT_TRUE(platform::WriteAll(fd, hello_req.data(), hello_req.size()));

  gateframe::PacketFrame reply;
  ASSERT_TRUE(ReadFrame(fd, &reply));
  EXPECT_EQ(reply.subid, 8);
  qv::gate::HelloRsp rsp;
  ASSERT_TRUE(rsp.ParseFromString(reply.payload));  // the reply itself is in clear
  EXPECT_EQ(rsp.encrypt_key(), "k3y");
  EXPECT_EQ(rsp.gate_address_size(), 2);
  EXPECT_EQ(rsp.login_token(), 99u);

  qv::gate::PulseReq pulse;
  pulse.set_speed_data(1234);
  pulse.set_attached_data("att");
  const std::string pulse_frame = Frame(1, Cipher("k3y", pulse.SerializeAsString(), true));
  ASSERT_TRUE(platform::WriteAll(fd, pulse_frame.data(), pulse_frame.size()));
  gateframe::PacketFrame answer;
  ASSERT_TRUE(ReadFrame(fd, &answer));
  EXPECT_EQ(answer.subid, 2);
  qv::gate::PulseRsp pulse_rsp;
  ASSERT_TRUE(pulse_rsp.ParseFromString(Cipher("k3y", answer.payload, false)));
  EXPECT_EQ(pulse_rsp.speed_data(), 1234u);
  EXPECT_EQ(pulse_rsp.attachd_data(), "att");

  const auto frames = gate.WaitForFrames(2, 5s);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_FALSE(frames[0].enciphered);
  EXPECT_TRUE(frames[1].enciphered);
  EXPECT_EQ(frames[1].payload, pulse.SerializeAsString());
  platform::CloseSocket(fd);
  EXPECT_TRUE(gate.WaitForOpen(0, 5s));
}

TEST(LocalGateTest, SilentGateAndOverCapLengthAndReset) {
  LocalGate gate;
  gate.SetSilent(true);
  ASSERT_TRUE(gate.Start());
  const int fd = platform::ConnectToLoopback(gate.port());
  platform::SetReceiveTimeout(fd, 300);
  const std::string hello_req = Frame(7, std::string("\x10\x00", 2));
  ASSERT_TRUE(platform::WriteAll(fd, hello_req.data(), hello_req.size()));
  ASSERT_EQ(gate.WaitForFrames(1, 5s).size(), 1u);
  char byte;
  EXPECT_LT(platform::ReadSome(fd, &byte, 1), 0);  // nothing answered: the read times out
  // A length over the cap: the gate drops the connection.
  const std::string over("\x01\x00\x00\x01", 4);
  ASSERT_TRUE(platform::WriteAll(fd, over.data(), over.size()));
  EXPECT_TRUE(gate.WaitForOpen(0, 5s));
  platform::CloseSocket(fd);
}

TEST(LocalGateTest, ScriptedBytesReachTheHallWholeAndInPieces) {
  LocalGate gate;
  ASSERT_TRUE(gate.Start());
  const int fd = platform::ConnectToLoopback(gate.port());
  platform::SetReceiveTimeout(fd, 5000);
  ASSERT_TRUE(gate.WaitForAccepted(1, 5s));
  const std::string two = Frame(4, "a") + Frame(4, "bb");
  gate.SendRaw(-1, two);
  gate.SendBytewise(-1, Frame(4, "ccc"));
  gateframe::PacketFrame frame;
  for (const char* expected : {"a", "bb", "ccc"}) {
    ASSERT_TRUE(ReadFrame(fd, &frame));
    EXPECT_EQ(frame.payload, expected);
  }
  gate.ResetConnection(-1);
  EXPECT_LE(platform::ReadSome(fd, &frame.tag1, 1), 0);
  EXPECT_TRUE(gate.WaitForOpen(0, 5s));
  platform::CloseSocket(fd);
}

}  // namespace
}  // namespace testgate
