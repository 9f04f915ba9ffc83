// One libcurl easy handle for a whole update run, and the checks that decide whether a reply is a
// success: over HTTP only the status that answers the request (200, or 206 with the range that
// was asked for) counts, a range reply delivers exactly the bytes its Content-Range names, and no
// transfer may deliver more than the caller allows.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hall {

// How long a transfer may stall: below kLowSpeedLimit bytes per second for kLowSpeedTime seconds
// it is given up. There is no limit on a transfer's whole time, so large files get through slow
// lines.
struct TransferLimits {
  long connect_timeout_s = 15;
  long low_speed_limit = 5120;  // bytes per second
  long low_speed_time_s = 5;
  long max_redirects = 5;
  // libcurl's receive buffer: larger buffers mean fewer writes per file.
  long buffer_bytes = 256 * 1024;
};

struct TransferRequest {
  std::string url;
  // A byte range "first-" or "first-last", or empty for the whole file.
  std::string range;
  bool want_file_time = false;
  // More bytes than this make the transfer fail with CURLE_FILESIZE_EXCEEDED.
  int64_t max_bytes = 0;
  // Receives the body in order; returning false ends the transfer with CURLE_WRITE_ERROR.
  std::function<bool(std::string_view)> write;
  // Called with the bytes received so far; returning false ends it with
  // CURLE_ABORTED_BY_CALLBACK. May be empty.
  std::function<bool(int64_t received)> progress;
};

struct TransferResult {
  // CURLE_OK only for an accepted reply. Refusals of our own are reported as libcurl's codes:
  // CURLE_HTTP_RETURNED_ERROR (a status that is not the success asked for), CURLE_RANGE_ERROR
  // (a range reply for other bytes), CURLE_FILESIZE_EXCEEDED (more than max_bytes).
  CURLcode code = CURLE_OK;
  long status = 0;           // last HTTP status, 0 for FTP
  int64_t bytes = 0;         // body bytes delivered to `write`
  int64_t file_time = -1;    // seconds since 1970 when asked for and known
  bool whole_file = false;   // a range was asked for but the whole file came (HTTP 200)
  int64_t range_total = -1;  // the file's size from Content-Range, when given
};

class DownloadSession {
 public:
  DownloadSession() = default;
  ~DownloadSession();
  DownloadSession(const DownloadSession&) = delete;
  DownloadSession& operator=(const DownloadSession&) = delete;

  // Creates the handle and sets the options kept for the whole run. False when libcurl cannot
  // be initialised or refuses an option.
  bool Open(const TransferLimits& limits);

  // Performs one transfer. REQUIRES: Open succeeded.
  TransferResult Fetch(const TransferRequest& request);

 private:
  CURL* curl_ = nullptr;
};

// A Content-Range value as a range reply carries it: "bytes first-last/total", with "*" for a
// total the server does not know; blanks may stand around it. Null when the value is not of that
// form (no "bytes" unit, a number missing, signed or beyond 63 bits, anything after the total) or
// names no bytes of the file (last before first, or not before a known total).
struct ContentRange {
  int64_t first = 0;
  int64_t last = 0;
  int64_t total = -1;  // -1 for "*"
  bool operator==(const ContentRange&) const = default;
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// True when `url` begins with a scheme the engine may use for that role ("http://" or
// "https://" for the HTTP base, "ftp://" for the FTP base) and names a host: anything else, an
// empty base above all, would make libcurl guess a host from the file name.
bool IsUsableHttpBase(std::string_view url);
bool IsUsableFtpBase(std::string_view url);

}  // namespace hall
