// The local gate on its own.
//
//   local_gate [--key K] [--token N] [--gates a,b] [--silent]
//     Prints "port=N", then one line per received frame; stops when standard input ends.
//   local_gate --demo [--plans N] [--key K] [--token N]
//     The demo world (demo_world.h) for a hall a person uses: prints "port=N", then one line
//     per login, join and match start; stops on SIGINT or SIGTERM.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "testing/gate/demo_world.h"
#include "testing/gate/local_gate.h"

namespace {

std::atomic<bool> stop_requested{false};

void OnStopSignal(int) {
  stop_requested.store(true);
}

// How often the demo world moves on.
constexpr auto kDemoTick = std::chrono::milliseconds(100);

int RunDemo(testgate::LocalGate& gate, int plans) {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  testgate::DemoWorldOptions options;
  options.plans = plans;
  testgate::DemoWorld world(gate, options);
  if (!gate.Start()) {
    std::fprintf(stderr, "cannot listen on loopback\n");
    return 1;
  }
  std::printf("port=%u\n", gate.port());
  std::printf("demo world: %zu plans, account %s\n", world.plans().size(),
              testgate::DemoWorld::kAccount);
  std::fflush(stdout);
  size_t logins = 0, joins = 0, started = 0;
  while (!stop_requested.load()) {
    world.Tick();
    const auto seen_logins = world.hall().logins();
    for (; logins < seen_logins.size(); ++logins)
      std::printf("login account=%s\n", seen_logins[logins].account.c_str());
    const auto seen_joins = world.hall().joins();
    for (; joins < seen_joins.size(); ++joins) {
      std::printf("%s match_app=%u\n", seen_joins[joins].second ? "withdraw" : "join",
                  seen_joins[joins].first);
    }
    const auto seen_started = world.started();
    for (; started < seen_started.size(); ++started) {
      const auto& m = seen_started[started];
      std::printf("match start plan=%u key=%llu match_app=%u\n", m.plan_id,
                  static_cast<unsigned long long>(m.key), m.match_app_id);
    }
    std::fflush(stdout);
    std::this_thread::sleep_for(kDemoTick);
  }
  gate.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  testgate::HelloReply hello;
  bool silent = false;
  bool demo = false;
  int plans = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--key" && has_value) {
      hello.key = argv[++i];
      hello.rsp_flag |= 1;
    } else if (arg == "--gates" && has_value) {
      std::stringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');)
        hello.gate_addresses.push_back(item);
      hello.rsp_flag |= 2;
    } else if (arg == "--token" && has_value) {
      hello.login_token = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
      hello.rsp_flag |= 4;
    } else if (arg == "--silent") {
      silent = true;
    } else if (arg == "--demo") {
      demo = true;
    } else if (arg == "--plans" && has_value) {
      plans = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr,
                   "usage: %s [--key K] [--token N] [--gates a,b] [--silent]\n"
                   "       %s --demo [--plans N] [--key K] [--token N]\n",
                   argv[0], argv[0]);
      return 2;
    }
  }
  testgate::LocalGate gate;
  gate.SetHelloReply(hello);
  gate.SetSilent(silent);
  if (demo)
    return RunDemo(gate, plans);
  if (!gate.Start()) {
    std::fprintf(stderr, "cannot listen on loopback\n");
    return 1;
  }
  std::printf("port=%u\n", gate.port());
  std::fflush(stdout);
  size_t shown = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    const auto frames = gate.Frames();
    for (; shown < frames.size(); ++shown) {
      const auto& f = frames[shown];
      std::printf("conn %d kind %u subid %u payload %zu bytes%s\n", f.connection, f.kind, f.subid,
                  f.payload.size(), f.decoded ? "" : " (not a frame)");
    }
    std::fflush(stdout);
  }
  gate.Stop();
  return 0;
}
