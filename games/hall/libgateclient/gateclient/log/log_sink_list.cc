#include "gateclient/log/log_sink_list.h"

namespace {

void DiscardRecord(int /*level*/, const char* /*text*/, const char* /*file*/, int /*line*/) {}

}  // namespace

bool LogSinkList::Add(LogCallback sink) {
  if (sink == nullptr)
    return false;
  while (adding_.exchange(true, std::memory_order_acquire)) {
  }
  bool added = false;
  const std::size_t n = count_.load(std::memory_order_relaxed);
  if (!Contains(sink) && n < kMaxSinks) {
    sinks_[n].store(sink, std::memory_order_relaxed);
    count_.store(n + 1, std::memory_order_release);  // publishes the slot
    added = true;
  }
  adding_.store(false, std::memory_order_release);
  return added;
}

bool LogSinkList::Contains(LogCallback sink) const {
  const std::size_t n = size();
  for (std::size_t i = 0; i < n; ++i) {
    if (sinks_[i].load(std::memory_order_relaxed) == sink)
      return true;
  }
  return false;
}

void LogSinkList::Emit(int level, const char* text, const char* file, int line) const {
  const std::size_t n = size();
  for (std::size_t i = 0; i < n; ++i)
    sinks_[i].load(std::memory_order_relaxed)(level, text, file, line);
}

LogSinkList& GetLogSinkList() {
  static LogSinkList list;
  return list;
}

void RegisterLogSink() {
  GetLogSinkList().Add(&DiscardRecord);
}

namespace log_internal {

LogRecord::LogRecord(int level, const char* file, int line)
    : level_(level), file_(file), line_(line), active_(!GetLogSinkList().empty()) {}

LogRecord::~LogRecord() {
  if (!active_)
    return;
  const std::string text = stream_.str();
  GetLogSinkList().Emit(level_, text.c_str(), file_, line_);
}

}  // namespace log_internal
