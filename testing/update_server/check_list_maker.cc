#include "testing/update_server/check_list_maker.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "games/hall/text/text_convert.h"
#include "games/hall/update/file_time.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "xmldoc/xml_document.h"
#include "xmldoc/xml_node.h"

namespace update_server {
namespace {

bool Excluded(const std::string& relative, const std::vector<std::string>& exclude) {
  for (const std::string& e : exclude) {
    if (relative == e || (relative.size() > e.size() && relative.compare(0, e.size(), e) == 0 &&
                          relative[e.size()] == '/')) {
      return true;
    }
  }
  return false;
}

// The list path of a file below the folder, as the list stores it: '\' between parts, in the
// ANSI code page.
std::string ListPathOf(const std::string& relative) {
  std::string path = hall::Utf8ToAnsi(relative);
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// "path/inside/folder" of `path` when it lies in `folder`, empty otherwise.
std::string InsideFolder(const std::string& folder, const std::string& path) {
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/')
    root.pop_back();
  if (path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 &&
      path[root.size()] == '/') {
    return path.substr(root.size() + 1);
  }
  return {};
}

}  // namespace

bool CollectCheckList(const std::string& folder, const CheckListOptions& options,
                      std::vector<hall::CheckListEntry>* entries, std::string* error) {
  entries->clear();
  platform::FileSystem& fs = platform::RealFileSystem();
  std::vector<std::string> files = options.only;
  if (files.empty() && !fs.ListFiles(folder, &files)) {
    *error = "cannot list " + folder;
    return false;
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  for (const std::string& relative : files) {
    if (Excluded(relative, options.exclude))
      continue;
    const std::string path = platform::JoinPath(folder, relative);
    platform::FileInfo info;
    if (!fs.Stat(path, &info)) {
      *error = "cannot read " + path;
      return false;
    }
    if (info.is_symlink) {
      *error = "a symbolic link cannot be listed: " + relative;
      return false;
    }
    if (info.is_directory) {
      *error = "a folder is not a file: " + relative;
      return false;
    }
    hall::CheckListEntry entry;
    entry.path = ListPathOf(relative);
    std::string back;
    if (!hall::ListPathToRelative(entry.path, &back) || back != hall::Utf8ToAnsi(relative)) {
      *error = "a name the update engine refuses: " + relative;
      return false;
    }
    // The readers keep size and time in 32 bits.
    if (info.size > std::numeric_limits<int32_t>::max()) {
      *error = "too large for a check-list (over 2 GiB): " + relative;
      return false;
    }
    if (info.mtime_seconds < 0 || info.mtime_seconds > std::numeric_limits<int32_t>::max()) {
      *error = "a last-write time a check-list cannot hold: " + relative;
      return false;
    }
    entry.size = info.size;
    entry.ftime = static_cast<int32_t>(info.mtime_seconds);
    entries->push_back(std::move(entry));
  }
  return true;
}

std::string CheckListText(const std::vector<hall::CheckListEntry>& entries) {
  xmldoc::CXmlDocument document;
  auto root = xmldoc::CXmlNode::Create("checklist");
  for (const hall::CheckListEntry& e : entries) {
    auto file = xmldoc::CXmlNode::Create("file");
    file->AddAttribute("path", hall::AnsiToUtf8(e.path));
    file->AddAttribute("size", std::to_string(e.size));
    file->AddAttribute("ftime", std::to_string(e.ftime));
    root->AddChild(std::move(file));
  }
  document.SetRoot(std::move(root));
  return document.SaveToMemory();
}

int WriteCheckListOf(const std::string& folder, const std::string& list_path,
                     const CheckListOptions& options, std::string* error) {
  CheckListOptions own = options;
  const std::string inside = InsideFolder(folder, list_path);
  if (!inside.empty())
    own.exclude.push_back(inside);
  std::vector<hall::CheckListEntry> entries;
  if (!CollectCheckList(folder, own, &entries, error))
    return -1;
  const std::string text = CheckListText(entries);
  platform::FileSystem& fs = platform::RealFileSystem();
  std::string old_text;
  platform::FileInfo old;
  const bool had_list = fs.Stat(list_path, &old) && !old.is_directory;
  if (had_list && fs.ReadFile(list_path, &old_text) && old_text == text)
    return static_cast<int>(entries.size());
  platform::FileInfo now;
  if (!fs.WriteFileAtomic(list_path, text) || !fs.Stat(list_path, &now)) {
    *error = "cannot write " + list_path;
    return -1;
  }
  // Times count as the same when the installed one lies up to the tolerance before the server's;
  // one second more tells them apart in either order.
  constexpr int64_t kApartSeconds = hall::kFileTimeTolerance / hall::kFileTimeUnitsPerSecond + 1;
  if (had_list && now.mtime_seconds < old.mtime_seconds + kApartSeconds &&
      !fs.SetModifiedTime(list_path, old.mtime_seconds + kApartSeconds)) {
    *error = "cannot set the time of " + list_path;
    return -1;
  }
  return static_cast<int>(entries.size());
}

}  // namespace update_server
