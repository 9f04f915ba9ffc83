// A hall update of kFiles files (kProductBytes in all) from nginx on loopback, three ways in each
// round, their order turning from round to round so that none always runs on a warm or a cold
// disk:
//   flow    UpdateFlow::CheckHallUpdate with its progress window (SDL offscreen: drawn for real)
//   engine  RunUpdate alone on the calling thread, no sink: the same transfers without the window
//   curl    one run of the curl tool with the same URLs and output files (the baseline)
// Between runs (untimed) the cache and the resume record are removed and the disk is synced, so
// no run pays for the write-back of the one before.
//
// Reported per round and as medians: the flow's throughput beside curl's (goal >= 0.9x); the
// flow's time over the engine alone; and, measured directly, the processor time of the window
// thread during the flow's run (its whole share in the progress window: the messages, the
// controls, the drawing) as a part of that run's time (goal <= 2 %). Run with
// SDL_VIDEODRIVER=offscreen when there is no display (set here unless chosen).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "games/hall/app/update_flow.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "skinui/paint_manager.h"
#include "skinui/sdl/sdl_backend.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace {

constexpr int kFiles = 200;
constexpr int64_t kProductBytes = int64_t{256} << 20;
constexpr int64_t kFileBytes = kProductBytes / kFiles;
constexpr int64_t kListTime = 1'650'000'000;

std::string FilePath(int i) {
  char name[64];
  std::snprintf(name, sizeof(name), "data\\part%02d\\file%04d.bin", i % 10, i);
  return name;
}

std::string ToDisk(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

void RunProgram(const std::string& program, const std::vector<std::string>& args) {
  platform::LaunchOptions launch;
  launch.program = program;
  launch.args = args;
  std::string error;
  auto process = platform::SystemProcessLauncher().Launch(launch, &error);
  platform::ExitStatus status;
  if (process != nullptr)
    process->Wait(600'000, &status);
}

// Written through to disk, so that no contender competes with the write-back of the product.
void PutSynced(const std::string& path, const std::string& contents) {
  platform::FileSystem& fs = platform::RealFileSystem();
  fs.MakeDirectories(platform::DirName(path));
  int error = 0;
  auto file = fs.CreateFile(path, &error);
  if (file != nullptr && file->Append(contents))
    file->Close(true);
  fs.SetModifiedTime(path, 1'600'000'000);
}

struct Product {
  Product() {
    std::string contents(kFileBytes, '\0');
    uint32_t x = 12345;
    for (char& c : contents) {
      x = x * 1103515245 + 12345;
      c = static_cast<char>(x >> 24);
    }
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checklist>\n";
    for (int i = 0; i < kFiles; ++i) {
      contents[0] = static_cast<char>(i);
      PutSynced(root.Sub("Tarvix/" + ToDisk(FilePath(i))), contents);
      list += "<file path=\"" + FilePath(i) + "\" size=\"" + std::to_string(kFileBytes) +
              "\" ftime=\"1600000000\" />\n";
    }
    list += "</checklist>\n";
    update_server::PutFile(root.path(), "Tarvix/update.cl", list, kListTime);
    std::string error;
    nginx = update_server::NginxServer::Start({root.path(), 1024}, &error);
    if (nginx == nullptr) {
      std::fprintf(stderr, "nginx: %s\n", error.c_str());
      return;
    }
    update_server::PutFile(program.path(), hall::kUpdateIniFile,
                           "[update]\nurl_update=" + nginx->Url() + "\n");
  }
  // What a run leaves: the cache and the resume record; then everything to disk.
  void Clean() {
    platform::RemoveTree(program.Sub("cache"));
    platform::RemoveFile(program.Sub("updatecl.txt"));
    platform::RemoveFile(program.Sub("voupd.log"));
    RunProgram("/bin/sync", {});
  }

  update_server::TempFolder root{"hall-update-bench-root"};
  update_server::TempFolder program{"hall-update-bench-program"};
  update_server::TempFolder curl_out{"hall-update-bench-curl"};
  std::unique_ptr<update_server::NginxServer> nginx;
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Processor time of the calling thread (a measurement of this tool only).
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// One run of each contender; false when it did not fetch the product.
bool RunFlow(hall::UpdateFlow& flow, double* seconds, double* window_cpu_seconds) {
  bool ready = false;
  const double cpu = ThreadCpuSeconds();
  const auto start = Clock::now();
  flow.CheckHallUpdate(ready);
  *seconds = Seconds(Clock::now() - start);
  *window_cpu_seconds = ThreadCpuSeconds() - cpu;
  return ready;
}

bool RunEngine(Product& product, double* seconds) {
  hall::UpdateTarget target =
      hall::HallUpdateTarget(product.program.path(), product.nginx->Url(), "");
  hall::UpdateOptions options;
  options.work_folder = product.program.path();
  const auto start = Clock::now();
  hall::MakeCacheDir(product.program.path());
  platform::MakeDirectories(target.cache);
  const int result = hall::RunUpdate(target, nullptr, options);
  *seconds = Seconds(Clock::now() - start);
  return result == hall::kUpdateReady;
}

bool RunCurl(Product& product, double* seconds) {
  platform::LaunchOptions launch;
  launch.program = "/usr/bin/curl";
  launch.args = {"--silent", "--fail", "--create-dirs"};
  const std::string out = product.program.Sub("cache/Tarvix/");
  launch.args.push_back("--output");
  launch.args.push_back(out + "updateTarvix.cl.cache");
  launch.args.push_back(product.nginx->Url() + "Tarvix/update.cl");
  for (int i = 0; i < kFiles; ++i) {
    launch.args.push_back("--output");
    launch.args.push_back(out + ToDisk(FilePath(i)) + ".cache");
    launch.args.push_back(product.nginx->Url() + "Tarvix/" + ToDisk(FilePath(i)));
  }
  const auto start = Clock::now();
  std::string error;
  auto curl = platform::SystemProcessLauncher().Launch(launch, &error);
  platform::ExitStatus status;
  const bool ok = curl != nullptr &&
                  curl->Wait(600'000, &status) == platform::WaitOutcome::kExited &&
                  status.code == 0;
  *seconds = Seconds(Clock::now() - start);
  return ok;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n == 0 ? 0 : (n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

void BM_HallUpdateRounds(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  static skinui::SdlBackend* backend = new skinui::SdlBackend;
  if (!backend->ok()) {
    state.SkipWithError("SDL did not start");
    return;
  }
  skinui::SetBackend(backend);
  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
  curl_global_init(CURL_GLOBAL_ALL);
  Product product;
  if (product.nginx == nullptr) {
    state.SkipWithError("nginx did not start");
    return;
  }
  hall::UpdateFlowEnvironment environment;
  environment.program_dir = product.program.path();
  hall::UpdateFlow flow(environment);

  std::vector<double> flow_s, engine_s, curl_s, window_share;
  int round = 0;
  for (auto _ : state) {
    for (int k = 0; k < 3; ++k) {
      const int which = (round + k) % 3;
      product.Clean();
      double seconds = 0;
      bool ok = false;
      switch (which) {
        case 0: {
          double window_cpu = 0;
          ok = RunFlow(flow, &seconds, &window_cpu);
          flow_s.push_back(seconds);
          window_share.push_back(window_cpu / seconds * 100);
          break;
        }
        case 1:
          ok = RunEngine(product, &seconds);
          engine_s.push_back(seconds);
          break;
        case 2:
          ok = RunCurl(product, &seconds);
          curl_s.push_back(seconds);
          break;
      }
      if (!ok) {
        state.SkipWithError(which == 0   ? "the flow failed"
                            : which == 1 ? "the engine failed"
                                         : "curl failed");
        flow.Shutdown();
        return;
      }
    }
    std::fprintf(stderr,
                 "round %d: flow %.3f s (window thread %.2f %% of it), engine %.3f s, "
                 "curl %.3f s\n",
                 round, flow_s.back(), window_share.back(), engine_s.back(), curl_s.back());
    ++round;
  }
  // The window at rest, for comparison: a run with nothing new (its list installed) shows the
  // window for the 1.2 s of its animation and transfers two bytes.
  std::vector<double> idle_share, idle_extra_ms;
  double animation_s = 0;
  for (const hall::AnimationStep& step : hall::kNothingNewAnimation)
    animation_s += step.hold_ms / 1000.0;
  for (int i = 0; i < 3; ++i) {
    product.Clean();
    update_server::PutFile(product.program.path(), "updateTarvix.cl", "<checklist/>", kListTime);
    double seconds = 0, window_cpu = 0;
    RunFlow(flow, &seconds, &window_cpu);
    idle_share.push_back(window_cpu / seconds * 100);
    idle_extra_ms.push_back((seconds - animation_s) * 1000);
    platform::RemoveFile(product.program.Sub("updateTarvix.cl"));
  }
  flow.Shutdown();
  product.Clean();
  skinui::SetBackend(nullptr);

  const double flow_m = Median(flow_s), engine_m = Median(engine_s), curl_m = Median(curl_s);
  // Paired within each round, so a slow phase of the machine counts against both sides.
  std::vector<double> vs_curl, over_engine;
  for (size_t i = 0; i < flow_s.size(); ++i) {
    vs_curl.push_back(curl_s[i] / flow_s[i]);
    over_engine.push_back((flow_s[i] / engine_s[i] - 1) * 100);
  }
  state.counters["flow_s"] = flow_m;
  state.counters["engine_s"] = engine_m;
  state.counters["curl_s"] = curl_m;
  state.counters["flow_MBps"] = kProductBytes / flow_m / 1e6;
  state.counters["curl_MBps"] = kProductBytes / curl_m / 1e6;
  state.counters["flow_vs_curl_x"] = Median(vs_curl);
  state.counters["flow_over_engine_pct"] = Median(over_engine);
  state.counters["window_thread_pct"] = Median(window_share);
  state.counters["idle_window_thread_pct"] = Median(idle_share);
  std::fprintf(stderr,
               "medians of %d rounds: flow %.3f s (%.1f MB/s), engine %.3f s, curl %.3f s "
               "(%.1f MB/s)\n"
               "  paired per round: flow beside curl %.3fx, flow over engine %+.2f %%\n"
               "  window thread: %.2f %% of the flow's time; %.2f %% while it shows nothing new, "
               "whose run takes %.1f ms beyond its animation\n",
               round, flow_m, kProductBytes / flow_m / 1e6, engine_m, curl_m,
               kProductBytes / curl_m / 1e6, Median(vs_curl), Median(over_engine),
               Median(window_share), Median(idle_share), Median(idle_extra_ms));
}

BENCHMARK(BM_HallUpdateRounds)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
