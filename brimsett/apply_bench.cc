// Applying a staging tree of 10,000 downloaded files (100 MB) with the applier, beside a shell
// baseline that moves the same tree into place with find and mv.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "brimsett/applier.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace brimsett {
namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr size_t kFileBytes = 10 * 1024;

std::string MakeRoot() {
  char pattern[] = "/tmp/brimsett_bench.XXXXXX";
  return mkdtemp(pattern) != nullptr ? pattern : "";
}

// The staging folder of one run: every file as <path>.cache, and the new check-list.
void MakeStaging(const std::string& staging) {
  const std::string data(kFileBytes, 'x');
  std::string list = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<checklist>\n";
  for (int d = 0; d < kFolders; ++d) {
    const std::string folder = "pack" + std::to_string(d);
    platform::MakeDirectories(staging + "/" + folder);
    for (int f = 0; f < kFilesPerFolder; ++f) {
      const std::string name = folder + "/file" + std::to_string(f) + ".bin";
      std::ofstream(staging + "/" + name + ".cache", std::ios::binary) << data;
      list += "  <file path=\"" + folder + "\\file" + std::to_string(f) + ".bin\" size=\"" +
              std::to_string(kFileBytes) + "\" ftime=\"1700000000\" />\n";
    }
  }
  list += "</checklist>\n";
  std::ofstream(staging + "/updateBench.cl.cache", std::ios::binary) << list;
}

void BM_ApplierMovesStagingTree(benchmark::State& state) {
  const std::string root = MakeRoot();
  platform::ScriptedMessageBoxes boxes;
  ApplierEnvironment env;
  env.files = &RealApplierFiles();
  env.launcher = &platform::SystemProcessLauncher();
  env.boxes = &boxes;
  env.read_check_list = hall::LoadCheckList;
  env.sleep = [](uint32_t) {};
  env.pending_deletions_record = root + "/pending-deletions";
  env.resume_record = root + "/updatecl.txt";
  const std::string dest = root + "/hall";
  const std::string staging = dest + "/cache/Bench";
  for (auto _ : state) {
    state.PauseTiming();
    platform::RemoveTree(dest);
    MakeStaging(staging);
    state.ResumeTiming();
    int code = ApplierMain({"brimsett", "/d:" + dest, "/s:" + staging, "/n:Bench"}, env);
    if (code != 0)
      state.SkipWithError("the applier failed");
  }
  platform::RemoveTree(root);
}

void BM_ShellFindAndMv(benchmark::State& state) {
  const std::string root = MakeRoot();
  const std::string dest = root + "/hall";
  const std::string staging = dest + "/cache/Bench";
  // Folders first in one go, then one mv per file, then the staging folder goes.
  const std::string script =
      "cd \"$1\" && find . -type d | (cd \"$2\" && xargs mkdir -p) && "
      "find . -type f -name '*.cache' | while IFS= read -r f; do "
      "t=\"$2/${f#./}\"; mv -f \"$f\" \"${t%.cache}\"; done && rm -rf \"$1\"";
  for (auto _ : state) {
    state.PauseTiming();
    platform::RemoveTree(dest);
    MakeStaging(staging);
    state.ResumeTiming();
    platform::LaunchOptions sh;
    sh.program = "/bin/sh";
    sh.args = {"-c", script, "sh", staging, dest};
    std::string error;
    auto process = platform::SystemProcessLauncher().Launch(sh, &error);
    platform::ExitStatus status;
    if (process == nullptr ||
        process->Wait(0xFFFFFFFFu, &status) != platform::WaitOutcome::kExited || status.code != 0) {
      state.SkipWithError("the shell baseline failed");
    }
  }
  platform::RemoveTree(root);
}

BENCHMARK(BM_ApplierMovesStagingTree)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ShellFindAndMv)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace brimsett

BENCHMARK_MAIN();
