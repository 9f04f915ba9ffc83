// Requests to end the program that arrive as signals (SIGTERM from the desktop session ending or
// from `kill`, SIGINT from a terminal, SIGHUP when the terminal goes) turned into one call on a
// thread of the watcher's own, so that a program with windows can end in order: windows closed,
// threads joined, its games told. A second request while the first is being served ends the
// process at once, the signal's default way, so a program that no longer answers can still be
// ended without SIGKILL.
//
// The three signals are blocked in the thread that makes the watcher and so in every thread that
// thread starts afterwards: make it first in main, before any other thread exists. Programs
// started through ProcessLauncher get every signal unblocked and at its default.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace platform {

class EndRequestWatcher {
 public:
  // `on_request(signal)` runs on the watcher's thread at the first request, once. It should only
  // pass the request on (post a message) and return.
  explicit EndRequestWatcher(std::function<void(int signal)> on_request);
  // Stops and joins the watcher's thread, then unblocks the signals in the calling thread: a
  // request still pending then takes its default action.
  ~EndRequestWatcher();
  EndRequestWatcher(const EndRequestWatcher&) = delete;
  EndRequestWatcher& operator=(const EndRequestWatcher&) = delete;

  // False when the signals could not be taken over (they keep their default action).
  bool ok() const { return signal_fd_ >= 0; }
  // Requests seen so far.
  int requests() const { return requests_.load(); }

 private:
  void Watch();

  std::function<void(int)> on_request_;
  int signal_fd_ = -1;
  int stop_fd_ = -1;
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace platform
