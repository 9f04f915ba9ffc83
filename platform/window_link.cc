#include "platform/window_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace platform {
namespace {

constexpr char kAddressPrefix[] = "tarvix-window-";
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

int NewSocket() {
  return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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
  if (!MakeAddress(title, &addr, &len))
    return nullptr;
  const int fd = NewSocket();
  if (fd < 0)
    return nullptr;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<WindowLink>(new WindowLink(fd));
}

WindowLink::~WindowLink() {
  close(fd_);
}

bool WindowLink::Receive(LinkMessage* out) {
  for (;;) {
    WireRecord rec;
    // One byte more than a record, so an oversized datagram shows as too long (MSG_TRUNC gives
    // its real length).
    unsigned char buf[sizeof(WireRecord) + 1];
    const ssize_t n = recv(fd_, buf, sizeof(buf), MSG_TRUNC);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
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
  pollfd p{fd_, POLLIN, 0};
  const int r = poll(&p, 1, timeout_ms);
  return r > 0 && (p.revents & POLLIN) != 0;
}

bool SendToWindowLink(const std::string& title, const LinkMessage& message) {
  sockaddr_un addr;
  socklen_t len;
  if (!MakeAddress(title, &addr, &len))
    return false;
  const int fd = NewSocket();
  if (fd < 0)
    return false;
  WireRecord rec{kRecordMagic, static_cast<uint32_t>(message.kind), message.message, 0,
                 message.wparam, message.lparam};
  ssize_t n;
  do {
    n = sendto(fd, &rec, sizeof(rec), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&addr), len);
  } while (n < 0 && errno == EINTR);
  close(fd);
  return n == static_cast<ssize_t>(sizeof(rec));
}

bool WindowLinkExists(const std::string& title) {
  sockaddr_un addr;
  socklen_t len;
  if (!MakeAddress(title, &addr, &len))
    return false;
  const int fd = NewSocket();
  if (fd < 0)
    return false;
  // A datagram connect only checks that the name is bound; nothing is sent.
  const bool bound = connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0;
  close(fd);
  return bound;
}

}  // namespace platform
