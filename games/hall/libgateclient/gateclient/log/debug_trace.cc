#include "gateclient/log/debug_trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void StandardErrorOutput(const char* text) {
  static const bool enabled = std::getenv("TARVIX_DEBUG_TRACE") != nullptr;
  if (enabled)
    std::fputs(text, stderr);
}

std::atomic<DebugTraceOutput> g_output{nullptr};

}  // namespace

void DebugTrace(const char* format, ...) {
  std::string buffer(kDebugTraceMaxText + 1, '\0');
  va_list args;
  va_start(args, format);
  // vsnprintf writes at most the buffer's size, its NUL included, whatever the text's length.
  const int n = std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  if (n < 0)
    return;
  const DebugTraceOutput output = g_output.load(std::memory_order_acquire);
  (output != nullptr ? output : &StandardErrorOutput)(buffer.c_str());
}

DebugTraceOutput SetDebugTraceOutput(DebugTraceOutput output) {
  return g_output.exchange(output, std::memory_order_acq_rel);
}
