#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/file_util.h"

namespace platform {
namespace {

// Programs a product installs (the hall, the applier, a game's executable) must be runnable.
constexpr mode_t kProgramMode = 0755;

bool WriteAll(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(int fd, int64_t size) : fd_(fd), size_(size) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0)
      ::close(fd_);
  }

  bool Append(std::string_view data) override {
    if (!WriteAll(fd_, data))
      return false;
    size_ += static_cast<int64_t>(data.size());
    return true;
  }

  int64_t Size() const override { return size_; }

  bool Close(bool sync) override {
    if (fd_ < 0)
      return false;
    bool ok = !sync || ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
  int64_t size_;
};

// The staged file of any file system: written as path + ".part", renamed by Publish.
class PartStagedFile : public StagedFile {
 public:
  PartStagedFile(FileSystem& fs, std::string path, std::unique_ptr<WritableFile> file)
      : fs_(fs), path_(std::move(path)), part_(path_ + ".part"), file_(std::move(file)) {}
  ~PartStagedFile() override { Close(false); }

  bool Append(std::string_view data) override { return file_ != nullptr && file_->Append(data); }
  int64_t Size() const override { return file_ != nullptr ? file_->Size() : 0; }
  bool SetModifiedTime(int64_t seconds) override {
    mtime_ = seconds;
    has_mtime_ = true;
    return true;
  }
  bool Close(bool sync) override {
    if (file_ == nullptr)
      return false;
    file_->Close(sync);
    file_.reset();
    fs_.RemoveFile(part_);
    return true;
  }
  bool Publish(bool sync) override {
    if (file_ == nullptr)
      return false;
    bool ok = file_->Close(sync);
    file_.reset();
    // The mode and the time go on before the name, so the file never shows others.
    ok = ok && (!program_ || fs_.MakeProgram(part_)) &&
         (!has_mtime_ || fs_.SetModifiedTime(part_, mtime_)) && fs_.Rename(part_, path_);
    if (!ok)
      fs_.RemoveFile(part_);
    return ok;
  }
  void MarkProgram() override { program_ = true; }

 private:
  FileSystem& fs_;
  const std::string path_, part_;
  std::unique_ptr<WritableFile> file_;
  int64_t mtime_ = 0;
  bool has_mtime_ = false;
  bool program_ = false;
};

// A file made without a name (O_TMPFILE) and linked in whole by Publish: an interrupted download
// leaves nothing, not even a ".part" name, and the file costs one name instead of two.
class UnnamedStagedFile : public StagedFile {
 public:
  UnnamedStagedFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~UnnamedStagedFile() override { Close(false); }

  bool Append(std::string_view data) override {
    if (fd_ < 0 || !WriteAll(fd_, data))
      return false;
    size_ += static_cast<int64_t>(data.size());
    return true;
  }
  int64_t Size() const override { return size_; }
  bool SetModifiedTime(int64_t seconds) override {
    mtime_ = seconds;
    has_mtime_ = true;
    return true;
  }
  void MarkProgram() override { program_ = true; }
  bool Close(bool) override {
    if (fd_ < 0)
      return false;
    ::close(fd_);
    fd_ = -1;
    return true;
  }
  bool Publish(bool sync) override {
    if (fd_ < 0)
      return false;
    bool ok = !sync || ::fsync(fd_) == 0;
    if (ok && program_)
      ok = ::fchmod(fd_, kProgramMode) == 0;
    if (ok && has_mtime_) {
      // Set last: every write moves the time.
      struct timespec times[2];
      times[0].tv_sec = 0;
      times[0].tv_nsec = UTIME_OMIT;
      times[1].tv_sec = static_cast<time_t>(mtime_);
      times[1].tv_nsec = 0;
      ok = ::futimens(fd_, times) == 0;
    }
    if (ok) {
      // Linking needs the file's /proc name (the descriptor itself only with a privilege).
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      ok = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!ok && errno == EEXIST && ::unlink(path_.c_str()) == 0) {
        ok = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0;
      }
    }
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
  const std::string path_;
  int64_t size_ = 0;
  int64_t mtime_ = 0;
  bool has_mtime_ = false;
  bool program_ = false;
};

class PosixOverwritableFile : public OverwritableFile {
 public:
  PosixOverwritableFile(int fd, int64_t size) : fd_(fd), size_(size) {}
  ~PosixOverwritableFile() override { ::close(fd_); }

  bool Overwrite(std::string_view data) override {
    size_t done = 0;
    while (done < data.size()) {
      const ssize_t n =
          ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(done));
      if (n < 0) {
        if (errno == EINTR)
          continue;
        return false;
      }
      done += static_cast<size_t>(n);
    }
    size_ = std::max<int64_t>(size_, static_cast<int64_t>(data.size()));
    return true;
  }
  int64_t Size() const override { return size_; }

 private:
  int fd_;
  int64_t size_;
};

// Makes each staged file when it is taken, on the caller's thread.
class OnDemandStagedFileQueue : public StagedFileQueue {
 public:
  OnDemandStagedFileQueue(FileSystem& fs, std::vector<std::string> paths)
      : fs_(fs), paths_(std::move(paths)) {}
  std::unique_ptr<StagedFile> Next(int* error) override {
    return fs_.CreateStagedFile(paths_[next_++], error);
  }

 private:
  FileSystem& fs_;
  const std::vector<std::string> paths_;
  size_t next_ = 0;
};

// Makes the staged files on kMakers threads of their own, at most kAhead beyond the one the
// caller takes, so that making files overlaps the caller's transfers. Where a file system spends
// its time on each new file searching for a free inode, two makers search at once; handed out,
// the files keep the order of their paths.
//
// Threads: the makers claim paths and fill their slots, the caller empties the front slot, all
// under mutex_ (paths_ is only read). The destructor stops the makers and joins them; the files
// made and never taken are dropped, which leaves nothing.
//
//   slots_:  | taken_ (front, next for the caller) ... | claimed_ (next a maker claims)
class AheadStagedFileQueue : public StagedFileQueue {
 public:
  static constexpr int kMakers = 2;
  // A few are enough to hide the making; each holds a descriptor until taken. A maker that has
  // run kAhead ahead sleeps until the caller is within kRefill of it again, so where making is
  // cheap it is woken once per few files rather than for each.
  static constexpr size_t kAhead = 8;
  static constexpr size_t kRefill = kAhead / 2;

  AheadStagedFileQueue(FileSystem& fs, std::vector<std::string> paths)
      : fs_(fs), paths_(std::move(paths)) {
    for (int i = 0; i < kMakers; ++i)
      makers_.emplace_back([this] { MakeAll(); });
  }
  ~AheadStagedFileQueue() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    room_.notify_all();
    for (std::thread& maker : makers_)
      maker.join();
  }

  std::unique_ptr<StagedFile> Next(int* error) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !slots_.empty() && slots_.front().done; });
    Slot slot = std::move(slots_.front());
    slots_.pop_front();
    ++taken_;
    const bool refill = claimed_ - taken_ == kRefill;
    lock.unlock();
    if (refill)
      room_.notify_all();
    if (slot.file == nullptr)
      *error = slot.error;
    return std::move(slot.file);
  }

 private:
  struct Slot {
    std::unique_ptr<StagedFile> file;
    int error = 0;
    bool done = false;
  };

  void MakeAll() {
    for (;;) {
      size_t index = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (claimed_ - taken_ >= kAhead)
          room_.wait(lock, [this] { return stop_ || claimed_ - taken_ <= kRefill; });
        if (stop_ || claimed_ == paths_.size())
          return;
        index = claimed_++;
        slots_.emplace_back();
      }
      Slot made;
      made.file = fs_.CreateStagedFile(paths_[index], &made.error);
      made.done = true;
      bool front = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        front = index == taken_;
        slots_[index - taken_] = std::move(made);
      }
      if (front)
        ready_.notify_one();
    }
  }

  FileSystem& fs_;
  const std::vector<std::string> paths_;
  std::mutex mutex_;
  std::condition_variable ready_;  // the front slot was filled
  std::condition_variable room_;   // the caller took files down to kRefill, or stop_ was set
  std::deque<Slot> slots_;         // one per path from taken_ to claimed_
  size_t taken_ = 0, claimed_ = 0;
  bool stop_ = false;
  std::vector<std::thread> makers_;  // last: they start once everything above is built
};

// Whether the file system `path` lies on (or would, once its missing folders are made) keeps its
// files in memory only, where making one takes microseconds.
bool InMemoryFileSystem(std::string path) {
  for (;;) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) == 0)
      return info.f_type == TMPFS_MAGIC || info.f_type == RAMFS_MAGIC;
    std::string parent = DirName(path);
    if (errno != ENOENT || parent.empty() || parent == path)
      return false;
    path = std::move(parent);
  }
}

// Whether this process can name its own descriptors, which linking an unnamed file needs.
bool ProcSelfFdUsable() {
  static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
  return usable;
}

bool ListInto(const std::string& root, const std::string& prefix, std::vector<std::string>* out,
              int depth) {
  // A bound on nesting keeps a hostile tree from exhausting the stack.
  constexpr int kMaxDepth = 64;
  if (depth > kMaxDepth)
    return false;
  DIR* dir = ::opendir(root.c_str());
  if (dir == nullptr)
    return false;
  bool ok = true;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..")
      continue;
    const std::string full = JoinPath(root, name);
    const std::string rel = prefix.empty() ? name : prefix + "/" + name;
    struct stat st {};
    if (::lstat(full.c_str(), &st) != 0)
      continue;
    if (S_ISDIR(st.st_mode)) {
      ok = ListInto(full, rel, out, depth + 1) && ok;
    } else {
      out->push_back(rel);
    }
  }
  ::closedir(dir);
  return ok;
}

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<WritableFile> CreateFile(const std::string& path, int* error) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      *error = errno;
      return nullptr;
    }
    return std::make_unique<PosixWritableFile>(fd, 0);
  }

  std::unique_ptr<WritableFile> OpenForAppend(const std::string& path, int* error) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
      *error = errno;
      return nullptr;
    }
    struct stat st {};
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0) {
      *error = errno;
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixWritableFile>(fd, st.st_size);
  }

  std::unique_ptr<StagedFile> CreateStagedFile(const std::string& path, int* error) override {
    if (ProcSelfFdUsable()) {
      const int fd = ::open(DirName(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
      if (fd >= 0)
        return std::make_unique<UnnamedStagedFile>(fd, path);
      // Without support in the folder's file system (EISDIR: a kernel that predates it) the
      // ".part" file serves; any other error is the folder's.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *error = errno;
        return nullptr;
      }
    }
    return FileSystem::CreateStagedFile(path, error);
  }

  std::unique_ptr<StagedFileQueue> StageInOrder(std::vector<std::string> paths) override {
    // One file is taken as soon as it is made, and a file in memory is made in less time than
    // handing it over from another thread takes: there a thread would only add its cost.
    if (paths.size() < 2 || InMemoryFileSystem(DirName(paths.front())))
      return FileSystem::StageInOrder(std::move(paths));
    return std::make_unique<AheadStagedFileQueue>(*this, std::move(paths));
  }

  std::unique_ptr<OverwritableFile> OpenForOverwrite(const std::string& path, int* error) override {
    // A link at the path is not followed (ELOOP): the caller writes a file of its own instead.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      *error = errno;
      return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      *error = errno;
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixOverwritableFile>(fd, st.st_size);
  }

  bool ReadFile(const std::string& path, std::string* out) override {
    return platform::ReadFile(path, out);
  }

  bool WriteFileAtomic(const std::string& path, std::string_view data) override {
    return platform::WriteFileAtomic(path, data);
  }

  bool Stat(const std::string& path, FileInfo* info) override {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
      return false;
    info->size = st.st_size;
    info->mtime_seconds = st.st_mtim.tv_sec;
    info->is_directory = S_ISDIR(st.st_mode);
    info->is_symlink = S_ISLNK(st.st_mode);
    return true;
  }

  bool MakeProgram(const std::string& path) override {
    return ::chmod(path.c_str(), kProgramMode) == 0;
  }

  bool SetModifiedTime(const std::string& path, int64_t seconds) override {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
  }

  bool Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  bool RemoveFile(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
  }

  bool MakeDirectories(const std::string& path) override { return platform::MakeDirectories(path); }

  bool ListFiles(const std::string& root, std::vector<std::string>* relative) override {
    relative->clear();
    return ListInto(root, "", relative, 0);
  }
};

}  // namespace

std::unique_ptr<StagedFile> FileSystem::CreateStagedFile(const std::string& path, int* error) {
  std::unique_ptr<WritableFile> file = CreateFile(path + ".part", error);
  if (file == nullptr)
    return nullptr;
  return std::make_unique<PartStagedFile>(*this, path, std::move(file));
}

std::unique_ptr<StagedFileQueue> FileSystem::StageInOrder(std::vector<std::string> paths) {
  return std::make_unique<OnDemandStagedFileQueue>(*this, std::move(paths));
}

std::unique_ptr<OverwritableFile> FileSystem::OpenForOverwrite(const std::string&, int* error) {
  *error = ENOTSUP;
  return nullptr;
}

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform
