#include "platform/file_util.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform {
namespace {

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

// Reads `fd` to its end into `out`; false on a read error or once `out` would pass `max_bytes`.
bool ReadToEnd(int fd, size_t max_bytes, std::string* out) {
  out->clear();
  char buf[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0)
      return true;
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (out->size() + static_cast<size_t>(n) > max_bytes)
      return false;
    out->append(buf, static_cast<size_t>(n));
  }
}

}  // namespace

bool ReadFile(const std::string& path, std::string* out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool ok = ReadToEnd(fd, SIZE_MAX, out);
  ::close(fd);
  return ok;
}

bool ReadRegularFileAtMost(const std::string& path, size_t max_bytes, std::string* out) {
  // Not blocking: opening a pipe for reading would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return false;
  struct stat st {};
  // The cap holds on the read too: the file may have grown since the fstat.
  const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                  static_cast<uint64_t>(st.st_size) <= max_bytes && ReadToEnd(fd, max_bytes, out);
  ::close(fd);
  return ok;
}

bool WriteFileAtomic(const std::string& path, std::string_view data, mode_t mode) {
  std::string tmp = path + ".tmpXXXXXX";
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0)
    return false;
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0)
    return true;
  ::unlink(tmp.c_str());
  return false;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(const std::string& path, mode_t mode) {
  if (path.empty())
    return false;
  if (DirectoryExists(path))
    return true;
  const std::string parent = DirName(path);
  if (parent != path && parent != "." && parent != "/" && !MakeDirectories(parent, mode)) {
    return false;
  }
  return ::mkdir(path.c_str(), mode) == 0 || (errno == EEXIST && DirectoryExists(path));
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

std::string JoinPath(std::string_view a, std::string_view b) {
  if (a.empty())
    return std::string(b);
  if (b.empty())
    return std::string(a);
  std::string out(a);
  if (out.back() != '/')
    out += '/';
  while (!b.empty() && b.front() == '/')
    b.remove_prefix(1);
  out += b;
  return out;
}

std::string DirName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/')
    path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos)
    return ".";
  if (slash == 0)
    return "/";
  return std::string(path.substr(0, slash));
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0)
    return {};
  return std::string(buf, static_cast<size_t>(n));
}

std::string ProgramFolder() {
  const std::string path = ProgramPath();
  return path.empty() ? "." : DirName(path);
}

}  // namespace platform
