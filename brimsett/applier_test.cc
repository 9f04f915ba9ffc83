#include "brimsett/applier.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>

#include "brimsett/applier_messages.h"
#include "brimsett/fake_launcher.h"
#include "brimsett/in_use_files.h"
#include "brimsett/test_tree.h"
#include "platform/pending_deletions.h"

namespace brimsett {
namespace {

// Records every move and lets a test fail moves and folder creations.
class RecordingFiles : public ForwardingApplierFiles {
 public:
  using ForwardingApplierFiles::ForwardingApplierFiles;
  std::function<int(const std::string& from, const std::string& to)> move_fault;
  std::function<int(const std::string& folder)> folder_fault;
  std::vector<std::string> move_targets;

  int Move(const std::string& from, const std::string& to) override {
    move_targets.push_back(to);
    if (move_fault) {
      if (int err = move_fault(from, to))
        return err;
    }
    return ForwardingApplierFiles::Move(from, to);
  }
  int MakeFolder(const std::string& folder) override {
    if (folder_fault) {
      if (int err = folder_fault(folder))
        return err;
    }
    return ForwardingApplierFiles::MakeFolder(folder);
  }
};

// The hall's layout: D is the program folder, S its cache folder for the product.
class ApplierTest : public ::testing::Test {
 protected:
  ApplierTest() : in_use_(RealApplierFiles()), files_(in_use_) {
    env_.files = &files_;
    env_.launcher = &launcher_;
    env_.boxes = &boxes_;
    env_.read_check_list = hall::LoadCheckList;
    env_.sleep = [](uint32_t) {};
    env_.pending_deletions_record = tree_.Path("hall/pending-deletions");
    env_.resume_record = tree_.Path("hall/updatecl.txt");
    tree_.Write("hall/updatecl.txt", "resume record");
  }

  std::string D() const { return tree_.Path("hall"); }
  std::string S() const { return tree_.Path("hall/cache/Tarvix"); }

  // Installed list in D and the new one in S.
  void Lists(const std::vector<std::string>& installed, const std::vector<std::string>& fresh) {
    if (!installed.empty())
      tree_.Write("hall/updateTarvix.cl", CheckListXml(installed));
    tree_.Write("hall/cache/Tarvix/updateTarvix.cl.cache", CheckListXml(fresh));
  }

  int Run(std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {"brimsett", "/d:" + D(), "/s:" + S(), "/n:Tarvix"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return ApplierMain(argv, env_);
  }

  std::vector<std::string> ShownTexts() const {
    std::vector<std::string> texts;
    for (const auto& s : boxes_.shown()) {
      EXPECT_EQ(s.caption, kCaption);
      texts.push_back(s.text);
    }
    return texts;
  }

  TestTree tree_;
  InUseFiles in_use_;
  RecordingFiles files_;
  FakeLauncher launcher_;
  platform::ScriptedMessageBoxes boxes_;
  ApplierEnvironment env_;
};

TEST_F(ApplierTest, FreshInstallIntoMissingFolders) {
  const std::string stage = tree_.Path("stage");
  tree_.Write("stage/updateGame.cl.cache", CheckListXml({"a.bin", "sub\\new\\b.dll"}));
  tree_.Write("stage/a.bin.cache", "A");
  tree_.Write("stage/sub/new/b.dll.cache", "B");
  tree_.Write("stage/notes.txt", "not a download");
  const std::string dest = tree_.Path("games/dou di");  // neither folder exists yet

  int code = ApplierMain({"brimsett", "/d:" + dest, "/s:" + stage, "/n:Game"}, env_);

  EXPECT_EQ(code, kExitDone);
  EXPECT_EQ(tree_.FilesBelow("games/dou di"),
            (std::vector<std::string>{"a.bin", "sub/new/b.dll", "updateGame.cl"}));
  EXPECT_EQ(tree_.Read("games/dou di/sub/new/b.dll"), "B");
  EXPECT_EQ(tree_.Read("games/dou di/updateGame.cl"), CheckListXml({"a.bin", "sub\\new\\b.dll"}));
  EXPECT_FALSE(tree_.Exists("stage"));
  EXPECT_TRUE(ShownTexts().empty());
  EXPECT_TRUE(launcher_.launched.empty());
  EXPECT_FALSE(tree_.Exists("hall/updatecl.txt"));
}

TEST_F(ApplierTest, DownloadsOnAnotherFileSystemAreCopiedKeepingTheirTime) {
  struct stat shm_st, tmp_st;
  if (stat("/dev/shm", &shm_st) != 0 || stat(tree_.root().c_str(), &tmp_st) != 0 ||
      shm_st.st_dev == tmp_st.st_dev) {
    GTEST_SKIP() << "needs /dev/shm on a file system of its own";
  }
  TestTree other("/dev/shm");
  other.Write("stage/updateGame.cl.cache", CheckListXml({"a.bin"}));
  other.Write("stage/a.bin.cache", "A");
  const struct timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, other.Path("stage/a.bin.cache").c_str(), times, 0), 0);
  tree_.Write("game/a.bin", "old");

  EXPECT_EQ(
      ApplierMain({"brimsett", "/d:" + tree_.Path("game"), "/s:" + other.Path("stage"), "/n:Game"},
                  env_),
      kExitDone);

  EXPECT_EQ(tree_.Read("game/a.bin"), "A");
  struct stat st;
  ASSERT_EQ(stat(tree_.Path("game/a.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
  EXPECT_EQ(tree_.FilesBelow("game"), (std::vector<std::string>{"a.bin", "updateGame.cl"}))
      << "no temporary copy left behind";
  EXPECT_FALSE(other.Exists("stage"));
}

TEST_F(ApplierTest, ReplacesFilesAndRemovesOnlyWhatTheNewListDropped) {
  Lists({"keep.bin", "gone.bin", "sub\\gone.bin", "Same.txt", "sub\\kept.bin"},
        {"keep.bin", "new.bin", "same.txt", "sub/kept.bin"});
  for (const char* f : {"keep.bin", "gone.bin", "sub/gone.bin", "Same.txt", "sub/kept.bin"}) {
    tree_.Write(std::string("hall/") + f, "old");
  }
  tree_.Write("hall/unlisted.cfg", "the user's");
  tree_.Write("hall/cache/Tarvix/keep.bin.cache", "new");
  tree_.Write("hall/cache/Tarvix/new.bin.cache", "new");
  tree_.Write("hall/cache/Tarvix/same.txt.cache", "new");

  EXPECT_EQ(Run(), kExitDone);

  // Names differing only in case are different files here; '\' and '/' name the same one.
  EXPECT_EQ(tree_.FilesBelow("hall"),
            (std::vector<std::string>{"keep.bin", "new.bin", "same.txt", "sub/kept.bin",
                                      "unlisted.cfg", "updateTarvix.cl"}));
  EXPECT_EQ(tree_.Read("hall/keep.bin"), "new");
  EXPECT_EQ(tree_.Read("hall/sub/kept.bin"), "old");
  EXPECT_FALSE(tree_.Exists("hall/cache/Tarvix"));
  EXPECT_TRUE(tree_.Exists("hall/cache")) << "only the product's staging folder goes";
}

TEST_F(ApplierTest, NamesKeepTheirCase) {
  Lists({}, {"Lib\\A.DLL"});
  tree_.Write("hall/cache/Tarvix/Lib/A.DLL.cache", "A");
  EXPECT_EQ(Run(), kExitDone);
  EXPECT_EQ(tree_.Read("hall/Lib/A.DLL"), "A");
  EXPECT_FALSE(tree_.Exists("hall/lib"));
}

TEST_F(ApplierTest, NewListIsMovedLast) {
  Lists({}, {"a.bin", "zz.bin", "Z.bin"});
  for (const char* f : {"a.bin", "zz.bin", "Z.bin"}) {
    tree_.Write(std::string("hall/cache/Tarvix/") + f + ".cache", f);
  }
  EXPECT_EQ(Run(), kExitDone);
  EXPECT_EQ(files_.move_targets,
            (std::vector<std::string>{D() + "/Z.bin", D() + "/a.bin", D() + "/zz.bin",
                                      D() + "/updateTarvix.cl"}));
}

TEST_F(ApplierTest, DeclinedFileStopsWithTheOldListInPlace) {
  Lists({"a.bin", "b.bin"}, {"a.bin", "b.bin", "c.bin"});
  tree_.Write("hall/b.bin", "old b");
  in_use_.MarkInUse(tree_.Path("hall/b.bin"), /*pinned=*/true);
  for (const char* f : {"a.bin", "b.bin", "c.bin"}) {
    tree_.Write(std::string("hall/cache/Tarvix/") + f + ".cache", "new");
  }
  boxes_.AnswerNext(false);

  EXPECT_EQ(Run({"/l:/opt/hall/tarvix"}), kExitFailed);

  EXPECT_EQ(ShownTexts(), std::vector<std::string>{kCannotDeleteFile + D() + "/b.bin" + kErrorCode +
                                                   std::to_string(kInUseError) + kAskIgnore});
  EXPECT_TRUE(boxes_.shown()[0].question);
  EXPECT_EQ(tree_.Read("hall/a.bin"), "new") << "what was moved stays moved";
  EXPECT_EQ(tree_.Read("hall/b.bin"), "old b");
  EXPECT_FALSE(tree_.Exists("hall/c.bin"));
  EXPECT_EQ(tree_.Read("hall/updateTarvix.cl"), CheckListXml({"a.bin", "b.bin"}));
  EXPECT_TRUE(tree_.Exists("hall/cache/Tarvix/updateTarvix.cl.cache"));
  EXPECT_TRUE(tree_.Exists("hall/updatecl.txt"));
  EXPECT_TRUE(launcher_.launched.empty());
}

TEST_F(ApplierTest, IgnoredFileRemovesTheInstalledListBeforeTheCallerStarts) {
  struct Case {
    const char* what;
    std::vector<std::string> extra;
    bool starts_caller;
  };
  const Case cases[] = {
      {"game update, no caller", {}, false},
      {"quiet still asks", {"/quiet"}, false},
      {"hall update with caller", {"/l:/opt/hall/tarvix"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tree_.Write("hall/b.bin", "old b");
    Lists({"b.bin"}, {"a.bin", "b.bin"});
    in_use_.MarkInUse(tree_.Path("hall/b.bin"), /*pinned=*/true);
    tree_.Write("hall/cache/Tarvix/a.bin.cache", "new");
    tree_.Write("hall/cache/Tarvix/b.bin.cache", "new");
    launcher_.launched.clear();
    bool list_there_at_start = true;
    launcher_.on_launch = [&] { list_there_at_start = tree_.Exists("hall/updateTarvix.cl"); };
    const size_t asked_before = boxes_.shown().size();
    boxes_.AnswerNext(true);

    EXPECT_EQ(Run(c.extra), kExitDone);

    EXPECT_EQ(boxes_.shown().size(), asked_before + 1);
    EXPECT_FALSE(tree_.Exists("hall/updateTarvix.cl"));
    EXPECT_EQ(tree_.Read("hall/a.bin"), "new");
    EXPECT_EQ(tree_.Read("hall/b.bin"), "old b");
    EXPECT_FALSE(tree_.Exists("hall/cache/Tarvix"));
    EXPECT_EQ(launcher_.launched.size(), c.starts_caller ? 1u : 0u);
    if (c.starts_caller) {
      EXPECT_FALSE(list_there_at_start);
    }
  }
}

TEST_F(ApplierTest, FilesInUseAreRenamedAsideAndReportedAsPendingRestart) {
  Lists({"old.dll", "a.bin"}, {"a.bin"});
  tree_.Write("hall/old.dll", "obsolete, in use");
  tree_.Write("hall/a.bin", "old a, in use");
  in_use_.MarkInUse(tree_.Path("hall/old.dll"));
  in_use_.MarkInUse(tree_.Path("hall/a.bin"));
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "new a");

  EXPECT_EQ(Run(), kExitRestartPending);

  EXPECT_FALSE(tree_.Exists("hall/old.dll"));
  EXPECT_EQ(tree_.Read("hall/old.dll.del0"), "obsolete, in use");
  EXPECT_EQ(tree_.Read("hall/a.bin"), "new a");
  EXPECT_EQ(tree_.Read("hall/a.bin.del0"), "old a, in use");
  platform::PendingDeletions pending(env_.pending_deletions_record);
  EXPECT_EQ(pending.Paths(),
            (std::vector<std::string>{D() + "/old.dll.del0", D() + "/a.bin.del0"}));
  EXPECT_TRUE(ShownTexts().empty());
}

TEST_F(ApplierTest, ObsoleteFileThatCannotGoFailsSilentlyBeforeAnyMove) {
  Lists({"old.dll"}, {"a.bin"});
  tree_.Write("hall/old.dll", "pinned");
  in_use_.MarkInUse(tree_.Path("hall/old.dll"), /*pinned=*/true);
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "new a");

  EXPECT_EQ(Run(), kExitFailed);
  EXPECT_TRUE(ShownTexts().empty());
  EXPECT_TRUE(files_.move_targets.empty());
  EXPECT_TRUE(tree_.Exists("hall/cache/Tarvix/a.bin.cache"));
}

TEST_F(ApplierTest, MoveThatKeepsFailingForAnotherReasonIsBounded) {
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "quiet" : "with messages");
    Lists({}, {"a.bin"});
    tree_.Write("hall/cache/Tarvix/a.bin.cache", "new a");
    tree_.Write("hall/a.bin", "old a");
    files_.move_targets.clear();
    const size_t shown_before = boxes_.shown().size();
    // The target is removable, yet the move still fails (a full disk, a broken source).
    files_.move_fault = [](const std::string&, const std::string& to) {
      return to.ends_with("/a.bin") ? EIO : 0;
    };

    EXPECT_EQ(Run(quiet ? std::vector<std::string>{"/quiet"} : std::vector<std::string>{}),
              kExitFailed);

    EXPECT_EQ(files_.move_targets.size(), static_cast<size_t>(kMaxMoveAttempts));
    std::vector<std::string> shown = ShownTexts();
    shown.erase(shown.begin(), shown.begin() + shown_before);
    if (quiet) {
      EXPECT_TRUE(shown.empty());
    } else {
      EXPECT_EQ(shown, std::vector<std::string>{kCannotMoveFile + S() + "/a.bin.cache" + kMoveTo +
                                                D() + "/a.bin"});
    }
    EXPECT_TRUE(tree_.Exists("hall/cache/Tarvix"));
  }
}

TEST_F(ApplierTest, FolderThatCannotBeCreatedFails) {
  Lists({}, {"sub\\deep\\a.bin"});
  tree_.Write("hall/cache/Tarvix/sub/deep/a.bin.cache", "A");
  files_.folder_fault = [&](const std::string& folder) {
    return folder == D() + "/sub" ? EACCES : 0;
  };
  EXPECT_EQ(Run(), kExitFailed);
  EXPECT_EQ(ShownTexts(), std::vector<std::string>{kCannotCreateFolder + D() + "/sub" + kErrorCode +
                                                   std::to_string(EACCES)});
  EXPECT_FALSE(tree_.Exists("hall/sub"));
}

TEST_F(ApplierTest, NoNameLeadsOutOfTheDestination) {
  tree_.Write("outside/victim", "keep me");
  tree_.Write("outside/folder/victim", "keep me too");
  tree_.Write("hall/placeholder", "");
  tree_.Link(tree_.Path("outside/folder"), "hall/link");
  const std::vector<std::string> hostile = {
      "../outside/victim",
      "..\\outside\\victim",
      tree_.Path("outside/victim"),
      "sub/../../outside/victim",
      "link/victim",
      "link\\victim",
      "C:victim",
      "cache\\Tarvix\\b.bin.cache",  // the download itself, inside D
  };
  Lists(hostile, {"a.bin", "b.bin"});
  tree_.Write("hall/cache/Tarvix/b.bin.cache", "B");
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  // A staged file whose target folder is a link out of D.
  tree_.Write("hall/cache/Tarvix/link/evil.cache", "evil");

  EXPECT_EQ(Run(), kExitDone);

  EXPECT_EQ(tree_.FilesBelow("outside"), (std::vector<std::string>{"folder/victim", "victim"}));
  EXPECT_EQ(tree_.Read("outside/victim"), "keep me");
  EXPECT_EQ(tree_.Read("outside/folder/victim"), "keep me too");
  EXPECT_EQ(tree_.Read("hall/a.bin"), "A");
  EXPECT_EQ(tree_.Read("hall/b.bin"), "B");
  // A refused download counts as skipped: the install is not reported complete.
  EXPECT_FALSE(tree_.Exists("hall/updateTarvix.cl"));
}

TEST_F(ApplierTest, DownloadWhosePlaceLiesInTheStagingFolderIsSkipped) {
  // The staging folder lies inside D, so a list may name a file in it: moved there, it would
  // be deleted with the folder, or replace the new list before that is installed.
  Lists({"a.bin"}, {"a.bin", "cache\\Tarvix\\kept.bin"});
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  tree_.Write("hall/cache/Tarvix/cache/Tarvix/kept.bin.cache", "K");
  tree_.Write("hall/cache/Tarvix/cache/Tarvix/updateTarvix.cl.cache.cache", "not a list");

  EXPECT_EQ(Run(), kExitDone);

  EXPECT_EQ(tree_.Read("hall/a.bin"), "A");
  EXPECT_FALSE(tree_.Exists("hall/cache/Tarvix"));
  // Not installed, so not reported complete: the next check fetches the list again.
  EXPECT_FALSE(tree_.Exists("hall/updateTarvix.cl"));
}

TEST_F(ApplierTest, BadArgumentsChangeNothing) {
  struct Case {
    std::vector<std::string> args;  // after the program's name
    bool box;
  };
  const std::string d = "/d:" + D(), s = "/s:" + S();
  const Case cases[] = {
      {{"/quiet"}, true},  // counted before any switch is read
      {{d}, true},
      {{"/d:", s}, true},
      {{"/D:" + D(), s}, true},  // not the destination switch
      {{d, "/s:", "/quiet"}, false},
      {{d, s, "/n:../x"}, true},
      {{d, s, "/n:a/b"}, true},
      {{d, "/s:" + D()}, true},                        // the staging folder is deleted at the end
      {{"/d:" + S() + "/inner", s, "/quiet"}, false},  // so D must not lie inside it
      {{"/d:" + S() + "/../Tarvix", s}, true},
  };
  Lists({}, {"a.bin"});
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"brimsett"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const size_t shown_before = boxes_.shown().size();
    EXPECT_EQ(ApplierMain(argv, env_), kExitBadArguments) << testing::PrintToString(c.args);
    std::vector<std::string> shown = ShownTexts();
    shown.erase(shown.begin(), shown.begin() + shown_before);
    EXPECT_EQ(shown, c.box ? std::vector<std::string>{kBadArguments} : std::vector<std::string>{})
        << testing::PrintToString(c.args);
  }
  EXPECT_TRUE(files_.move_targets.empty());
  EXPECT_TRUE(tree_.Exists("hall/cache/Tarvix/a.bin.cache"));
}

TEST_F(ApplierTest, NewListThatCannotBeLoadedFails) {
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  for (bool quiet : {false, true}) {
    const size_t shown_before = boxes_.shown().size();
    EXPECT_EQ(Run(quiet ? std::vector<std::string>{"/quiet"} : std::vector<std::string>{}),
              kExitFailed);
    EXPECT_EQ(boxes_.shown().size(), shown_before + (quiet ? 0 : 1));
  }
  tree_.Write("hall/cache/Tarvix/updateTarvix.cl.cache", "<notalist/>");
  EXPECT_EQ(Run(), kExitFailed);
  EXPECT_EQ(ShownTexts().back(), kCannotLoadNewList);
  EXPECT_TRUE(files_.move_targets.empty());
}

TEST_F(ApplierTest, StartsTheCallerAfterRemovingTheResumeRecord) {
  const std::string program_with_blank = tree_.Path("my hall/tarvix");
  tree_.Write("my hall/tarvix", "");
  struct Case {
    std::string launch;
    std::string program;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"/opt/helper one \"two three\"", "/opt/helper", {"one", "two three"}},
      {program_with_blank, program_with_blank, {}},
  };
  for (const auto& c : cases) {
    Lists({}, {"a.bin"});
    tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
    tree_.Write("hall/updatecl.txt", "resume record");
    launcher_.launched.clear();
    bool record_there_at_start = true;
    launcher_.on_launch = [&] { record_there_at_start = tree_.Exists("hall/updatecl.txt"); };

    EXPECT_EQ(Run({"/l:" + c.launch}), kExitDone);

    ASSERT_EQ(launcher_.launched.size(), 1u);
    EXPECT_EQ(launcher_.launched[0].program, c.program);
    EXPECT_EQ(launcher_.launched[0].args, c.args);
    EXPECT_FALSE(record_there_at_start);
    EXPECT_TRUE(tree_.Exists("hall/updateTarvix.cl"));
  }
}

TEST_F(ApplierTest, WaitsForTheParentBeforeTouchingAnything) {
  Lists({"old.bin"}, {"a.bin"});
  tree_.Write("hall/old.bin", "old");
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");
  launcher_.lists = {{{1, 0, "init"}, {3000, 1, "tarvix"}, {launcher_.self, 3000, "brimsett"}}};
  bool untouched_while_waiting = false;
  launcher_.on_wait = [&] {
    untouched_while_waiting = tree_.Exists("hall/old.bin") && !tree_.Exists("hall/a.bin");
  };

  EXPECT_EQ(Run({"/waitparentexit"}), kExitDone);
  EXPECT_EQ(launcher_.waited_for, std::vector<pid_t>{3000});
  EXPECT_TRUE(untouched_while_waiting);

  // Without the switch nobody is waited for.
  launcher_.waited_for.clear();
  Lists({}, {"a.bin"});
  EXPECT_EQ(Run(), kExitDone);
  EXPECT_TRUE(launcher_.waited_for.empty());
}

TEST_F(ApplierTest, FilesLeftInUseByAnEarlierRunAreRemovedFirst) {
  tree_.Write("hall/old.dll.del0", "was in use");
  platform::PendingDeletions pending(env_.pending_deletions_record);
  ASSERT_TRUE(pending.Add(tree_.Path("hall/old.dll.del0")));
  Lists({}, {"a.bin"});
  tree_.Write("hall/cache/Tarvix/a.bin.cache", "A");

  EXPECT_EQ(Run(), kExitDone);
  EXPECT_FALSE(tree_.Exists("hall/old.dll.del0"));
  EXPECT_TRUE(pending.Paths().empty());
  EXPECT_FALSE(tree_.Exists("hall/pending-deletions"));
}

}  // namespace
}  // namespace brimsett
