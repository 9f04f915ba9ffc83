#include "testing/update_server/ftp_server.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/clock.h"
#include "platform/file_util.h"

namespace update_server {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr uint32_t kStartTimeoutMs = 15'000;

// argv: root, port file, retrieval log. The port is written to a temporary name and renamed, so
// the fixture never reads half a number.
constexpr const char* kScript = R"PY(
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, port_file, log_file = sys.argv[1], sys.argv[2], sys.argv[3]
logging.basicConfig(level=logging.ERROR)

def note(handler, path, suffix):
    rel = os.path.relpath(path, root).replace(os.sep, "/")
    with open(log_file, "a") as f:
        f.write(rel + suffix + "\n")

class Handler(FTPHandler):
    def on_file_sent(self, file):
        note(self, file, "")
    def on_incomplete_file_sent(self, file):
        note(self, file, " incomplete")

authorizer = DummyAuthorizer()
authorizer.add_anonymous(root)
Handler.authorizer = authorizer
Handler.banner = "fixture ready"
server = FTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
)PY";

}  // namespace

std::unique_ptr<FtpServer> FtpServer::Start(const std::string& root, std::string* error) {
  std::unique_ptr<FtpServer> server(new FtpServer());
  const std::string folder = server->folder_.path();
  if (folder.empty() || !platform::WriteFileAtomic(folder + "/ftp_server.py", kScript)) {
    *error = "cannot write the server script";
    return nullptr;
  }
  platform::LaunchOptions launch;
  launch.program = kPython;
  launch.args = {folder + "/ftp_server.py", root, folder + "/port", folder + "/retrievals.log"};
  server->process_ = platform::SystemProcessLauncher().Launch(launch, error);
  if (server->process_ == nullptr)
    return nullptr;

  platform::Clock& clock = platform::SystemClock();
  const uint32_t start = clock.TickCount();
  while (platform::TicksSince(clock.TickCount(), start) < kStartTimeoutMs) {
    std::string port;
    if (platform::ReadFile(folder + "/port", &port) && !port.empty()) {
      server->port_ = static_cast<uint16_t>(std::stoi(port));
      return server;
    }
    platform::ExitStatus status;
    if (server->process_->Wait(0, &status) == platform::WaitOutcome::kExited)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  *error = "the FTP server did not start";
  return nullptr;  // the destructor stops it
}

FtpServer::~FtpServer() {
  if (process_ != nullptr) {
    process_->Terminate();
    platform::ExitStatus status;
    process_->Wait(kStartTimeoutMs, &status);
  }
}

std::string FtpServer::Url(const std::string& path) const {
  return "ftp://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

std::vector<std::string> FtpServer::Retrievals() const {
  std::vector<std::string> out;
  std::string log;
  if (!platform::ReadFile(folder_.path() + "/retrievals.log", &log))
    return out;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line))
    out.push_back(line);
  return out;
}

}  // namespace update_server
