// Fetch: a product from nginx on loopback into an empty cache, by the update engine and, as the
// baseline, by one run of the curl tool with the same URLs and output files. Two products: 200
// files of 1.28 MiB and 2,000 files of 8 KiB; the cache and the run's records on ext4 (/tmp, or
// $TMPDIR) and on tmpfs (/dev/shm). Every run's files are checked afterwards, and before every
// run the previous run's files are removed and the file system is synced, so that no contender
// runs while the write-back of another's files goes on.
// Compare: the check-list comparison over 100,000 entries, beside a lookup per entry.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/interleaved_main.h"
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

constexpr int kListEntries = 100'000;

struct ProductShape {
  const char* name;
  int files;
  int64_t file_bytes;
};
constexpr ProductShape kShapes[] = {
    {"large", 200, (int64_t{256} << 20) / 200},  // 1.28 MiB each
    {"small", 2000, 8 << 10},
};

// Where the cache goes: 0 the temporary folder (ext4 here), 1 tmpfs.
const char* kPlaces[] = {"", "/dev/shm"};
const char* kPlaceNames[] = {"ext4", "tmpfs"};

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

// The contents of file i: pseudo-random bytes, the first one naming the file.
std::string Contents(int64_t bytes, int i) {
  std::string contents(static_cast<size_t>(bytes), '\0');
  uint32_t x = 12345;
  for (char& c : contents) {
    x = x * 1103515245 + 12345;
    c = static_cast<char>(x >> 24);
  }
  contents[0] = static_cast<char>(i);
  contents[contents.size() - 1] = static_cast<char>(i >> 8);
  return contents;
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

// Waits until everything written to the file system of `folder` is on the disk.
void SyncFileSystemOf(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::syncfs(fd);
    ::close(fd);
  }
}

// One product on one nginx for the whole program.
struct Product {
  explicit Product(const ProductShape& shape) : shape(shape) {
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checklist>\n";
    for (int i = 0; i < shape.files; ++i) {
      PutSynced(root.path() + "/p/" + ToDisk(FilePath(i)), Contents(shape.file_bytes, i));
      list += "<file path=\"" + FilePath(i) + "\" size=\"" + std::to_string(shape.file_bytes) +
              "\" ftime=\"1600000000\" />\n";
    }
    list += "</checklist>\n";
    update_server::PutFile(root.path(), "p/update.cl", list, 1'650'000'000);
    std::string error;
    nginx = update_server::NginxServer::Start({root.path(), 1024}, &error);
    if (nginx == nullptr)
      std::fprintf(stderr, "nginx: %s\n", error.c_str());
  }
  int64_t bytes() const { return shape.file_bytes * shape.files; }

  // Empty when every file of the product is in `cache` whole, with `suffix` after its name.
  std::string Check(const std::string& cache, const std::string& suffix) const {
    std::string got;
    for (int i = 0; i < shape.files; ++i) {
      const std::string path = cache + "/" + ToDisk(FilePath(i)) + suffix;
      if (!platform::ReadFile(path, &got) || got != Contents(shape.file_bytes, i))
        return path + " is not the product's file";
    }
    return "";
  }

  const ProductShape shape;
  update_server::TempFolder root{"update-bench-root"};
  std::unique_ptr<update_server::NginxServer> nginx;
};

Product& TheProduct(int shape) {
  static Product large(kShapes[0]);
  static Product small(kShapes[1]);
  return shape == 0 ? large : small;
}

// A work folder in the place under test; empty when that place is missing.
std::unique_ptr<update_server::TempFolder> WorkFolder(int place, const char* prefix) {
  if (kPlaces[place][0] != '\0' && !platform::DirectoryExists(kPlaces[place]))
    return nullptr;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  if (kPlaces[place][0] != '\0')
    setenv("TMPDIR", kPlaces[place], 1);
  auto folder = std::make_unique<update_server::TempFolder>(prefix);
  if (old != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  return folder;
}

void Label(benchmark::State& state) {
  state.SetLabel(std::string(kShapes[state.range(0)].name) + " on " + kPlaceNames[state.range(1)]);
}

void BM_EngineFetch(benchmark::State& state) {
  Label(state);
  Product& product = TheProduct(static_cast<int>(state.range(0)));
  auto work = WorkFolder(static_cast<int>(state.range(1)), "update-bench-engine");
  if (product.nginx == nullptr || work == nullptr || work->path().empty()) {
    state.SkipWithError("nginx did not start, or no such place");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    platform::RemoveTree(work->Sub("cache"));
    platform::RemoveFile(work->Sub("updatecl.txt"));
    platform::MakeDirectories(work->Sub("cache"));
    platform::MakeDirectories(work->Sub("dir"));
    SyncFileSystemOf(work->path());
    hall::UpdateTarget target{work->Sub("dir"), product.nginx->Url() + "p/", "", work->Sub("cache"),
                              "Bench"};
    hall::UpdateOptions options;
    options.work_folder = work->path();
    state.ResumeTiming();
    if (hall::RunUpdate(target, nullptr, options) != hall::kUpdateReady) {
      state.SkipWithError("the update run failed");
      return;
    }
    state.PauseTiming();
    const std::string wrong = product.Check(work->Sub("cache"), ".cache");
    if (!wrong.empty()) {
      state.SkipWithError(wrong.c_str());
      return;
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * product.bytes());
}

void BM_CurlToolFetch(benchmark::State& state) {
  Label(state);
  Product& product = TheProduct(static_cast<int>(state.range(0)));
  auto work = WorkFolder(static_cast<int>(state.range(1)), "update-bench-curl");
  if (product.nginx == nullptr || work == nullptr || work->path().empty()) {
    state.SkipWithError("nginx did not start, or no such place");
    return;
  }
  platform::LaunchOptions launch;
  launch.program = "/usr/bin/curl";
  launch.args = {"--silent", "--fail", "--create-dirs"};
  launch.args.push_back("--output");
  launch.args.push_back(work->Sub("cache/update.cl"));
  launch.args.push_back(product.nginx->Url() + "p/update.cl");
  for (int i = 0; i < product.shape.files; ++i) {
    launch.args.push_back("--output");
    launch.args.push_back(work->Sub("cache/" + ToDisk(FilePath(i)) + ".cache"));
    launch.args.push_back(product.nginx->Url() + "p/" + ToDisk(FilePath(i)));
  }
  for (auto _ : state) {
    state.PauseTiming();
    platform::RemoveTree(work->Sub("cache"));
    SyncFileSystemOf(work->path());
    state.ResumeTiming();
    std::string error;
    auto curl = platform::SystemProcessLauncher().Launch(launch, &error);
    platform::ExitStatus status;
    if (curl == nullptr || curl->Wait(600'000, &status) != platform::WaitOutcome::kExited ||
        status.code != 0) {
      state.SkipWithError("curl failed");
      return;
    }
    state.PauseTiming();
    const std::string wrong = product.Check(work->Sub("cache"), ".cache");
    if (!wrong.empty()) {
      state.SkipWithError(wrong.c_str());
      return;
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * product.bytes());
}

// (product shape, place): large and small on ext4 and tmpfs.
void FetchArgs(benchmark::internal::Benchmark* b) {
  for (int shape = 0; shape < 2; ++shape) {
    for (int place = 0; place < 2; ++place)
      b->Args({shape, place});
  }
}

BENCHMARK(BM_EngineFetch)
    ->Apply(FetchArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_CurlToolFetch)
    ->Apply(FetchArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

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

// Every tenth entry: the changed and the new ones.
constexpr size_t kChangedEntries = kListEntries / 10;

void BM_ChangedEntries(benchmark::State& state) {
  static ListPair lists;
  for (auto _ : state) {
    auto changed = hall::ChangedEntries(lists.installed, lists.server);
    if (changed.size() != kChangedEntries) {
      state.SkipWithError("not the changed entries");
      return;
    }
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
    if (changed.size() != kChangedEntries) {
      state.SkipWithError("not the changed entries");
      return;
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

TARVIX_BENCHMARK_MAIN()
