#include "brimsett/system_run.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "brimsett/applier.h"
#include "games/hall/update/check_list.h"
#include "platform/message_box.h"
#include "platform/pending_deletions.h"
#include "platform/process.h"

namespace brimsett {

int RunOnSystem(int argc, char** argv, ApplierFiles& files) {
  platform::ConsoleMessageBoxes boxes;
  ApplierEnvironment env;
  env.files = &files;
  env.launcher = &platform::SystemProcessLauncher();
  env.boxes = &boxes;
  env.read_check_list = hall::LoadCheckList;
  env.sleep = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  env.pending_deletions_record = platform::PendingDeletions::InProgramFolder().record_path();
  return ApplierMain(std::vector<std::string>(argv, argv + argc), env);
}

}  // namespace brimsett
