// A second process for the applier's tests.
//   record <out> <marker> [args...]
//       writes "marker=present" or "marker=absent" (whether <marker> exists now), then each
//       argument on its own line, to <out>: the program the applier starts at its end.
//   parent <marker> <delay-ms> <program> [args...]
//       starts <program> with the arguments, waits <delay-ms>, writes <marker> and exits 0
//       without waiting for it: the hall that starts the applier and quits.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_util.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 3 && args[0] == "record") {
    std::string text = platform::FileExists(args[2]) ? "marker=present\n" : "marker=absent\n";
    for (size_t i = 3; i < args.size(); ++i)
      text += args[i] + "\n";
    return platform::WriteFileAtomic(args[1], text) ? 0 : 1;
  }
  if (args.size() >= 4 && args[0] == "parent") {
    platform::LaunchOptions launch;
    launch.program = args[3];
    launch.args.assign(args.begin() + 4, args.end());
    std::string error;
    if (!platform::SystemProcessLauncher().Launch(launch, &error))
      return 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(args[2].c_str())));
    return platform::WriteFileAtomic(args[1], "ended\n") ? 0 : 1;
  }
  return 3;
}
