// Helpers for the tests that drive a real frame against the local gate, whose answers arrive on
// other threads and from other processes.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "gateclient/client_frame/net_result.h"

namespace qvc::e2e {

// Polls `done` every couple of milliseconds until it holds (true) or `limit` has passed (false).
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// A main window that finishes every record as soon as it is posted.
class FinishingWindow : public NetResultPoster {
 public:
  bool PostToMainWindow(uint32_t, NetResultRecord* record) override {
    FinishNetResult(record);
    return true;
  }
};

}  // namespace qvc::e2e
