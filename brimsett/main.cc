// brimsett: installs an update that the hall has downloaded, then starts the hall again.
//   brimsett /d:<install folder> /s:<staging folder> [/n:<name>] [/l:<command>] [/quiet]
//            [/waitparentexit]
#include "brimsett/applier_files.h"
#include "brimsett/system_run.h"

int main(int argc, char** argv) {
  return brimsett::RunOnSystem(argc, argv, brimsett::RealApplierFiles());
}
