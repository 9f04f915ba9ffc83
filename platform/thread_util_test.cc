#include "platform/thread_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
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

// The id is kept per thread; a child made by fork must not report its parent's.
TEST(ThreadUtilTest, AForkedChildReportsItsOwnId) {
  const uint32_t parent_id = CurrentThreadId();
  ASSERT_EQ(CurrentThreadId(), parent_id) << "stable within a thread";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const uint32_t id = CurrentThreadId();
    _exit(id == static_cast<uint32_t>(getpid()) && id != parent_id ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace platform
