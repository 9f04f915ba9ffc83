#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "gateclient/ipc/queue_memory_check.h"

// A block queue's shared area overwritten with any bytes (and opened with any geometry): every
// call keeps to its contract and touches nothing outside the mapping or the caller's buffer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure =
      queue_check::CheckQueueMemory(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
