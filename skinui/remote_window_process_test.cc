// FindWindow, PostMessage and SetForegroundWindow into a window of another process: the peer
// (testing/window_peer_main.cc) runs a titled window in its own message loop and writes down what
// reached it; these tests drive it the way a second hall hands over to the first.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_util.h"
#include "platform/process.h"
#include "skinui/message_queue.h"
#include "skinui/remote_window.h"

namespace skinui {
namespace {

// What a second hall posts to the first one's main window.
constexpr UINT kActivateInstance = WM_APP + 5555;
// Ends the peer's loop; its wParam becomes the peer's exit code.
constexpr UINT kPeerQuit = WM_APP + 1;
constexpr WPARAM kPeerExitCode = 7;
// Bounds every wait on the peer; a healthy run needs a small fraction of it.
constexpr auto kDeadline = std::chrono::seconds(10);

std::string Unique(const std::string& title) {
  return title + " " + std::to_string(getpid());
}

// Posts and foreground requests, in the order they are made.
struct Call {
  enum Kind { kPost, kForeground } kind;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
};

Call Post(UINT message, WPARAM wparam, LPARAM lparam) {
  return Call{Call::kPost, message, wparam, lparam};
}
Call Foreground() {
  return Call{Call::kForeground};
}

class RemoteWindowProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tvx_window_peer_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    record_ = platform::JoinPath(dir_, "record.txt");
  }

  void TearDown() override {
    if (peer_ != nullptr) {
      platform::ExitStatus status;
      if (peer_->Wait(0, &status) == platform::WaitOutcome::kRunning) {
        peer_->Terminate();
        peer_->Wait(5000, &status);
      }
    }
    platform::RemoveFile(record_);
    rmdir(dir_.c_str());
  }

  // Starts the peer with a window titled `title` and waits, bounded, until the title can be
  // found from here. Returns the found handle (null on failure, with the test failed).
  HWND StartPeer(const std::string& title) {
    platform::LaunchOptions options{
        SKINUI_WINDOW_PEER_PATH, {title, record_, std::to_string(kPeerQuit)}, "", {}};
    std::string error;
    peer_ = platform::SystemProcessLauncher().Launch(options, &error);
    if (peer_ == nullptr) {
      ADD_FAILURE() << "peer did not start: " << error;
      return nullptr;
    }
    const auto give_up = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < give_up) {
      if (HWND found = FindWindow(title))
        return found;
      // The pause between looks doubles as a check that the peer is still alive.
      platform::ExitStatus status;
      if (peer_->Wait(5, &status) == platform::WaitOutcome::kExited) {
        ADD_FAILURE() << "peer ended before its window could be found, code " << status.code;
        return nullptr;
      }
    }
    ADD_FAILURE() << "the window \"" << title << "\" was not found in time";
    return nullptr;
  }

  // Waits, bounded, for the peer to end.
  platform::ExitStatus WaitForPeer() {
    platform::ExitStatus status;
    EXPECT_EQ(peer_->Wait(static_cast<uint32_t>(kDeadline / std::chrono::milliseconds(1)), &status),
              platform::WaitOutcome::kExited);
    return status;
  }

  // Asks the peer to end through its window and returns its record file.
  std::string QuitPeer(HWND found) {
    EXPECT_TRUE(PostMessage(found, kPeerQuit, kPeerExitCode, 0));
    const platform::ExitStatus status = WaitForPeer();
    EXPECT_EQ(status.signal, 0);
    EXPECT_EQ(status.code, static_cast<int>(kPeerExitCode));
    std::string record;
    EXPECT_TRUE(platform::ReadFile(record_, &record));
    return record;
  }

  std::string dir_;
  std::string record_;
  std::unique_ptr<platform::Process> peer_;
};

struct HandOverCase {
  const char* name;
  std::string title;
  std::vector<Call> calls;
  std::string expected;  // the peer's record, its quit message excluded
};

void PrintTo(const HandOverCase& c, std::ostream* os) {
  *os << c.name;
}

class HandOverTest : public RemoteWindowProcessTest,
                     public ::testing::WithParamInterface<HandOverCase> {};

TEST_P(HandOverTest, TheWindowReceivesExactlyWhatWasSentInOrder) {
  const HandOverCase& c = GetParam();
  const std::string title = Unique(c.title);
  const HWND found = StartPeer(title);
  ASSERT_NE(found, nullptr);
  for (const Call& call : c.calls) {
    if (call.kind == Call::kPost)
      EXPECT_TRUE(PostMessage(found, call.message, call.wparam, call.lparam));
    else
      EXPECT_TRUE(SetForegroundWindow(found));
  }
  EXPECT_EQ(QuitPeer(found), c.expected + "message " + std::to_string(kPeerQuit) + " " +
                                 std::to_string(kPeerExitCode) + " 0\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandOverTest,
    ::testing::Values(
        // The second hall's hand-over: the activation message, then the request to come forward,
        // which shows the hidden window.
        HandOverCase{"ChineseTitleWithSpaces",
                     "休闲游zeb 大厅 主窗口",
                     {Post(kActivateInstance, 0, 0), Foreground()},
                     "message 38323 0 0\nforeground\nshown\nraised\n"},
        // Parameters keep all 64 bits both ways; a second foreground request finds the window
        // shown already and still brings it forward. Bytes that the link's address escapes do
        // not upset the title.
        HandOverCase{"ExtremeParametersAndEscapedTitle",
                     "hall 100%/main",
                     {Post(kActivateInstance, std::numeric_limits<WPARAM>::max(),
                           std::numeric_limits<LPARAM>::min()),
                      Foreground(), Post(WM_APP + 2, 1, -1), Foreground()},
                     "message 38323 18446744073709551615 -9223372036854775808\nforeground\nshown\n"
                     "raised\nmessage 32770 1 -1\nforeground\nraised\n"},
        // Nothing but the quit: the record holds no more than what was sent.
        HandOverCase{"OnlyTheQuit", "休闲游zeb", {}, ""}),
    [](const ::testing::TestParamInfo<HandOverCase>& info) { return info.param.name; });

TEST_F(RemoteWindowProcessTest, OnlyTheExactTitleIsFound) {
  EXPECT_EQ(FindWindow(Unique("休闲游zeb nobody has this title")), nullptr);
  const std::string title = Unique("休闲游zeb 大厅");
  const HWND found = StartPeer(title);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(FindWindow(title), found);
  // A trailing space, a shorter title, a prefix, and the text of the title's escaped address.
  // (The prefix is not the bare hall title: a real hall may be running on this desktop.)
  const std::vector<std::string> near_titles = {title + " ", title.substr(0, title.size() - 1),
                                                "休闲游zeb 大", "%E4%BC%91" + title.substr(3)};
  for (const std::string& near : near_titles) {
    EXPECT_EQ(FindWindow(near), nullptr) << near;
  }
  EXPECT_EQ(QuitPeer(found),
            "message " + std::to_string(kPeerQuit) + " " + std::to_string(kPeerExitCode) + " 0\n");
}

// However the other process ended, its window is gone with it: the handle found before no longer
// takes posts or foreground requests, and the title is no longer found.
struct EndCase {
  const char* name;
  bool killed;
};

void PrintTo(const EndCase& c, std::ostream* os) {
  *os << c.name;
}

class AfterThePeerEndedTest : public RemoteWindowProcessTest,
                              public ::testing::WithParamInterface<EndCase> {};

TEST_P(AfterThePeerEndedTest, PostsAndForegroundRequestsFail) {
  const std::string title = Unique("休闲游zeb 已退出");
  const HWND found = StartPeer(title);
  ASSERT_NE(found, nullptr);
  if (GetParam().killed) {
    ASSERT_TRUE(peer_->Terminate());
    EXPECT_EQ(WaitForPeer().signal, 9);
  } else {
    QuitPeer(found);
  }
  EXPECT_FALSE(PostMessage(found, kActivateInstance, 0, 0));
  EXPECT_FALSE(SetForegroundWindow(found));
  EXPECT_EQ(FindWindow(title), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, AfterThePeerEndedTest,
                         ::testing::Values(EndCase{"QuitThroughItsWindow", false},
                                           EndCase{"Killed", true}),
                         [](const ::testing::TestParamInfo<EndCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace skinui
