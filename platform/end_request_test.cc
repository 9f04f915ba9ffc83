// The end requests of a program, taken by a second process (testing/platform_peer): the first
// request of each kind is a call the program answers by ending in order, a second one ends a
// program that did not, and a program the watching one starts gets the signals as usual.
#include "platform/end_request.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_util.h"
#include "platform/process.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

std::string Read(const std::string& path) {
  std::string text;
  return ReadFile(path, &text) ? text : std::string();
}

// Waits until the file at `path` starts with `prefix`; its text, or empty when it never did.
std::string WaitForText(const std::string& path, const std::string& prefix) {
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < end) {
    const std::string text = Read(path);
    if (text.rfind(prefix, 0) == 0)
      return text;
    std::this_thread::sleep_for(5ms);
  }
  return {};
}

class EndRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/end_request_test.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
    out_ = JoinPath(folder_, "out");
  }
  void TearDown() override {
    RemoveFile(out_);
    rmdir(folder_.c_str());
  }

  std::unique_ptr<Process> StartPeer(const std::string& mode) {
    LaunchOptions options;
    options.program = PLATFORM_PEER_PATH;
    options.args = {"end-request", out_, mode};
    std::string error;
    auto peer = SystemProcessLauncher().Launch(options, &error);
    EXPECT_NE(peer, nullptr) << error;
    return peer;
  }

  std::string folder_, out_;
};

TEST_F(EndRequestTest, TheFirstRequestIsACallAfterWhichTheProgramEndsInOrder) {
  struct Case {
    int signal;
    const char* what;
  } cases[] = {{SIGTERM, "the session ends"}, {SIGINT, "Ctrl+C"}, {SIGHUP, "the terminal goes"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveFile(out_);
    auto peer = StartPeer("orderly");
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(WaitForText(out_, "ready"), "ready");
    ASSERT_EQ(kill(peer->pid(), c.signal), 0);
    ExitStatus status;
    ASSERT_EQ(peer->Wait(20000, &status), WaitOutcome::kExited);
    EXPECT_EQ(status.signal, 0) << "the signal's default action ran";
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(Read(out_), "got " + std::to_string(c.signal));
  }
}

TEST_F(EndRequestTest, ASecondRequestEndsAProgramThatDidNotEnd) {
  auto peer = StartPeer("hang");
  ASSERT_NE(peer, nullptr);
  ASSERT_EQ(WaitForText(out_, "ready"), "ready");
  ASSERT_EQ(kill(peer->pid(), SIGTERM), 0);
  ASSERT_EQ(WaitForText(out_, "got"), "got 15");
  ExitStatus status;
  EXPECT_EQ(peer->Wait(300, &status), WaitOutcome::kRunning) << "the first request only asks";
  ASSERT_EQ(kill(peer->pid(), SIGTERM), 0);
  ASSERT_EQ(peer->Wait(20000, &status), WaitOutcome::kExited);
  EXPECT_EQ(status.signal, SIGTERM);
}

TEST_F(EndRequestTest, AProgramStartedByAWatchingOneTakesTheSignalsAsUsual) {
  auto peer = StartPeer("child");
  ASSERT_NE(peer, nullptr);
  const std::string text = WaitForText(out_, "child ");
  ASSERT_FALSE(text.empty());
  const pid_t child = static_cast<pid_t>(std::stol(text.substr(6)));
  ASSERT_GT(child, 0);
  ASSERT_EQ(kill(child, SIGTERM), 0);
  EXPECT_EQ(SystemProcessLauncher().WaitForPid(child, 20000), WaitOutcome::kExited)
      << "the child kept the watcher's blocked signals";
  ASSERT_EQ(kill(peer->pid(), SIGTERM), 0);
  ExitStatus status;
  ASSERT_EQ(peer->Wait(20000, &status), WaitOutcome::kExited);
  EXPECT_EQ(status.code, 0);
}

}  // namespace
}  // namespace platform
