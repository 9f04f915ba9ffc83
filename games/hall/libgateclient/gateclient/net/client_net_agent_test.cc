#include "gateclient/net/client_net_agent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net.h"

namespace {

using namespace std::chrono_literals;

// A pool that records what the agent posts (kind, subid, and the command itself).
class RecordingPool : public IJobProcessPool {
 public:
  ~RecordingPool() {
    for (qv::CMD_base* c : posted_) qv::ReleaseCommand(c);
  }
  void RegisterProcess(ICmdProcess*, uint16_t) override {}
  void PostCommand(qv::CMD_base* command) override {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(command);
    changed_.notify_all();
  }
  void WaitAndDestroy() override {}
  bool Start(uint32_t) override { return true; }
  void Stop() override {}
  std::vector<qv::CMD_base*> WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, 5s, [&] { return posted_.size() >= n; });
    return posted_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<qv::CMD_base*> posted_;
};

TEST(ClientNetAgentTest, ConnectSendReceiveAndClose) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(&port);
  RecordingPool pool;
  IJobAgent* agent = CreateJobAgent();
  ASSERT_TRUE(agent->Init(&pool, 0, 0, 0, 0, nullptr));

  qv::CMDNetwork_ConnectTo connect;
  connect.host = "127.0.0.1";
  connect.port = port;
  connect.user_context = 5;
  ASSERT_TRUE(agent->HandleCommand(&connect));
  const uint64_t connid = connect.routing.connid;
  ASSERT_NE(connid, 0u);
  const int peer = platform::AcceptConnection(listener);
  platform::SetReceiveTimeout(peer, 5000);

  // The connect result comes first, then the connection-established command.
  auto posted = pool.WaitFor(2);
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0]->subid, qv::CMDNetwork_OnConnectToRet::kSubId);
  EXPECT_EQ(static_cast<qv::CMDNetwork_OnConnectToRet*>(posted[0])->success, 1);
  EXPECT_EQ(posted[1]->subid, qv::CMDNetwork_OnConnectionCome::kSubId);
  EXPECT_EQ(posted[1]->routing.connid, connid);
  EXPECT_EQ(posted[1]->routing.from_connection, 1);

  // A data message leaves as the documented frame; the send's outcome is the result.
  qv::CMDNetwork_DataMessage out;
  out.gate_kind = 12;
  out.gate_subid = 1;
  out.payload = "abc";
  out.routing.connid = connid;
  ASSERT_TRUE(agent->HandleCommand(&out));
  std::string got(15, '\0');
  ASSERT_TRUE(platform::ReadExact(peer, got.data(), got.size()));
  EXPECT_EQ(got, std::string("\x00\x00\x00\x0b\x00\x06\x63\x68\x00\x0c\x00\x01", 12) + "abc");
  out.routing.connid = connid + 100;
  EXPECT_FALSE(agent->HandleCommand(&out));  // no such connection
  qv::CMD_base other_kind(12, 2);
  EXPECT_FALSE(agent->HandleCommand(&other_kind));

  // A frame that decodes, then one whose header is bad: still delivered, as an empty message.
  const std::string good("\x00\x00\x00\x09\x00\x06\x63\x68\x00\x0c\x00\x08\x7a", 13);
  const std::string bad("\x00\x00\x00\x08\x00\x09\x63\x68\x00\x0c\x00\x08", 12);
  ASSERT_TRUE(platform::WriteAll(peer, (good + bad).data(), good.size() + bad.size()));
  posted = pool.WaitFor(4);
  ASSERT_EQ(posted.size(), 4u);
  auto* first = static_cast<qv::CMDNetwork_DataMessage*>(posted[2]);
  EXPECT_EQ(first->gate_subid, 8);
  EXPECT_EQ(first->payload, "z");
  EXPECT_EQ(first->routing.conn_context, 5u);
  auto* second = static_cast<qv::CMDNetwork_DataMessage*>(posted[3]);
  EXPECT_EQ(second->gate_kind, 0);
  EXPECT_EQ(second->gate_subid, 0);
  EXPECT_TRUE(second->payload.empty());

  // A clean close by the gate is reported as a close.
  platform::CloseSocket(peer);
  posted = pool.WaitFor(5);
  ASSERT_EQ(posted.size(), 5u);
  EXPECT_EQ(posted[4]->subid, qv::CMDNetwork_OnConnectionClose::kSubId);
  EXPECT_EQ(posted[4]->routing.connid, connid);
  agent->Release();
  platform::CloseSocket(listener);
}

}  // namespace
