#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/file_util.h"

namespace platform {
namespace {

constexpr char kName[] = "Global\\vozeb-test";

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/instance_lock_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);  // 0700 and ours: a proper runtime folder
    dir_ = tmpl;
    place_.runtime_dir = dir_;
    place_.temp_dir = "/tmp/unused-temp";
    place_.uid = ::getuid();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string dir_;
  InstanceLockPlace place_;
};

TEST_F(InstanceLockTest, TheFileLiesInAPrivateRuntimeFolderElseInTheTemporaryOne) {
  ASSERT_TRUE(MakeDirectories(dir_ + "/open", 0755));
  ASSERT_TRUE(MakeDirectories(dir_ + "/closed", 0700));
  ASSERT_EQ(::chmod((dir_ + "/open").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((dir_ + "/closed").c_str(), (dir_ + "/link").c_str()), 0);
  const std::string uid = std::to_string(::getuid());
  const std::string in_temp = "/tmp/t/Global_vozeb-test-" + uid + ".lock";
  struct Case {
    std::string runtime_dir;
    std::string expected;
  };
  const Case cases[] = {
      {dir_ + "/closed", dir_ + "/closed/Global_vozeb-test.lock"},
      {"", in_temp},
      {"relative/dir", in_temp},
      {dir_ + "/open", in_temp},     // others may reach it
      {dir_ + "/missing", in_temp},  // not there
      {dir_ + "/link", in_temp},     // a link, not a folder
  };
  for (const Case& c : cases) {
    InstanceLockPlace place{c.runtime_dir, "/tmp/t", ::getuid()};
    EXPECT_EQ(place.LockFilePath(kName), c.expected) << c.runtime_dir;
  }
  // Another user of the machine gets a file of their own in the temporary folder.
  InstanceLockPlace other{"", "/tmp/t", 4242};
  EXPECT_EQ(other.LockFilePath("a"), "/tmp/t/a-4242.lock");

  struct Name {
    const char* name;
    const char* file;
  };
  for (const Name& n :
       {Name{"Global\\vozeb-2016", "Global_vozeb-2016.lock"}, Name{"a/../b", "a_.._b.lock"},
        Name{"中 文", "_______.lock"}, Name{"", "_.lock"}, Name{"ok.name_1", "ok.name_1.lock"}}) {
    EXPECT_EQ(place_.LockFilePath(n.name), dir_ + "/" + n.file) << n.name;
  }
}

TEST_F(InstanceLockTest, OneHolderAtATimeUntilItLetsGo) {
  InstanceLock first, second, other;
  ASSERT_EQ(first.TryAcquire(kName, place_), InstanceLock::Result::kAcquired);
  EXPECT_TRUE(first.held());
  EXPECT_EQ(first.path(), place_.LockFilePath(kName));
  EXPECT_EQ(second.TryAcquire(kName, place_), InstanceLock::Result::kHeldElsewhere);
  EXPECT_FALSE(second.held());
  EXPECT_EQ(other.TryAcquire("another", place_), InstanceLock::Result::kAcquired);
  // Taking it again from the holder itself works: the old hold goes first.
  EXPECT_EQ(first.TryAcquire(kName, place_), InstanceLock::Result::kAcquired);

  first.Release();
  EXPECT_FALSE(first.held());
  EXPECT_TRUE(FileExists(place_.LockFilePath(kName))) << "the file stays";
  EXPECT_EQ(second.TryAcquire(kName, place_), InstanceLock::Result::kAcquired);
  {
    InstanceLock scoped;
    EXPECT_EQ(scoped.TryAcquire("scoped", place_), InstanceLock::Result::kAcquired);
  }
  InstanceLock after;
  EXPECT_EQ(after.TryAcquire("scoped", place_), InstanceLock::Result::kAcquired)
      << "destroying a holder lets go";
}

// A holder that is killed leaves nothing behind that keeps the next one out.
TEST_F(InstanceLockTest, AKilledHolderLeavesNoStaleLock) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceLock lock;
    const char got = lock.TryAcquire(kName, place_) == InstanceLock::Result::kAcquired ? 'y' : 'n';
    (void)!::write(ready[1], &got, 1);
    for (;;)
      ::pause();
  }
  ::close(ready[1]);
  char got = 0;
  ASSERT_EQ(::read(ready[0], &got, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(got, 'y');
  InstanceLock lock;
  EXPECT_EQ(lock.TryAcquire(kName, place_), InstanceLock::Result::kHeldElsewhere);
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(lock.TryAcquire(kName, place_), InstanceLock::Result::kAcquired);
}

// A program the holder starts does not hold the lock on after the holder has let it go.
TEST_F(InstanceLockTest, AStartedProgramDoesNotInheritTheLock) {
  InstanceLock lock;
  ASSERT_EQ(lock.TryAcquire(kName, place_), InstanceLock::Result::kAcquired);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Until the exec the child shares the lock; wait until it runs the new program.
  std::string comm;
  for (int i = 0; i < 500 && comm != "sleep\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ReadFile("/proc/" + std::to_string(child) + "/comm", &comm);
  }
  ASSERT_EQ(comm, "sleep\n");
  lock.Release();
  InstanceLock next;
  EXPECT_EQ(next.TryAcquire(kName, place_), InstanceLock::Result::kAcquired);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

TEST_F(InstanceLockTest, AFileThatIsNotAPlainFileOfTheUsersOwnIsNeverUsed) {
  const std::string path = place_.LockFilePath(kName);
  // A link: whatever it points to is left alone.
  ASSERT_TRUE(WriteFileAtomic(dir_ + "/target", "keep"));
  ASSERT_EQ(::symlink((dir_ + "/target").c_str(), path.c_str()), 0);
  InstanceLock lock;
  EXPECT_EQ(lock.TryAcquire(kName, place_), InstanceLock::Result::kFailed);
  std::string text;
  ASSERT_TRUE(ReadFile(dir_ + "/target", &text));
  EXPECT_EQ(text, "keep");
  ASSERT_EQ(::unlink(path.c_str()), 0);

  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  EXPECT_EQ(lock.TryAcquire(kName, place_), InstanceLock::Result::kFailed);
  ASSERT_EQ(::rmdir(path.c_str()), 0);

  if (::getuid() == 0) {
    // Another user's file (only root can make one here).
    ASSERT_TRUE(WriteFileAtomic(path, "", 0666));
    ASSERT_EQ(::chown(path.c_str(), 4242, 4242), 0);
    EXPECT_EQ(lock.TryAcquire(kName, place_), InstanceLock::Result::kFailed);
  }
  EXPECT_FALSE(lock.held());
}

}  // namespace
}  // namespace platform
