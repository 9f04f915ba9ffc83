// The log-sink list: one process-wide list of callbacks that every gate-client log record is
// handed to, in registration order. The system registers one sink, which discards every record,
// so records have no visible effect unless a further sink is added.
//
// Sinks are added at start-up and read from several threads afterwards; the list is append-only
// with atomic slots, so reading it needs no lock. A sink must be safe to call from several threads
// at once.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <sstream>
#include <string>

// Levels in use.
inline constexpr int kLogDetail = 0;          // contents of a received packed message
inline constexpr int kLogTraffic = 1;         // messages received and forwarded, catalogue contents
inline constexpr int kLogEvent = 2;           // connection, session, sign-up and game events
inline constexpr int kLogFailure = 3;         // configuration and login failures
inline constexpr int kLogUnknownMessage = 4;  // a received message no command could be made of

// sink(level, text, source file of the log statement, its line).
using LogCallback = void (*)(int level, const char* text, const char* file, int line);

class LogSinkList {
 public:
  static constexpr std::size_t kMaxSinks = 16;

  // Appends `sink` unless it is already in the list. False when it was not added (already there,
  // null, or the list is full).
  bool Add(LogCallback sink);
  bool Contains(LogCallback sink) const;
  bool empty() const { return size() == 0; }
  std::size_t size() const { return count_.load(std::memory_order_acquire); }

  // Calls every sink in order with the record.
  void Emit(int level, const char* text, const char* file, int line) const;

 private:
  std::array<std::atomic<LogCallback>, kMaxSinks> sinks_{};
  std::atomic<std::size_t> count_{0};
  std::atomic<bool> adding_{false};  // serialises writers
};

// The process-wide list, created empty on first use.
LogSinkList& GetLogSinkList();

// Adds the system's sink (which ignores its arguments) once, however often it is called.
void RegisterLogSink();

namespace log_internal {

// One record: text streamed in, handed to the sinks when the statement ends. Formats nothing when
// no sink is registered.
class LogRecord {
 public:
  LogRecord(int level, const char* file, int line);
  ~LogRecord();
  LogRecord(const LogRecord&) = delete;
  LogRecord& operator=(const LogRecord&) = delete;

  template <typename T>
  LogRecord& operator<<(const T& value) {
    if (active_)
      stream_ << value;
    return *this;
  }

 private:
  const int level_;
  const char* const file_;
  const int line_;
  const bool active_;
  std::ostringstream stream_;
};

}  // namespace log_internal

// GC_LOG(kLogEvent) << "connect " << host << ":" << port;
#define GC_LOG(level) ::log_internal::LogRecord((level), __FILE__, __LINE__)
