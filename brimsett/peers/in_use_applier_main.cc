// The applier with files held "in use" (see in_use_files.h), for tests that run it as a second
// process: BRIMSETT_IN_USE lists paths that cannot be removed or replaced but can be renamed,
// BRIMSETT_PINNED paths that cannot be renamed either (both ':' separated).
#include <cstdlib>

#include "brimsett/in_use_files.h"
#include "brimsett/system_run.h"

int main(int argc, char** argv) {
  brimsett::InUseFiles files(brimsett::RealApplierFiles());
  if (const char* list = std::getenv("BRIMSETT_IN_USE"))
    files.MarkInUseFromList(list, false);
  if (const char* list = std::getenv("BRIMSETT_PINNED"))
    files.MarkInUseFromList(list, true);
  return brimsett::RunOnSystem(argc, argv, files);
}
