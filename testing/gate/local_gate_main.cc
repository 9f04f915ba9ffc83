// The local gate on its own: `local_gate [--key K] [--token N] [--gates a,b] [--silent]`. Prints
// "port=N", then one line per received frame; stops when standard input ends.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "testing/gate/local_gate.h"

int main(int argc, char** argv) {
  testgate::HelloReply hello;
  bool silent = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--key" && has_value) {
      hello.key = argv[++i];
      hello.rsp_flag |= 1;
    } else if (arg == "--gates" && has_value) {
      std::stringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');) hello.gate_addresses.push_back(item);
      hello.rsp_flag |= 2;
    } else if (arg == "--token" && has_value) {
      hello.login_token = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
      hello.rsp_flag |= 4;
    } else if (arg == "--silent") {
      silent = true;
    } else {
      std::fprintf(stderr, "usage: %s [--key K] [--token N] [--gates a,b] [--silent]\n", argv[0]);
      return 2;
    }
  }
  testgate::LocalGate gate;
  gate.SetHelloReply(hello);
  gate.SetSilent(silent);
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
