#include "testing/update_server/temp_folder.h"

#include <stdlib.h>

#include <cstdint>

#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace update_server {

TempFolder::TempFolder(std::string_view prefix) {
  const char* base = ::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
                        std::string(prefix) + ".XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr)
    path_ = pattern;
}

TempFolder::~TempFolder() {
  if (!path_.empty())
    platform::RemoveTree(path_);
}

std::string TempFolder::Sub(std::string_view relative) const {
  return platform::JoinPath(path_, relative);
}

bool PutFile(const std::string& root, std::string_view relative, std::string_view contents,
             int64_t mtime_seconds) {
  platform::FileSystem& fs = platform::RealFileSystem();
  const std::string path = platform::JoinPath(root, relative);
  if (!fs.MakeDirectories(platform::DirName(path)))
    return false;
  int error = 0;
  auto file = fs.CreateFile(path, &error);
  if (file == nullptr || !file->Append(contents) || !file->Close(false))
    return false;
  return mtime_seconds < 0 || fs.SetModifiedTime(path, mtime_seconds);
}

}  // namespace update_server
