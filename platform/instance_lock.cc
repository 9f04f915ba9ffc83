#include "platform/instance_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_util.h"

namespace platform {
namespace {

// A runtime folder the user alone can reach: absolute, a real folder, the user's own, mode 0700.
bool IsPrivateFolder(const std::string& dir, uid_t uid) {
  if (dir.empty() || dir.front() != '/')
    return false;
  struct stat st {};
  return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
         (st.st_mode & 077) == 0;
}

std::string FileName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == '_';
    out.push_back(keep ? c : '_');
  }
  return out.empty() ? "_" : out;
}

}  // namespace

InstanceLockPlace InstanceLockPlace::FromEnvironment() {
  InstanceLockPlace place;
  const char* runtime = ::getenv("XDG_RUNTIME_DIR");
  const char* temp = ::getenv("TMPDIR");
  place.runtime_dir = runtime != nullptr ? runtime : "";
  place.temp_dir = temp != nullptr && *temp != '\0' ? temp : "/tmp";
  place.uid = ::getuid();
  return place;
}

std::string InstanceLockPlace::LockFilePath(std::string_view name) const {
  if (IsPrivateFolder(runtime_dir, uid))
    return JoinPath(runtime_dir, FileName(name) + ".lock");
  return JoinPath(temp_dir, FileName(name) + "-" + std::to_string(uid) + ".lock");
}

InstanceLock::Result InstanceLock::TryAcquire(std::string_view name,
                                              const InstanceLockPlace& place) {
  Release();
  const std::string path = place.LockFilePath(name);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0)
    return Result::kFailed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != place.uid) {
    ::close(fd);
    return Result::kFailed;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Result::kHeldElsewhere : Result::kFailed;
  }
  fd_ = fd;
  path_ = path;
  return Result::kAcquired;
}

void InstanceLock::Release() {
  if (fd_ < 0)
    return;
  ::close(fd_);  // closing the only descriptor of the open file ends its lock
  fd_ = -1;
  path_.clear();
}

}  // namespace platform
