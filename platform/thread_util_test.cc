#include "platform/thread_util.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

namespace platform {
namespace {

TEST(ThreadUtilTest, ThreadIdsDifferBetweenThreadsAndMainThreadIdIsThePid) {
  uint32_t main_id = CurrentThreadId();
  EXPECT_EQ(main_id, static_cast<uint32_t>(getpid()));
  uint32_t other_id = 0;
  std::thread t([&] { other_id = CurrentThreadId(); });
  t.join();
  EXPECT_NE(other_id, 0u);
  EXPECT_NE(other_id, main_id);
}

}  // namespace
}  // namespace platform
