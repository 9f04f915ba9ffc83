// A window's mailbox between processes: an abstract-namespace Unix datagram socket named after the
// window's title and the user id, so another process of the same user can find the window by title
// and post it a message. Only integers travel: a record never carries a pointer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// What a record asks of the receiving window.
enum class LinkKind : uint32_t { kPost = 1, kForeground = 2 };

// One datagram. Fixed size; a datagram of any other size or kind is dropped.
struct LinkMessage {
  LinkKind kind = LinkKind::kPost;
  uint32_t message = 0;
  int64_t wparam = 0;
  int64_t lparam = 0;
};

// The socket name for `title` of user `uid`, leading NUL included (abstract namespace); empty
// when the title is empty or too long to fit a socket address.
std::string WindowLinkAddress(const std::string& title, uint32_t uid);

// The bound end of a window's link.
class WindowLink {
 public:
  // Binds the link for `title` (close-on-exec, non-blocking). Null when the title has no address
  // or the name is taken (another live window of this user has the same title).
  static std::unique_ptr<WindowLink> Bind(const std::string& title);
  ~WindowLink();
  WindowLink(const WindowLink&) = delete;
  WindowLink& operator=(const WindowLink&) = delete;

  // The descriptor, for poll().
  int fd() const { return fd_; }

  // Takes the next valid record without waiting; false when none is queued. Malformed datagrams,
  // and any datagram sent by another user (abstract names have no permissions, so anyone on the
  // machine can send to them), are read and discarded on the way.
  bool Receive(LinkMessage* out);

  // Waits up to `timeout_ms` for the socket to become readable; true when it is. False at once
  // after Interrupt.
  bool WaitReadable(int timeout_ms);

  // Ends the current and every later WaitReadable at once (any thread), so the thread that
  // reads the link can be stopped without waiting out its timeout.
  void Interrupt();

 private:
  WindowLink(int fd, int wake_fd) : fd_(fd), wake_fd_(wake_fd) {}
  int fd_;
  int wake_fd_;  // an eventfd, readable once interrupted
};

// Sends one record to the window titled `title` of this user; false when no such link is bound,
// or when its queue stays full for a quarter of a second (a window that has stopped reading).
bool SendToWindowLink(const std::string& title, const LinkMessage& message);

// True when a window of this user has bound a link for `title`.
bool WindowLinkExists(const std::string& title);

}  // namespace platform
