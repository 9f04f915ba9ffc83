// A real FTP server (pyftpdlib under /usr/bin/python3) on a free loopback port, serving a test's
// folder read-only to anonymous users, stopped by its pid when the object goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "testing/update_server/temp_folder.h"

namespace update_server {

class FtpServer {
 public:
  // Starts the server on `root` and waits until it listens. Null with *error set when it cannot.
  static std::unique_ptr<FtpServer> Start(const std::string& root, std::string* error);
  ~FtpServer();

  uint16_t port() const { return port_; }
  // "ftp://127.0.0.1:<port>/" + path.
  std::string Url(const std::string& path = "") const;

  // Paths (relative to the root, '/' separated) of every download, oldest first, with
  // " incomplete" appended to one that was broken off.
  std::vector<std::string> Retrievals() const;

 private:
  FtpServer() = default;

  TempFolder folder_{"tarvix-ftp"};
  uint16_t port_ = 0;
  std::unique_ptr<platform::Process> process_;
};

}  // namespace update_server
