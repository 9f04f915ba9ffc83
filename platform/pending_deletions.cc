#include "platform/pending_deletions.h"

#include <unistd.h>

#include <algorithm>

#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace platform {

PendingDeletions PendingDeletions::InProgramFolder() {
  return PendingDeletions(JoinPath(ProgramFolder(), kPendingDeletionsFileName));
}

bool PendingDeletions::Add(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  std::string absolute = path;
  if (absolute[0] != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
    absolute = JoinPath(cwd, path);
  }
  std::vector<std::string> paths = Paths();
  if (std::find(paths.begin(), paths.end(), absolute) != paths.end()) return true;
  paths.push_back(absolute);
  return Store(paths);
}

std::vector<std::string> PendingDeletions::Paths() const {
  std::vector<std::string> paths;
  std::string data;
  if (!ReadFile(record_path_, &data)) return paths;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) break;  // a cut-off last record is dropped
    std::string path = data.substr(start, end - start);
    if (!path.empty() && path[0] == '/') paths.push_back(std::move(path));
    start = end + 1;
  }
  return paths;
}

size_t PendingDeletions::RetryAll() {
  std::vector<std::string> remaining;
  for (const auto& path : Paths()) {
    if (!RemoveTree(path)) remaining.push_back(path);
  }
  Store(remaining);
  return remaining.size();
}

bool PendingDeletions::Store(const std::vector<std::string>& paths) {
  if (paths.empty()) return RemoveFile(record_path_) || !FileExists(record_path_);
  std::string data;
  for (const auto& p : paths) {
    data += p;
    data.push_back('\0');
  }
  return WriteFileAtomic(record_path_, data, 0600);
}

}  // namespace platform
