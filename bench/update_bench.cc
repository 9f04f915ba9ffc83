// Fetch: a product of kFiles files (kProductBytes in all) from nginx on loopback into an empty
// cache, by the update engine and, as the baseline, by one run of the curl tool with the same
// URLs and output files. Compare: the check-list comparison over 100,000 entries, beside a
// lookup per entry.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "games/hall/update/check_list.h"
#include "games/hall/update/list_diff.h"
#include "games/hall/update/update_engine.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace {

constexpr int kFiles = 200;
constexpr int64_t kProductBytes = int64_t{256} << 20;
constexpr int64_t kFileBytes = kProductBytes / kFiles;
constexpr int kListEntries = 100'000;

std::string FilePath(int i) {
  char name[64];
  std::snprintf(name, sizeof(name), "data\\part%02d\\file%04d.bin", i % 10, i);
  return name;
}

std::string ToDisk(std::string path) {
  for (char& c : path) {
    if (c == '\\')
      c = '/';
  }
  return path;
}

// Written through to disk, so that neither contender competes with the write-back of the product.
void PutSynced(const std::string& path, const std::string& contents) {
  platform::FileSystem& fs = platform::RealFileSystem();
  fs.MakeDirectories(platform::DirName(path));
  int error = 0;
  auto file = fs.CreateFile(path, &error);
  if (file != nullptr && file->Append(contents))
    file->Close(true);
  fs.SetModifiedTime(path, 1'600'000'000);
}

// One product on one nginx for the whole program.
struct Product {
  Product() {
    curl_global_init(CURL_GLOBAL_ALL);
    std::string contents(kFileBytes, '\0');
    uint32_t x = 12345;
    for (char& c : contents) {
      x = x * 1103515245 + 12345;
      c = static_cast<char>(x >> 24);
    }
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checklist>\n";
    for (int i = 0; i < kFiles; ++i) {
      contents[0] = static_cast<char>(i);
      PutSynced(root.path() + "/p/" + ToDisk(FilePath(i)), contents);
      list += "<file path=\"" + FilePath(i) + "\" size=\"" + std::to_string(kFileBytes) +
              "\" ftime=\"1600000000\" />\n";
    }
    list += "</checklist>\n";
    update_server::PutFile(root.path(), "p/update.cl", list, 1'650'000'000);
    std::string error;
    nginx = update_server::NginxServer::Start({root.path(), 1024}, &error);
    if (nginx == nullptr)
      std::fprintf(stderr, "nginx: %s\n", error.c_str());
  }
  update_server::TempFolder root{"update-bench-root"};
  std::unique_ptr<update_server::NginxServer> nginx;
};

Product& TheProduct() {
  static Product product;
  return product;
}

void BM_EngineFetch(benchmark::State& state) {
  Product& product = TheProduct();
  if (product.nginx == nullptr) {
    state.SkipWithError("nginx did not start");
    return;
  }
  update_server::TempFolder work("update-bench-engine");
  for (auto _ : state) {
    state.PauseTiming();
    platform::RemoveTree(work.Sub("cache"));
    platform::RemoveFile(work.Sub("updatecl.txt"));
    platform::MakeDirectories(work.Sub("cache"));
    platform::MakeDirectories(work.Sub("dir"));
    hall::UpdateTarget target{work.Sub("dir"), product.nginx->Url() + "p/", "", work.Sub("cache"),
                              "Bench"};
    hall::UpdateOptions options;
    options.work_folder = work.path();
    state.ResumeTiming();
    if (hall::RunUpdate(target, nullptr, options) != hall::kUpdateReady) {
      state.SkipWithError("the update run failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * kProductBytes);
}

void BM_CurlToolFetch(benchmark::State& state) {
  Product& product = TheProduct();
  if (product.nginx == nullptr) {
    state.SkipWithError("nginx did not start");
    return;
  }
  update_server::TempFolder work("update-bench-curl");
  platform::LaunchOptions launch;
  launch.program = "/usr/bin/curl";
  launch.args = {"--silent", "--fail", "--create-dirs"};
  launch.args.push_back("--output");
  launch.args.push_back(work.Sub("cache/update.cl"));
  launch.args.push_back(product.nginx->Url() + "p/update.cl");
  for (int i = 0; i < kFiles; ++i) {
    launch.args.push_back("--output");
    launch.args.push_back(work.Sub("cache/" + ToDisk(FilePath(i)) + ".cache"));
    launch.args.push_back(product.nginx->Url() + "p/" + ToDisk(FilePath(i)));
  }
  for (auto _ : state) {
    state.PauseTiming();
    platform::RemoveTree(work.Sub("cache"));
    state.ResumeTiming();
    std::string error;
    auto curl = platform::SystemProcessLauncher().Launch(launch, &error);
    platform::ExitStatus status;
    if (curl == nullptr || curl->Wait(600'000, &status) != platform::WaitOutcome::kExited ||
        status.code != 0) {
      state.SkipWithError("curl failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * kProductBytes);
}

BENCHMARK(BM_EngineFetch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CurlToolFetch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Two lists of kListEntries: every tenth entry changed, every hundredth new.
struct ListPair {
  ListPair() {
    char path[64];
    for (int i = 0; i < kListEntries; ++i) {
      std::snprintf(path, sizeof(path), "res\\group%03d\\item%06d.dat", i % 500, i);
      hall::CheckListEntry entry{path, 1000 + i, 1'600'000'000};
      server[path] = entry;
      if (i % 100 == 0)
        continue;
      if (i % 10 == 0)
        entry.ftime += 60;
      installed[path] = entry;
    }
  }
  hall::CheckList installed, server;
};

void BM_ChangedEntries(benchmark::State& state) {
  static ListPair lists;
  for (auto _ : state) {
    auto changed = hall::ChangedEntries(lists.installed, lists.server);
    benchmark::DoNotOptimize(changed.data());
  }
  state.SetItemsProcessed(state.iterations() * kListEntries);
}

// Baseline: a map lookup of each server entry in the installed list.
void BM_ChangedEntriesByLookup(benchmark::State& state) {
  static ListPair lists;
  for (auto _ : state) {
    std::vector<const hall::CheckListEntry*> changed;
    for (const auto& [path, entry] : lists.server) {
      auto old = lists.installed.find(path);
      if (old == lists.installed.end() || old->second.size != entry.size ||
          old->second.ftime != entry.ftime) {
        changed.push_back(&entry);
      }
    }
    benchmark::DoNotOptimize(changed.data());
  }
  state.SetItemsProcessed(state.iterations() * kListEntries);
}

// Reading one 100,000-entry list file, which every run does twice.
void BM_LoadCheckList(benchmark::State& state) {
  static ListPair lists;
  update_server::TempFolder folder("update-bench-list");
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checklist>\n";
  for (const auto& [path, entry] : lists.server) {
    xml += "<file path=\"" + path + "\" size=\"" + std::to_string(entry.size) + "\" ftime=\"" +
           std::to_string(entry.ftime) + "\" />\n";
  }
  xml += "</checklist>\n";
  update_server::PutFile(folder.path(), "update.cl", xml);
  for (auto _ : state) {
    hall::CheckList list;
    if (!hall::LoadCheckList(folder.Sub("update.cl"), list) || list.size() != kListEntries) {
      state.SkipWithError("the list did not load");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kListEntries);
}

BENCHMARK(BM_ChangedEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangedEntriesByLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCheckList)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
