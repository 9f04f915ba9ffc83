#include "brimsett/in_use_files.h"

namespace brimsett {

void InUseFiles::MarkInUse(const std::string& path, bool pinned) {
  std::lock_guard<std::mutex> lock(mutex_);
  in_use_.insert(path);
  if (pinned)
    pinned_.insert(path);
}

void InUseFiles::MarkInUseFromList(const std::string& list, bool pinned) {
  size_t start = 0;
  while (start < list.size()) {
    size_t colon = list.find(':', start);
    if (colon == std::string::npos)
      colon = list.size();
    if (colon > start)
      MarkInUse(list.substr(start, colon - start), pinned);
    start = colon + 1;
  }
}

bool InUseFiles::InUse(const std::string& path) const {
  return in_use_.count(path) != 0;
}

int InUseFiles::Move(const std::string& from, const std::string& to) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (InUse(from) || InUse(to))
      return kInUseError;
  }
  return ForwardingApplierFiles::Move(from, to);
}

int InUseFiles::Rename(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pinned_.count(from) != 0 || InUse(to))
    return kInUseError;
  int err = ForwardingApplierFiles::Rename(from, to);
  if (err == 0 && in_use_.erase(from) != 0)
    in_use_.insert(to);
  return err;
}

int InUseFiles::Remove(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (InUse(path))
      return kInUseError;
  }
  return ForwardingApplierFiles::Remove(path);
}

}  // namespace brimsett
