#include "gateclient/client_frame/program_frame.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "testing/gate/local_gate.h"
#include "testing/update_server/temp_folder.h"

namespace qvc {
namespace {

using namespace std::chrono_literals;

TEST(ProgramClientFrameTest, OneFramePerProgramPreparedBeforeItStartsAndGoneWhenDestroyed) {
  testgate::LocalGate gate;
  ASSERT_TRUE(gate.Start());
  update_server::TempFolder folder("tvx_program_frame");
  ASSERT_TRUE(
      update_server::PutFile(folder.path(), "addr.ini",
                             "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate.port()) + "\n"));
  ClientFrameOptions options;
  options.client_ini = folder.Sub("client.ini");
  options.addr_ini = folder.Sub("addr.ini");

  EXPECT_EQ(ProgramClientFrame(), nullptr);
  ClientFrame* prepared = nullptr;
  bool connecting_when_prepared = true;
  ASSERT_TRUE(StartClientFrame(options, [&](ClientFrame& frame) {
    prepared = &frame;
    connecting_when_prepared = frame.connecting() || frame.connected();
  }));
  ASSERT_NE(prepared, nullptr);
  EXPECT_EQ(ProgramClientFrame(), prepared);
  EXPECT_FALSE(connecting_when_prepared) << "prepare runs before the frame starts";
  ASSERT_TRUE(gate.WaitForAccepted(1, 10s)) << "the started frame connects to addr.ini's gate";

  // A second start makes nothing and runs nothing; the first frame stays the program's.
  bool second_prepared = false;
  EXPECT_FALSE(StartClientFrame(options, [&](ClientFrame&) { second_prepared = true; }));
  EXPECT_FALSE(second_prepared);
  EXPECT_EQ(ProgramClientFrame(), prepared);

  DestroyClientFrame();
  EXPECT_EQ(ProgramClientFrame(), nullptr);
  EXPECT_TRUE(gate.WaitForOpen(0, 10s)) << "the frame's connection ends with it";
  DestroyClientFrame();  // nothing left: nothing happens

  // After the end the program may make its frame again.
  ASSERT_TRUE(StartClientFrame(options));
  EXPECT_NE(ProgramClientFrame(), nullptr);
  EXPECT_TRUE(gate.WaitForAccepted(2, 10s));
  DestroyClientFrame();
  EXPECT_EQ(ProgramClientFrame(), nullptr);
  gate.Stop();
}

}  // namespace
}  // namespace qvc
