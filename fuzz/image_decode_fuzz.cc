#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "testing/image_checks/image_check.h"

// SDL and its decoders come up before the first input, so their lasting allocations are not
// taken for an input's leak.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  image_check::CheckImage("");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure =
      image_check::CheckImage(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
