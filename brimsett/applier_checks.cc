#include "brimsett/applier_checks.h"

#include <cerrno>
#include <map>
#include <set>
#include <vector>

#include "brimsett/applier.h"
#include "brimsett/fake_launcher.h"
#include "games/hall/text/printable.h"
#include "games/hall/update/check_list.h"
#include "platform/message_box.h"

namespace brimsett {
namespace {

using hall::Printable;

constexpr std::string_view kDestination = "/d";
constexpr std::string_view kSource = "/d/cache/T";
constexpr std::string_view kResume = "/work/updatecl.txt";
constexpr std::string_view kInstalledList = "/d/updateT.cl";
constexpr std::string_view kNewList = "/d/cache/T/updateT.cl.cache";

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// An absolute path with no empty, "." or ".." part and no zero byte: what it names is plain.
bool IsPlainAbsolute(std::string_view path) {
  if (path.size() < 2 || path.front() != '/' || path.find('\0') != std::string_view::npos)
    return false;
  size_t start = 1;
  for (;;) {
    const size_t slash = path.find('/', start);
    const std::string_view part = path.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    if (slash == std::string_view::npos)
      return true;
    start = slash + 1;
  }
}

bool StrictlyBelow(std::string_view path, std::string_view folder) {
  return path.size() > folder.size() + 1 && path.substr(0, folder.size()) == folder &&
         path[folder.size()] == '/';
}

bool ThroughLink(std::string_view path) {
  return path.find("/link/") != std::string_view::npos;
}

// An in-memory tree that records every change and judges it on the spot.
class JudgingFiles : public ApplierFiles {
 public:
  std::set<std::string> files, folders = {"/", "/d", "/d/cache", "/d/cache/T"};
  std::set<std::string> staged;    // staging files as they were before the run
  std::vector<std::string> moved;  // move sources, in order
  std::string failure;

  void AddFile(const std::string& path) {
    files.insert(path);
    for (std::string f = Parent(path); folders.insert(f).second; f = Parent(f)) {
    }
  }

  int Move(const std::string& from, const std::string& to) override {
    Judge("move source", from,
          [&] { return StrictlyBelow(from, kSource) && staged.count(from) != 0; });
    Judge("move target", to, [&] { return InDestination(to); });
    std::string expected = std::string(kDestination) + from.substr(kSource.size());
    expected.resize(expected.size() - std::string_view(kCacheSuffix).size());
    for (char& c : expected) {
      if (c == '\\')
        c = '/';  // a staging name is read as a list path
    }
    if (failure.empty() && to != expected)
      failure = "moved " + Printable(from) + " to another place: " + Printable(to);
    if (files.count(from) == 0 || folders.count(Parent(to)) == 0)
      return ENOENT;
    if (folders.count(to) != 0)
      return EISDIR;
    files.erase(from);
    files.insert(to);
    moved.push_back(from);
    return 0;
  }
  int Rename(const std::string& from, const std::string& to) override {
    Judge("renamed file", from, [&] { return InDestination(from); });
    if (failure.empty() && (to.size() != from.size() + 5 || to.compare(0, from.size(), from) != 0 ||
                            to.compare(from.size(), 4, ".del") != 0)) {
      failure = "renamed aside to another name: " + Printable(to);
    }
    if (files.count(from) == 0)
      return ENOENT;
    files.erase(from);
    files.insert(to);
    return 0;
  }
  int Remove(const std::string& path) override {
    Judge("removed file", path, [&] { return path == kResume || InDestination(path); });
    if (folders.count(path) != 0)
      return EISDIR;
    if (files.count(path) == 0)
      return ENOENT;
    if (path.find("busy") != std::string::npos)
      return EBUSY;
    files.erase(path);
    return 0;
  }
  int MakeFolder(const std::string& path) override {
    Judge("new folder", path, [&] { return InDestination(path); });
    if (folders.count(path) != 0 || files.count(path) != 0)
      return EEXIST;
    if (folders.count(Parent(path)) == 0)
      return ENOENT;
    folders.insert(path);
    return 0;
  }
  std::vector<std::string> ListFilesBelow(const std::string& folder) override {
    std::vector<std::string> out;
    for (const std::string& f : files) {
      if (StrictlyBelow(f, folder))
        out.push_back(f);
    }
    return out;
  }
  bool PathLeavesRoot(const std::string&, std::string_view relative) override {
    const size_t last = relative.rfind('/');
    return last != std::string_view::npos &&
           ThroughLink("/" + std::string(relative.substr(0, last + 1)));
  }
  bool RemoveTree(const std::string& path) override {
    if (failure.empty() && path != kSource)
      failure = "removed a tree other than the staging folder: " + Printable(path);
    return true;
  }
  bool IsFile(const std::string& path) override { return files.count(path) != 0; }

 private:
  // Inside D, out of S, and not through a link.
  static bool InDestination(const std::string& path) {
    return StrictlyBelow(path, kDestination) && !StrictlyBelow(path, kSource) && path != kSource &&
           !ThroughLink(path);
  }
  template <typename Rule>
  void Judge(const char* what, const std::string& path, Rule rule) {
    if (!failure.empty())
      return;
    if (!IsPlainAbsolute(path))
      failure = std::string(what) + " is not a plain path: " + Printable(path);
    else if (!rule())
      failure = std::string(what) + " outside its folder: " + Printable(path);
  }
};

std::vector<std::string_view> Sections(std::string_view input) {
  std::vector<std::string_view> out;
  for (;;) {
    const size_t cut = input.find("\n--\n");
    if (cut == std::string_view::npos || out.size() == 2) {
      out.push_back(input);
      break;
    }
    out.push_back(input.substr(0, cut));
    input.remove_prefix(cut + 4);
  }
  out.resize(3);
  return out;
}

}  // namespace

std::string CheckApplierRun(std::string_view input) {
  const std::vector<std::string_view> sections = Sections(input);
  JudgingFiles files;
  hall::CheckList installed;
  const bool has_installed = hall::ParseCheckList(sections[0], installed);
  for (const auto& [path, entry] : installed) {
    std::string relative;
    if (hall::ListPathToRelative(path, &relative) && !ThroughLink("/" + relative))
      files.AddFile(std::string(kDestination) + "/" + relative);
  }
  if (has_installed)
    files.AddFile(std::string(kInstalledList));
  files.AddFile(std::string(kNewList));
  std::string_view names = sections[2];
  while (!names.empty()) {
    const size_t end = names.find('\n');
    const std::string_view name = names.substr(0, end);
    names.remove_prefix(end == std::string_view::npos ? names.size() : end + 1);
    // What a folder listing can give: no zero byte, no empty, "." or ".." part.
    const std::string path = std::string(kSource) + "/" + std::string(name);
    if (IsPlainAbsolute(path))
      files.AddFile(path);
  }
  files.staged.insert(files.files.begin(), files.files.end());

  FakeLauncher launcher;
  platform::ScriptedMessageBoxes boxes;
  ApplierEnvironment env;
  env.files = &files;
  env.launcher = &launcher;
  env.boxes = &boxes;
  env.read_check_list = [&](const std::string& path, hall::CheckList& list) {
    if (path == kNewList)
      return hall::ParseCheckList(sections[1], list);
    if (path == kInstalledList && has_installed)
      return hall::ParseCheckList(sections[0], list);
    list.clear();
    return false;
  };
  env.sleep = [](uint32_t) {};
  env.pending_deletions_record = "/nonexistent-folder/pending-deletions";
  env.resume_record = std::string(kResume);
  const int code = ApplierMain({"brimsett", "/d:" + std::string(kDestination),
                                "/s:" + std::string(kSource), "/n:T", "/quiet"},
                               env);
  if (!files.failure.empty())
    return files.failure;
  if (code != kExitDone && code != kExitRestartPending && code != kExitFailed)
    return "exit code " + std::to_string(code);
  if (code != kExitFailed && (files.moved.empty() || files.moved.back() != kNewList))
    return "the new list was not installed last";
  return "";
}

}  // namespace brimsett
