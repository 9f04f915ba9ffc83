// Deletion at the next restart, for files that are in use now: each path is recorded in a file
// in the program folder, and the update applier retries the recorded paths when it next runs.
//
// Record file: each path is an absolute path followed by one zero byte. It is rewritten whole
// and atomically on every change.
#pragma once

#include <string>
#include <vector>

namespace platform {

inline constexpr char kPendingDeletionsFileName[] = "pending-deletions";

class PendingDeletions {
 public:
  // REQUIRES: `record_path` is the record file (normally in the program folder).
  explicit PendingDeletions(std::string record_path) : record_path_(std::move(record_path)) {}

  // The record in the program folder.
  static PendingDeletions InProgramFolder();

  // Records `path` (absolute; made absolute from the current folder otherwise). False when the
  // path holds a zero byte or the record cannot be written.
  bool Add(const std::string& path);

  // The recorded paths (only absolute ones are taken from the file).
  std::vector<std::string> Paths() const;

  // Removes every recorded path that lies below `folder` (a folder with its contents, links never
  // followed; no ".." part and no linked folder on the way), keeps in the record those that could
  // not be removed and those that lie elsewhere, and deletes the record when none is left.
  // Returns how many remain. The applier passes the installation folder it works on, where the
  // files it set aside lie, so a damaged record (a zero byte in place of one '/' of
  // "/home/user/hall/x.del0" leaves "/home") removes nothing else.
  size_t RetryAll(const std::string& folder);

  const std::string& record_path() const { return record_path_; }

 private:
  bool Store(const std::vector<std::string>& paths);
  std::string record_path_;
};

}  // namespace platform
