// An HTTP server on a free loopback port that answers every request with the same raw bytes,
// for replies no real server gives on demand (a range reply for other bytes, a 206 without its
// Content-Range). Each connection gets the reply and is closed. Runs one thread, joined when the
// object goes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace update_server {

class CannedHttpServer {
 public:
  // Null when no loopback port can be had.
  static std::unique_ptr<CannedHttpServer> Start(std::string reply);
  ~CannedHttpServer();

  // "http://127.0.0.1:<port>/" + path.
  std::string Url(const std::string& path = "") const;
  // The request heads received so far (request line and headers).
  std::vector<std::string> Requests() const;

 private:
  CannedHttpServer(int listener, uint16_t port, std::string reply);
  void Serve();

  const int listener_;
  const uint16_t port_;
  const std::string reply_;
  bool stopping_ = false;  // guarded by mutex_
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace update_server
