#include "platform/process.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/file_util.h"

namespace platform {
namespace {

using ::testing::HasSubstr;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tvx_process_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::unique_ptr<Process> Start(std::vector<std::string> args, std::string working_dir = "",
                                 std::vector<std::string> env = {}) {
    LaunchOptions o{PLATFORM_PEER_PATH, std::move(args), std::move(working_dir), std::move(env)};
    std::string error;
    auto p = launcher_.Launch(o, &error);
    EXPECT_NE(p, nullptr) << error;
    return p;
  }

  ExitStatus Finish(Process* p) {
    ExitStatus s;
    EXPECT_EQ(p->Wait(10000, &s), WaitOutcome::kExited);
    return s;
  }

  std::string Output(const std::string& name) {
    std::string text;
    EXPECT_TRUE(ReadFile(JoinPath(dir_, name), &text));
    return text;
  }

  ProcessLauncher& launcher_ = SystemProcessLauncher();
  std::string dir_;
};

TEST_F(ProcessTest, ExitCodesReadBackAsSignedBytes) {
  struct Case {
    const char* arg;
    int code;
  } cases[] = {{"0", 0}, {"3", 3}, {"-1", -1}, {"-2", -2}, {"-3", -3}, {"127", 127}, {"255", -1}};
  for (const Case& c : cases) {
    auto p = Start({"exit", c.arg});
    ASSERT_NE(p, nullptr);
    ExitStatus s = Finish(p.get());
    EXPECT_EQ(s.code, c.code) << c.arg;
    EXPECT_EQ(s.signal, 0);
  }
}

TEST_F(ProcessTest, ArgumentsArriveExactlyWithoutAShell) {
  std::string out = JoinPath(dir_, "args");
  std::vector<std::string> args = {"args", out, "two words", "$HOME", "a\"b", "; rm -rf /", ""};
  auto p = Start(args);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Finish(p.get()).code, 0);
  EXPECT_EQ(Output("args"), "two words\n$HOME\na\"b\n; rm -rf /\n\n");
}

TEST_F(ProcessTest, WorkingFolderAndExtraEnvironment) {
  auto p = Start({"cwd", JoinPath(dir_, "cwd")}, dir_);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Finish(p.get()).code, 0);
  char real[4096];
  ASSERT_NE(realpath(dir_.c_str(), real), nullptr);
  EXPECT_EQ(Output("cwd"), real);

  setenv("TVX_PROCESS_TEST_VAR", "parent", 1);  // replaced, not duplicated, by extra_env
  auto e = Start({"env", "TVX_PROCESS_TEST_VAR", JoinPath(dir_, "env")}, "",
                 {"TVX_PROCESS_TEST_VAR=child"});
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Finish(e.get()).code, 0);
  EXPECT_EQ(Output("env"), "child");
}

TEST_F(ProcessTest, OnlyTheStandardStreamsAreInherited) {
  int leaked = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
  ASSERT_GE(leaked, 3);
  auto p = Start({"fds", JoinPath(dir_, "fds")});
  close(leaked);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Finish(p.get()).code, 0);
  EXPECT_EQ(Output("fds"), "0\n1\n2\n");
}

TEST_F(ProcessTest, StartFailuresAreReported) {
  std::string error;
  LaunchOptions missing{JoinPath(dir_, "no-such-program"), {}, "", {}};
  EXPECT_EQ(launcher_.Launch(missing, &error), nullptr);
  EXPECT_THAT(error, HasSubstr("no-such-program"));
  LaunchOptions bad_dir{PLATFORM_PEER_PATH, {"exit", "0"}, JoinPath(dir_, "no-such-dir"), {}};
  EXPECT_EQ(launcher_.Launch(bad_dir, &error), nullptr);
}

TEST_F(ProcessTest, PollTerminateAndWaitAgain) {
  auto p = Start({"sleep", "60000"});
  ASSERT_NE(p, nullptr);
  ExitStatus s;
  EXPECT_EQ(p->Wait(0, &s), WaitOutcome::kRunning);
  EXPECT_EQ(p->Wait(20, &s), WaitOutcome::kRunning);
  EXPECT_EQ(launcher_.WaitForPid(p->pid(), 0), WaitOutcome::kRunning);
  EXPECT_TRUE(p->Terminate());
  s = Finish(p.get());
  EXPECT_EQ(s.signal, SIGKILL);
  EXPECT_EQ(s.code, -1);
  ExitStatus again;
  EXPECT_EQ(p->Wait(0, &again), WaitOutcome::kExited);
  EXPECT_EQ(again.signal, SIGKILL);
  EXPECT_FALSE(p->Terminate()) << "already ended";
}

TEST_F(ProcessTest, WaitEndsAsSoonAsTheChildExits) {
  auto p = Start({"sleep", "50"});
  ASSERT_NE(p, nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Finish(p.get()).code, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(ProcessTest, ListAndTerminateByPid) {
  auto p = Start({"sleep", "60000"});
  ASSERT_NE(p, nullptr);
  std::vector<ProcessEntry> all = launcher_.ListProcesses();
  auto it = std::find_if(all.begin(), all.end(),
                         [&](const ProcessEntry& e) { return e.pid == p->pid(); });
  ASSERT_NE(it, all.end());
  EXPECT_EQ(it->parent_pid, getpid());
  EXPECT_EQ(it->name, "platform_peer");
  EXPECT_TRUE(launcher_.TerminatePid(p->pid()));
  ExitStatus s = Finish(p.get());
  EXPECT_EQ(s.signal, SIGKILL);
  EXPECT_EQ(launcher_.CurrentPid(), getpid());
}

TEST_F(ProcessTest, WaitForPidOnANonChild) {
  // Our own parent (the test runner) outlives this test; a pid that is free has "exited".
  EXPECT_EQ(launcher_.WaitForPid(getppid(), 10), WaitOutcome::kRunning);
  auto p = Start({"exit", "0"});
  ASSERT_NE(p, nullptr);
  pid_t gone = p->pid();
  Finish(p.get());
  p.reset();
  EXPECT_EQ(launcher_.WaitForPid(gone, 10), WaitOutcome::kExited);
  EXPECT_EQ(launcher_.WaitForPid(0, 10), WaitOutcome::kFailed);
}

}  // namespace
}  // namespace platform
