// The update flow end to end: real nginx (and pyftpdlib) on loopback serving the products, a
// program folder of its own per test (its path holds a blank and Chinese), the progress window
// on the headless backend with the library clock in the test's hands, and the applier played by
// a recording launcher, or the real brimsett where the install itself is the point.
#include "games/hall/app/update_flow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "brimsett/applier_options.h"
#include "games/hall/app/game_list.h"
#include "games/hall/text/utf.h"
#include "games/hall/update/update_log.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"
#include "skinui/control.h"
#include "skinui/label.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"
#include "testing/update_server/ftp_server.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using skinui::TestDriver;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using update_server::PutFile;
using update_server::TempFolder;

constexpr int64_t kListTime = 1'650'000'000;
constexpr int kSlowRate = 32 * 1024;  // bytes per second at the fixture's slow location

struct ProductFile {
  std::string path;  // list path, '\' separated
  std::string contents;
};

std::string ToDisk(std::string path) {
  for (char& c : path) {
    if (c == '\\')
      c = '/';
  }
  return path;
}

std::string ListXml(const std::vector<ProductFile>& files) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checklist>\n";
  for (const ProductFile& f : files) {
    xml += "  <file path=\"" + f.path + "\" size=\"" + std::to_string(f.contents.size()) +
           "\" ftime=\"1600000000\" />\n";
  }
  return xml + "</checklist>\n";
}

// A process that has already ended with its code.
class EndedProcess : public platform::Process {
 public:
  explicit EndedProcess(int code) : code_(code) {}
  pid_t pid() const override { return 4321; }
  platform::WaitOutcome Wait(uint32_t, platform::ExitStatus* status) override {
    status->code = code_;
    return platform::WaitOutcome::kExited;
  }
  bool Terminate() override { return false; }

 private:
  int code_;
};

// The applier's stand-in: records each start (from the worker thread) and ends with the code set.
class RecordingLauncher : public platform::ProcessLauncher {
 public:
  std::unique_ptr<platform::Process> Launch(const platform::LaunchOptions& options,
                                            std::string* error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    launched_.push_back(options);
    if (on_launch)
      on_launch();
    if (!start) {
      *error = "no such program";
      return nullptr;
    }
    return std::make_unique<EndedProcess>(exit_code);
  }
  platform::WaitOutcome WaitForPid(pid_t, uint32_t) override {
    return platform::WaitOutcome::kExited;
  }
  bool TerminatePid(pid_t) override { return false; }
  std::vector<platform::ProcessEntry> ListProcesses() override { return {}; }
  pid_t CurrentPid() override { return 4000; }

  std::vector<platform::LaunchOptions> launched() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return launched_;
  }

  // Set before a run.
  bool start = true;
  int exit_code = 0;
  std::function<void()> on_launch;

 private:
  mutable std::mutex mutex_;
  std::vector<platform::LaunchOptions> launched_;
};

class UpdateFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    skinui::SetMessageBoxProvider(&boxes_);
    ASSERT_FALSE(dir_.path().empty());
    std::string error;
    nginx_ = update_server::NginxServer::Start({http_root_.path(), kSlowRate}, &error);
    ASSERT_NE(nginx_, nullptr) << error;
    SetUpdateIni(nginx_->Url(), "");
    MakeFlow();
  }
  void TearDown() override {
    flow_.reset();
    skinui::SetMessageBoxProvider(nullptr);
  }

  void MakeFlow(platform::FileSystem* fs = nullptr) {
    flow_.reset();
    UpdateFlowEnvironment environment;
    environment.program_dir = dir_.path();
    environment.launcher = &launcher_;
    environment.engine.limits.low_speed_time_s = 2;
    environment.engine.fs = fs;
    flow_ = std::make_unique<UpdateFlow>(environment);
  }

  void SetUpdateIni(const std::string& http, const std::string& ftp) {
    ASSERT_TRUE(PutFile(dir_.path(), kUpdateIniFile,
                        "[update]\nurl_update=" + http + "\nurl_update_ftp=" + ftp + "\n"));
  }
  // Publishes a product on the HTTP server (and on the FTP one when it runs).
  void Publish(const std::string& product, const std::vector<ProductFile>& files,
               int64_t list_time = kListTime) {
    std::vector<const TempFolder*> roots = {&http_root_};
    if (ftp_ != nullptr)
      roots.push_back(&ftp_root_);
    for (const TempFolder* root : roots) {
      ASSERT_TRUE(PutFile(root->path(), product + "/update.cl", ListXml(files), list_time));
      for (const ProductFile& f : files)
        ASSERT_TRUE(PutFile(root->path(), product + "/" + ToDisk(f.path), f.contents));
    }
  }
  // The installed check-list as the applier leaves it.
  void InstallList(const std::string& product, const std::vector<ProductFile>& files,
                   int64_t list_time) {
    ASSERT_TRUE(PutFile(dir_.path(), "update" + product + ".cl", ListXml(files), list_time));
  }

  std::vector<std::string> CacheFiles(const std::string& product) const {
    const std::string cache = dir_.Sub("cache/" + product);
    std::vector<std::string> out;
    for (const std::string& f : platform::ListFilesBelow(cache))
      out.push_back(f.substr(cache.size() + 1));
    std::sort(out.begin(), out.end());
    return out;
  }
  // URIs of the product's files (not its list) that nginx answered, with the bytes sent.
  std::vector<std::pair<std::string, int64_t>> FileRequests() const {
    std::vector<std::pair<std::string, int64_t>> out;
    for (const auto& r : nginx_->Requests()) {
      if (r.uri.find("update.cl") == std::string::npos)
        out.push_back({r.uri, r.body_bytes});
    }
    return out;
  }
  std::vector<std::string> LogLines() const {
    std::string bytes;
    std::vector<std::string> lines;
    if (!platform::ReadFile(dir_.Sub(std::string(kUpdateLogName)), &bytes))
      return lines;
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    const std::string utf8 = Utf16ToUtf8(text);
    size_t start = 0;
    for (size_t end; (end = utf8.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(utf8.substr(start + 19, end - start - 19));
    return lines;
  }

  // Runs this thread's messages until `done` holds (the worker's posts arrive meanwhile); false
  // when it does not within the time.
  bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 30'000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
      if (!driver_.RunUntilIdle() || std::chrono::steady_clock::now() > deadline)
        return done();
      if (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  static int Bar(skinui::WindowImplBase& window) {
    auto* bar = static_cast<skinui::CProgressUI*>(
        TestDriver::Find(window, "updProgress")->GetInterface("Progress"));
    return bar->GetValue();
  }
  static std::string Text(skinui::WindowImplBase& window, const char* name) {
    return std::string(TestDriver::Find(window, name)->GetText());
  }

  TempFolder dir_{"hall update 程序"};
  TempFolder http_root_{"flow-http"}, ftp_root_{"flow-ftp"};
  std::unique_ptr<update_server::NginxServer> nginx_;
  std::unique_ptr<update_server::FtpServer> ftp_;
  platform::ManualClock clock_;
  TestDriver driver_{&clock_};
  skinui::ScriptedMessageBoxes boxes_;
  RecordingLauncher launcher_;
  std::unique_ptr<UpdateFlow> flow_;
};

TEST(UpdateTargets, FollowTheUpdateIniValuesPerProduct) {
  struct Case {
    const char* url;
    const char* ftp;
    const char* product;  // null: the hall
    UpdateTarget want;
  } cases[] = {
      {"http://u/",
       "ftp://f/",
       nullptr,
       {"/p d", "http://u/Tarvix/", "ftp://f/Tarvix/", "/p d/cache/Tarvix/", "Tarvix"}},
      {"http://u/", "", nullptr, {"/p d", "http://u/Tarvix/", "", "/p d/cache/Tarvix/", "Tarvix"}},
      {"", "", nullptr, {"/p d", "Tarvix/", "", "/p d/cache/Tarvix/", "Tarvix"}},
      {"http://u/",
       "ftp://f/",
       "Poker",
       {"/p d", "http://u/Poker/", "ftp://f/Poker/", "/p d/cache/Poker", "Poker"}},
      {"http://u/", "", "Poker", {"/p d", "http://u/Poker/", "", "/p d/cache/Poker", "Poker"}},
  };
  for (const Case& c : cases) {
    const UpdateTarget t = c.product == nullptr ? HallUpdateTarget("/p d", c.url, c.ftp)
                                                : GameUpdateTarget("/p d", c.url, c.ftp, c.product);
    EXPECT_EQ(t.dir, c.want.dir);
    EXPECT_EQ(t.http_base, c.want.http_base) << c.url;
    EXPECT_EQ(t.ftp_base, c.want.ftp_base) << c.ftp;
    EXPECT_EQ(t.cache, c.want.cache);
    EXPECT_EQ(t.name, c.want.name);
  }
}

TEST(UpdateIni, ValuesComeFromTheUpdateSection) {
  TempFolder dir("update-ini");
  EXPECT_EQ(ReadUpdateUrl(dir.path(), kHttpUrlKey), "");  // no file
  ASSERT_TRUE(PutFile(dir.path(), kUpdateIniFile,
                      "[other]\nurl_update=http://wrong/\n[update]\nurl_update=http://u/\n"));
  EXPECT_EQ(ReadUpdateUrl(dir.path(), kHttpUrlKey), "http://u/");
  EXPECT_EQ(ReadUpdateUrl(dir.path(), kFtpUrlKey), "");
  ASSERT_TRUE(PutFile(dir.path(), kUpdateIniFile,
                      "[update]\nurl_update=http://" + std::string(2000, 'a') + "/\n"));
  EXPECT_EQ(ReadUpdateUrl(dir.path(), kHttpUrlKey).size(), kUpdateUrlCapacity - 1);

  EXPECT_EQ(MakeCacheDir(dir.path()), dir.Sub("cache/"));
  EXPECT_TRUE(platform::DirectoryExists(dir.Sub("cache")));
}

TEST(ApplierParameterText, IsTheThreeSwitchesInTripleQuotesThatTheApplierCleansBack) {
  EXPECT_EQ(ApplierParameters("/opt/hall", "/opt/hall/cache/Poker", "Poker"),
            "/d:\"\"\"/opt/hall\"\"\" /s:\"\"\"/opt/hall/cache/Poker\"\"\" /n:\"\"\"Poker\"\"\"");
  struct Case {
    std::string dir;
    bool passes;
  } cases[] = {
      {"/opt/hall", true},
      {"/home/玩家/休闲 游戏", true},
      {"/tmp/a'b", true},
      {"/tmp/a\\b", true},
      {"/tmp/a\"b", false},  // a quote ends the value early
      {"/tmp/x\"\"\" /l:\"\"\"/bin/sh", false},
      {"/tmp/ab\\", false},  // a backslash before the closing quotes hides one of them
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    const std::string cache = c.dir + "/cache/Poker";
    std::vector<std::string> args;
    EXPECT_EQ(SplitApplierParameters(ApplierParameters(c.dir, cache, "Poker"), c.dir, cache,
                                     "Poker", &args),
              c.passes);
    if (!c.passes)
      continue;
    const brimsett::ApplierOptions options = brimsett::ReadSwitches(args);
    EXPECT_EQ(options.destination, c.dir);
    EXPECT_EQ(options.source, cache);
    EXPECT_EQ(options.name, "Poker");
    EXPECT_TRUE(options.launch.empty());
    EXPECT_FALSE(options.wait_parent);
  }
}

TEST_F(UpdateFlowTest, UnchangedServerListAnimatesClosesAndStartsNothing) {
  const std::vector<ProductFile> files = {{"tarvix.bin", "hall"}};
  Publish("Tarvix", files);
  InstallList("Tarvix", files, kListTime + 1);  // within 2 seconds of the server's
  bool animated = false;
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& window) {
    EXPECT_STREQ(window.GetWindowClassName(), "ClassProgressDialog");
    EXPECT_EQ(window.GetTitle(), "Update");
    EXPECT_EQ(window.GetClientSize().cx, kProgressWidth);
    EXPECT_EQ(window.GetClientSize().cy, kProgressHeight);
    EXPECT_EQ(flow_->current_progress_window(), &window);
    ASSERT_TRUE(PumpUntil([&] { return Bar(window) == 45; }));
    const HWND hwnd = window.GetHWND();
    EXPECT_EQ(Text(window, "updProgress"), "45%");
    driver_.Advance(200);
    EXPECT_EQ(Bar(window), 70);
    driver_.Advance(400);
    EXPECT_EQ(Bar(window), 100);
    EXPECT_EQ(Text(window, "updProgress"), "100%");
    driver_.Advance(599);
    EXPECT_TRUE(skinui::IsWindow(hwnd));
    driver_.Advance(1);
    EXPECT_FALSE(skinui::IsWindow(hwnd));
    animated = true;
  });
  bool ready = true;
  flow_->CheckHallUpdate(ready);
  EXPECT_TRUE(animated);
  EXPECT_FALSE(ready);
  EXPECT_EQ(flow_->current_progress_window(), nullptr);
  EXPECT_TRUE(CacheFiles("Tarvix").empty());
  EXPECT_TRUE(launcher_.launched().empty());
  EXPECT_TRUE(FileRequests().empty());
}

// Holds back the last download of the run until the window has shown a file name: a run of a few
// small files can otherwise end between two looks at the window.
class LastFileWaitsForAName : public platform::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  void NameShown() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      shown_ = true;
    }
    changed_.notify_all();
  }
  std::unique_ptr<platform::StagedFile> CreateStagedFile(const std::string& path,
                                                         int* error) override {
    if (path.find("tarvixresource") != std::string::npos) {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait_for(lock, std::chrono::seconds(20), [this] { return shown_; });
    }
    return ForwardingFileSystem::CreateStagedFile(path, error);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool shown_ = false;
};

TEST_F(UpdateFlowTest, HallUpdateReadyLeavesTheFilesAndTheNewListInTheCache) {
  Publish("Tarvix", {{"tarvix.bin", std::string(40'000, 'h')},
                     {"tarvixresource\\牌背.png", std::string(30'000, 'p')},
                     {"LobbyData\\gamelist.xml", "<gamelist/>"}});
  LastFileWaitsForAName fs(platform::RealFileSystem());
  MakeFlow(&fs);
  std::vector<std::string> names;
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& window) {
    const HWND hwnd = window.GetHWND();
    PumpUntil([&] {
      if (!skinui::IsWindow(hwnd))
        return true;
      const std::string name = Text(window, "updfilename");
      if (!name.empty() && (names.empty() || names.back() != name)) {
        names.push_back(name);
        fs.NameShown();
      }
      return false;
    });
  });
  bool ready = false;
  flow_->CheckHallUpdate(ready);
  EXPECT_TRUE(ready);
  EXPECT_THAT(CacheFiles("Tarvix"),
              ElementsAre("LobbyData/gamelist.xml.cache", "tarvix.bin.cache",
                          "tarvixresource/牌背.png.cache", "updateTarvix.cl.cache"));
  EXPECT_FALSE(names.empty());
  for (const std::string& name : names)
    EXPECT_THAT((std::vector<std::string>{"gamelist.xml", "tarvix.bin", "牌背.png"}),
                ::testing::Contains(name));
  // The resume record lies where the applier deletes it: its working folder, the program's.
  EXPECT_TRUE(platform::FileExists(dir_.Sub("updatecl.txt")));
  // The hall's own applier is the start-up's to start.
  EXPECT_TRUE(launcher_.launched().empty());
  flow_.reset();  // its worker is done with `fs`
}

TEST_F(UpdateFlowTest, CancelDuringATransferClosesAtOnceStopsTheRunAndTheNextRunResumes) {
  SetUpdateIni(nginx_->Url(update_server::kSlow), "");
  Publish("Tarvix", {{"a.bin", std::string(2'000, 'a')},
                     {"b.bin", std::string(256 * 1024, 'b')},  // eight seconds at the slow rate
                     {"c.bin", std::string(2'000, 'c')}});
  bool closed_at_once = false;
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& window) {
    const HWND hwnd = window.GetHWND();
    ASSERT_TRUE(
        PumpUntil([&] { return Text(window, "updfilename") == "b.bin" && Bar(window) > 1; }));
    TestDriver::AnswerNextModal([](skinui::WindowImplBase& question) {
      TestDriver d;
      d.Click(question, "button_1");  // 我要走了
    });
    ASSERT_TRUE(driver_.Click(static_cast<skinui::WindowImplBase&>(window), "btnclose"));
    closed_at_once = !skinui::IsWindow(hwnd);
  });
  bool ready = true;
  const auto cancelled_at = std::chrono::steady_clock::now();
  flow_->CheckHallUpdate(ready);
  EXPECT_TRUE(closed_at_once);
  EXPECT_FALSE(ready);
  EXPECT_EQ(flow_->current_progress_window(), nullptr);

  // The worker stops at the engine's next progress report, long before b.bin would be whole.
  flow_->Shutdown();
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled_at, std::chrono::seconds(6));
  EXPECT_THAT(CacheFiles("Tarvix"), ElementsAre("a.bin.cache", "updateTarvix.cl.cache"));
  // nginx logs the broken-off request once it notices the closed connection.
  ASSERT_TRUE(PumpUntil([&] { return FileRequests().size() >= 2; }, 5'000));
  const auto requests = FileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].first, "/slow/Tarvix/a.bin");
  EXPECT_EQ(requests[1].first, "/slow/Tarvix/b.bin");
  EXPECT_LT(requests[1].second, 256 * 1024);

  // The next run, at full speed, fetches only what was not complete.
  SetUpdateIni(nginx_->Url(), "");
  flow_->CheckHallUpdate(ready);
  EXPECT_TRUE(ready);
  const auto after = FileRequests();
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[2].first, "/Tarvix/b.bin");
  EXPECT_EQ(after[3].first, "/Tarvix/c.bin");
  EXPECT_THAT(CacheFiles("Tarvix"),
              ElementsAre("a.bin.cache", "b.bin.cache", "c.bin.cache", "updateTarvix.cl.cache"));
}

TEST_F(UpdateFlowTest, MainWindowCloseOrQuitEndsTheRunAndTheFlowWaitsForItsWorker) {
  SetUpdateIni(nginx_->Url(update_server::kSlow), "");
  Publish("Tarvix", {{"big.bin", std::string(512 * 1024, 'b')}});
  struct Case {
    const char* how;
  } cases[] = {{"close"}, {"quit"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    MakeFlow();
    platform::RemoveTree(dir_.Sub("cache"));
    platform::RemoveFile(dir_.Sub("updatecl.txt"));
    HWND hwnd = nullptr;
    TestDriver::AnswerNextModal([&](skinui::WindowImplBase& window) {
      hwnd = window.GetHWND();
      ASSERT_TRUE(PumpUntil([&] { return Bar(window) > 1; }));
      if (std::string(c.how) == "close") {
        EXPECT_TRUE(flow_->CloseProgressWindow());
      } else {
        skinui::PostQuitMessage(0);
      }
    });
    bool ready = true;
    const auto stopped_at = std::chrono::steady_clock::now();
    flow_->CheckHallUpdate(ready);
    EXPECT_FALSE(ready);
    EXPECT_FALSE(skinui::IsWindow(hwnd));
    EXPECT_EQ(flow_->current_progress_window(), nullptr);
    EXPECT_FALSE(flow_->CloseProgressWindow());
    if (std::string(c.how) == "quit") {
      // The quit is handed on to the loops outside.
      MSG msg;
      ASSERT_TRUE(skinui::PeekMessage(&msg));
      EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    }
    // Destroying the flow waits for the worker, which stops at its next report.
    flow_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped_at, std::chrono::seconds(6));
    EXPECT_THAT(CacheFiles("Tarvix"), ElementsAre("updateTarvix.cl.cache"));
  }
}

TEST_F(UpdateFlowTest, SecondRunWhileOneIsOpenIsRefused) {
  SetUpdateIni(nginx_->Url(update_server::kSlow), "");
  Publish("Tarvix", {{"big.bin", std::string(512 * 1024, 'b')}});
  Publish("Poker", {{"Poker\\poker.bin", std::string(1000, 'p')}});
  GameRecord poker;
  poker.gameId = 5;
  poker.engName = "Poker";
  bool second_ready = true;
  bool second_usable = true;
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& window) {
    ASSERT_TRUE(PumpUntil([&] { return Bar(window) > 1; }));
    flow_->CheckHallUpdate(second_ready);      // returns at once, no second window
    second_usable = flow_->UpdateGame(poker);  // a sign-up clicked meanwhile
    EXPECT_EQ(flow_->current_progress_window(), &window);
    flow_->CloseProgressWindow();
  });
  bool ready = true;
  flow_->CheckHallUpdate(ready);
  EXPECT_FALSE(ready);
  EXPECT_FALSE(second_ready);
  EXPECT_FALSE(second_usable);
  flow_->Shutdown();
  for (const auto& [uri, bytes] : FileRequests())
    EXPECT_EQ(uri.find("Poker"), std::string::npos) << uri;
  EXPECT_TRUE(launcher_.launched().empty());
}

TEST_F(UpdateFlowTest, GameUpdateIsInstalledByTheApplierWhoseExitCodeDecides) {
  struct Case {
    const char* name;
    bool start;
    int exit_code;
    bool usable;
    bool box;
  } cases[] = {
      {"done", true, 0, true, false},          {"restart pending", true, -2, false, false},
      {"failed", true, -3, false, true},       {"bad arguments", true, -1, false, true},
      {"cannot start", false, 0, false, true},
  };
  ASSERT_TRUE(PutFile(dir_.path(), kGameListFile,
                      "<gamelist><game gameid=\"5\" gamename=\"扑克\" engname=\"Poker\" "
                      "version=\"2.0\" /></gamelist>"));
  ASSERT_TRUE(PutFile(dir_.path(), "Poker/Poker.cfg", "[Poker]\nversion=1.0\n"));
  GameList games(dir_.path(), [this](const GameRecord& game) { return flow_->UpdateGame(game); });
  ASSERT_TRUE(games.LoadGameList());
  int list_time = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A new list each time: the stand-in applier installs nothing.
    Publish("Poker",
            {{"Poker\\Poker.cfg", "[Poker]\nversion=2.0\n"},
             {"Poker\\poker.bin", std::string(10'000, 'p')}},
            kListTime + 100 * ++list_time);
    launcher_.start = c.start;
    launcher_.exit_code = c.exit_code;
    bool downloaded_first = false;
    launcher_.on_launch = [&] {
      downloaded_first = platform::FileExists(dir_.Sub("cache/Poker/Poker/poker.bin.cache")) &&
                         platform::FileExists(dir_.Sub("cache/Poker/updatePoker.cl.cache"));
    };
    const size_t launches = launcher_.launched().size();
    const size_t boxes = boxes_.shown().size();
    bool usable = !c.usable;
    EXPECT_TRUE(games.CheckGameVersion(5, usable));
    EXPECT_EQ(usable, c.usable);
    EXPECT_EQ(games.FindGameRecord(5)->checked, c.usable);

    const auto launched = launcher_.launched();
    ASSERT_EQ(launched.size(), launches + 1);
    const platform::LaunchOptions& applier = launched.back();
    EXPECT_TRUE(downloaded_first);
    EXPECT_EQ(applier.program, dir_.Sub("brimsett"));
    EXPECT_EQ(applier.working_dir, dir_.path());
    EXPECT_THAT(applier.args,
                ElementsAre("/d:\"" + dir_.path() + "\"", "/s:\"" + dir_.Sub("cache/Poker") + "\"",
                            "/n:\"Poker\""));
    ASSERT_EQ(boxes_.shown().size(), boxes + (c.box ? 1 : 0));
    if (c.box) {
      const skinui::ScriptedMessageBoxes::Shown& box = boxes_.shown().back();
      EXPECT_EQ(box.text, "下载任务失败");
      EXPECT_EQ(box.caption, "信息");
      EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    }
  }
}

TEST_F(UpdateFlowTest, NewerListedVersionWithAnUnchangedServerListTellsTheUserEachAttempt) {
  const std::vector<ProductFile> files = {{"Poker\\Poker.cfg", "[Poker]\nversion=1.0\n"}};
  Publish("Poker", files);
  InstallList("Poker", files, kListTime);
  ASSERT_TRUE(PutFile(dir_.path(), "Poker/Poker.cfg", "[Poker]\nversion=1.0\n"));
  ASSERT_TRUE(PutFile(dir_.path(), kGameListFile,
                      "<gamelist><game gameid=\"5\" gamename=\"扑克\" engname=\"Poker\" "
                      "version=\"2.0\" /></gamelist>"));
  GameList games(dir_.path(), [this](const GameRecord& game) { return flow_->UpdateGame(game); });
  ASSERT_TRUE(games.LoadGameList());
  for (int attempt = 1; attempt <= 2; ++attempt) {
    SCOPED_TRACE(attempt);
    int told = 0;
    TestDriver::AnswerNextModal([&](skinui::WindowImplBase& window) {
      ASSERT_TRUE(PumpUntil([&] { return Bar(window) == 45; }));
      for (const AnimationStep& step : kNothingNewAnimation)
        driver_.Advance(step.hold_ms);
      EXPECT_FALSE(skinui::IsWindow(window.GetHWND()));
    });
    TestDriver::AnswerNextModal([&](skinui::WindowImplBase& message) {
      ASSERT_STREQ(message.GetWindowClassName(), "MessageDialog");
      EXPECT_EQ(Text(message, "title"), "信息");
      EXPECT_THAT(Text(message, "content"), HasSubstr("扑克"));
      EXPECT_THAT(Text(message, "content"), HasSubstr("未能更新"));
      ++told;
      TestDriver d;
      d.Click(message, "button_2");
    });
    bool usable = true;
    EXPECT_TRUE(games.CheckGameVersion(5, usable));
    EXPECT_FALSE(usable);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(skinui::internal::PendingModalAnswers(), 0u);
  }
  EXPECT_TRUE(launcher_.launched().empty());
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(UpdateFlowTest, HallUpdateFallsBackToFtpAndFailsQuietlyWithoutIt) {
  std::string error;
  ftp_ = update_server::FtpServer::Start(ftp_root_.path(), &error);
  ASSERT_NE(ftp_, nullptr) << error;
  Publish("Tarvix", {{"tarvix.bin", std::string(5'000, 't')}});
  // The HTTP base answers 404 for everything.
  struct Case {
    bool with_ftp;
    bool ready;
  } cases[] = {{false, false}, {true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.with_ftp);
    SetUpdateIni(nginx_->Url(update_server::kNotFound), c.with_ftp ? ftp_->Url() : "");
    platform::RemoveFile(dir_.Sub(std::string(kUpdateLogName)));
    bool ready = !c.ready;
    flow_->CheckHallUpdate(ready);
    EXPECT_EQ(ready, c.ready);
    EXPECT_TRUE(boxes_.shown().empty());  // engine failures show nothing
    if (!c.with_ftp) {
      ASSERT_FALSE(LogLines().empty());
      EXPECT_THAT(LogLines()[0], HasSubstr("下载文件失败"));
      EXPECT_TRUE(ftp_->Retrievals().empty());
    } else {
      EXPECT_THAT(ftp_->Retrievals(), ::testing::Contains("Tarvix/tarvix.bin"));
      EXPECT_THAT(CacheFiles("Tarvix"), ElementsAre("tarvix.bin.cache", "updateTarvix.cl.cache"));
    }
  }
}

TEST_F(UpdateFlowTest, GameWithAHostileEngNameIsNeverDownloadedNorInstalled) {
  for (const char* name : {"", ".", "..", "../x", "a/b", "x\"\"\" /l:\"\"\"/bin/sh"}) {
    SCOPED_TRACE(name);
    GameRecord game;
    game.gameId = 9;
    game.engName = name;
    EXPECT_FALSE(flow_->UpdateGame(game));
  }
  EXPECT_TRUE(nginx_->Requests().empty());
  EXPECT_TRUE(launcher_.launched().empty());
  EXPECT_TRUE(boxes_.shown().empty());  // refused before anything could be tried
  EXPECT_FALSE(platform::DirectoryExists(dir_.Sub("x")));  // "cache/../x" was never made
  EXPECT_FALSE(platform::DirectoryExists(dir_.Sub("cache/x\"\"\" ")));
  const std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 6u);
  for (const std::string& line : log)
    EXPECT_THAT(line, HasSubstr("gameid=9"));
}

// The real applier installs the downloaded game into the program folder; afterwards the game is
// current and its next check runs no update.
TEST_F(UpdateFlowTest, GameUpdateInstalledByTheRealApplierMakesTheGameCurrent) {
  std::string applier;
  ASSERT_TRUE(platform::ReadFile(BRIMSETT_PROGRAM, &applier));
  ASSERT_TRUE(platform::WriteFileAtomic(dir_.Sub("brimsett"), applier, 0755));
  UpdateFlowEnvironment environment;
  environment.program_dir = dir_.path();
  UpdateFlow flow(environment);  // the system's launcher

  Publish("Poker", {{"Poker\\Poker.cfg", "[Poker]\nversion=2.0\n"},
                    {"Poker\\牌桌\\table.bin", std::string(20'000, 't')}});
  ASSERT_TRUE(PutFile(dir_.path(), "Poker/Poker.cfg", "[Poker]\nversion=1.0\n"));
  ASSERT_TRUE(PutFile(dir_.path(), kGameListFile,
                      "<gamelist><game gameid=\"5\" gamename=\"扑克\" engname=\"Poker\" "
                      "version=\"2.0\" /></gamelist>"));
  GameList games(dir_.path(), [&flow](const GameRecord& game) { return flow.UpdateGame(game); });
  ASSERT_TRUE(games.LoadGameList());
  bool usable = false;
  EXPECT_TRUE(games.CheckGameVersion(5, usable));
  EXPECT_TRUE(usable);
  EXPECT_EQ(games.InstalledVersion(*games.FindGameRecord(5)), "2.0");
  std::string table;
  EXPECT_TRUE(platform::ReadFile(dir_.Sub("Poker/牌桌/table.bin"), &table));
  EXPECT_EQ(table.size(), 20'000u);
  EXPECT_TRUE(platform::FileExists(dir_.Sub("updatePoker.cl")));
  EXPECT_FALSE(platform::DirectoryExists(dir_.Sub("cache/Poker")));
  EXPECT_FALSE(platform::FileExists(dir_.Sub("updatecl.txt")));
  EXPECT_TRUE(boxes_.shown().empty());

  const size_t requests = nginx_->Requests().size();
  usable = false;
  EXPECT_FALSE(games.CheckGameVersion(5, usable));
  EXPECT_TRUE(usable);
  EXPECT_EQ(nginx_->Requests().size(), requests);
}

}  // namespace
}  // namespace hall
