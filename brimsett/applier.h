// The update applier: after the hall has downloaded an update into a staging folder S, it removes
// the installed files of folder D that the new check-list no longer names, moves every downloaded
// "<path>.cache" file of S to D/<path>, deletes S and starts the program named by "l:".
//
// Order of a run: arguments; wait for the parent; files left over from an earlier run that were
// in use; the new list S/update<N>.cl.cache; obsolete files; the downloaded files, the new list
// always last so that an install that stops half-way still shows the old list; S; the installed
// list removed when a file was skipped (so the next check sees an incomplete install), else the
// resume record; then the caller.
//
// Every path built from a list name or a staging name stays inside D: names that could leave it
// (absolute, "..", drive letters, a folder of the path that is a link) are never removed or
// written; a downloaded file so refused, or one whose place lies inside S (deleted at the end),
// counts as skipped. Names keep their case. The name part N must be a plain name, and D must not
// lie inside S (S is deleted at the end): either is refused as invalid arguments.
//
// On Linux: error codes in messages are errno values; "in use" means EACCES, EPERM, EBUSY or
// ETXTBSY; "deleted at the next restart" means recorded beside the program and removed at its next
// run; the resume record goes after every complete install, with or without a caller; "l:" naming
// an existing file is that program without arguments, otherwise it is split by the C runtime's
// rules.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "brimsett/applier_files.h"
#include "brimsett/applier_messages.h"
#include "brimsett/parent_wait.h"
#include "games/hall/update/check_list.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace brimsett {

// Attempts to move one downloaded file before the applier gives up with kExitFailed; each
// attempt after the first follows a repair (folders created, the old file removed or renamed
// aside), so a move that keeps failing for another reason cannot loop.
inline constexpr int kMaxMoveAttempts = 4;

using CheckListReader = std::function<bool(const std::string& path, hall::CheckList& list)>;

struct ApplierEnvironment {
  ApplierFiles* files = nullptr;
  platform::ProcessLauncher* launcher = nullptr;
  platform::MessageBoxes* boxes = nullptr;
  CheckListReader read_check_list;
  Sleeper sleep;
  // The record of files to remove at the next run.
  std::string pending_deletions_record;
  // The download engine's resume record, done with once an install has completed.
  std::string resume_record = kResumeRecord;
};

// The whole run. `argv` is what the program received, its own name first. Returns the exit code
// (applier_messages.h).
// REQUIRES: every member of `env` is set.
int ApplierMain(const std::vector<std::string>& argv, const ApplierEnvironment& env);

}  // namespace brimsett
