// The single-instance mutex of a program: a named lock that one process of the user holds at a
// time, kept as flock() on a file named after it. The lock belongs to the open file, so it ends
// with the process that took it: a program that crashed or was killed leaves no lock behind (its
// file stays, and the next start simply takes it). The file is opened close-on-exec, so a program
// the holder starts (the update applier) never inherits the lock.
//
// Where the file lies: in $XDG_RUNTIME_DIR when that is an absolute folder of the user's own,
// closed to others; otherwise in the temporary folder ($TMPDIR, else /tmp) with the user id in
// the file's name, so that users of one machine never share a lock. A file there that is not a
// plain file of the user's own (another user's, or a link) is never used: the lock then fails.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace platform {

// Where lock files go; FromEnvironment reads the process's environment.
struct InstanceLockPlace {
  std::string runtime_dir;  // $XDG_RUNTIME_DIR, may be empty
  std::string temp_dir;     // $TMPDIR, else /tmp
  uid_t uid = 0;

  static InstanceLockPlace FromEnvironment();
  // The lock file of the mutex `name`: characters other than letters, digits, '.', '-' and '_'
  // become '_' ("Global\vozeb-2016" -> "Global_vozeb-2016.lock").
  std::string LockFilePath(std::string_view name) const;
};

class InstanceLock {
 public:
  enum class Result {
    kAcquired,       // this object holds the lock now
    kHeldElsewhere,  // another holder has it ("already exists")
    kFailed,         // the lock file cannot be made or is not ours
  };

  InstanceLock() = default;
  ~InstanceLock() { Release(); }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock of `name` without waiting. Holding one already, it is released first.
  Result TryAcquire(std::string_view name, const InstanceLockPlace& place);
  // Lets the lock go (nothing when none is held). The file stays.
  void Release();
  bool held() const { return fd_ >= 0; }
  // The file of the lock held, empty when none.
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace platform
