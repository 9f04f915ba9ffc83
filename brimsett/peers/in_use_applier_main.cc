// The applier with files held "in use" (see in_use_files.h), for tests that run it as a second
// process: BRIMSETT_IN_USE lists paths that cannot be removed or replaced but can be renamed,
// BRIMSETT_PINNED paths that cannot be renamed either (both ':' separated).
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "brimsett/applier.h"
#include "brimsett/in_use_files.h"
#include "games/hall/update/check_list.h"
#include "platform/message_box.h"
#include "platform/pending_deletions.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  brimsett::InUseFiles files(brimsett::RealApplierFiles());
  if (const char* list = std::getenv("BRIMSETT_IN_USE"))
    files.MarkInUseFromList(list, false);
  if (const char* list = std::getenv("BRIMSETT_PINNED"))
    files.MarkInUseFromList(list, true);
  platform::ConsoleMessageBoxes boxes;
  brimsett::ApplierEnvironment env;
  env.files = &files;
  env.launcher = &platform::SystemProcessLauncher();
  env.boxes = &boxes;
  env.read_check_list = hall::LoadCheckList;
  env.sleep = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  env.pending_deletions_record = platform::PendingDeletions::InProgramFolder().record_path();
  return brimsett::ApplierMain(std::vector<std::string>(argv, argv + argc), env);
}
