#include "skinui/ui_log.h"

#include <cstdio>
#include <mutex>

namespace skinui {
namespace {

std::mutex g_mu;
UiLogSink& Sink() {
  static UiLogSink* sink = new UiLogSink;
  return *sink;
}

}  // namespace

void SetUiLogSink(UiLogSink sink) {
  std::lock_guard<std::mutex> lock(g_mu);
  Sink() = std::move(sink);
}

void UiLog(const std::string& line) {
  UiLogSink sink;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    sink = Sink();
  }
  if (sink) {
    sink(line);
  } else {
    std::fprintf(stderr, "skinui: %s\n", line.c_str());
  }
}

}  // namespace skinui
