// brimsett: installs an update that the hall has downloaded, then starts the hall again.
//   brimsett /d:<install folder> /s:<staging folder> [/n:<name>] [/l:<command>] [/quiet]
//            [/waitparentexit]
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "brimsett/applier.h"
#include "brimsett/applier_files.h"
#include "games/hall/update/check_list.h"
#include "platform/message_box.h"
#include "platform/pending_deletions.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  platform::ConsoleMessageBoxes boxes;
  brimsett::ApplierEnvironment env;
  env.files = &brimsett::RealApplierFiles();
  env.launcher = &platform::SystemProcessLauncher();
  env.boxes = &boxes;
  env.read_check_list = hall::LoadCheckList;
  env.sleep = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  env.pending_deletions_record = platform::PendingDeletions::InProgramFolder().record_path();
  return brimsett::ApplierMain(std::vector<std::string>(argv, argv + argc), env);
}
