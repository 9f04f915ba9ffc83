#include "testing/update_server/canned_http_server.h"

#include "platform/net.h"

namespace update_server {
namespace {

constexpr int kReadTimeoutMs = 2000;
constexpr size_t kMaxRequestBytes = 64 * 1024;

}  // namespace

std::unique_ptr<CannedHttpServer> CannedHttpServer::Start(std::string reply) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(&port);
  if (listener < 0)
    return nullptr;
  return std::unique_ptr<CannedHttpServer>(new CannedHttpServer(listener, port, std::move(reply)));
}

CannedHttpServer::CannedHttpServer(int listener, uint16_t port, std::string reply)
    : listener_(listener), port_(port), reply_(std::move(reply)) {
  thread_ = std::thread([this] { Serve(); });
}

CannedHttpServer::~CannedHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  // Wakes the blocking accept.
  const int fd = platform::ConnectToLoopback(port_);
  if (fd >= 0)
    platform::CloseSocket(fd);
  thread_.join();
  platform::CloseSocket(listener_);
}

void CannedHttpServer::Serve() {
  for (;;) {
    const int fd = platform::AcceptConnection(listener_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) {
        if (fd >= 0)
          platform::CloseSocket(fd);
        return;
      }
    }
    if (fd < 0)
      continue;
    platform::SetReceiveTimeout(fd, kReadTimeoutMs);
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes) {
      const long n = platform::ReadSome(fd, buffer, sizeof(buffer));
      if (n <= 0)
        break;
      head.append(buffer, static_cast<size_t>(n));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
    }
    platform::WriteAll(fd, reply_.data(), reply_.size());
    platform::CloseSocket(fd);
  }
}

std::string CannedHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

std::vector<std::string> CannedHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

}  // namespace update_server
