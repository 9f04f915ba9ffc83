#include "games/hall/update/update_engine.h"

#include <cerrno>
#include <optional>
#include <set>

#include "games/hall/text/text_convert.h"
#include "games/hall/update/check_list.h"
#include "games/hall/update/file_time.h"
#include "games/hall/update/list_diff.h"
#include "games/hall/update/resume_record.h"
#include "games/hall/update/update_log.h"
#include "games/hall/update/url.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace hall {
namespace {

// One trailing separator is dropped from the folders a caller gives.
std::string WithoutTrailingSeparator(std::string folder) {
  if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
    folder.pop_back();
  return folder;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The part of a list path after its last separator.
std::string FileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool SameEntries(const CheckList& a, const CheckList& b) {
  if (a.size() != b.size())
    return false;
  for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
    if (i->first != j->first || i->second.size != j->second.size ||
        i->second.ftime != j->second.ftime) {
      return false;
    }
  }
  return true;
}

struct Download {
  const CheckListEntry* entry;
  std::string relative;  // below the cache folder, '/' separated
};

enum class Mode { kHttp, kFtp };

class UpdateRun {
 public:
  UpdateRun(const UpdateTarget& target, const ProgressSink& sink, const UpdateOptions& options)
      : target_(target),
        sink_(sink),
        options_(options),
        fs_(options.fs != nullptr ? *options.fs : platform::RealFileSystem()),
        log_(options.work_folder, fs_,
             options.clock != nullptr ? *options.clock : platform::SystemClock()),
        dir_(WithoutTrailingSeparator(target.dir)),
        cache_(WithoutTrailingSeparator(target.cache)),
        installed_list_(platform::JoinPath(dir_, "update" + target.name + ".cl")),
        new_list_(platform::JoinPath(cache_, "update" + target.name + ".cl.cache")) {}

  int Run();

 private:
  // File time of the installed list; 0 when there is none.
  int64_t InstalledListTime();
  bool CreateNewList();
  // Fetches the server list into `list_text_`; sets server_time_ (-1 when the server gave none).
  int FetchServerList();
  bool CheckPaths(const CheckList& list);
  void RemoveStaleFiles(const std::vector<Download>& downloads, bool resuming);
  int DownloadFiles(const std::vector<Download>& downloads, int64_t total);
  // Downloads one file from `base`; CURLE_OK when <path>.cache holds it whole. Its staged file
  // is the next of `staged` when given (the first attempt), else made now.
  CURLcode FetchFile(const Download& download, const std::string& base, int64_t completed,
                     int64_t total, platform::StagedFileQueue* staged, int* error_result);
  std::string DonePath(const Download& download) const {
    return platform::JoinPath(cache_, download.relative + std::string(kCacheSuffix));
  }
  TransferResult FetchText(const std::string& url, const std::string& range, std::string* body);
  bool Cancelled() const { return options_.cancel != nullptr && options_.cancel->load(); }

  const UpdateTarget& target_;
  const ProgressSink& sink_;
  const UpdateOptions& options_;
  platform::FileSystem& fs_;
  UpdateLog log_;
  DownloadSession session_;
  const std::string dir_, cache_, installed_list_, new_list_;
  bool http_usable_ = false, ftp_usable_ = false;
  std::string list_base_;  // the base that served the list
  std::string list_text_;
  int64_t server_time_ = -1;
};

int64_t UpdateRun::InstalledListTime() {
  platform::FileInfo info;
  if (!fs_.Stat(installed_list_, &info) || info.is_directory)
    return 0;
  return FileTimeFromUnixSeconds(info.mtime_seconds);
}

bool UpdateRun::CreateNewList() {
  int error = 0;
  auto file = fs_.CreateFile(new_list_, &error);
  if (file == nullptr || !file->Close(false)) {
    log_.Write("无法新建文件" + AnsiToUtf8(new_list_));
    return false;
  }
  return true;
}

TransferResult UpdateRun::FetchText(const std::string& url, const std::string& range,
                                    std::string* body) {
  body->clear();
  TransferRequest request;
  request.url = url;
  request.range = range;
  request.want_file_time = true;
  request.max_bytes = kMaxCheckListBytes;
  request.write = [body](std::string_view data) {
    body->append(data);
    return true;
  };
  return session_.Fetch(request);
}

int UpdateRun::FetchServerList() {
  // The probe: two bytes and the file time, so an unchanged product costs one small transfer.
  std::string head;
  TransferResult probe;
  probe.code = CURLE_URL_MALFORMAT;  // what an unusable base amounts to
  if (http_usable_) {
    probe = FetchText(PathToUrl(target_.http_base + std::string(kServerListName)), "0-1", &head);
    list_base_ = target_.http_base;
  }
  if (probe.code != CURLE_OK && ftp_usable_) {
    probe = FetchText(PathToUrl(target_.ftp_base + std::string(kServerListName)), "0-1", &head);
    list_base_ = target_.ftp_base;
  }
  if (probe.code != CURLE_OK) {
    log_.Write("下载文件失败" + AnsiToUtf8(target_.http_base) + std::string(kServerListName) +
               ", 错误代码=" + std::to_string(probe.code));
    return kUpdateFailed;
  }
  server_time_ = probe.file_time;
  if (server_time_ < 0) {
    // No time to compare: the run goes on and the lists' contents decide.
    log_.Write("取服务器文件日期失败" + AnsiToUtf8(list_base_) + std::string(kServerListName) +
               ", 错误代码=-1");
  } else if (CompareFileTimes(InstalledListTime(), FileTimeFromUnixSeconds(server_time_)) == 0) {
    return kUpdateUnchanged;
  }

  if (probe.whole_file || (probe.range_total >= 0 && probe.range_total <= 2) || head.size() < 2) {
    list_text_ = std::move(head);  // the probe already brought all of it
    return kUpdateReady;
  }
  std::string rest;
  TransferResult tail =
      FetchText(PathToUrl(list_base_ + std::string(kServerListName)), "2-", &rest);
  // The rest must belong to the same file: same size and, when known, the same time.
  if (tail.code == CURLE_OK && !tail.whole_file &&
      ((probe.range_total >= 0 && tail.range_total != probe.range_total) ||
       (server_time_ >= 0 && tail.file_time >= 0 && tail.file_time != server_time_))) {
    tail.code = CURLE_RANGE_ERROR;
  }
  if (tail.code != CURLE_OK) {
    log_.Write("下载文件失败[2]" + AnsiToUtf8(list_base_) + std::string(kServerListName) +
               ", 错误代码=" + std::to_string(tail.code));
    return kUpdateFailed;
  }
  list_text_ = tail.whole_file ? std::move(rest) : head + rest;
  return kUpdateReady;
}

bool UpdateRun::CheckPaths(const CheckList& list) {
  for (const auto& [path, entry] : list) {
    std::string relative;
    if (!ListPathToRelative(path, &relative) || platform::PathLeavesRoot(cache_, relative) ||
        entry.size < 0) {
      log_.Write("更新清单中的文件路径无效: " + AnsiToUtf8(path));
      return false;
    }
  }
  return true;
}

void UpdateRun::RemoveStaleFiles(const std::vector<Download>& downloads, bool resuming) {
  // The applier installs every ".cache" file it finds, so one left by a run for another list
  // must go; only the files of this run's resumable downloads may stay.
  std::set<std::string> keep;
  if (resuming) {
    for (const Download& d : downloads)
      keep.insert(d.relative + std::string(kCacheSuffix));
  }
  const std::string own_list = "update" + target_.name + ".cl.cache";
  std::vector<std::string> files;
  if (!fs_.ListFiles(cache_, &files))
    return;
  for (const std::string& file : files) {
    if (file == own_list || keep.count(file) != 0)
      continue;
    if (EndsWith(file, kCacheSuffix) || EndsWith(file, kPartSuffix)) {
      fs_.RemoveFile(platform::JoinPath(cache_, file));
    }
  }
}

CURLcode UpdateRun::FetchFile(const Download& download, const std::string& base, int64_t completed,
                              int64_t total, platform::StagedFileQueue* staged,
                              int* error_result) {
  const CheckListEntry& entry = *download.entry;
  const std::string done_path = DonePath(download);
  // Staged: the ".cache" name appears only once the file is whole, so the applier can never
  // find half a download.
  int error = 0;
  std::unique_ptr<platform::StagedFile> file =
      staged != nullptr ? staged->Next(&error) : fs_.CreateStagedFile(done_path, &error);
  if (file == nullptr && error == ENOENT) {
    const std::string folder = platform::DirName(done_path);
    if (!fs_.MakeDirectories(folder)) {
      log_.Write("无法新建文件夹" + AnsiToUtf8(folder));
      *error_result = kUpdateFailed;
      return CURLE_WRITE_ERROR;
    }
    file = fs_.CreateStagedFile(done_path, &error);
  }
  if (file == nullptr) {
    log_.Write("无法新建文件" + cache_ + "\\" + AnsiToUtf8(entry.path) +
               ".cache, 错误代码=" + std::to_string(error));
    *error_result = kUpdateFailed;
    return CURLE_WRITE_ERROR;
  }

  const std::string file_name = FileNameOf(entry.path);
  TransferRequest request;
  request.url = ListFileUrl(base, entry.path);
  request.max_bytes = entry.size;
  // The check-list has no modes: a file is installed runnable when it starts as a program does.
  std::string head;
  request.write = [&file, &head](std::string_view data) {
    if (head.size() < kProgramMagicBytes)
      head.append(data.substr(0, kProgramMagicBytes - head.size()));
    return file->Append(data);
  };
  request.progress = [&](int64_t received) {
    if (Cancelled())
      return false;
    if (sink_) {
      sink_(file_name, static_cast<uint64_t>(completed + received), static_cast<uint64_t>(total));
    }
    return true;
  };
  TransferResult result = session_.Fetch(request);
  if (result.code == CURLE_OK && result.bytes != entry.size)
    result.code = CURLE_PARTIAL_FILE;
  if (result.code != CURLE_OK) {
    file->Close(false);  // nothing is left behind
    return result.code;
  }
  file->SetModifiedTime(entry.ftime);
  if (IsProgramImage(head))
    file->MarkProgram();
  if (!file->Publish(false))
    return CURLE_WRITE_ERROR;
  return CURLE_OK;
}

int UpdateRun::DownloadFiles(const std::vector<Download>& downloads, int64_t total) {
  const int64_t list_time = server_time_ >= 0 ? FileTimeFromUnixSeconds(server_time_) : 0;
  std::optional<ResumeRecord> record = ReadResumeRecord(fs_, options_.work_folder);
  // Without a server time a record cannot be matched to its list, so it is never trusted.
  const bool resuming = record && server_time_ >= 0 &&
                        CompareFileTimes(record->list_time, list_time) == 0 &&
                        ResumeRecordFitsRun(*record, total);
  RemoveStaleFiles(downloads, resuming);

  ResumeRecordWriter record_writer(fs_, options_.work_folder);
  int64_t completed = resuming ? record->completed : 0;
  size_t next = 0;
  if (resuming) {
    int64_t skipped = 0;
    for (; next < downloads.size(); ++next) {
      const CheckListEntry& entry = *downloads[next].entry;
      // Only a finished download has its ".cache" name; its size must also be the declared one.
      platform::FileInfo info;
      if (fs_.Stat(DonePath(downloads[next]), &info) && !info.is_directory && !info.is_symlink &&
          info.size == entry.size) {
        skipped += entry.size;
        if (entry.path == record->path) {
          ++next;  // the recorded count already holds it
          break;
        }
        continue;
      }
      completed = skipped;
      break;
    }
  }

  std::vector<std::string> done_paths;
  for (size_t i = next; i < downloads.size(); ++i)
    done_paths.push_back(DonePath(downloads[i]));
  const std::unique_ptr<platform::StagedFileQueue> staged = fs_.StageInOrder(std::move(done_paths));
  for (; next < downloads.size(); ++next) {
    const Download& download = downloads[next];
    const CheckListEntry& entry = *download.entry;
    // The queue's file serves the first attempt; a retry over FTP makes its own.
    platform::StagedFileQueue* first_attempt = staged.get();
    Mode mode = Mode::kHttp;
    for (;;) {
      const bool http = mode == Mode::kHttp;
      const std::string& base = http ? target_.http_base : target_.ftp_base;
      int error_result = kUpdateReady;
      CURLcode code = CURLE_URL_MALFORMAT;
      if (http ? http_usable_ : ftp_usable_) {
        code = FetchFile(download, base, completed, total, first_attempt, &error_result);
        first_attempt = nullptr;
      }
      if (error_result != kUpdateReady)
        return error_result;
      if (code == CURLE_OK)
        break;
      if (Cancelled())
        return kUpdateFailed;
      log_.Write(std::string(http ? " http下载文件失败" : " ftp下载文件失败") + base +
                 AnsiToUtf8(entry.path) + ", 错误代码=" + std::to_string(code));
      if (!http)
        return kUpdateFailed;
      mode = Mode::kFtp;
    }
    completed += entry.size;
    // A record that cannot be written only means refetching after an interruption.
    record_writer.Write({total, list_time, completed, entry.path});
  }
  return kUpdateReady;
}

int UpdateRun::Run() {
  // The product name becomes part of two file names: it may not lead into another folder.
  std::string plain_name;
  if (!ListPathToRelative(target_.name, &plain_name) || plain_name.find('/') != std::string::npos) {
    log_.Write("无效的产品名称: " + AnsiToUtf8(target_.name));
    return kUpdateFailed;
  }
  if (!CreateNewList())
    return kUpdateFailed;
  if (!session_.Open(options_.limits)) {
    log_.Write("初始化下载环境失败");
    return kUpdateFailed;
  }
  http_usable_ = IsUsableHttpBase(target_.http_base);
  ftp_usable_ = IsUsableFtpBase(target_.ftp_base);

  int result = FetchServerList();
  if (result != kUpdateReady) {
    if (result == kUpdateUnchanged)
      fs_.RemoveFile(new_list_);
    return result;
  }
  if (!fs_.WriteFileAtomic(new_list_, list_text_) ||
      (server_time_ >= 0 && !fs_.SetModifiedTime(new_list_, server_time_))) {
    log_.Write("无法新建文件" + AnsiToUtf8(new_list_));
    return kUpdateFailed;
  }

  CheckList installed, server;
  LoadCheckList(installed_list_, installed);  // none installed: every file is new
  // A refused list is removed, so that the applier can never install it.
  if (!LoadCheckList(new_list_, server) || server.empty()) {
    log_.Write("载入更新清单文件失败");
    fs_.RemoveFile(new_list_);
    return kUpdateFailed;
  }
  if (!CheckPaths(server)) {
    fs_.RemoveFile(new_list_);
    return kUpdateFailed;
  }
  if (server_time_ < 0 && SameEntries(installed, server)) {
    fs_.RemoveFile(new_list_);
    return kUpdateUnchanged;
  }

  std::vector<Download> downloads;
  int64_t total = 0;
  for (const CheckListEntry* entry : ChangedEntries(installed, server)) {
    std::string relative;
    ListPathToRelative(entry->path, &relative);  // checked above
    downloads.push_back({entry, std::move(relative)});
    total += entry->size;
  }
  if (downloads.empty())
    return kUpdateReady;
  return DownloadFiles(downloads, total);
}

}  // namespace

bool IsProgramImage(std::string_view head) {
  return head.substr(0, 4) == std::string_view(
                                  "\x7f"
                                  "ELF",
                                  4) ||
         head.substr(0, 2) == "#!";
}

int RunUpdate(const UpdateTarget& target, const ProgressSink& sink, const UpdateOptions& options) {
  return UpdateRun(target, sink, options).Run();
}

}  // namespace hall
