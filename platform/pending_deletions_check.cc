#include "platform/pending_deletions_check.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/file_tree.h"
#include "platform/file_util.h"
#include "platform/pending_deletions.h"

namespace pending_check {
namespace {

// The files around the record that must survive any retry.
constexpr const char* kOutside[] = {"outside/file", "outside/deep/file", "hallmark", "hallx/file",
                                    "top"};
// The files beside the record that a retry may remove.
constexpr const char* kInside[] = {"hall/a.del0", "hall/dir.del1/inner/f", "hall/keep"};

class Scratch {
 public:
  Scratch() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/pending_check.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      return;
    root_ = pattern;
    for (const char* file : kOutside)
      ok_ = Put(file) && ok_;
    ok_ = ok_ && platform::MakeDirectories(root_ + "/hall") &&
          platform::MakeDirectories(root_ + "/prog") &&
          ::symlink((root_ + "/outside").c_str(), (root_ + "/hall/link").c_str()) == 0;
  }
  ~Scratch() {
    if (!root_.empty())
      platform::RemoveTree(root_);
  }
  bool ok() const { return ok_; }
  const std::string& root() const { return root_; }
  std::string Path(std::string_view relative) const { return root_ + "/" + std::string(relative); }

  bool Put(std::string_view relative) const {
    const std::string path = Path(relative);
    return platform::MakeDirectories(platform::DirName(path)) &&
           platform::WriteFileAtomic(path, "x");
  }

 private:
  std::string root_;
  bool ok_ = true;
};

// A path of the record taken below the scratch folder: ".." parts that would climb above it are
// dropped, so the scratch folder is the most any path can reach.
std::string BelowScratch(const std::string& root, std::string_view field) {
  std::string out = root;
  int depth = 0;
  size_t start = 0;
  while (start <= field.size()) {
    size_t slash = field.find('/', start);
    if (slash == std::string_view::npos)
      slash = field.size();
    const std::string_view part = field.substr(start, slash - start);
    if (part == "..") {
      if (depth == 0) {
        start = slash + 1;
        continue;
      }
      --depth;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    out += "/";
    out += part;
    start = slash + 1;
  }
  return out;
}

}  // namespace

std::string CheckPendingDeletions(std::string_view input) {
  static Scratch scratch;
  if (!scratch.ok())
    return "the scratch folder could not be made";
  for (const char* file : kInside) {
    if (!scratch.Put(file))
      return "the files beside the record could not be made";
  }
  std::string record;
  while (!input.empty()) {
    const size_t zero = input.find('\0');
    record += BelowScratch(scratch.root(), input.substr(0, zero));
    if (zero == std::string_view::npos)
      break;  // a cut-off last record
    record += '\0';
    input.remove_prefix(zero + 1);
  }
  const std::string record_path = scratch.Path("prog/pending-deletions");
  if (!platform::WriteFileAtomic(record_path, record))
    return "the record could not be written";
  platform::PendingDeletions pending(record_path);
  const std::vector<std::string> before = pending.Paths();
  pending.RetryAll(scratch.Path("hall"));

  for (const char* file : kOutside) {
    if (!platform::FileExists(scratch.Path(file)))
      return std::string("removed ") + file + ", outside the folder the retry works on";
  }
  struct stat st;
  if (::lstat(scratch.Path("hall/link").c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
    return "the link in the folder was replaced";
  // The record keeps only what it held, and loses only what is gone: a path elsewhere is never
  // acted on, so it stays.
  const std::vector<std::string> after = pending.Paths();
  for (const std::string& path : after) {
    if (std::find(before.begin(), before.end(), path) == before.end())
      return "the record gained " + path;
  }
  for (const std::string& path : before) {
    const bool kept = std::find(after.begin(), after.end(), path) != after.end();
    if (!kept && !(::lstat(path.c_str(), &st) != 0 && errno == ENOENT))
      return "the record lost " + path + ", which is still there";
  }
  platform::RemoveFile(record_path);
  // What a retry removed is made again for the next input; a link it removed, too.
  if (::lstat(scratch.Path("hall/link").c_str(), &st) != 0)
    ::symlink(scratch.Path("outside").c_str(), scratch.Path("hall/link").c_str());
  return "";
}

}  // namespace pending_check
