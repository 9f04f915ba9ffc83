#include "brimsett/file_remover.h"

#include <cerrno>

namespace brimsett {

bool IsInUseError(int error) {
  return error == EACCES || error == EPERM || error == EBUSY || error == ETXTBSY;
}

bool FileRemover::RemoveFileOrDefer(const std::string& path) {
  int err = files_.Remove(path);
  if (err == 0 || err == ENOENT)
    return true;
  last_error_ = err;
  if (!IsInUseError(err))
    return false;
  for (int i = 0; i < kDeferredNameCount; ++i) {
    std::string aside = path + ".del" + std::to_string(i);
    err = files_.Rename(path, aside);
    if (err == 0) {
      // A record that cannot be written leaves only a stray ".delN" file behind; the install
      // itself is not harmed, so this is not a failure.
      pending_.Add(aside);
      reboot_pending_ = true;
      return true;
    }
    last_error_ = err;
  }
  return false;
}

}  // namespace brimsett
