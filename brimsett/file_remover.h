// Removing an installed file that may be in use: when it cannot be removed now it is renamed
// aside ("<path>.del0" .. ".del9") and its removal is recorded for the next run of the applier,
// which is what "deleted at the next restart" means here.
#pragma once

#include <string>

#include "brimsett/applier_files.h"
#include "platform/pending_deletions.h"

namespace brimsett {

// How many ".delN" names are tried before giving up.
inline constexpr int kDeferredNameCount = 10;

class FileRemover {
 public:
  FileRemover(ApplierFiles& files, platform::PendingDeletions& pending)
      : files_(files), pending_(pending) {}

  // True when `path` is gone (also when it was never there) or has been renamed aside and
  // recorded for later removal (which sets reboot_pending()). False when it could be neither
  // removed nor renamed, or removing failed for a reason other than the file being in use;
  // last_error() then holds the code of the last failed operation.
  bool RemoveFileOrDefer(const std::string& path);

  // A file was renamed aside and waits for its removal at the next run.
  bool reboot_pending() const { return reboot_pending_; }
  int last_error() const { return last_error_; }

 private:
  ApplierFiles& files_;
  platform::PendingDeletions& pending_;
  bool reboot_pending_ = false;
  int last_error_ = 0;
};

// True for the codes that mean "in use or not allowed now" rather than a missing or broken path.
bool IsInUseError(int error);

}  // namespace brimsett
