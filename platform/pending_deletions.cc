#include "platform/pending_deletions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace platform {

namespace {

// True when `path` names an entry inside `folder` (both absolute): below it by name, with no empty,
// "." or ".." part after it and no linked folder on the way there.
bool LiesBelow(const std::string& folder, const std::string& path) {
  std::string prefix = folder;
  while (prefix.size() > 1 && prefix.back() == '/')
    prefix.pop_back();
  if (prefix != "/")
    prefix.push_back('/');
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
    return false;
  size_t start = prefix.size();
  while (true) {
    const size_t slash = path.find('/', start);
    const std::string_view part = std::string_view(path).substr(start, slash - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    if (slash == std::string::npos)
      return true;
    // A folder on the way that is a link would carry the removal elsewhere; one that is missing
    // or not a folder only makes the removal fail, and the path stays recorded.
    struct stat st;
    if (::lstat(path.substr(0, slash).c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      return false;
    start = slash + 1;
  }
}

}  // namespace

PendingDeletions PendingDeletions::InProgramFolder() {
  return PendingDeletions(JoinPath(ProgramFolder(), kPendingDeletionsFileName));
}

bool PendingDeletions::Add(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos)
    return false;
  std::string absolute = path;
  if (absolute[0] != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr)
      return false;
    absolute = JoinPath(cwd, path);
  }
  std::vector<std::string> paths = Paths();
  if (std::find(paths.begin(), paths.end(), absolute) != paths.end())
    return true;
  paths.push_back(absolute);
  return Store(paths);
}

std::vector<std::string> PendingDeletions::Paths() const {
  std::vector<std::string> paths;
  std::string data;
  if (!ReadFile(record_path_, &data))
    return paths;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos)
      break;  // a cut-off last record is dropped
    std::string path = data.substr(start, end - start);
    if (!path.empty() && path[0] == '/')
      paths.push_back(std::move(path));
    start = end + 1;
  }
  return paths;
}

size_t PendingDeletions::RetryAll(const std::string& folder) {
  std::string within = folder;
  if (within.empty() || within[0] != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr)
      return Paths().size();
    within = JoinPath(cwd, within);
  }
  std::vector<std::string> remaining;
  for (const auto& path : Paths()) {
    if (!LiesBelow(within, path) || !RemoveTree(path))
      remaining.push_back(path);
  }
  Store(remaining);
  return remaining.size();
}

bool PendingDeletions::Store(const std::vector<std::string>& paths) {
  if (paths.empty())
    return RemoveFile(record_path_) || !FileExists(record_path_);
  std::string data;
  for (const auto& p : paths) {
    data += p;
    data.push_back('\0');
  }
  return WriteFileAtomic(record_path_, data, 0600);
}

}  // namespace platform
