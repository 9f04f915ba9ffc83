#pragma once

#include "brimsett/applier_files.h"

namespace brimsett {

// Runs the applier on the real system (process launcher, console message boxes, the program
// folder's pending-deletions record, real sleeps) over `files`. Returns the exit code.
int RunOnSystem(int argc, char** argv, ApplierFiles& files);

}  // namespace brimsett
