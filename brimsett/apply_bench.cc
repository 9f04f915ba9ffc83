// Applying a staging tree of 10,000 downloaded files (100 MB) with the applier, beside the least
// any installer does with the same tree in one process: walk it, make its folders in place,
// rename every file to its name without ".cache" and remove the staging folder. (Starting one mv
// per file, as a shell would, mostly times process starts.) After every run the installed tree
// is checked: every file at its place with its size, nothing left in the staging folder.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/interleaved_main.h"
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

// Empty when every file of the staging tree is installed under `dest` and the staging folder is
// gone.
std::string CheckInstalled(const std::string& dest, const std::string& staging) {
  struct stat st {};
  if (::lstat(staging.c_str(), &st) == 0)
    return "the staging folder is still there";
  for (int d = 0; d < kFolders; ++d) {
    for (int f = 0; f < kFilesPerFolder; ++f) {
      const std::string path =
          dest + "/pack" + std::to_string(d) + "/file" + std::to_string(f) + ".bin";
      if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
          static_cast<size_t>(st.st_size) != kFileBytes) {
        return path + " is not installed";
      }
    }
  }
  return "";
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
    state.PauseTiming();
    const std::string wrong = CheckInstalled(dest, staging);
    if (code != 0 || !wrong.empty() || !platform::FileExists(dest + "/updateBench.cl")) {
      state.SkipWithError(code != 0 ? "the applier failed" : wrong.c_str());
      return;
    }
    state.ResumeTiming();
  }
  platform::RemoveTree(root);
}

void BM_Baseline_RenameLoop(benchmark::State& state) {
  namespace fs = std::filesystem;
  const std::string root = MakeRoot();
  const std::string dest = root + "/hall";
  const std::string staging = dest + "/cache/Bench";
  for (auto _ : state) {
    state.PauseTiming();
    platform::RemoveTree(dest);
    MakeStaging(staging);
    state.ResumeTiming();
    std::error_code error;
    std::vector<std::string> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(staging, error)) {
      if (e.is_regular_file(error))
        files.push_back(e.path().string());
    }
    std::string made;  // the folder made last; the files come folder by folder
    for (const std::string& file : files) {
      std::string target = dest + file.substr(staging.size());
      target.resize(target.size() - std::string_view(".cache").size());
      const std::string folder = target.substr(0, target.rfind('/'));
      if (folder != made) {
        fs::create_directories(folder, error);
        made = folder;
      }
      if (::rename(file.c_str(), target.c_str()) != 0) {
        state.SkipWithError("a rename failed");
        return;
      }
    }
    fs::remove_all(staging, error);
    state.PauseTiming();
    const std::string wrong = CheckInstalled(dest, staging);
    if (!wrong.empty()) {
      state.SkipWithError(wrong.c_str());
      return;
    }
    state.ResumeTiming();
  }
  platform::RemoveTree(root);
}

BENCHMARK(BM_ApplierMovesStagingTree)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Baseline_RenameLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace brimsett

TARVIX_BENCHMARK_MAIN()
