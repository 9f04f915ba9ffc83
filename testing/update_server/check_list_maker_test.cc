#include "testing/update_server/check_list_maker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "games/hall/update/file_time.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "testing/update_server/temp_folder.h"

namespace update_server {
namespace {

struct Listed {
  int64_t size;
  int32_t ftime;
  bool operator==(const Listed&) const = default;
};

std::map<std::string, Listed> Read(const std::string& list_path) {
  hall::CheckList list;
  EXPECT_TRUE(hall::LoadCheckList(list_path, list)) << list_path;
  std::map<std::string, Listed> out;
  for (const auto& [path, e] : list)
    out[path] = {e.size, e.ftime};
  return out;
}

class CheckListMakerTest : public ::testing::Test {
 protected:
  void Put(const std::string& relative, const std::string& contents, int64_t mtime) {
    ASSERT_TRUE(PutFile(root_.path(), relative, contents, mtime)) << relative;
  }
  TempFolder root_{"tvx_check_list"};
};

TEST_F(CheckListMakerTest, ListsEveryFileWithItsSizeAndTimeAsTheReadersReadIt) {
  Put("tarvix", std::string(1000, 'x'), 1'700'000'000);
  Put("tarvixresource/MessageDialog.xml", "<Window/>", 1'700'000'100);
  Put("中文 目录/文件 一.dat", "abc", 1'600'000'000);
  Put("sub/a&b'c\"d<e>.txt", "", 1'500'000'000);
  Put("LobbyData/client.ini", "[main]\n", 0);
  const std::string list = root_.Sub("updateTarvix.cl");
  std::string error;
  ASSERT_EQ(WriteCheckListOf(root_.path(), list, {}, &error), 5) << error;
  const std::map<std::string, Listed> expected = {
      {"tarvix", {1000, 1'700'000'000}},
      {"tarvixresource\\MessageDialog.xml", {9, 1'700'000'100}},
      {"中文 目录\\文件 一.dat", {3, 1'600'000'000}},
      {"sub\\a&b'c\"d<e>.txt", {0, 1'500'000'000}},
      {"LobbyData\\client.ini", {7, 0}},
  };
  EXPECT_EQ(Read(list), expected);

  // Written again over itself: the list still never names itself.
  ASSERT_EQ(WriteCheckListOf(root_.path(), list, {}, &error), 5) << error;
  EXPECT_EQ(Read(list), expected);
}

TEST_F(CheckListMakerTest, AListTakesANewTimeOnlyWhenItsTextChanges) {
  platform::FileSystem& fs = platform::RealFileSystem();
  Put("a.txt", "1", 1'000);
  const std::string list = root_.Sub("update.cl");
  std::string error;
  ASSERT_EQ(WriteCheckListOf(root_.path(), list, {}, &error), 1) << error;
  // An old time, as a list published long ago has.
  ASSERT_TRUE(fs.SetModifiedTime(list, 1'600'000'000));
  ASSERT_EQ(WriteCheckListOf(root_.path(), list, {}, &error), 1) << error;
  platform::FileInfo info;
  ASSERT_TRUE(fs.Stat(list, &info));
  EXPECT_EQ(info.mtime_seconds, 1'600'000'000) << "an unchanged list keeps its time";

  // Changed now, and again within the same second: each is seen as new by the engine's
  // comparison, which takes times less than two seconds apart as the same.
  Put("a.txt", "22", 2'000);
  ASSERT_EQ(WriteCheckListOf(root_.path(), list, {}, &error), 1) << error;
  ASSERT_TRUE(fs.Stat(list, &info));
  const int64_t first = info.mtime_seconds;
  EXPECT_GT(first, 1'600'000'000);
  Put("b.txt", "3", 3'000);
  ASSERT_EQ(WriteCheckListOf(root_.path(), list, {}, &error), 2) << error;
  ASSERT_TRUE(fs.Stat(list, &info));
  const int64_t second = hall::FileTimeFromUnixSeconds(info.mtime_seconds);
  EXPECT_NE(hall::CompareFileTimes(second, hall::FileTimeFromUnixSeconds(first)), 0);
  EXPECT_NE(hall::CompareFileTimes(hall::FileTimeFromUnixSeconds(first), second), 0);
}

TEST_F(CheckListMakerTest, LeavesOutWhatItIsToldFilesAndFolders) {
  for (const char* f : {"keep.txt", "cache/Tarvix/a.cache", "cache.txt", "LobbyData/account.ini",
                        "LobbyData/client.ini", "sub/deep/x"}) {
    Put(f, "1", 1'000);
  }
  CheckListOptions options;
  options.exclude = {"cache", "LobbyData/account.ini", "sub/deep"};
  std::vector<hall::CheckListEntry> entries;
  std::string error;
  ASSERT_TRUE(CollectCheckList(root_.path(), options, &entries, &error)) << error;
  std::vector<std::string> paths;
  for (const auto& e : entries)
    paths.push_back(e.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"LobbyData\\client.ini", "cache.txt", "keep.txt"}));
}

TEST_F(CheckListMakerTest, ListsOnlyTheNamedFilesWhenGiven) {
  for (const char* f : {"tarvix", "brimsett", "tarvixresource/a.xml", "demogame/fake_game",
                        "account.ini", "cache/Tarvix/x.cache"}) {
    Put(f, "1", 1'000);
  }
  CheckListOptions options;
  options.only = {"tarvixresource/a.xml", "tarvix", "brimsett", "tarvix"};
  std::vector<hall::CheckListEntry> entries;
  std::string error;
  ASSERT_TRUE(CollectCheckList(root_.path(), options, &entries, &error)) << error;
  std::vector<std::string> paths;
  for (const auto& e : entries)
    paths.push_back(e.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"brimsett", "tarvix", "tarvixresource\\a.xml"}));
  for (const char* missing : {"gone.txt", "tarvixresource"}) {
    options.only = {"tarvix", missing};
    EXPECT_FALSE(CollectCheckList(root_.path(), options, &entries, &error)) << missing;
    EXPECT_NE(error.find(missing), std::string::npos) << error;
  }
}

TEST_F(CheckListMakerTest, RefusesAListThatAReaderWouldMisreadOrReject) {
  struct Case {
    std::string name;
    std::function<void(const std::string& root)> make;
    std::string error_names;
  };
  const Case cases[] = {
      {"a colon", [](const std::string& r) { PutFile(r, "a:b", "1"); }, "a:b"},
      {"a control byte", [](const std::string& r) { PutFile(r, "a\x01z", "1"); }, "a\x01z"},
      {"a link",
       [](const std::string& r) {
         PutFile(r, "target", "1");
         ASSERT_EQ(::symlink("target", (r + "/link").c_str()), 0);
       },
       "link"},
      {"over 2 GiB",
       [](const std::string& r) {
         PutFile(r, "big", "");
         ASSERT_EQ(::truncate((r + "/big").c_str(), int64_t{1} << 31), 0);
       },
       "big"},
      {"a time past 2038", [](const std::string& r) { PutFile(r, "late", "1", int64_t{1} << 31); },
       "late"},
      {"a time before 1970",
       [](const std::string& r) {
         PutFile(r, "early", "1");
         const timespec times[2] = {{-5, 0}, {-5, 0}};
         ASSERT_EQ(::utimensat(AT_FDCWD, (r + "/early").c_str(), times, 0), 0);
       },
       "early"},
  };
  for (const Case& c : cases) {
    TempFolder folder("tvx_check_list_bad");
    PutFile(folder.path(), "fine.txt", "ok");
    c.make(folder.path());
    std::vector<hall::CheckListEntry> entries;
    std::string error;
    EXPECT_FALSE(CollectCheckList(folder.path(), {}, &entries, &error)) << c.name;
    EXPECT_NE(error.find(c.error_names), std::string::npos) << c.name << ": " << error;
    const std::string list = folder.Sub("update.cl");
    EXPECT_EQ(WriteCheckListOf(folder.path(), list, {}, &error), -1) << c.name;
    EXPECT_FALSE(platform::FileExists(list)) << c.name;
  }
}

TEST_F(CheckListMakerTest, TheToolWritesTheListAndReportsWhatItCannotList) {
  Put("demogame/fake_game", "game", 1'650'000'000);
  Put("demogame/demogame.cfg", "[demogame]\nversion=1.0.0.1\n", 1'650'000'001);
  platform::ProcessLauncher& launcher = platform::SystemProcessLauncher();
  auto run = [&](std::vector<std::string> args) {
    platform::LaunchOptions o;
    o.program = MAKE_CHECK_LIST_PATH;
    o.args = std::move(args);
    std::string error;
    auto p = launcher.Launch(o, &error);
    EXPECT_NE(p, nullptr) << error;
    platform::ExitStatus status;
    EXPECT_EQ(p->Wait(20000, &status), platform::WaitOutcome::kExited);
    return status.code;
  };
  EXPECT_EQ(run({root_.path()}), 0);
  EXPECT_EQ(Read(root_.Sub("update.cl")),
            (std::map<std::string, Listed>{{"demogame\\demogame.cfg", {27, 1'650'000'001}},
                                           {"demogame\\fake_game", {4, 1'650'000'000}}}));
  const std::string other = root_.Sub("other.cl");
  EXPECT_EQ(run({root_.path(), "-o", other, "-x", "demogame/demogame.cfg"}), 0);
  // The first list is a file of the folder like any other now.
  platform::FileInfo first;
  ASSERT_TRUE(platform::RealFileSystem().Stat(root_.Sub("update.cl"), &first));
  EXPECT_EQ(Read(other), (std::map<std::string, Listed>{
                             {"demogame\\fake_game", {4, 1'650'000'000}},
                             {"update.cl", {first.size, static_cast<int32_t>(first.mtime_seconds)}},
                         }));
  Put("bad:name", "1", 1);
  EXPECT_EQ(run({root_.path()}), 1);
  const std::string names = root_.Sub("names.txt");
  ASSERT_TRUE(platform::WriteFileAtomic(names, "demogame/fake_game\n\n"));
  const std::string only = root_.Sub("only.cl");
  EXPECT_EQ(run({root_.path(), "-f", names, "-o", only}), 0);
  EXPECT_EQ(Read(only),
            (std::map<std::string, Listed>{{"demogame\\fake_game", {4, 1'650'000'000}}}));
  ASSERT_TRUE(platform::WriteFileAtomic(names, "\n"));
  EXPECT_EQ(run({root_.path(), "-f", names, "-o", only}), 1);
  EXPECT_EQ(run({root_.path(), "-f", root_.Sub("no-such-file"), "-o", only}), 1);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{}, {"-o"}, {root_.path(), "-x"}, {root_.path(), "extra"}}) {
    EXPECT_EQ(run(bad), 2);
  }
}

}  // namespace
}  // namespace update_server
