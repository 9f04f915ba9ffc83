#include "gateclient/base/cmd_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "gateclient/base/network_commands.h"

namespace {

// A command that counts its destructions, to see exactly when the releaser frees it.
class CountedCommand : public qv::CMD_base {
 public:
  explicit CountedCommand(std::atomic<int>* destroyed) : CMD_base(13, 2), destroyed_(destroyed) {}
  ~CountedCommand() override { destroyed_->fetch_add(1); }

 private:
  std::atomic<int>* destroyed_;
};

qv::CommonDeleteHandler* HandlerOf(qv::CMD_base* command) {
  return static_cast<qv::CommonDeleteHandler*>(command->releaser);
}

TEST(CmdBaseTest, CommandIdWordPutsKindLowAndSubidHigh) {
  EXPECT_EQ(qv::CommandIdWord(9, 3), 0x30009u);
  EXPECT_EQ(qv::CommandIdWord(12, 3), 0x3000Cu);
  qv::CMDNetwork_ConnectTo connect;
  EXPECT_EQ(connect.command_id(), 0x30009u);
}

TEST(CmdBaseTest, ConstructedCommandIsEmptyAndHasNoMessage) {
  qv::CMD_base command(18, 14);
  EXPECT_EQ(command.releaser, nullptr);
  EXPECT_EQ(command.delay, 0);
  EXPECT_EQ(command.routing, RoutingHeader{});
  EXPECT_TRUE(command.payload.empty());
  std::string out = "unchanged";
  EXPECT_FALSE(command.ParseBody("bytes"));
  EXPECT_FALSE(command.SerializeBody(&out));
  EXPECT_EQ(out, "unchanged");
}

TEST(CmdBaseTest, LastReleaseFreesTheCommandOnce) {
  std::atomic<int> destroyed{0};
  auto* command = new CountedCommand(&destroyed);
  qv::AttachReleaser(command);
  ASSERT_NE(command->releaser, nullptr);
  EXPECT_EQ(HandlerOf(command)->owner(), command);
  EXPECT_EQ(HandlerOf(command)->count(), 1u);

  qv::AddRefCommand(command);
  qv::AddRefCommand(command);
  qv::ReleaseCommand(command);
  qv::ReleaseCommand(command);
  EXPECT_EQ(destroyed.load(), 0);
  qv::ReleaseCommand(command);
  EXPECT_EQ(destroyed.load(), 1);
}

TEST(CmdBaseTest, AttachReleaserTwiceKeepsTheFirstHandlerAndCount) {
  std::atomic<int> destroyed{0};
  auto* command = new CountedCommand(&destroyed);
  qv::AttachReleaser(command);
  qv::IEventHandler* first = command->releaser;
  qv::AttachReleaser(command);
  EXPECT_EQ(command->releaser, first);
  EXPECT_EQ(HandlerOf(command)->count(), 1u);
  qv::ReleaseCommand(command);
  EXPECT_EQ(destroyed.load(), 1);
}

TEST(CmdBaseTest, CommandWithoutReleaserIsNeverFreedByRelease) {
  std::atomic<int> destroyed{0};
  {
    CountedCommand on_stack(&destroyed);
    qv::AddRefCommand(&on_stack);
    qv::ReleaseCommand(&on_stack);
    EXPECT_EQ(destroyed.load(), 0);
  }
  EXPECT_EQ(destroyed.load(), 1);
}

TEST(CmdBaseTest, ReferencesDroppedFromManyThreadsFreeTheCommandExactlyOnce) {
  constexpr int kThreads = 8;
  constexpr int kRefsPerThread = 1000;
  std::atomic<int> destroyed{0};
  auto* command = new CountedCommand(&destroyed);
  qv::AttachReleaser(command);
  for (int i = 0; i < kThreads * kRefsPerThread; ++i)
    qv::AddRefCommand(command);

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([command] {
      for (int i = 0; i < kRefsPerThread; ++i)
        qv::ReleaseCommand(command);
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(destroyed.load(), 0);
  qv::ReleaseCommand(command);
  EXPECT_EQ(destroyed.load(), 1);
}

TEST(CmdBaseTest, CopiedRoutingCarriesEveryFieldOfTheSource) {
  qv::CMD_base source(12, 3);
  source.routing.from_connection = 1;
  source.routing.connid = 0x1122334455667788ull;
  source.routing.apptype = 7;
  source.routing.appid = 9;
  source.routing.reserved_a[1] = 0xAABBCCDD;
  source.routing.reserved_c = 0x5A;
  source.routing.reserved_e[4] = 0x01020304;

  qv::CMD_base inner(18, 14);
  inner.routing = source.routing;
  EXPECT_EQ(inner.routing, source.routing);
}

TEST(CmdBaseTest, NetworkCommandsCarryTheirIdsAndDefaults) {
  struct Case {
    const qv::CMD_base& command;
    uint16_t subid;
  };
  qv::CMDNetwork_OnConnectionCome come;
  qv::CMDNetwork_OnConnectionClose close;
  qv::CMDNetwork_DataMessage data;
  qv::CMDNetwork_ConnectTo connect;
  qv::CMDNetwork_OnConnectToRet result;
  qv::CMDNetwork_KickConnection kick;
  const Case cases[] = {{come, 0}, {close, 1}, {data, 2}, {connect, 3}, {result, 4}, {kick, 7}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.command.kind, 9);
    EXPECT_EQ(c.command.subid, c.subid);
  }

  // The tag reads as 'c','h' in memory order.
  const auto* tag_bytes = reinterpret_cast<const char*>(&data.tag);
  EXPECT_EQ(tag_bytes[0], 'c');
  EXPECT_EQ(tag_bytes[1], 'h');
  EXPECT_EQ(connect.flag, 1);
  EXPECT_EQ(result.flag, 1);
  EXPECT_EQ(result.success, 0);
  EXPECT_EQ(result.port, 0u);
  EXPECT_TRUE(result.host.empty());
}

}  // namespace
