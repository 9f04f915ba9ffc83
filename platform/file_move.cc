#include "platform/file_move.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "platform/file_util.h"

namespace platform {
namespace {

// Closes a descriptor on every way out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now, reporting a failed close (which can carry a late write error).
  int Close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

int CopyFileKeepingTime(const std::string& from, const std::string& to) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (in.get() < 0) return errno;
  struct stat st;
  if (::fstat(in.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (out.get() < 0) return errno;
  char buf[1 << 16];
  while (true) {
    ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    if (int err = WriteAll(out.get(), buf, static_cast<size_t>(n))) return err;
  }
  if (::fchmod(out.get(), st.st_mode & 07777) != 0) return errno;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::futimens(out.get(), times) != 0) return errno;
  if (::fsync(out.get()) != 0) return errno;
  return out.Close();
}

int RenameReplacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int MoveFileReplacing(const std::string& from, const std::string& to) {
  int err = RenameReplacing(from, to);
  if (err != EXDEV) return err;
  static std::atomic<unsigned> serial{0};
  std::string temp = JoinPath(DirName(to), ".move-" + std::to_string(::getpid()) + "-" +
                                                std::to_string(serial.fetch_add(1)));
  err = CopyFileKeepingTime(from, temp);
  if (err == 0) err = RenameReplacing(temp, to);
  if (err != 0) {
    ::unlink(temp.c_str());
    return err;
  }
  return RemoveEntry(from);
}

int RemoveEntry(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 ? 0 : errno;
}

}  // namespace platform
