// A model of files held open by a running program, as the applier meets them on the system it
// was first written for: such a file can be neither removed nor replaced, but (unless it is also
// pinned) it can be renamed, and the lock travels with it. Linux has no such locks, so the
// tests and the test build of the applier put this layer over the real files.
#pragma once

#include <cerrno>
#include <mutex>
#include <set>
#include <string>

#include "brimsett/applier_files.h"

namespace brimsett {

// The error an operation on a file in use reports.
inline constexpr int kInUseError = EBUSY;

class InUseFiles : public ForwardingApplierFiles {
 public:
  explicit InUseFiles(ApplierFiles& target) : ForwardingApplierFiles(target) {}

  // The file at `path` is in use from now on; `pinned` also refuses renaming it.
  void MarkInUse(const std::string& path, bool pinned = false);
  // Paths given in `list`, separated by ':' (the form of the test build's environment).
  void MarkInUseFromList(const std::string& list, bool pinned);

  int Move(const std::string& from, const std::string& to) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;

 private:
  bool InUse(const std::string& path) const;  // REQUIRES: mutex_ held

  mutable std::mutex mutex_;
  std::set<std::string> in_use_;
  std::set<std::string> pinned_;
};

}  // namespace brimsett
