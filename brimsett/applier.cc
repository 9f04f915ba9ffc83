#include "brimsett/applier.h"

#include <algorithm>
#include <cerrno>

#include "brimsett/applier_messages.h"
#include "brimsett/applier_options.h"
#include "brimsett/caller_command.h"
#include "brimsett/file_remover.h"
#include "platform/file_util.h"
#include "platform/pending_deletions.h"

namespace brimsett {
namespace {

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         std::string_view(text).substr(text.size() - suffix.size()) == suffix;
}

class Applier {
 public:
  Applier(const ApplierEnvironment& env, const ApplierOptions& options)
      : env_(env),
        files_(*env.files),
        options_(options),
        pending_(env.pending_deletions_record),
        remover_(files_, pending_) {}

  int Run();

 private:
  enum class Placed { kMoved, kSkipped, kFailed };

  void ShowError(const std::string& text) {
    if (!options_.quiet)
      env_.boxes->ShowError(kCaption, text);
  }
  std::string InDestination(const std::string& relative) const {
    return options_.destination + "/" + relative;
  }
  // The relative form of a list or staging name when it stays inside D, else false.
  bool ConfinedToDestination(std::string_view name, std::string* relative);
  bool RemoveObsoleteFiles(const hall::CheckList& installed, const hall::CheckList& fresh);
  Placed PlaceFile(const std::string& entry);
  Placed MoveWithRepairs(const std::string& entry, const std::string& target);
  bool CreateMissingFolders(const std::string& entry, const std::string& target);
  void StartCaller();

  const ApplierEnvironment& env_;
  ApplierFiles& files_;
  const ApplierOptions options_;
  platform::PendingDeletions pending_;
  FileRemover remover_;
  bool skipped_ = false;
};

int Applier::Run() {
  if (options_.wait_parent)
    WaitForParentExit(*env_.launcher, env_.sleep);
  // Files renamed aside by an earlier run are free now that their programs have ended; they lie
  // in the installation folder, and nothing elsewhere is removed whatever the record says.
  pending_.RetryAll(options_.destination);

  const std::string list_name = kListPrefix + options_.name + kListSuffix;
  const std::string new_list = options_.source + "/" + list_name + kCacheSuffix;
  hall::CheckList fresh;
  if (!env_.read_check_list(new_list, fresh)) {
    ShowError(kCannotLoadNewList);
    return kExitFailed;
  }
  const std::string installed_list = InDestination(list_name);
  hall::CheckList installed;
  if (!env_.read_check_list(installed_list, installed))
    installed.clear();
  if (!RemoveObsoleteFiles(installed, fresh))
    return kExitFailed;

  std::vector<std::string> entries = files_.ListFilesBelow(options_.source);
  auto list_entry = std::find(entries.begin(), entries.end(), new_list);
  if (list_entry != entries.end())
    std::rotate(list_entry, list_entry + 1, entries.end());
  for (const std::string& entry : entries) {
    if (!EndsWith(entry, kCacheSuffix))
      continue;
    if (PlaceFile(entry) == Placed::kFailed)
      return kExitFailed;
  }

  files_.RemoveTree(options_.source);
  // Before the caller starts, so a restarted hall never reads a list that is about to go.
  files_.Remove(skipped_ ? installed_list : env_.resume_record);
  StartCaller();
  return remover_.reboot_pending() ? kExitRestartPending : kExitDone;
}

bool Applier::ConfinedToDestination(std::string_view name, std::string* relative) {
  return hall::ListPathToRelative(name, relative) &&
         !files_.PathLeavesRoot(options_.destination, *relative);
}

bool Applier::RemoveObsoleteFiles(const hall::CheckList& installed, const hall::CheckList& fresh) {
  // Compared in their on-disk form, so "a\b" and "a/b" name the same file.
  std::vector<std::string> kept;
  for (const auto& [path, entry] : fresh) {
    std::string relative;
    if (hall::ListPathToRelative(path, &relative))
      kept.push_back(std::move(relative));
  }
  std::sort(kept.begin(), kept.end());
  for (const auto& [path, entry] : installed) {
    std::string relative;
    if (!ConfinedToDestination(path, &relative))
      continue;
    if (std::binary_search(kept.begin(), kept.end(), relative))
      continue;
    // The staging folder may lie inside D; what it holds is the update being installed.
    if (PathIsWithin(InDestination(relative), options_.source))
      continue;
    if (!remover_.RemoveFileOrDefer(InDestination(relative)))
      return false;
  }
  return true;
}

Applier::Placed Applier::PlaceFile(const std::string& entry) {
  std::string_view name = std::string_view(entry).substr(options_.source.size() + 1);
  name.remove_suffix(std::string_view(kCacheSuffix).size());
  std::string relative;
  // A place inside S would be deleted with S, or replace a staged file (the new list among
  // them) before that is moved.
  if (!ConfinedToDestination(name, &relative) ||
      PathIsWithin(InDestination(relative), options_.source)) {
    skipped_ = true;
    return Placed::kSkipped;
  }
  Placed placed = MoveWithRepairs(entry, InDestination(relative));
  if (placed == Placed::kSkipped)
    skipped_ = true;
  return placed;
}

Applier::Placed Applier::MoveWithRepairs(const std::string& entry, const std::string& target) {
  for (int attempt = 0; attempt < kMaxMoveAttempts; ++attempt) {
    const int err = files_.Move(entry, target);
    if (err == 0)
      return Placed::kMoved;
    if (err == ENOENT) {
      if (!CreateMissingFolders(entry, target))
        return Placed::kFailed;
      continue;
    }
    if (remover_.RemoveFileOrDefer(target))
      continue;
    const std::string question = kCannotDeleteFile + target + kErrorCode +
                                 std::to_string(remover_.last_error()) + kAskIgnore;
    // Asked also when quiet: only the user may accept an incomplete install.
    if (env_.boxes->AskYesNo(kCaption, question))
      return Placed::kSkipped;
    return Placed::kFailed;
  }
  ShowError(kCannotMoveFile + entry + kMoveTo + target);
  return Placed::kFailed;
}

bool Applier::CreateMissingFolders(const std::string& entry, const std::string& target) {
  // Walk up from the target's folder to the first one that can be created, then create the
  // ones below it, outermost first.
  std::vector<std::string> missing;
  std::string folder = platform::DirName(target);
  for (;;) {
    const int err = files_.MakeFolder(folder);
    if (err == 0)
      break;
    if (err != ENOENT) {
      ShowError(kCannotCreateFolder + folder + kErrorCode + std::to_string(err));
      return false;
    }
    missing.push_back(folder);
    std::string parent = platform::DirName(folder);
    if (parent == folder) {
      ShowError(kCannotMoveFile + entry + kMoveTo + target);
      return false;
    }
    folder = std::move(parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    const int err = files_.MakeFolder(*it);
    if (err != 0) {
      ShowError(kCannotCreateFolder + *it + kErrorCode + std::to_string(err));
      return false;
    }
  }
  return true;
}

void Applier::StartCaller() {
  if (options_.launch.empty())
    return;
  platform::LaunchOptions launch =
      CallerLaunchOptions(options_.launch, files_.IsFile(options_.launch));
  if (launch.program.empty())
    return;
  std::string error;
  // The caller runs on by itself; a start that fails changes nothing of what was installed.
  env_.launcher->Launch(launch, &error);
}

}  // namespace

int ApplierMain(const std::vector<std::string>& argv, const ApplierEnvironment& env) {
  if (argv.size() < kMinArgumentCount) {
    env.boxes->ShowError(kCaption, kBadArguments);
    return kExitBadArguments;
  }
  ApplierOptions options = ReadSwitches(std::vector<std::string>(argv.begin() + 1, argv.end()));
  if (options.destination.empty() || options.source.empty() || !IsPlainNamePart(options.name) ||
      PathIsWithin(options.destination, options.source)) {
    if (!options.quiet)
      env.boxes->ShowError(kCaption, kBadArguments);
    return kExitBadArguments;
  }
  return Applier(env, options).Run();
}

}  // namespace brimsett
