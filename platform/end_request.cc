#include "platform/end_request.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform {
namespace {

sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

EndRequestWatcher::EndRequestWatcher(std::function<void(int signal)> on_request)
    : on_request_(std::move(on_request)) {
  const sigset_t set = EndSignals();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
    return;
  signal_fd_ = signalfd(-1, &set, SFD_CLOEXEC);
  stop_fd_ = eventfd(0, EFD_CLOEXEC);
  if (signal_fd_ < 0 || stop_fd_ < 0) {
    if (signal_fd_ >= 0)
      close(signal_fd_);
    if (stop_fd_ >= 0)
      close(stop_fd_);
    signal_fd_ = stop_fd_ = -1;
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return;
  }
  thread_ = std::thread([this] { Watch(); });
}

EndRequestWatcher::~EndRequestWatcher() {
  if (!ok())
    return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(stop_fd_, &one, sizeof one);
  thread_.join();
  close(signal_fd_);
  close(stop_fd_);
  const sigset_t set = EndSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void EndRequestWatcher::Watch() {
  pollfd fds[2] = {{signal_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
  while (true) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    if (fds[1].revents != 0)
      return;
    if (fds[0].revents == 0)
      continue;
    signalfd_siginfo info;
    if (read(signal_fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
      continue;
    const int signal_number = static_cast<int>(info.ssi_signo);
    if (requests_.fetch_add(1) == 0) {
      if (on_request_)
        on_request_(signal_number);
      continue;
    }
    // Asked again: the program did not end in order, so the signal ends it its own way.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signal_number, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
  }
}

}  // namespace platform
