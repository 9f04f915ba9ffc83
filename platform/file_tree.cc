#include "platform/file_tree.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace platform {
namespace {

// Limits the depth of a walk so that a hostile tree cannot exhaust the stack or descriptors.
constexpr int kMaxTreeDepth = 256;

// Removes everything inside the open folder `dir_fd`; closes it. Returns the first error.
int EmptyFolder(int dir_fd, int depth) {
  DIR* dir = ::fdopendir(dir_fd);
  if (dir == nullptr) {
    int err = errno;
    ::close(dir_fd);
    return err;
  }
  int first_error = 0;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  for (const auto& name : names) {
    struct stat st;
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT && first_error == 0) first_error = errno;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (depth >= kMaxTreeDepth) {
        if (first_error == 0) first_error = ELOOP;
        continue;
      }
      int sub = ::openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      int err = sub < 0 ? errno : EmptyFolder(sub, depth + 1);
      if (err == 0 && ::unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR) != 0) err = errno;
      if (err != 0 && err != ENOENT && first_error == 0) first_error = err;
    } else if (::unlinkat(dir_fd, name.c_str(), 0) != 0 && errno != ENOENT &&
               first_error == 0) {
      first_error = errno;
    }
  }
  ::closedir(dir);
  return first_error;
}

void ListInto(const std::string& folder, int depth, std::vector<std::string>& out) {
  if (depth > kMaxTreeDepth) return;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return;
  }
  std::vector<std::pair<std::string, bool>> entries;  // name, is folder
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      entries.emplace_back(std::move(name), true);
    } else if (S_ISREG(st.st_mode)) {
      entries.emplace_back(std::move(name), false);
    }
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end());
  for (const auto& [name, is_folder] : entries) {
    std::string path = folder + "/" + name;
    if (is_folder) {
      ListInto(path, depth + 1, out);
    } else {
      out.push_back(std::move(path));
    }
  }
}

}  // namespace

bool RemoveTree(const std::string& path, int* error) {
  auto fail = [&](int err) {
    if (error != nullptr) *error = err;
    return false;
  };
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? true : fail(errno);
  if (!S_ISDIR(st.st_mode)) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return fail(errno);
    return true;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  if (int err = EmptyFolder(fd, 0)) return fail(err);
  if (::rmdir(path.c_str()) != 0 && errno != ENOENT) return fail(errno);
  return true;
}

std::vector<std::string> ListFilesBelow(const std::string& folder) {
  std::vector<std::string> out;
  ListInto(folder, 0, out);
  return out;
}

bool PathLeavesRoot(const std::string& root, std::string_view relative) {
  std::string path = root;
  size_t start = 0;
  while (true) {
    size_t slash = relative.find('/', start);
    if (slash == std::string_view::npos) return false;  // the last part is the entry itself
    path += "/";
    path.append(relative.substr(start, slash - start));
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;  // missing: nothing further exists
    if (!S_ISDIR(st.st_mode)) return true;
    start = slash + 1;
  }
}

}  // namespace platform
