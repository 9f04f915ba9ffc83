#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "gateclient/config/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CIniFile first;
  first.ParseText(std::string_view(reinterpret_cast<const char*>(data), size));
  CIniFile second;
  second.ParseText(first.FormatText());
  if (second.SectionCount() != first.SectionCount()) std::abort();
  return 0;
}
