// The engine against real nginx and pyftpdlib on loopback: every run reads and writes real
// folders, so a test sees exactly what the applier would find in the cache afterwards.
#include "games/hall/update/update_engine.h"

#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "games/hall/text/utf.h"
#include "games/hall/update/file_time.h"
#include "games/hall/update/resume_record.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"
#include "testing/update_server/ftp_server.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using update_server::FtpServer;
using update_server::NginxServer;
using update_server::PutFile;
using update_server::TempFolder;

constexpr int64_t kListTime = 1'650'000'000;

struct ProductFile {
  std::string path;  // list path, '\' separated
  std::string contents;
  int32_t ftime = 1'600'000'000;
  int64_t declared = -1;  // size written in the list; -1: the real size
};

std::string ToDisk(const std::string& list_path) {
  std::string out = list_path;
  for (char& c : out) {
    if (c == '\\')
      c = '/';
  }
  return out;
}

std::string ListXml(const std::vector<ProductFile>& files) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checklist>\n";
  for (const ProductFile& f : files) {
    const int64_t size = f.declared >= 0 ? f.declared : static_cast<int64_t>(f.contents.size());
    xml += "  <file path=\"" + f.path + "\" size=\"" + std::to_string(size) + "\" ftime=\"" +
           std::to_string(f.ftime) + "\" />\n";
  }
  return xml + "</checklist>\n";
}

class UpdateEngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_ALL); }
  static void TearDownTestSuite() { curl_global_cleanup(); }

  void SetUp() override {
    std::string error;
    nginx_ = NginxServer::Start({http_root_.path(), 1024}, &error);
    ASSERT_NE(nginx_, nullptr) << error;
    ftp_ = FtpServer::Start(ftp_root_.path(), &error);
    ASSERT_NE(ftp_, nullptr) << error;
    ASSERT_TRUE(platform::MakeDirectories(dir_.path()));
    ASSERT_TRUE(platform::MakeDirectories(cache()));
    options_.work_folder = work_.path();
    options_.limits.low_speed_time_s = 2;
  }

  std::string cache() const { return work_.Sub("cache/Tarvix"); }

  // Publishes the product "p" on both servers (or one of them) with the given list time.
  void Publish(const std::vector<ProductFile>& files, bool http = true, bool ftp = true,
               int64_t list_time = kListTime) {
    for (const TempFolder* root : {&http_root_, &ftp_root_}) {
      if ((root == &http_root_ && !http) || (root == &ftp_root_ && !ftp))
        continue;
      ASSERT_TRUE(PutFile(root->path(), "p/update.cl", ListXml(files), list_time));
      for (const ProductFile& f : files) {
        ASSERT_TRUE(PutFile(root->path(), "p/" + ToDisk(f.path), f.contents, f.ftime));
      }
    }
  }
  // Puts one file on one server only (replacing what Publish put there).
  void PutOn(const TempFolder& root, const std::string& path, const std::string& contents) {
    ASSERT_TRUE(PutFile(root.path(), "p/" + ToDisk(path), contents, 1'600'000'000));
  }
  void RemoveFrom(const TempFolder& root, const std::string& path) {
    ASSERT_TRUE(platform::RemoveFile(root.Sub("p/" + ToDisk(path))));
  }

  // The installed list as the applier leaves it: the given entries with the given file time.
  void Install(const std::vector<ProductFile>& files, int64_t list_time) {
    ASSERT_TRUE(PutFile(dir_.path(), "updateTarvix.cl", ListXml(files), list_time));
  }

  int Run(std::string_view http_location = update_server::kPlain, bool with_ftp = true) {
    UpdateTarget target;
    target.dir = dir_.path();
    target.http_base = nginx_->Url(http_location) + "p/";
    target.ftp_base = with_ftp ? ftp_->Url("p/") : "";
    target.cache = cache() + "/";
    target.name = "Tarvix";
    return RunWith(target);
  }
  int RunWith(const UpdateTarget& target) {
    progress_.clear();
    return RunUpdate(
        target,
        [this](const std::string& name, uint64_t done, uint64_t total) {
          progress_.push_back({name, done, total});
          if (cancel_after_ > 0 && --cancel_after_ == 0)
            cancel_ = true;
        },
        options_);
  }

  // Files below the cache folder, relative, sorted.
  std::vector<std::string> CacheFiles() const {
    std::vector<std::string> out;
    for (const std::string& f : platform::ListFilesBelow(cache())) {
      out.push_back(f.substr(cache().size() + 1));
    }
    return out;
  }
  std::string Cached(const std::string& list_path) const {
    std::string out;
    platform::ReadFile(cache() + "/" + ToDisk(list_path) + ".cache", &out);
    return out;
  }
  int64_t CachedTime(const std::string& relative) const {
    platform::FileInfo info;
    if (!platform::RealFileSystem().Stat(cache() + "/" + relative, &info))
      return -1;
    return info.mtime_seconds;
  }

  // URIs nginx answered for files of the product other than its list, in order (without the
  // fixture's own inner requests behind the cut location).
  std::vector<std::string> HttpFileRequests() const {
    std::vector<std::string> out;
    for (const auto& r : nginx_->Requests()) {
      if (r.uri.find("update.cl") == std::string::npos && r.uri.rfind("/stall/", 0) != 0) {
        out.push_back(r.uri);
      }
    }
    return out;
  }
  std::vector<std::string> FtpFileRetrievals() const {
    std::vector<std::string> out;
    for (const std::string& r : ftp_->Retrievals()) {
      if (r.find("update.cl") == std::string::npos)
        out.push_back(r);
    }
    return out;
  }
  std::vector<std::string> LogLines() const {
    std::string bytes;
    std::vector<std::string> lines;
    if (!platform::ReadFile(work_.Sub("voupd.log"), &bytes))
      return lines;
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    std::string utf8 = Utf16ToUtf8(text);
    size_t start = 0;
    for (size_t end; (end = utf8.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(utf8.substr(start + 19, end - start - 19));  // without the time stamp
    }
    return lines;
  }

  struct Progress {
    std::string name;
    uint64_t done, total;
  };

  TempFolder http_root_{"engine-http"}, ftp_root_{"engine-ftp"}, work_{"engine-work"};
  TempFolder dir_{"engine-dir"};
  std::unique_ptr<NginxServer> nginx_;
  std::unique_ptr<FtpServer> ftp_;
  UpdateOptions options_;
  std::vector<Progress> progress_;
  std::atomic<bool> cancel_{false};
  int cancel_after_ = 0;
};

const std::vector<ProductFile> kProduct = {
    {"Tarvix.bin", std::string(20000, 'T'), 1'600'000'100},
    {"res\\deep\\new\\skin.xml", "<skin/>", 1'600'000'200},
    {"res\\with blank.png", std::string(3000, 'P'), 1'600'000'300},
};

TEST(ProgramImageTest, OnlyElfImagesAndScriptsAreInstalledAsPrograms) {
  struct Case {
    std::string head;
    bool program;
  } cases[] = {
      {std::string("\x7f"
                   "ELF\x02\x01",
                   6),
       true},
      {"#!/bin/sh", true},
      {"#!", true},
      {std::string("\x7f"
                   "EL",
                   3),
       false},
      {"ELF game", false},
      {"#", false},
      {"", false},
      {"[demogame]\nversion=1", false},
      {std::string("\0ELF", 4), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsProgramImage(c.head), c.program) << c.head;
}

TEST_F(UpdateEngineTest, FreshInstallFetchesEveryFileIntoTheCache) {
  Publish(kProduct);
  ASSERT_EQ(Run(), kUpdateReady);

  EXPECT_THAT(CacheFiles(), ElementsAre("Tarvix.bin.cache", "res/deep/new/skin.xml.cache",
                                        "res/with blank.png.cache", "updateTarvix.cl.cache"));
  for (const ProductFile& f : kProduct) {
    EXPECT_EQ(Cached(f.path), f.contents) << f.path;
    EXPECT_EQ(CachedTime(ToDisk(f.path) + ".cache"), f.ftime) << f.path;
  }
  EXPECT_EQ(CachedTime("updateTarvix.cl.cache"), kListTime);
  EXPECT_THAT(FtpFileRetrievals(), IsEmpty());
  EXPECT_THAT(LogLines(), IsEmpty());

  // Progress counts up to the run's total, naming each file without its folders.
  const uint64_t total = 20000 + 7 + 3000;
  ASSERT_FALSE(progress_.empty());
  uint64_t last = 0;
  for (const Progress& p : progress_) {
    EXPECT_EQ(p.total, total);
    EXPECT_GE(p.done, last);
    last = p.done;
  }
  EXPECT_EQ(last, total);
  EXPECT_EQ(progress_.back().name, "with blank.png");

  auto record = ReadResumeRecord(platform::RealFileSystem(), work_.path());
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(*record, (ResumeRecord{static_cast<int64_t>(total), FileTimeFromUnixSeconds(kListTime),
                                   static_cast<int64_t>(total), "res\\with blank.png"}));
}

TEST_F(UpdateEngineTest, ServerListWithinTwoSecondsIsUnchangedAfterOneSmallRequest) {
  Publish(kProduct);
  Install(kProduct, kListTime + 1);
  EXPECT_EQ(Run(), kUpdateUnchanged);
  const auto requests = nginx_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=0-1");
  EXPECT_EQ(requests[0].body_bytes, 2);
  EXPECT_THAT(CacheFiles(), IsEmpty());
}

TEST_F(UpdateEngineTest, IncrementalUpdateFetchesOnlyChangedFiles) {
  std::vector<ProductFile> old = kProduct;
  old[0].contents = "old";     // size differs
  old[2].ftime -= 10;          // time differs
  old.erase(old.begin() + 1);  // new file
  Install(old, kListTime - 100);
  Publish(kProduct);
  ASSERT_EQ(Run(), kUpdateReady);
  EXPECT_THAT(HttpFileRequests(),
              ElementsAre("/p/Tarvix.bin", "/p/res/deep/new/skin.xml", "/p/res/with blank.png"));

  // The same list again with only the time changed: nothing to fetch.
  nginx_ = nullptr;
  std::string error;
  nginx_ = NginxServer::Start({http_root_.path(), 1024}, &error);
  ASSERT_NE(nginx_, nullptr) << error;
  Install(kProduct, kListTime - 100);
  ASSERT_EQ(Run(), kUpdateReady);
  EXPECT_THAT(HttpFileRequests(), IsEmpty());
}

TEST_F(UpdateEngineTest, HttpFailureFallsBackToFtpForThatFileOnly) {
  Publish(kProduct);
  RemoveFrom(http_root_, "res\\deep\\new\\skin.xml");  // 404 over HTTP
  ASSERT_EQ(Run(), kUpdateReady);
  EXPECT_EQ(Cached("res\\deep\\new\\skin.xml"), "<skin/>");
  EXPECT_THAT(FtpFileRetrievals(), ElementsAre("p/res/deep/new/skin.xml"));
  // The next file starts over HTTP again.
  EXPECT_THAT(HttpFileRequests(),
              ElementsAre("/p/Tarvix.bin", "/p/res/deep/new/skin.xml", "/p/res/with blank.png"));
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], HasSubstr(" http下载文件失败"));
  EXPECT_THAT(lines[0], HasSubstr("res\\deep\\new\\skin.xml, 错误代码=22"));
}

TEST_F(UpdateEngineTest, BothServersFailing) {
  Publish(kProduct);
  RemoveFrom(http_root_, "res\\deep\\new\\skin.xml");
  RemoveFrom(ftp_root_, "res\\deep\\new\\skin.xml");
  EXPECT_EQ(Run(), kUpdateFailed);
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], HasSubstr(" http下载文件失败"));
  EXPECT_THAT(lines[1], HasSubstr(" ftp下载文件失败"));
  EXPECT_THAT(lines[1], HasSubstr(", 错误代码=78"));  // remote file not found
  // What completed stays; the failed file leaves nothing behind.
  EXPECT_THAT(CacheFiles(), ElementsAre("Tarvix.bin.cache", "updateTarvix.cl.cache"));

  // Neither server has the list.
  RemoveFrom(http_root_, "update.cl");
  RemoveFrom(ftp_root_, "update.cl");
  EXPECT_EQ(Run(), kUpdateFailed);
  EXPECT_THAT(LogLines().back(), HasSubstr("下载文件失败http://"));
}

// Every server fault on the HTTP side ends in a correct cache: either HTTP copes, or each file
// comes from FTP; never is an error page or a part of a file kept.
TEST_F(UpdateEngineTest, HttpFaultsEndInACorrectCache) {
  const struct {
    std::string_view location;
    size_t from_ftp;  // files that had to come over FTP
  } cases[] = {
      {update_server::kPlain, 0},    {update_server::kRedirect, 0},
      {update_server::kNoRanges, 0}, {update_server::kNoLastModified, 0},
      {update_server::kNotFound, 3}, {update_server::kServerError, 3},
      {update_server::kDrop, 3},     {update_server::kRedirectLoop, 3},
      {update_server::kCut, 1},  // only the file longer than what is sent before the cut
  };
  Publish(kProduct);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.location));
    platform::RemoveTree(cache());
    platform::RemoveFile(work_.Sub("updatecl.txt"));
    ASSERT_TRUE(platform::MakeDirectories(cache()));
    const size_t ftp_before = FtpFileRetrievals().size();
    ASSERT_EQ(Run(c.location), kUpdateReady);
    for (const ProductFile& f : kProduct)
      EXPECT_EQ(Cached(f.path), f.contents) << f.path;
    EXPECT_EQ(FtpFileRetrievals().size() - ftp_before, c.from_ftp);
    // The list, from whichever server, is the whole list.
    std::string list;
    ASSERT_TRUE(platform::ReadFile(cache() + "/updateTarvix.cl.cache", &list));
    EXPECT_EQ(list, ListXml(kProduct));
  }
}

TEST_F(UpdateEngineTest, ResumeAfterADroppedConnection) {
  // The second file is larger than what the cut location sends before it drops the connection.
  const std::vector<ProductFile> files = {
      {"a b.txt", "first file", 1'600'000'001},
      {"big.bin", std::string(3 * update_server::kCutAfterBytes, 'B'), 1'600'000'002},
      {"c.txt", "third", 1'600'000'003},
  };
  Publish(files);
  EXPECT_EQ(Run(update_server::kCut, /*with_ftp=*/false), kUpdateFailed);
  EXPECT_THAT(CacheFiles(), ElementsAre("a b.txt.cache", "updateTarvix.cl.cache"));
  auto record = ReadResumeRecord(platform::RealFileSystem(), work_.path());
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->path, "a b.txt");  // read back whole, blank and all

  ASSERT_EQ(Run(), kUpdateReady);
  EXPECT_THAT(HttpFileRequests(),
              ElementsAre("/cut/p/a b.txt", "/cut/p/big.bin", "/p/big.bin", "/p/c.txt"));
  for (const ProductFile& f : files)
    EXPECT_EQ(Cached(f.path), f.contents) << f.path;
  // Progress of the resumed run starts after the skipped file.
  ASSERT_FALSE(progress_.empty());
  EXPECT_GE(progress_.front().done, 10u);
}

TEST_F(UpdateEngineTest, SkippingEndsAtTheRecordedFileAndChecksSizes) {
  const std::vector<ProductFile> files = {
      {"a b.txt", "first", 1}, {"b.bin", "second", 2}, {"c.bin", "third!", 3}};
  Publish(files);
  const int64_t time = FileTimeFromUnixSeconds(kListTime);
  struct Case {
    const char* name;
    std::string recorded_path;
    int64_t recorded_time;
    std::map<std::string, std::string> cached;  // left in the cache before the run
    std::vector<std::string> fetched;
  } cases[] = {
      {"recorded path with a blank",
       "a b.txt",
       time,
       {{"a b.txt.cache", "first"}, {"b.bin.cache", "stale!"}},
       {"/p/b.bin", "/p/c.bin"}},
      {"a truncated file is fetched again",
       "b.bin",
       time,
       {{"a b.txt.cache", "fir"}, {"b.bin.cache", "second"}},
       {"/p/a b.txt", "/p/b.bin", "/p/c.bin"}},
      {"a record of another list is ignored",
       "c.bin",
       time + 10 * kFileTimeUnitsPerSecond,
       {{"a b.txt.cache", "first"}, {"b.bin.cache", "second"}, {"c.bin.cache", "third!"}},
       {"/p/a b.txt", "/p/b.bin", "/p/c.bin"}},
      {"everything complete",
       "c.bin",
       time,
       {{"a b.txt.cache", "first"}, {"b.bin.cache", "second"}, {"c.bin.cache", "third!"}},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = HttpFileRequests().size();
    platform::RemoveTree(cache());
    for (const auto& [file, contents] : c.cached)
      ASSERT_TRUE(PutFile(cache(), file, contents));
    ASSERT_TRUE(WriteResumeRecord(platform::RealFileSystem(), work_.path(),
                                  {17, c.recorded_time, 17, c.recorded_path}));
    ASSERT_EQ(Run(), kUpdateReady);
    const auto all = HttpFileRequests();
    EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()), c.fetched);
    for (const ProductFile& f : files)
      EXPECT_EQ(Cached(f.path), f.contents) << f.path;
  }
}

TEST_F(UpdateEngineTest, ResumeRecordOutsideItsRunIsIgnored) {
  // A damaged record naming the list's time and a cached file, but counts no run can have.
  const std::vector<ProductFile> files = {
      {"a b.txt", "first", 1}, {"b.bin", "second", 2}, {"c.bin", "third!", 3}};
  Publish(files);
  const int64_t time = FileTimeFromUnixSeconds(kListTime);
  for (const int64_t completed :
       {std::numeric_limits<int64_t>::max() - 3, int64_t{-5}, int64_t{18}}) {
    SCOPED_TRACE(completed);
    const size_t before = HttpFileRequests().size();
    platform::RemoveTree(cache());
    ASSERT_TRUE(PutFile(cache(), "a b.txt.cache", "first"));
    ASSERT_TRUE(WriteResumeRecord(platform::RealFileSystem(), work_.path(),
                                  {17, time, completed, "a b.txt"}));
    ASSERT_EQ(Run(), kUpdateReady);
    const auto all = HttpFileRequests();
    EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()),
              (std::vector<std::string>{"/p/a b.txt", "/p/b.bin", "/p/c.bin"}));
    for (const Progress& p : progress_)
      EXPECT_LE(p.done, p.total);
    for (const ProductFile& f : files)
      EXPECT_EQ(Cached(f.path), f.contents) << f.path;
  }
}

TEST_F(UpdateEngineTest, FileNamesWithQueryOrFragmentMarksAreFetchedByName) {
  // Served beside files named as the text before the mark, which must not be fetched instead.
  const std::vector<ProductFile> files = {{"a#b.txt", "hash!", 1}, {"c?d.txt", "query", 2}};
  Publish(files);
  PutOn(http_root_, "a", "wrong");
  PutOn(http_root_, "c", "wrong");
  ASSERT_EQ(Run(), kUpdateReady);
  for (const ProductFile& f : files)
    EXPECT_EQ(Cached(f.path), f.contents) << f.path;
  EXPECT_THAT(FtpFileRetrievals(), IsEmpty());
  EXPECT_THAT(LogLines(), IsEmpty());
}

TEST_F(UpdateEngineTest, StaleCacheFilesOfAnOlderListAreRemoved) {
  Publish(kProduct);
  ASSERT_TRUE(PutFile(cache(), "old.dll.cache", "from an older list"));
  ASSERT_TRUE(PutFile(cache(), "res/gone.xml.cache", "from an older list"));
  ASSERT_TRUE(PutFile(cache(), "Tarvix.bin.cache.part", "half"));
  ASSERT_TRUE(PutFile(cache(), "notes.txt", "not a download"));
  ASSERT_EQ(Run(), kUpdateReady);
  EXPECT_THAT(CacheFiles(),
              ElementsAre("Tarvix.bin.cache", "notes.txt", "res/deep/new/skin.xml.cache",
                          "res/with blank.png.cache", "updateTarvix.cl.cache"));
}

TEST_F(UpdateEngineTest, MissingLastModifiedNeitherStampsTheListNorStopsUpdates) {
  Publish(kProduct);
  ASSERT_EQ(Run(update_server::kNoLastModified), kUpdateReady);
  EXPECT_THAT(LogLines(), ElementsAre(HasSubstr("取服务器文件日期失败")));
  EXPECT_GT(CachedTime("updateTarvix.cl.cache"), kListTime);  // written now, not 1969

  // Installed as it came: the same list again is nothing new, whatever the file times say.
  ASSERT_TRUE(platform::WriteFileAtomic(dir_.Sub("updateTarvix.cl"), ListXml(kProduct)));
  EXPECT_EQ(Run(update_server::kNoLastModified), kUpdateUnchanged);
  // A changed list is still noticed.
  std::vector<ProductFile> changed = kProduct;
  changed[0].contents = "new build";
  Publish(changed);
  ASSERT_EQ(Run(update_server::kNoLastModified), kUpdateReady);
  EXPECT_EQ(Cached("Tarvix.bin"), "new build");
}

TEST_F(UpdateEngineTest, UnusableBaseUrlsAreNeverHandedToLibcurl) {
  Publish(kProduct);
  UpdateTarget target{dir_.path(), "Tarvix/", ftp_->Url("p/"), cache(), "Tarvix"};
  ASSERT_EQ(RunWith(target), kUpdateReady);
  EXPECT_EQ(FtpFileRetrievals().size(), 3u);
  for (const ProductFile& f : kProduct)
    EXPECT_EQ(Cached(f.path), f.contents);

  // No FTP base: an HTTP failure is final.
  RemoveFrom(http_root_, "Tarvix.bin");
  platform::RemoveTree(cache());
  ASSERT_TRUE(platform::MakeDirectories(cache()));
  target = {dir_.path(), nginx_->Url() + "p/", "", cache(), "Tarvix"};
  EXPECT_EQ(RunWith(target), kUpdateFailed);
  EXPECT_THAT(LogLines().back(), HasSubstr(", 错误代码=3"));

  target = {dir_.path(), "", "", cache(), "Tarvix"};
  EXPECT_EQ(RunWith(target), kUpdateFailed);
  EXPECT_THAT(LogLines().back(), HasSubstr("下载文件失败update.cl, 错误代码=3"));
}

TEST_F(UpdateEngineTest, DownloadNeverExceedsTheDeclaredSize) {
  const struct {
    int64_t declared;
    int code;
  } cases[] = {{10, CURLE_FILESIZE_EXCEEDED}, {30000, CURLE_PARTIAL_FILE}, {0, 63}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.declared);
    std::vector<ProductFile> files = {{"a.bin", std::string(20000, 'a'), 5, c.declared}};
    Publish(files, true, true, kListTime + c.declared);
    EXPECT_EQ(Run(), kUpdateFailed);
    EXPECT_THAT(LogLines().back(), HasSubstr(", 错误代码=" + std::to_string(c.code)));
    EXPECT_THAT(CacheFiles(), ElementsAre("updateTarvix.cl.cache"));
  }
}

TEST_F(UpdateEngineTest, HostileListPathsAreRefusedBeforeAnyDownload) {
  const TempFolder outside{"engine-outside"};
  ASSERT_EQ(::symlink(outside.path().c_str(), (cache() + "/link").c_str()), 0);
  const std::string hostile[] = {
      "..\\escape.bin", "res\\..\\..\\escape.bin", "\\abs.bin",         "/tmp/abs.bin",
      "C:\\drive.bin",  "res\\\\empty.bin",        "link\\through.bin",
  };
  for (const std::string& path : hostile) {
    SCOPED_TRACE(path);
    std::vector<ProductFile> files = {{"good.bin", "good", 1}, {path, "evil", 2}};
    ASSERT_TRUE(PutFile(http_root_.path(), "p/update.cl", ListXml(files), kListTime));
    ASSERT_TRUE(PutFile(http_root_.path(), "p/good.bin", "good", 1));
    EXPECT_EQ(Run(), kUpdateFailed);
    EXPECT_THAT(LogLines().back(), HasSubstr("文件路径无效"));
  }
  EXPECT_THAT(HttpFileRequests(), IsEmpty());
  EXPECT_TRUE(platform::ListFilesBelow(outside.path()).empty());
  // Not even the refused list stays for the applier.
  EXPECT_TRUE(platform::ListFilesBelow(work_.path() + "/cache").empty());
}

TEST_F(UpdateEngineTest, ProductNameCannotLeadIntoAnotherFolder) {
  Publish(kProduct);
  for (const char* name : {"../Tarvix", "a/b", "a\\b", "", ".."}) {
    UpdateTarget target{dir_.path(), nginx_->Url() + "p/", "", cache(), name};
    EXPECT_EQ(RunWith(target), kUpdateFailed) << name;
  }
  EXPECT_TRUE(nginx_->Requests().empty());
  EXPECT_TRUE(platform::ListFilesBelow(work_.path() + "/cache").empty());
}

TEST_F(UpdateEngineTest, StalledTransferIsGivenUpAndFtpTakesOver) {
  Publish({{"slow.bin", std::string(16000, 's'), 9}});
  options_.limits.low_speed_limit = 4096;  // the slow location sends 1 KiB/s
  options_.limits.low_speed_time_s = 1;
  ASSERT_EQ(Run(update_server::kSlow), kUpdateReady);
  EXPECT_THAT(LogLines(), ElementsAre(HasSubstr(", 错误代码=28")));
  EXPECT_THAT(FtpFileRetrievals(), ElementsAre("p/slow.bin"));
}

TEST_F(UpdateEngineTest, CancelStopsAtTheNextProgressReportWithoutFallback) {
  Publish({{"a.bin", std::string(2'000'000, 'a'), 1}, {"b.bin", "b", 2}});
  options_.cancel = &cancel_;
  cancel_after_ = 1;
  EXPECT_EQ(Run(), kUpdateFailed);
  EXPECT_THAT(FtpFileRetrievals(), IsEmpty());
  EXPECT_THAT(CacheFiles(), ElementsAre("updateTarvix.cl.cache"));
}

TEST_F(UpdateEngineTest, LocalFailuresAreLogged) {
  // The server's list is no check-list.
  ASSERT_TRUE(PutFile(http_root_.path(), "p/update.cl", "<html>maintenance</html>", kListTime));
  EXPECT_EQ(Run(update_server::kPlain, false), kUpdateFailed);
  EXPECT_THAT(LogLines().back(), HasSubstr("载入更新清单文件失败"));
  EXPECT_THAT(CacheFiles(), IsEmpty());

  // The cache folder is missing: found before anything is fetched.
  const size_t requests = nginx_->Requests().size();
  platform::RemoveTree(cache());
  EXPECT_EQ(Run(), kUpdateFailed);
  EXPECT_THAT(LogLines().back(), HasSubstr("无法新建文件"));
  EXPECT_EQ(nginx_->Requests().size(), requests);
}

// The engine's file operations go through the injected file system; a cache that refuses new
// files ends the run with the system's error code and without a useless FTP attempt.
TEST_F(UpdateEngineTest, CacheThatRefusesFilesEndsTheRun) {
  struct RefusingDownloads : platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    std::unique_ptr<platform::StagedFile> CreateStagedFile(const std::string& path,
                                                           int* error) override {
      if (path.find("skin.xml") != std::string::npos) {
        *error = EACCES;
        return nullptr;
      }
      return ForwardingFileSystem::CreateStagedFile(path, error);
    }
  } fs(platform::RealFileSystem());
  options_.fs = &fs;
  platform::ManualClock clock(0, 1'700'000'000);
  options_.clock = &clock;
  Publish(kProduct);
  EXPECT_EQ(Run(), kUpdateFailed);
  EXPECT_THAT(LogLines(), ElementsAre(HasSubstr("无法新建文件")));
  EXPECT_THAT(LogLines().back(), HasSubstr("skin.xml.cache, 错误代码=" + std::to_string(EACCES)));
  EXPECT_THAT(FtpFileRetrievals(), IsEmpty());
  EXPECT_THAT(HttpFileRequests(), ElementsAre("/p/Tarvix.bin"));
}

// Ends its own process with SIGKILL at its n-th step, counting every call the engine makes on
// the file system and on the files it opens, so that a kill lands anywhere: inside a file's
// writes, between a publish and the record that follows it, inside the record's write.
class KillingFileSystem : public platform::ForwardingFileSystem {
 public:
  // kill_at 0: never, only count.
  KillingFileSystem(platform::FileSystem& target, int64_t kill_at)
      : ForwardingFileSystem(target), kill_at_(kill_at) {}

  void Step() {
    if (++steps_ == kill_at_)
      ::raise(SIGKILL);
  }
  int64_t steps() const { return steps_; }

  std::unique_ptr<platform::WritableFile> CreateFile(const std::string& path, int* error) override {
    Step();
    return ForwardingFileSystem::CreateFile(path, error);
  }
  std::unique_ptr<platform::StagedFile> CreateStagedFile(const std::string& path,
                                                         int* error) override {
    Step();
    auto file = ForwardingFileSystem::CreateStagedFile(path, error);
    return file == nullptr ? nullptr : std::make_unique<Staged>(this, std::move(file));
  }
  std::unique_ptr<platform::OverwritableFile> OpenForOverwrite(const std::string& path,
                                                               int* error) override {
    Step();
    auto file = ForwardingFileSystem::OpenForOverwrite(path, error);
    return file == nullptr ? nullptr : std::make_unique<Overwritable>(this, std::move(file));
  }
  bool WriteFileAtomic(const std::string& path, std::string_view data) override {
    Step();
    return ForwardingFileSystem::WriteFileAtomic(path, data);
  }
  bool SetModifiedTime(const std::string& path, int64_t seconds) override {
    Step();
    return ForwardingFileSystem::SetModifiedTime(path, seconds);
  }
  bool Rename(const std::string& from, const std::string& to) override {
    Step();
    return ForwardingFileSystem::Rename(from, to);
  }
  bool RemoveFile(const std::string& path) override {
    Step();
    return ForwardingFileSystem::RemoveFile(path);
  }

 private:
  struct Staged : platform::StagedFile {
    Staged(KillingFileSystem* fs, std::unique_ptr<platform::StagedFile> file)
        : fs(fs), file(std::move(file)) {}
    bool Append(std::string_view data) override {
      fs->Step();
      return file->Append(data);
    }
    int64_t Size() const override { return file->Size(); }
    bool Close(bool sync) override { return file->Close(sync); }
    bool SetModifiedTime(int64_t seconds) override {
      fs->Step();
      return file->SetModifiedTime(seconds);
    }
    bool Publish(bool sync) override {
      fs->Step();
      const bool ok = file->Publish(sync);
      fs->Step();
      return ok;
    }
    KillingFileSystem* fs;
    std::unique_ptr<platform::StagedFile> file;
  };
  struct Overwritable : platform::OverwritableFile {
    Overwritable(KillingFileSystem* fs, std::unique_ptr<platform::OverwritableFile> file)
        : fs(fs), file(std::move(file)) {}
    bool Overwrite(std::string_view data) override {
      fs->Step();
      const bool ok = file->Overwrite(data);
      fs->Step();
      return ok;
    }
    int64_t Size() const override { return file->Size(); }
    KillingFileSystem* fs;
    std::unique_ptr<platform::OverwritableFile> file;
  };

  const int64_t kill_at_;
  int64_t steps_ = 0;
};

// Runs interrupted again and again, by a SIGKILL at a random step of the engine's file work or
// at a random moment of the real transfers, until one run completes. After every interruption
// the cache holds only whole files (what the applier would install), the resume record names a
// whole file and counts exactly the files up to it, and the next run carries on after it: all
// the runs together fetch each file once, plus at most one file again per interruption.
TEST_F(UpdateEngineTest, RunsKilledAtRandomPointsNeverLeaveHalfAFileAndResumeAfterTheLastOne) {
  std::vector<ProductFile> files;
  for (int i = 0; i < 24; ++i) {
    char path[64];
    std::snprintf(path, sizeof path, "data\\part%d\\file%02d.bin", i % 3, i);
    std::string contents(static_cast<size_t>(1 + (i * 7919) % 150'000), '\0');
    for (size_t k = 0; k < contents.size(); ++k)
      contents[k] = static_cast<char>('a' + (k * 31 + static_cast<size_t>(i)) % 26);
    files.push_back({path, contents, 1'600'000'000 + i});
  }
  Publish(files, /*http=*/true, /*ftp=*/false);
  std::map<std::string, const ProductFile*> by_cache_name;  // "data/part0/file00.bin.cache"
  for (const ProductFile& f : files)
    by_cache_name[ToDisk(f.path) + ".cache"] = &f;
  // Download order: path order.
  std::vector<const ProductFile*> order;
  for (const auto& [name, f] : by_cache_name)
    order.push_back(f);

  auto check_state = [&](const std::string& when) {
    SCOPED_TRACE(when);
    for (const std::string& name : CacheFiles()) {
      // The applier installs what ends in ".cache"; the list's own half-written temporary and
      // a ".part" file it never touches.
      if (name == "updateTarvix.cl.cache" || name.size() < 6 ||
          name.compare(name.size() - 6, 6, ".cache") != 0) {
        continue;
      }
      auto it = by_cache_name.find(name);
      ASSERT_NE(it, by_cache_name.end()) << name;
      EXPECT_EQ(Cached(it->second->path), it->second->contents) << name << " is not whole";
      EXPECT_EQ(CachedTime(name), it->second->ftime) << name;
    }
    auto record = ReadResumeRecord(platform::RealFileSystem(), work_.path());
    if (!record)
      return;
    int64_t completed = 0;
    for (const ProductFile* f : order) {
      completed += static_cast<int64_t>(f->contents.size());
      if (f->path != record->path)
        continue;
      EXPECT_EQ(Cached(f->path), f->contents) << "the record names " << f->path;
      EXPECT_EQ(record->completed, completed);
      return;
    }
    ADD_FAILURE() << "the record names no file of the run: " << record->path;
  };

  // One whole run, uninterrupted, gives the range of steps and times to pick kill points in.
  KillingFileSystem counter(platform::RealFileSystem(), 0);
  options_.fs = &counter;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(), kUpdateReady);
  const auto whole_run_us = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
  const int64_t steps = counter.steps();
  options_.fs = nullptr;
  platform::RemoveTree(cache());
  ASSERT_TRUE(platform::MakeDirectories(cache()));
  platform::RemoveFile(work_.Sub("updatecl.txt"));

  std::mt19937 random(20240611);
  constexpr int kWantedInterruptions = 12;
  constexpr int kMostRunsPerUpdate = 40;
  int interruptions = 0;
  int updates = 0;
  const size_t requests_before = HttpFileRequests().size();
  // Whole updates, each from an empty cache, until enough kills have landed.
  while (interruptions < kWantedInterruptions) {
    ASSERT_LT(updates, 10) << "the kills do not land";
    ++updates;
    platform::RemoveTree(cache());
    ASSERT_TRUE(platform::MakeDirectories(cache()));
    platform::RemoveFile(work_.Sub("updatecl.txt"));
    bool completed = false;
    for (int run = 1; !completed; ++run) {
      ASSERT_LE(run, kMostRunsPerUpdate) << "a run without a kill did not complete";
      // Odd runs: a kill at a step of the file work; even runs: after a random time. The last
      // run, and one with nothing left to fetch, is left to complete.
      const bool by_step = run % 2 == 1;
      size_t left = 0;
      for (const ProductFile& f : files)
        left += Cached(f.path) == f.contents ? 0 : 1;
      const bool kill = left > 0 && run < kMostRunsPerUpdate;
      // Within what is left to do, so that most runs are cut short.
      const int64_t share = static_cast<int64_t>(left);
      const int64_t all = static_cast<int64_t>(files.size());
      const int64_t kill_step = std::uniform_int_distribution<int64_t>(
          1, std::max<int64_t>(1, steps * share / all))(random);
      const int64_t kill_us =
          std::uniform_int_distribution<int64_t>(0, whole_run_us * share / all)(random);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        // A timed kill runs on the real file system itself, whose staged files are made ahead on
        // a thread of their own, so a kill also lands while files are made for later downloads.
        KillingFileSystem killer(platform::RealFileSystem(), kill && by_step ? kill_step : 0);
        options_.fs = by_step ? &killer : nullptr;
        const int result = Run();
        ::_exit(result == kUpdateReady ? 0 : 1);
      }
      if (kill && !by_step) {
        std::this_thread::sleep_for(std::chrono::microseconds(kill_us));
        ::kill(child, SIGKILL);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      if (WIFEXITED(status)) {
        ASSERT_EQ(WEXITSTATUS(status), 0) << "update " << updates << " run " << run << " failed";
        completed = true;
      } else {
        ASSERT_TRUE(WIFSIGNALED(status));
        ++interruptions;
      }
      check_state("update " + std::to_string(updates) + " run " + std::to_string(run) +
                  (completed ? " (complete)" : " (killed)"));
      if (HasFailure())
        return;
    }
    for (const ProductFile& f : files)
      EXPECT_EQ(Cached(f.path), f.contents) << f.path;
  }
  // Each file once per update, and at most once more per interruption.
  const size_t fetched = HttpFileRequests().size() - requests_before;
  EXPECT_LE(fetched,
            files.size() * static_cast<size_t>(updates) + static_cast<size_t>(interruptions));
}

}  // namespace
}  // namespace hall
