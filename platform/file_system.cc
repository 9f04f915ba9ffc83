#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_util.h"

namespace platform {
namespace {

class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(int fd, int64_t size) : fd_(fd), size_(size) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0)
      ::close(fd_);
  }

  bool Append(std::string_view data) override {
    size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
      if (n < 0) {
        if (errno == EINTR)
          continue;
        return false;
      }
      done += static_cast<size_t>(n);
    }
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

bool ListInto(const std::string& root, const std::string& prefix,
              std::vector<std::string>* out, int depth) {
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

  bool MakeDirectories(const std::string& path) override {
    return platform::MakeDirectories(path);
  }

  bool ListFiles(const std::string& root, std::vector<std::string>* relative) override {
    relative->clear();
    return ListInto(root, "", relative, 0);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform
