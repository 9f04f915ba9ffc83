#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "xmldoc/xml_tree_description.h"

// Any bytes parse without a fault; a text that parses saves to one that parses into the same tree;
// the parser's one-pass tag scan reads every tag as ReadToken and ParseTag do.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string failure = xmldoc::CheckRoundTrip(text);
  if (failure.empty())
    failure = xmldoc::CheckTagScan(text);
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
