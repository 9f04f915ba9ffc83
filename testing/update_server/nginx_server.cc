#include "testing/update_server/nginx_server.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/clock.h"
#include "platform/file_util.h"
#include "platform/net.h"

namespace update_server {
namespace {

constexpr const char* kNginxProgram = "/usr/sbin/nginx";
constexpr uint32_t kStartTimeoutMs = 10'000;
constexpr int kStartAttempts = 5;  // a port picked as free may be taken before nginx binds it

std::string Config(const std::string& prefix, const std::string& root, uint16_t port,
                   int slow_rate) {
  const std::string self = "http://127.0.0.1:" + std::to_string(port);
  std::ostringstream c;
  c << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
    << "pid " << prefix << "/nginx.pid;\n"
    << "error_log " << prefix << "/error.log warn;\n"
    << "events { worker_connections 512; }\n"
    << "http {\n"
    << "  log_format fixture '$status $request_method \"$uri\" \"$http_range\" "
       "$body_bytes_sent';\n"
    << "  access_log " << prefix << "/access.log fixture;\n"
    << "  client_body_temp_path " << prefix << "/tmp/body;\n"
    << "  proxy_temp_path " << prefix << "/tmp/proxy;\n"
    << "  fastcgi_temp_path " << prefix << "/tmp/fastcgi;\n"
    << "  uwsgi_temp_path " << prefix << "/tmp/uwsgi;\n"
    << "  scgi_temp_path " << prefix << "/tmp/scgi;\n"
    << "  default_type application/octet-stream;\n"
    << "  sendfile on;\n  tcp_nopush on;\n  keepalive_requests 100000;\n"
    << "  server {\n"
    << "    listen 127.0.0.1:" << port << ";\n"
    << "    server_name localhost;\n"
    << "    root " << root << ";\n"
    << "    location /noranges/ { alias " << root << "/; max_ranges 0; }\n"
    << "    location /nolastmod/ { proxy_pass " << self << "/; "
    << "proxy_hide_header Last-Modified; proxy_buffering off; }\n"
    << "    location /slow/ { alias " << root << "/; limit_rate " << slow_rate
    << "; }\n"
    // /stall/ trickles after the first bytes; /cut/ reads it with a short time-out, so the
    // client sees headers, part of the body and then a closed connection.
    << "    location /stall/ { alias " << root << "/; limit_rate_after " << kCutAfterBytes
    << "; limit_rate 1; }\n"
    << "    location /cut/ { proxy_pass " << self << "/stall/; proxy_read_timeout 300ms; "
    << "proxy_buffering off; }\n"
    << "    location /drop/ { return 444; }\n"
    << "    location /redirect/ { rewrite ^/redirect/(.*)$ /$1 redirect; }\n"
    << "    location /loop/ { rewrite ^/loop/(.*)$ /loop/$1 redirect; }\n"
    << "    location /notfound/ { return 404 \"<html><body>not found</body></html>\"; }\n"
    << "    location /error/ { return 500 \"<html><body>server error</body></html>\"; }\n"
    << "  }\n}\n";
  return c.str();
}

// Parses `200 GET "/p/update.cl" "bytes=0-1" 2`.
bool ParseLine(const std::string& line, HttpRequest* out) {
  std::istringstream in(line);
  std::string uri, range;
  if (!(in >> out->status >> out->method))
    return false;
  in >> std::ws;
  if (in.get() != '"' || !std::getline(in, uri, '"'))
    return false;
  in >> std::ws;
  if (in.get() != '"' || !std::getline(in, range, '"'))
    return false;
  if (!(in >> out->body_bytes))
    return false;
  out->uri = uri;
  out->range = range;
  return true;
}

}  // namespace

std::unique_ptr<NginxServer> NginxServer::Start(const Options& options, std::string* error) {
  std::unique_ptr<NginxServer> server(new NginxServer());
  if (server->folder_.path().empty()) {
    *error = "cannot create the server folder";
    return nullptr;
  }
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (server->Launch(options, error))
      return server;
  }
  return nullptr;
}

bool NginxServer::Launch(const Options& options, std::string* error) {
  const std::string prefix = folder_.path();
  int listener = platform::ListenOnLoopback(&port_);
  if (listener < 0) {
    *error = "no free loopback port";
    return false;
  }
  platform::CloseSocket(listener);
  if (!platform::MakeDirectories(prefix + "/tmp") ||
      !platform::WriteFileAtomic(prefix + "/nginx.conf",
                                 Config(prefix, options.doc_root, port_, options.slow_rate))) {
    *error = "cannot write the configuration";
    return false;
  }
  platform::LaunchOptions launch;
  launch.program = kNginxProgram;
  launch.args = {"-p", prefix + "/", "-e", prefix + "/error.log", "-c", prefix + "/nginx.conf"};
  process_ = platform::SystemProcessLauncher().Launch(launch, error);
  if (process_ == nullptr)
    return false;

  platform::Clock& clock = platform::SystemClock();
  const uint32_t start = clock.TickCount();
  while (platform::TicksSince(clock.TickCount(), start) < kStartTimeoutMs) {
    platform::ExitStatus status;
    if (process_->Wait(0, &status) == platform::WaitOutcome::kExited)
      break;
    int fd = platform::ConnectToLoopback(port_);
    if (fd >= 0) {
      platform::CloseSocket(fd);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string log;
  platform::ReadFile(prefix + "/error.log", &log);
  *error = "nginx did not start: " + log;
  process_->Terminate();
  platform::ExitStatus status;
  process_->Wait(kStartTimeoutMs, &status);
  process_.reset();
  return false;
}

NginxServer::~NginxServer() {
  if (process_ != nullptr) {
    process_->Terminate();
    platform::ExitStatus status;
    process_->Wait(kStartTimeoutMs, &status);
  }
}

std::string NginxServer::Url(std::string_view location) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(location);
}

std::vector<HttpRequest> NginxServer::Requests() const {
  std::vector<HttpRequest> requests;
  std::string log;
  if (!platform::ReadFile(folder_.path() + "/access.log", &log))
    return requests;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    HttpRequest request;
    if (ParseLine(line, &request))
      requests.push_back(request);
  }
  return requests;
}

}  // namespace update_server
