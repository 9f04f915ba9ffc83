#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "xmldoc/xml_tree_description.h"

// Any bytes parse without a fault; a text that parses saves to one that parses into the same tree.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure =
      xmldoc::CheckRoundTrip(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
