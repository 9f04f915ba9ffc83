// The main of every benchmark program. A figure and its baseline measured back to back can differ
// by what the machine did meanwhile (another build, the write-back of a previous run), so unless
// the command line says otherwise every benchmark runs in several repetitions, in random order
// across the program, and the medians are reported:
//   --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//   --benchmark_report_aggregates_only=true
// Any of these given on the command line replaces its default.
#pragma once

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace bench {

inline int InterleavedMain(int argc, char** argv, int repetitions = 5) {
  const std::string reps = "--benchmark_repetitions=" + std::to_string(repetitions);
  const char* const defaults[] = {reps.c_str(), "--benchmark_enable_random_interleaving=true",
                                  "--benchmark_report_aggregates_only=true"};
  std::vector<char*> args(argv, argv + argc);
  std::vector<std::string> owned;
  for (const char* d : defaults) {
    const char* eq = std::strchr(d, '=');
    const std::string flag(d, static_cast<size_t>(eq - d));
    bool given = false;
    for (int i = 1; i < argc; ++i)
      given = given || std::strncmp(argv[i], flag.c_str(), flag.size()) == 0;
    if (!given)
      owned.push_back(d);
  }
  for (std::string& o : owned)
    args.insert(args.begin() + 1, o.data());
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data()))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench

#define TARVIX_BENCHMARK_MAIN(...)                                        \
  int main(int argc, char** argv) {                                       \
    return bench::InterleavedMain(argc, argv __VA_OPT__(, ) __VA_ARGS__); \
  }
