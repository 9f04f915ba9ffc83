#include "platform/window_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>

namespace platform {
namespace {

constexpr char kAddressPrefix[] = "tarvix-window-";
// How long a sender waits for room when the window's queue is full (the kernel keeps only a few
// datagrams queued per socket) before the post counts as failed.
constexpr int kFullQueueWaitMs = 250;
constexpr uint32_t kRecordMagic = 0x544C4E4B;  // tags our records among stray datagrams

// The bytes on the wire, native order (both ends are the same machine).
struct WireRecord {
  uint32_t magic;
  uint32_t kind;
  uint32_t message;
  uint32_t reserved;
  int64_t wparam;
  int64_t lparam;
};
static_assert(sizeof(WireRecord) == 32);

bool IsPlain(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

bool MakeAddress(const std::string& title, sockaddr_un* addr, socklen_t* len) {
  const std::string name = WindowLinkAddress(title, static_cast<uint32_t>(getuid()));
  if (name.empty())
    return false;
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path, name.data(), name.size());
  *len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  return true;
}

// True when the datagram's credentials (attached by the kernel because of SO_PASSCRED) name
// `uid`. A datagram without them, or with descriptors passed along, is not ours.
bool SentBy(const msghdr& hdr, uid_t uid) {
  if ((hdr.msg_flags & MSG_CTRUNC) != 0)
    return false;
  bool ours = false;
  for (const cmsghdr* c = CMSG_FIRSTHDR(&hdr); c != nullptr;
       c = CMSG_NXTHDR(const_cast<msghdr*>(&hdr), const_cast<cmsghdr*>(c))) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_CREDENTIALS ||
        c->cmsg_len != CMSG_LEN(sizeof(ucred)))
      return false;
    ucred cred;
    std::memcpy(&cred, CMSG_DATA(c), sizeof(cred));
    ours = cred.uid == uid;
  }
  return ours;
}

int NewSocket() {
  return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// A new socket and the address of `title`'s window; -1 when the title has no address or no
// socket can be made.
int SocketFor(const std::string& title, sockaddr_un* addr, socklen_t* len) {
  if (!MakeAddress(title, addr, len))
    return -1;
  return NewSocket();
}

}  // namespace

std::string WindowLinkAddress(const std::string& title, uint32_t uid) {
  if (title.empty())
    return {};
  // Anything outside a small safe set is written as %XX so that every title maps to one name and
  // no two titles share it.
  std::string name(1, '\0');
  name += kAddressPrefix;
  name += std::to_string(uid);
  name += '-';
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : title) {
    if (IsPlain(c) && c != '%') {
      name += static_cast<char>(c);
    } else {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 15];
    }
  }
  if (name.size() > sizeof(sockaddr_un::sun_path))
    return {};
  return name;
}

std::unique_ptr<WindowLink> WindowLink::Bind(const std::string& title) {
  sockaddr_un addr;
  socklen_t len;
  const int fd = SocketFor(title, &addr, &len);
  if (fd < 0)
    return nullptr;
  // Abstract names carry no file permissions: any local user can send to them. The kernel's
  // record of each sender's user lets Receive keep only this user's datagrams.
  const int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof(on)) != 0 ||
      bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    close(fd);
    return nullptr;
  }
  const int wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd < 0) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<WindowLink>(new WindowLink(fd, wake_fd));
}

WindowLink::~WindowLink() {
  close(fd_);
  close(wake_fd_);
}

void WindowLink::Interrupt() {
  const uint64_t one = 1;
  // Fails only when the counter is already near its limit, which leaves it readable anyway.
  [[maybe_unused]] const ssize_t n = write(wake_fd_, &one, sizeof(one));
}

bool WindowLink::Receive(LinkMessage* out) {
  const uid_t own_uid = getuid();
  for (;;) {
    WireRecord rec;
    // One byte more than a record, so an oversized datagram shows as too long (MSG_TRUNC gives
    // its real length).
    unsigned char buf[sizeof(WireRecord) + 1];
    iovec iov{buf, sizeof(buf)};
    // Room for the credentials only: the kernel puts them first, so descriptors a sender passes
    // along do not fit and are closed by the kernel (the datagram then shows MSG_CTRUNC).
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(ucred))];
    msghdr hdr{};
    hdr.msg_iov = &iov;
    hdr.msg_iovlen = 1;
    hdr.msg_control = control;
    hdr.msg_controllen = sizeof(control);
    const ssize_t n = recvmsg(fd_, &hdr, MSG_TRUNC | MSG_CMSG_CLOEXEC);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (!SentBy(hdr, own_uid))
      continue;
    if (static_cast<size_t>(n) != sizeof(WireRecord))
      continue;
    std::memcpy(&rec, buf, sizeof(rec));
    if (rec.magic != kRecordMagic || rec.reserved != 0)
      continue;
    if (rec.kind != static_cast<uint32_t>(LinkKind::kPost) &&
        rec.kind != static_cast<uint32_t>(LinkKind::kForeground))
      continue;
    out->kind = static_cast<LinkKind>(rec.kind);
    out->message = rec.message;
    out->wparam = rec.wparam;
    out->lparam = rec.lparam;
    return true;
  }
}

bool WindowLink::WaitReadable(int timeout_ms) {
  pollfd p[2] = {{fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
  const int r = poll(p, 2, timeout_ms);
  return r > 0 && (p[1].revents & POLLIN) == 0 && (p[0].revents & POLLIN) != 0;
}

bool SendToWindowLink(const std::string& title, const LinkMessage& message) {
  sockaddr_un addr;
  socklen_t len;
  const int fd = SocketFor(title, &addr, &len);
  if (fd < 0)
    return false;
  const WireRecord rec{kRecordMagic,    static_cast<uint32_t>(message.kind),
                       message.message, 0,
                       message.wparam,  message.lparam};
  // Connected, so that a full queue at the window can be waited on with poll.
  bool sent = false;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0) {
    const auto give_up =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kFullQueueWaitMs);
    for (;;) {
      const ssize_t n = send(fd, &rec, sizeof(rec), MSG_NOSIGNAL);
      if (n == static_cast<ssize_t>(sizeof(rec))) {
        sent = true;
        break;
      }
      if (n < 0 && errno == EINTR)
        continue;
      if (n >= 0 || errno != EAGAIN)
        break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          give_up - std::chrono::steady_clock::now());
      if (left.count() <= 0)
        break;
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR)
        break;
    }
  }
  close(fd);
  return sent;
}

bool WindowLinkExists(const std::string& title) {
  sockaddr_un addr;
  socklen_t len;
  const int fd = SocketFor(title, &addr, &len);
  if (fd < 0)
    return false;
  // A datagram connect only checks that the name is bound; nothing is sent.
  const bool bound = connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0;
  close(fd);
  return bound;
}

}  // namespace platform
