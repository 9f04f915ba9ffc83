// The maker's lists served by a real nginx: the download engine fetches a product's changed files
// by them and the real applier installs those files, removes what a new list no longer names and
// leaves the list that tells the next run nothing has changed. For the hall and for a game, into a
// program folder whose path holds blanks and Chinese characters.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "games/hall/update/update_engine.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "testing/update_server/check_list_maker.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace update_server {
namespace {

struct FileState {
  std::string contents;
  int64_t mtime = 0;
  bool operator==(const FileState&) const = default;
};

// Every file below `root` except those under `skip` folders, with contents and time.
std::map<std::string, FileState> Tree(const std::string& root,
                                      const std::vector<std::string>& skip = {}) {
  platform::FileSystem& fs = platform::RealFileSystem();
  std::vector<std::string> files;
  fs.ListFiles(root, &files);
  std::map<std::string, FileState> out;
  for (const std::string& f : files) {
    bool skipped = false;
    for (const std::string& s : skip)
      skipped = skipped || f == s || f.rfind(s + "/", 0) == 0;
    if (skipped)
      continue;
    FileState state;
    platform::FileInfo info;
    fs.Stat(platform::JoinPath(root, f), &info);
    fs.ReadFile(platform::JoinPath(root, f), &state.contents);
    state.mtime = info.mtime_seconds;
    out[f] = state;
  }
  return out;
}

class CheckListServeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_ALL); }
  static void TearDownTestSuite() { curl_global_cleanup(); }

  void SetUp() override {
    std::string error;
    nginx_ = NginxServer::Start({docroot_.path(), 1024}, &error);
    ASSERT_NE(nginx_, nullptr) << error;
    ASSERT_TRUE(platform::MakeDirectories(dir_));
  }

  // Publishes a product's files: its folder on the server and the maker's list of it.
  void Publish(const std::string& product) {
    std::string error;
    ASSERT_GE(
        WriteCheckListOf(docroot_.Sub(product), docroot_.Sub(product + "/update.cl"), {}, &error),
        1)
        << error;
  }
  void Serve(const std::string& product, const std::string& path, const std::string& contents,
             int64_t mtime) {
    ASSERT_TRUE(PutFile(docroot_.Sub(product), path, contents, mtime));
  }

  int Download(const std::string& product) {
    const std::string cache = platform::JoinPath(dir_, "cache/" + product);
    EXPECT_TRUE(platform::MakeDirectories(cache));
    hall::UpdateTarget target;
    target.dir = dir_;
    target.http_base = nginx_->Url() + product + "/";
    target.cache = cache + "/";
    target.name = product;
    hall::UpdateOptions options;
    options.work_folder = work_.path();
    return hall::RunUpdate(target, nullptr, options);
  }

  int Apply(const std::string& product) {
    platform::LaunchOptions o;
    o.program = BRIMSETT_PATH;
    o.args = {"/d:" + dir_, "/s:" + platform::JoinPath(dir_, "cache/" + product), "/n:" + product,
              "/quiet"};
    o.working_dir = work_.path();
    std::string error;
    auto p = platform::SystemProcessLauncher().Launch(o, &error);
    EXPECT_NE(p, nullptr) << error;
    if (p == nullptr)
      return 99;
    platform::ExitStatus status;
    EXPECT_EQ(p->Wait(30000, &status), platform::WaitOutcome::kExited);
    return status.code;
  }

  // The product's files as the server has them, without its list.
  std::map<std::string, FileState> Served(const std::string& product) {
    std::map<std::string, FileState> files = Tree(docroot_.Sub(product));
    files.erase("update.cl");
    return files;
  }

  TempFolder docroot_{"tvx_serve_root"};
  TempFolder work_{"tvx_serve_work"};
  TempFolder base_{"tvx_serve_dir"};
  const std::string dir_ = base_.Sub("游戏 大厅 program");
  std::unique_ptr<NginxServer> nginx_;
};

TEST_F(CheckListServeTest, TheHallsFilesAreFetchedInstalledAndThenUnchanged) {
  Serve("Tarvix", "tarvix", std::string(70'000, '\x7f'), 1'700'000'000);
  Serve("Tarvix", "brimsett", "applier", 1'700'000'001);
  Serve("Tarvix", "tarvixresource/MessageDialog.xml", "<Window/>", 1'700'000'002);
  Serve("Tarvix", "LobbyData/gamelist.xml", "<gamelist/>", 1'700'000'003);
  Serve("Tarvix", "中文 目录/说明 文件.txt", "说明", 1'700'000'004);
  Publish("Tarvix");

  ASSERT_EQ(Download("Tarvix"), hall::kUpdateReady);
  ASSERT_EQ(Apply("Tarvix"), 0);
  EXPECT_FALSE(platform::DirectoryExists(platform::JoinPath(dir_, "cache/Tarvix")));
  std::map<std::string, FileState> installed = Tree(dir_, {"cache"});
  ASSERT_EQ(installed.count("updateTarvix.cl"), 1u);
  installed.erase("updateTarvix.cl");
  EXPECT_EQ(installed, Served("Tarvix"));
  EXPECT_EQ(Download("Tarvix"), hall::kUpdateUnchanged);

  // One file changes, one goes, one comes: the next run brings exactly that.
  Serve("Tarvix", "tarvixresource/MessageDialog.xml", "<Window size=\"1,1\"/>", 1'700'100'000);
  ASSERT_TRUE(platform::RemoveFile(docroot_.Sub("Tarvix/中文 目录/说明 文件.txt")));
  Serve("Tarvix", "tarvixresource/new.png", "png", 1'700'100'001);
  Publish("Tarvix");
  const size_t before = nginx_->Requests().size();
  ASSERT_EQ(Download("Tarvix"), hall::kUpdateReady);
  std::vector<std::string> fetched;
  const std::vector<HttpRequest> requests = nginx_->Requests();
  for (size_t i = before; i < requests.size(); ++i) {
    if (requests[i].uri.find("update.cl") == std::string::npos)
      fetched.push_back(requests[i].uri);
  }
  std::sort(fetched.begin(), fetched.end());
  EXPECT_EQ(fetched, (std::vector<std::string>{"/Tarvix/tarvixresource/MessageDialog.xml",
                                               "/Tarvix/tarvixresource/new.png"}));
  ASSERT_EQ(Apply("Tarvix"), 0);
  installed = Tree(dir_, {"cache"});
  installed.erase("updateTarvix.cl");
  EXPECT_EQ(installed, Served("Tarvix"));
  EXPECT_EQ(Download("Tarvix"), hall::kUpdateUnchanged);
}

TEST_F(CheckListServeTest, AGamesFilesGoToItsFolderOfTheProgramFolder) {
  // A game's list names its files with the game's folder, as they lie in the program folder.
  Serve("demogame", "demogame/fake_game",
        "\x7f"
        "ELF game",
        1'650'000'000);
  Serve("demogame", "demogame/demogame.cfg", "[demogame]\nversion=1.0.0.1\n", 1'650'000'001);
  Publish("demogame");
  ASSERT_TRUE(PutFile(dir_, "tarvix", "the hall", 1'600'000'000));

  ASSERT_EQ(Download("demogame"), hall::kUpdateReady);
  ASSERT_EQ(Apply("demogame"), 0);
  std::map<std::string, FileState> installed = Tree(dir_, {"cache"});
  EXPECT_EQ(installed.count("updatedemogame.cl"), 1u);
  EXPECT_EQ(installed.count("tarvix"), 1u) << "the hall's own files stay";
  installed.erase("updatedemogame.cl");
  installed.erase("tarvix");
  EXPECT_EQ(installed, Served("demogame"));
  // The game's program can be started; its settings are no program.
  EXPECT_EQ(::access(platform::JoinPath(dir_, "demogame/fake_game").c_str(), X_OK), 0);
  EXPECT_NE(::access(platform::JoinPath(dir_, "demogame/demogame.cfg").c_str(), X_OK), 0);
  EXPECT_EQ(Download("demogame"), hall::kUpdateUnchanged);
}

}  // namespace
}  // namespace update_server
