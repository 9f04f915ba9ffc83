// A real nginx on a free loopback port, serving a test's document root over HTTP, for the update
// engine's integration tests and benchmarks. It runs as the current user in a single process with
// its configuration, pid file, logs and temporary folders in a folder of its own, and is stopped
// by its pid when the object goes.
//
// Besides the plain root every fixture location below serves the same document root with one
// fault, so a test picks a failure by choosing the base URL:
//   Url(kNoRanges) + "p/update.cl"  answers a range request with the whole file (200)
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"
#include "testing/update_server/temp_folder.h"

namespace update_server {

inline constexpr std::string_view kPlain = "/";
inline constexpr std::string_view kNoRanges = "/noranges/";         // ranges ignored: 200 + all
inline constexpr std::string_view kNoLastModified = "/nolastmod/";  // no Last-Modified header
inline constexpr std::string_view kSlow = "/slow/";                 // sent at Options::slow_rate
inline constexpr std::string_view kCut = "/cut/";            // body cut off after kCutAfterBytes
inline constexpr std::string_view kDrop = "/drop/";          // connection closed without a reply
inline constexpr std::string_view kRedirect = "/redirect/";  // 302 to the same path under "/"
inline constexpr std::string_view kRedirectLoop = "/loop/";  // 302 to itself, for ever
inline constexpr std::string_view kNotFound = "/notfound/";  // 404 with an HTML page
inline constexpr std::string_view kServerError = "/error/";  // 500 with an HTML page

// The body of a kCut reply ends after this many bytes (then the connection closes).
inline constexpr int kCutAfterBytes = 4096;

// One line of the access log.
struct HttpRequest {
  int status = 0;
  std::string method;
  std::string uri;    // decoded path, as nginx matched it
  std::string range;  // the Range header, "-" when none
  int64_t body_bytes = 0;
};

class NginxServer {
 public:
  struct Options {
    std::string doc_root;  // required: the folder served at "/"
    int slow_rate = 1024;  // bytes per second at kSlow
  };

  // Starts nginx and waits until it accepts connections. Null with *error set when it cannot.
  static std::unique_ptr<NginxServer> Start(const Options& options, std::string* error);
  ~NginxServer();

  uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" + location, e.g. Url(kPlain) = "http://127.0.0.1:<port>/".
  std::string Url(std::string_view location = kPlain) const;

  // Every request answered so far, oldest first (nginx writes each line when it is done).
  std::vector<HttpRequest> Requests() const;

 private:
  NginxServer() = default;
  bool Launch(const Options& options, std::string* error);

  TempFolder folder_{"tarvix-nginx"};
  uint16_t port_ = 0;
  std::unique_ptr<platform::Process> process_;
};

}  // namespace update_server
