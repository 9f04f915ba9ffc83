// Collects the gate client's log records so tests can count them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "gateclient/log/log_sink_list.h"

namespace qvc::testing_fakes {

class LogCapture {
 public:
  LogCapture() {
    GetLogSinkList().Add(&Sink);
    std::lock_guard<std::mutex> lock(Mu());
    Records().clear();
  }
  // Records that contain `text`.
  int Count(const std::string& text) const {
    std::lock_guard<std::mutex> lock(Mu());
    int n = 0;
    for (const std::string& r : Records())
      n += r.find(text) != std::string::npos;
    return n;
  }
  std::vector<std::string> All() const {
    std::lock_guard<std::mutex> lock(Mu());
    return Records();
  }

 private:
  static std::mutex& Mu() {
    static std::mutex mu;
    return mu;
  }
  static std::vector<std::string>& Records() {
    static std::vector<std::string> records;
    return records;
  }
  static void Sink(int, const char* text, const char*, int) {
    std::lock_guard<std::mutex> lock(Mu());
    Records().emplace_back(text);
  }
};

}  // namespace qvc::testing_fakes
