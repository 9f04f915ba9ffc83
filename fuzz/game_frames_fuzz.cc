#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "gateclient/plan_table/game_frame_check.h"

// Any bytes as one message from a game: the decoders read only what is there and encode back to
// the same bytes, and a plan table hands exactly the type-0 frames on to the gate.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure =
      qvc::frame_check::CheckGameFrame(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
