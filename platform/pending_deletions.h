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

  // Removes every recorded path (a folder with its contents, links never followed), keeps those
  // that could not be removed in the record, and deletes the record when none is left. Returns
  // how many remain.
  size_t RetryAll();

  const std::string& record_path() const { return record_path_; }

 private:
  bool Store(const std::vector<std::string>& paths);
  std::string record_path_;
};

}  // namespace platform
