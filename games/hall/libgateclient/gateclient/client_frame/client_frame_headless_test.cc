// The client frame run headless: a manual clock and waiter step its job thread round by round and
// a scripted agent plays the gate, so the heartbeat, the silence check and reconnecting are
// checked at exact times, without TCP and without waiting.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gate/gate.pb.h"
#include "gateclient/client_frame/client_frame.h"
#include "gateclient/client_frame/testing/scripted_agent.h"
#include "interface/command_ids.h"
#include "platform/waiter.h"
#include "testing/update_server/temp_folder.h"

namespace qvc {
namespace {

using testing::ScriptedJobAgent;
constexpr uint16_t kGate = qv::cmd::kKindGate;
constexpr uint16_t kPulse = qv::cmd::gate::kPulseReq;
constexpr uint16_t kHello = qv::cmd::gate::kHelloReq;
// Rounds after which the job thread has surely given the frame a timer round (one comes when
// more than 100 ms of the clock passed since the last; each round is 20 ms).
constexpr int kTimerRoundPolls = 7;

// A frame on a manual clock whose job thread moves only when the test steps it.
class HeadlessFrame {
 public:
  explicit HeadlessFrame(const std::string& client_ini = "[main]\n") {
    EXPECT_TRUE(update_server::PutFile(folder_.path(), "client.ini", client_ini));
    EXPECT_TRUE(
        update_server::PutFile(folder_.path(), "addr.ini", "[ADDR]\naddr_00=gate.test:7001\n"));
    ClientFrameOptions options;
    options.clock = &clock;
    options.job_clock = &clock;
    options.job_waiter = &waiter_;
    options.make_agent = agent.Maker();
    options.client_ini = folder_.Sub("client.ini");
    options.addr_ini = folder_.Sub("addr.ini");
    frame = std::make_unique<ClientFrame>(options);
  }
  ~HeadlessFrame() {
    waiter_.Open();  // the stopping job thread must not wait for a step
    frame->Stop();
  }

  // Lets the job thread run `polls` rounds, 20 ms of the clock each.
  void Rounds(int polls) { waiter_.Step(polls); }

  // Starts the frame and opens its first connection: the connect is due 100 ms after the start.
  void StartConnected() {
    ASSERT_TRUE(frame->Start());
    Rounds(5);
    ASSERT_EQ(agent.connects().size(), 1u);
    agent.AnswerConnect(true);
    Rounds(1);
    ASSERT_TRUE(frame->connected());
  }

  // The gate's side ends the connection and the frame dials and gets the next one.
  void Reconnected() {
    const size_t before = agent.connects().size();
    agent.CloseConnection();
    Rounds(1);
    ASSERT_FALSE(frame->connected());
    Rounds(3);  // the reconnect is due 50 ms after the close
    ASSERT_EQ(agent.connects().size(), before + 1);
    agent.AnswerConnect(true);
    Rounds(1);
    ASSERT_TRUE(frame->connected());
  }

  // Moves the clock on and gives the frame a timer round at the new time.
  void Pass(uint32_t ms) {
    clock.Advance(ms);
    Rounds(1);
  }

  int64_t now() const { return clock.WallSeconds(); }

  ScriptedJobAgent agent;
  platform::ManualClock clock;
  std::unique_ptr<ClientFrame> frame;

 private:
  update_server::TempFolder folder_{"tvx_headless_frame"};
  platform::ManualWaiter waiter_{&clock};
};

TEST(ClientFrameHeadlessTest, SilenceAndHeartbeatRounds) {
  struct Step {
    uint32_t advance_ms;
    bool gate_sends_first;  // a frame from the gate just before the clock moves on
    size_t pulses;          // pulses sent so far
    bool kicked;            // the frame dropped the connection by now
  };
  struct Case {
    const char* name;
    const char* client_ini;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"silent past the limit: kicked in the first round that sends a heartbeat",
       "[main]\ntimedisconn=25\n",
       {{26'000, false, 1, true}}},
      {"the silence check rides on the heartbeat: at 25 s no pulse is due, at 30 s one is",
       "[main]\ntimedisconn=25\n",
       {{15'000, false, 1, false}, {10'000, false, 1, false}, {5'000, false, 2, true}}},
      {"a gate that talks is kept; pulses every 15 s",
       "[main]\n",
       {{10'000, true, 0, false},
        {10'000, true, 1, false},
        {10'000, true, 1, false},
        {10'000, true, 2, false}}},
      {"heartbeat off: no pulse and never a kick",
       "[main]\n发送心跳=0\n",
       {{60'000, false, 0, false}, {60'000, false, 0, false}}},
      {"a longer limit",
       "[main]\ntimedisconn=40\n",
       {{30'000, false, 1, false}, {15'000, false, 2, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessFrame t(c.client_ini);
    t.StartConnected();
    t.Rounds(kTimerRoundPolls);  // the first timer round on the connection starts the schedule
    int step = 0;
    for (const Step& s : c.steps) {
      SCOPED_TRACE("step " + std::to_string(step++));
      if (s.gate_sends_first) {
        // Any frame counts as a sign of life, whatever its kind.
        t.agent.SendFrame(99, 1, "");
        t.Rounds(1);
      }
      t.Pass(s.advance_ms);
      EXPECT_EQ(t.agent.CountSent(kGate, kPulse), s.pulses);
      EXPECT_EQ(!t.agent.kicks().empty(), s.kicked);
    }
  }
}

TEST(ClientFrameHeadlessTest, AKickedConnectionIsDialledAgainAtTheSameGate) {
  HeadlessFrame t("[main]\ntimedisconn=25\n");
  t.StartConnected();
  t.Rounds(kTimerRoundPolls);
  t.Pass(26'000);
  ASSERT_EQ(t.agent.kicks(), std::vector<uint64_t>{1});
  EXPECT_FALSE(t.frame->connected());
  t.Rounds(1);  // the close report
  t.Rounds(3);  // the reconnect, 50 ms later
  const std::vector<ScriptedJobAgent::Connect> connects = t.agent.connects();
  ASSERT_EQ(connects.size(), 2u);
  EXPECT_EQ(connects[1].host, "gate.test");
  EXPECT_EQ(connects[1].port, 7001u);
  t.agent.AnswerConnect(true);
  t.Rounds(1);
  EXPECT_EQ(t.agent.CountSent(kGate, kHello, connects[1].connid), 1u) << "hello again";
}

// One 15-second schedule across reconnections: a connection made between two pulses neither
// delays the next pulse nor starts a schedule of its own.
TEST(ClientFrameHeadlessTest, TheHeartbeatKeepsItsScheduleAcrossAReconnection) {
  HeadlessFrame t;
  t.StartConnected();
  t.Rounds(kTimerRoundPolls);
  const int64_t first = t.now();  // the schedule's start
  t.Pass(10'000);
  EXPECT_EQ(t.agent.CountSent(kGate, kPulse), 0u);

  t.Reconnected();
  const uint64_t second_connection = t.agent.open_connid();
  t.Pass(5'000);
  ASSERT_EQ(t.now() - first, 15);
  EXPECT_EQ(t.agent.CountSent(kGate, kPulse, second_connection), 1u)
      << "the pulse is due 15 s after the last one, not 15 s after the reconnection";

  t.Pass(15'000);
  std::vector<uint32_t> pulse_times;
  for (const ScriptedJobAgent::Sent& s : t.agent.sent()) {
    if (s.kind != kGate || s.subid != kPulse)
      continue;
    qv::gate::PulseReq pulse;
    ASSERT_TRUE(pulse.ParseFromString(s.payload));
    pulse_times.push_back(pulse.my_speed());
  }
  EXPECT_EQ(pulse_times, (std::vector<uint32_t>{static_cast<uint32_t>(first + 15),
                                                static_cast<uint32_t>(first + 30)}));
  EXPECT_TRUE(t.agent.kicks().empty());
}

TEST(ClientFrameHeadlessTest, ARefusedConnectIsRetriedAndNothingIsSentMeanwhile) {
  HeadlessFrame t;
  ASSERT_TRUE(t.frame->Start());
  t.Rounds(5);
  ASSERT_EQ(t.agent.connects().size(), 1u);
  t.agent.AnswerConnect(false);
  t.Rounds(1);
  EXPECT_FALSE(t.frame->connected());
  EXPECT_FALSE(t.frame->connecting());
  qv::CmdHelloReq hello;
  EXPECT_FALSE(t.frame->SendToGate(&hello));
  t.Rounds(3);
  EXPECT_EQ(t.agent.connects().size(), 2u) << "retried 50 ms after the refusal";
  EXPECT_TRUE(t.agent.sent().empty());
}

}  // namespace
}  // namespace qvc
