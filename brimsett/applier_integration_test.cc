// Runs of the real applier as a second process over temporary trees.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "brimsett/applier_messages.h"
#include "brimsett/test_tree.h"
#include "platform/command_line.h"
#include "platform/file_move.h"
#include "platform/file_util.h"
#include "platform/pending_deletions.h"
#include "platform/process.h"

namespace brimsett {
namespace {

constexpr uint32_t kRunLimitMs = 60'000;

class ApplierProcessTest : public ::testing::Test {
 protected:
  std::string D() const { return tree_.Path("hall"); }
  std::string S() const { return tree_.Path("hall/cache/Tarvix"); }

  void Lists(const std::vector<std::string>& installed, const std::vector<std::string>& fresh) {
    if (!installed.empty())
      tree_.Write("hall/updateTarvix.cl", CheckListXml(installed));
    tree_.Write("hall/cache/Tarvix/updateTarvix.cl.cache", CheckListXml(fresh));
  }

  // A copy of `program` in its own folder of the tree, so that its record of pending deletions
  // (kept beside the program) belongs to this test.
  std::string OwnCopy(const std::string& program) {
    const std::string copy = tree_.Path("prog/brimsett");
    EXPECT_TRUE(platform::MakeDirectories(tree_.Path("prog")));
    EXPECT_EQ(platform::CopyFileKeepingTime(program, copy), 0);
    return copy;
  }

  // Runs `program` with `args` and `input` on its standard input; returns its exit code.
  int RunProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::string& input = "", std::vector<std::string> env = {}) {
    tree_.Write("stdin", input);
    const int in = open(tree_.Path("stdin").c_str(), O_RDONLY | O_CLOEXEC);
    const int saved = dup(0);
    dup2(in, 0);
    platform::LaunchOptions options;
    options.program = program;
    options.args = args;
    options.working_dir = tree_.root();  // where the resume record lies
    options.extra_env = std::move(env);
    std::string error;
    std::unique_ptr<platform::Process> process =
        platform::SystemProcessLauncher().Launch(options, &error);
    dup2(saved, 0);
    close(saved);
    close(in);
    if (process == nullptr) {
      ADD_FAILURE() << error;
      return 1000;
    }
    platform::ExitStatus status;
    if (process->Wait(kRunLimitMs, &status) != platform::WaitOutcome::kExited) {
      process->Terminate();
      process->Wait(kRunLimitMs, &status);
      ADD_FAILURE() << program << " did not end";
    }
    EXPECT_EQ(status.signal, 0);
    return status.code;
  }

  std::vector<std::string> Switches(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"/d:" + D(), "/s:" + S(), "/n:Tarvix"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  // Waits for a file that another process writes.
  bool AwaitFile(const std::string& relative) {
    for (int i = 0; i < 400; ++i) {
      if (tree_.Exists(relative))
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  TestTree tree_;
};

TEST_F(ApplierProcessTest, InstallsIntoMissingFoldersAndRemovesObsoleteFiles) {
  tree_.Write("hall/obsolete.dll", "old");
  tree_.Write("hall/keep.bin", "old");
  tree_.Write("updatecl.txt", "resume");
  Lists({"obsolete.dll", "keep.bin"}, {"keep.bin", "sub\\new\\a.dll"});
  tree_.Write("hall/cache/Tarvix/keep.bin.cache", "new keep");
  tree_.Write("hall/cache/Tarvix/sub/new/a.dll.cache", "new a");

  EXPECT_EQ(RunProgram(BRIMSETT_PATH, Switches()), kExitDone);

  EXPECT_EQ(tree_.FilesBelow("hall"),
            (std::vector<std::string>{"keep.bin", "sub/new/a.dll", "updateTarvix.cl"}));
  EXPECT_EQ(tree_.Read("hall/keep.bin"), "new keep");
  EXPECT_EQ(tree_.Read("hall/sub/new/a.dll"), "new a");
  EXPECT_FALSE(tree_.Exists("hall/cache/Tarvix"));
  EXPECT_FALSE(tree_.Exists("updatecl.txt"));
}

TEST_F(ApplierProcessTest, HallParameterTextWithBlanksThroughTheSplitter) {
  // The hall passes one text, every value between runs of three quotes.
  const std::string dir = tree_.Path("my hall");
  const std::string cache = dir + "/cache/Tarvix";
  tree_.Write("my hall/cache/Tarvix/updateTarvix.cl.cache", CheckListXml({"a b.bin"}));
  tree_.Write("my hall/cache/Tarvix/a b.bin.cache", "A");
  const std::string q = "\"\"\"";
  const std::string text =
      "/d:" + q + dir + q + " /s:" + q + cache + q + " /n:" + q + "Tarvix" + q + " /quiet";

  EXPECT_EQ(RunProgram(BRIMSETT_PATH, platform::SplitCommandLine(text)), kExitDone);

  EXPECT_EQ(tree_.Read("my hall/a b.bin"), "A");
  EXPECT_EQ(tree_.Read("my hall/updateTarvix.cl"), CheckListXml({"a b.bin"}));
  EXPECT_FALSE(tree_.Exists("my hall/cache/Tarvix"));
}

TEST_F(ApplierProcessTest, FailuresReadBackAsSignedCodes) {
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  EXPECT_EQ(RunProgram(BRIMSETT_PATH, {"/d:" + D()}), kExitBadArguments);
  EXPECT_EQ(RunProgram(BRIMSETT_PATH, {"/D:" + D(), "/s:" + S(), "/quiet"}), kExitBadArguments);
  // No new list in the staging folder.
  EXPECT_EQ(RunProgram(BRIMSETT_PATH, Switches({"/quiet"})), kExitFailed);
  EXPECT_TRUE(tree_.Exists("hall/cache/Tarvix/a.bin.cache"));
}

TEST_F(ApplierProcessTest, FileInUseIsRenamedAsideAndRemovedByTheNextRun) {
  const std::string applier = OwnCopy(BRIMSETT_IN_USE_PATH);
  tree_.Write("hall/old.dll", "in use");
  Lists({"old.dll"}, {"a.bin"});
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");

  EXPECT_EQ(RunProgram(applier, Switches(), "", {"BRIMSETT_IN_USE=" + D() + "/old.dll"}),
            kExitRestartPending);
  EXPECT_FALSE(tree_.Exists("hall/old.dll"));
  EXPECT_EQ(tree_.Read("hall/old.dll.del0"), "in use");
  EXPECT_EQ(platform::PendingDeletions(tree_.Path("prog/pending-deletions")).Paths(),
            std::vector<std::string>{D() + "/old.dll.del0"});

  // The next run (the file is free now) removes it first.
  Lists({}, {"a.bin"});
  EXPECT_EQ(RunProgram(applier, Switches()), kExitDone);
  EXPECT_FALSE(tree_.Exists("hall/old.dll.del0"));
  EXPECT_FALSE(tree_.Exists("prog/pending-deletions"));
}

TEST_F(ApplierProcessTest, QuestionAboutAFileThatCannotBeReplaced) {
  const std::string applier = OwnCopy(BRIMSETT_IN_USE_PATH);
  struct Case {
    const char* answer;
    int code;
    bool list_installed;
  };
  const Case cases[] = {{"n\n", kExitFailed, false}, {"y\n", kExitDone, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    tree_.Write("hall/b.bin", "old b");
    Lists({"b.bin"}, {"a.bin", "b.bin"});
    tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
    tree_.Write("hall/cache/Tarvix/b.bin.cache", "B");
    EXPECT_EQ(
        RunProgram(applier, Switches({"/quiet"}), c.answer, {"BRIMSETT_PINNED=" + D() + "/b.bin"}),
        c.code);
    EXPECT_EQ(tree_.Read("hall/b.bin"), "old b");
    EXPECT_EQ(tree_.Read("hall/a.bin"), "A");
    if (c.code == kExitFailed) {
      // Stopped: the old list stays, so was the staging folder.
      EXPECT_EQ(tree_.Read("hall/updateTarvix.cl"), CheckListXml({"b.bin"}));
      EXPECT_TRUE(tree_.Exists("hall/cache/Tarvix/b.bin.cache"));
    } else {
      // Accepted as incomplete: no installed list, so the next check updates again.
      EXPECT_FALSE(tree_.Exists("hall/updateTarvix.cl"));
      EXPECT_FALSE(tree_.Exists("hall/cache/Tarvix"));
    }
  }
}

TEST_F(ApplierProcessTest, StartsTheCallerWithItsArguments) {
  Lists({}, {"a.bin"});
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  const std::string out = tree_.Path("started.txt");
  const std::string command = std::string(BRIMSETT_HELPER_PATH) + " record " + out + " " +
                              tree_.Path("no-marker") + " one \"two three\"";

  EXPECT_EQ(RunProgram(BRIMSETT_PATH, Switches({"/l:" + command})), kExitDone);

  ASSERT_TRUE(AwaitFile("started.txt"));
  EXPECT_EQ(tree_.Read("started.txt"), "marker=absent\none\ntwo three\n");
}

TEST_F(ApplierProcessTest, WaitsForAParentThatExitsLater) {
  Lists({}, {"a.bin"});
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  const std::string marker = tree_.Path("parent-ended");
  const std::string out = tree_.Path("started.txt");
  const std::string command = std::string(BRIMSETT_HELPER_PATH) + " record " + out + " " + marker;
  std::vector<std::string> args = {"parent", marker, "1500", BRIMSETT_PATH};
  for (const std::string& s : Switches({"/l:" + command, "/waitparentexit"}))
    args.push_back(s);

  // The parent starts the applier, lingers, writes its marker and quits.
  EXPECT_EQ(RunProgram(BRIMSETT_HELPER_PATH, args), 0);

  ASSERT_TRUE(AwaitFile("started.txt"));
  EXPECT_EQ(tree_.Read("started.txt"), "marker=present\n");
  EXPECT_EQ(tree_.Read("hall/a.bin"), "A");
}

TEST_F(ApplierProcessTest, HostileListsLeaveEverythingOutsideAlone) {
  tree_.Write("outside/victim", "keep me");
  tree_.Write("outside/folder/victim", "keep me too");
  tree_.Write("hall/placeholder", "");
  tree_.Link(tree_.Path("outside/folder"), "hall/link");
  Lists({"../outside/victim", "..\\outside\\victim", tree_.Path("outside/victim"), "link/victim",
         "C:victim"},
        {"a.bin"});
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  tree_.Write("hall/cache/Tarvix/link/evil.cache", "evil");
  tree_.Write("hall/cache/Tarvix/link/victim.cache", "overwritten");

  EXPECT_EQ(RunProgram(BRIMSETT_PATH, Switches({"/quiet"})), kExitDone);
  // A name part that would leave the folders is refused outright.
  EXPECT_EQ(RunProgram(BRIMSETT_PATH, {"/d:" + D(), "/s:" + S(), "/n:/../../outside/x"}),
            kExitBadArguments);

  EXPECT_EQ(tree_.FilesBelow("outside"), (std::vector<std::string>{"folder/victim", "victim"}));
  EXPECT_EQ(tree_.Read("outside/victim"), "keep me");
  EXPECT_EQ(tree_.Read("outside/folder/victim"), "keep me too");
  EXPECT_EQ(tree_.Read("hall/a.bin"), "A");
  EXPECT_FALSE(tree_.Exists("hall/updateTarvix.cl"));
}

}  // namespace
}  // namespace brimsett
