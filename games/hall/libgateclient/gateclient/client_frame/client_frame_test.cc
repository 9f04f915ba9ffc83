#include "gateclient/client_frame/client_frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gate/gate.pb.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/net/packet_frame.h"
#include "platform/file_util.h"
#include "testing/gate/local_gate.h"

namespace qvc {
namespace {

using namespace std::chrono_literals;

const std::string kHelloBytes("\x00\x00\x00\x0a\x00\x06\x63\x68\x00\x0c\x00\x07\x10\x00", 14);

// A scratch folder with client.ini and addr.ini for one frame.
class Folder {
 public:
  Folder() {
    char pattern[] = "/tmp/tarvix_frame_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~Folder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string file = platform::JoinPath(path_, name);
    EXPECT_TRUE(platform::WriteFileAtomic(file, text));
    return file;
  }

 private:
  std::string path_;
};

struct FrameUnderTest {
  explicit FrameUnderTest(uint16_t port, const std::string& client_ini = "[main]\n") {
    ClientFrameOptions options;
    options.clock = &clock;
    options.client_ini = folder.Write("client.ini", client_ini);
    options.addr_ini =
        folder.Write("addr.ini", "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(port) + "\n");
    frame = std::make_unique<ClientFrame>(options);
  }
  Folder folder;
  platform::ManualClock clock;
  std::unique_ptr<ClientFrame> frame;
};

// Waits for a condition with a bounded number of short polls.
template <typename F>
bool Eventually(F condition, std::chrono::milliseconds limit = 5s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition())
      return true;
    std::this_thread::sleep_for(5ms);
  }
  return condition();
}

size_t CountFrames(testgate::LocalGate& gate, uint16_t subid, int connection = -1) {
  size_t n = 0;
  for (const auto& f : gate.Frames()) {
    if (f.decoded && f.kind == 12 && f.subid == subid &&
        (connection < 0 || f.connection == connection)) {
      ++n;
    }
  }
  return n;
}

TEST(ClientFrameTest, FirstFrameIsTheHelloAndPulsesAreAnswered) {
  testgate::LocalGate gate;
  ASSERT_TRUE(gate.Start());
  FrameUnderTest t(gate.port());
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(t.frame->Start());
  ASSERT_TRUE(gate.WaitForAccepted(1, 5s));
  // The first connect is scheduled 100 ms after start.
  EXPECT_GE(std::chrono::steady_clock::now() - started, 90ms);
  const auto frames = gate.WaitForFrames(1, 5s);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0].bytes, kHelloBytes);
  ASSERT_TRUE(Eventually([&] { return t.frame->session().state() == GateSession::kHelloDone; }));

  // Whole, coalesced and byte-by-byte probes are all answered, each with its own data.
  qv::gate::PulseReq probe;
  probe.set_speed_data(11);
  std::string bytes;
  gateframe::PacketFrame frame;
  frame.kind = 12;
  frame.subid = 1;
  frame.payload = probe.SerializeAsString();
  gateframe::EncodeFrame(frame, &bytes);
  probe.set_speed_data(22);
  probe.set_attached_data("att");
  frame.payload = probe.SerializeAsString();
  gateframe::EncodeFrame(frame, &bytes);
  gate.SendRaw(-1, bytes);
  probe.clear_attached_data();
  probe.set_speed_data(33);
  frame.payload = probe.SerializeAsString();
  std::string slow;
  gateframe::EncodeFrame(frame, &slow);
  gate.SendBytewise(-1, slow);
  ASSERT_TRUE(Eventually([&] { return CountFrames(gate, 2) == 3; }));
  std::vector<uint32_t> speeds;
  for (const auto& f : gate.Frames()) {
    if (f.subid != 2)
      continue;
    qv::gate::PulseRsp rsp;
    ASSERT_TRUE(rsp.ParseFromString(f.payload));
    speeds.push_back(rsp.speed_data());
    EXPECT_EQ(rsp.attachd_data(), rsp.speed_data() == 22 ? "att" : "");
  }
  EXPECT_EQ(speeds, (std::vector<uint32_t>{11, 22, 33}));
  t.frame->Stop();
}

TEST(ClientFrameTest, KeyedHelloEnciphersBothWaysAndANewConnectionStartsInClear) {
  testgate::LocalGate gate;
  testgate::HelloReply hello;
  hello.rsp_flag = kHelloEncryptInfo | kHelloAdviceNewGate | kHelloLoginToken;
  hello.key = "sessionkey";
  hello.gate_addresses = {"127.0.0.1:1"};
  hello.login_token = 4321;
  gate.SetHelloReply(hello);
  ASSERT_TRUE(gate.Start());
  FrameUnderTest t(gate.port());
  ASSERT_TRUE(t.frame->Start());
  ASSERT_TRUE(Eventually([&] { return t.frame->link()->cipher != nullptr; }));
  EXPECT_EQ(t.frame->session().login_token(), 4321u);
  EXPECT_EQ(t.frame->session().gate_addresses(), std::vector<std::string>{"127.0.0.1:1"});

  // The gate's probe travels enciphered; so does the answer.
  gate.SendPulse(0, 77, "");
  testgate::ReceivedFrame answer;
  ASSERT_TRUE(gate.WaitForFrame(12, 2, 0, 5s, &answer));
  EXPECT_TRUE(answer.enciphered);
  EXPECT_NE(answer.wire_payload, answer.payload);
  qv::gate::PulseRsp rsp;
  ASSERT_TRUE(rsp.ParseFromString(answer.payload));
  EXPECT_EQ(rsp.speed_data(), 77u);

  // An application transfer leaves enciphered too.
  qv::CmdTransferDataReq transfer;
  transfer.message.set_data("inner");
  transfer.message.set_data_cmd_kind(13);
  ASSERT_TRUE(t.frame->SendToGate(&transfer));
  testgate::ReceivedFrame sent;
  ASSERT_TRUE(gate.WaitForFrame(12, 3, 0, 5s, &sent));
  qv::gate::TransferDataReq back;
  ASSERT_TRUE(back.ParseFromString(sent.payload));
  EXPECT_EQ(back.data(), "inner");
  EXPECT_NE(sent.wire_payload, sent.payload);

  // Reset by the gate: the hall reconnects; the next hello goes unanswered, so that link stays
  // in clear, and the old key is gone.
  testgate::HelloReply silent_hello;
  silent_hello.send = false;
  gate.SetHelloReply(silent_hello);
  gate.ResetConnection(0);
  ASSERT_TRUE(gate.WaitForAccepted(2, 5s));
  ASSERT_TRUE(Eventually([&] { return CountFrames(gate, 7, 1) == 1; }));
  ASSERT_TRUE(Eventually([&] { return t.frame->connid() != 0 && t.frame->link()->connid != 0; }));
  EXPECT_EQ(t.frame->link()->cipher, nullptr);
  EXPECT_EQ(t.frame->session().login_token(), 0u);
  for (const auto& f : gate.Frames()) {
    if (f.connection == 1 && f.subid == 7) {
      EXPECT_EQ(f.bytes, kHelloBytes);
    }
  }
  // Before the hello reply, application transfers are held back.
  EXPECT_FALSE(t.frame->SendToGate(&transfer));
  gate.SendPulse(1, 88, "");
  testgate::ReceivedFrame clear_answer;
  ASSERT_TRUE(gate.WaitForFrame(12, 2, gate.Frames().size() - 1, 5s, &clear_answer));
  ASSERT_TRUE(Eventually([&] { return CountFrames(gate, 2, 1) == 1; }));
  for (const auto& f : gate.Frames()) {
    if (f.connection != 1 || f.subid != 2)
      continue;
    ASSERT_TRUE(rsp.ParseFromString(f.wire_payload));  // in clear on the wire
    EXPECT_EQ(rsp.speed_data(), 88u);
  }
  t.frame->Stop();
}

TEST(ClientFrameTest, ASilentGateIsKickedAndTheHallReconnects) {
  testgate::LocalGate gate;
  gate.SetSilent(true);
  ASSERT_TRUE(gate.Start());
  FrameUnderTest t(gate.port(), "[main]\ntimedisconn=25\n");
  ASSERT_TRUE(t.frame->Start());
  ASSERT_TRUE(gate.WaitForFrames(1, 5s).size() == 1);
  ASSERT_TRUE(Eventually([&] { return t.frame->connected(); }));
  // The frame's clock runs on while the gate says nothing, a second per look: once a heartbeat
  // round finds the silence past its limit, the hall drops the link over TCP and dials again.
  // (The exact rounds are checked headless, in client_frame_headless_test.cc.)
  ASSERT_TRUE(Eventually([&] {
    t.clock.Advance(1'000);
    return gate.accepted() >= 2;
  }));
  // The new connection says hello again.
  EXPECT_TRUE(Eventually([&] { return CountFrames(gate, 7, 1) == 1; }));
  EXPECT_TRUE(Eventually([&] { return gate.open_connections() == 1; }));
  t.frame->Stop();
}

TEST(ClientFrameTest, EndsOfTheConnectionReconnect) {
  struct Case {
    const char* name;
    std::function<void(testgate::LocalGate&)> end;
  };
  const std::vector<Case> cases = {
      {"clean close", [](testgate::LocalGate& g) { g.CloseConnection(-1); }},
      {"reset", [](testgate::LocalGate& g) { g.ResetConnection(-1); }},
      {"length over the cap",
       [](testgate::LocalGate& g) { g.SendRaw(-1, std::string("\x7f\x00\x00\x00", 4)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testgate::LocalGate gate;
    ASSERT_TRUE(gate.Start());
    FrameUnderTest t(gate.port());
    ASSERT_TRUE(t.frame->Start());
    ASSERT_TRUE(Eventually([&] { return t.frame->session().state() == GateSession::kHelloDone; }));
    // Garbage that still has a frame's length is dropped without harm.
    gate.SendRaw(-1, std::string("\x00\x00\x00\x08\xff\xff\xff\xff\xff\xff\xff\xff", 12));
    c.end(gate);
    ASSERT_TRUE(gate.WaitForAccepted(2, 5s));
    ASSERT_TRUE(Eventually([&] { return CountFrames(gate, 7, 1) == 1; }));
    t.frame->Stop();
    EXPECT_TRUE(gate.WaitForOpen(0, 5s));
  }
}

std::atomic<int> g_network_events{0};
int CountNetworkEvent(qv::CMD_base*) {
  ++g_network_events;
  return 0;
}

TEST(ClientFrameTest, ConcurrentSendsKeepFramesWholeAndNothingIsReportedAfterStop) {
  testgate::LocalGate gate;
  testgate::HelloReply hello;
  hello.rsp_flag = kHelloEncryptInfo;
  hello.key = "k";
  gate.SetHelloReply(hello);
  ASSERT_TRUE(gate.Start());
  FrameUnderTest t(gate.port());
  ASSERT_TRUE(t.frame->Start());
  ASSERT_TRUE(Eventually([&] { return t.frame->link()->hello_done; }));
  constexpr int kThreads = 4, kEach = 100;
  std::vector<std::thread> senders;
  for (int i = 0; i < kThreads; ++i) {
    senders.emplace_back([&, i] {
      for (int n = 0; n < kEach; ++n) {
        qv::CmdTransferDataReq transfer;
        transfer.message.set_data(std::string(50 + n * 13, static_cast<char>('a' + i)));
        EXPECT_TRUE(t.frame->SendToGate(&transfer));
      }
    });
  }
  for (auto& s : senders)
    s.join();
  ASSERT_TRUE(Eventually([&] { return CountFrames(gate, 3) == kThreads * kEach; }));
  for (const auto& f : gate.Frames()) {
    if (f.subid != 3)
      continue;
    qv::gate::TransferDataReq back;
    ASSERT_TRUE(back.ParseFromString(f.payload));
    ASSERT_FALSE(back.data().empty());
    EXPECT_EQ(back.data().find_first_not_of(back.data()[0]), std::string::npos);
  }

  auto* subscriber = new SubscribeCommand(&CountNetworkEvent);
  subscriber->SetKeepSubscribed(true);
  t.frame->publisher().Subscribe(subscriber, 9, 0);
  t.frame->Stop();
  const int after_stop = g_network_events.load();
  // The stop closed the link silently: the gate sees it go, and the hall reports nothing.
  ASSERT_TRUE(gate.WaitForOpen(0, 5s));
  gate.ResetConnection(-1);
  EXPECT_EQ(g_network_events.load(), after_stop);
  EXPECT_EQ(gate.accepted(), 1);
  qv::CmdHelloReq after;
  EXPECT_FALSE(t.frame->SendToGate(&after));
}

// Threads still sending while the frame stops end cleanly: every send after Stop fails, and none
// reaches the network agent once it is freed (the window for that is narrow; ASan watches it).
TEST(ClientFrameTest, StopWhileOtherThreadsAreSending) {
  testgate::LocalGate gate;
  ASSERT_TRUE(gate.Start());
  for (int round = 0; round < 5; ++round) {
    FrameUnderTest t(gate.port());
    ASSERT_TRUE(t.frame->Start());
    ASSERT_TRUE(Eventually([&] { return t.frame->link()->hello_done; }));
    std::atomic<bool> stopped{false};
    std::atomic<int> sent{0}, refused_after_stop{0};
    std::vector<std::thread> senders;
    for (int i = 0; i < 4; ++i) {
      senders.emplace_back([&] {
        while (true) {
          const bool was_stopped = stopped.load();
          qv::CmdTransferDataReq transfer;
          transfer.message.set_data(std::string(200, 'x'));
          if (t.frame->SendToGate(&transfer)) {
            ++sent;
          } else if (was_stopped) {
            ++refused_after_stop;
            return;
          }
        }
      });
    }
    ASSERT_TRUE(Eventually([&] { return sent.load() > 100; }));
    t.frame->Stop();
    stopped.store(true);
    for (auto& s : senders)
      s.join();
    EXPECT_EQ(refused_after_stop.load(), 4);
  }
}

TEST(ClientFrameTest, GateAddressChoice) {
  struct Case {
    const char* name;
    const char* addr_ini;  // null: no file
    std::string host;
    uint32_t port;
  };
  const std::vector<Case> cases = {
      {"one entry", "[ADDR]\naddr_00=10.0.0.1:5000\n", "10.0.0.1", 5000},
      {"entry later in the list", "[ADDR]\naddr_00=\naddr_07=10.0.0.1:5000\n", "10.0.0.1", 5000},
      {"all empty: the default endpoint", "[ADDR]\naddr_00=\n", kDefaultGateHost, 10168},
      {"no colon: host only, port as it was", "[ADDR]\naddr_00=gate.example\n", "gate.example", 1},
      {"no file: unchanged", nullptr, "before", 1},
  };
  for (const Case& c : cases) {
    Folder folder;
    ClientFrameOptions options;
    options.addr_ini = c.addr_ini == nullptr ? folder.Write("other.ini", "")
                                             : folder.Write("addr.ini", c.addr_ini);
    if (c.addr_ini == nullptr)
      options.addr_ini += ".missing";
    ClientFrame frame(options);
    std::string host = "before";
    uint32_t port = 1;
    for (int i = 0; i < 3; ++i) {  // every connect goes to the same single entry
      frame.ChooseGateAddress(&host, &port);
      EXPECT_EQ(host, c.host) << c.name;
      EXPECT_EQ(port, c.port) << c.name;
    }
  }
}

TEST(ClientFrameTest, SendsThatCannotGo) {
  ClientFrame frame;
  qv::CmdHelloReq hello;
  EXPECT_FALSE(frame.SendToGate(&hello));  // before Start
  testgate::LocalGate gate;
  ASSERT_TRUE(gate.Start());
  FrameUnderTest t(gate.port());
  ASSERT_TRUE(t.frame->Start());
  ASSERT_TRUE(Eventually([&] { return t.frame->session().state() == GateSession::kHelloDone; }));
  qv::CmdLoginReq login;  // kind 13 must be wrapped into a transfer first
  EXPECT_FALSE(t.frame->SendToGate(&login));
  EXPECT_TRUE(t.frame->SendToGate(&hello));
  t.frame->Stop();
}

}  // namespace
}  // namespace qvc
