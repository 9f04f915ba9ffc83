// A main window's end of the hand-over for tests without a window: records are queued as the
// window's message queue would hold them, and handled (looked at, then finished as the window
// finishes them) when the test, playing the window thread, drains them.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "gateclient/client_frame/net_result.h"

namespace hall::testing {

class QueuedPoster : public qvc::NetResultPoster {
 public:
  struct Seen {
    uint16_t kind = 0;
    uint16_t subid = 0;
    uint64_t app_session = 0;
  };

  // Finishes what is still queued.
  ~QueuedPoster() override { Drain(); }

  bool PostToMainWindow(uint32_t message, qvc::NetResultRecord* record) override {
    if (message != qvc::kWmNetResult)
      return false;
    std::lock_guard<std::mutex> lock(mu_);
    queue_.push_back(record);
    return true;
  }

  // Handles every queued record; returns how many. The window thread's side.
  size_t Drain() {
    std::deque<qvc::NetResultRecord*> taken;
    {
      std::lock_guard<std::mutex> lock(mu_);
      taken.swap(queue_);
    }
    for (qvc::NetResultRecord* record : taken) {
      seen_.push_back({record->command->kind, record->command->subid, record->app_session});
      qvc::FinishNetResult(record);
    }
    return taken.size();
  }

  // Whether a record of (kind, subid) was handled so far.
  bool Saw(uint16_t kind, uint16_t subid) const {
    for (const Seen& s : seen_) {
      if (s.kind == kind && s.subid == subid)
        return true;
    }
    return false;
  }

  // Everything handled so far, in order. Window thread only.
  const std::vector<Seen>& seen() const { return seen_; }

 private:
  std::mutex mu_;
  std::deque<qvc::NetResultRecord*> queue_;
  std::vector<Seen> seen_;
};

}  // namespace hall::testing
