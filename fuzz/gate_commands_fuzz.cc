#include <google/protobuf/stubs/logging.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "testing/gate_checks/gate_command_check.h"

// Payloads that do not parse are most of the inputs: their log lines would swamp the run.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  google::protobuf::SetLogHandler(nullptr);
  return 0;
}

// Any run of decoded gate frames: see gate_command_check.h for the properties.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure =
      gatecheck::CheckGateCommands(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
