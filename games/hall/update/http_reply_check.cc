#include "games/hall/update/http_reply_check.h"

#include <curl/curl.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "games/hall/text/printable.h"
#include "games/hall/update/download_session.h"
#include "platform/net.h"

namespace hall {
namespace {

// More than this stays out of the reply: larger replies add time, not cases.
constexpr size_t kMaxReplyBytes = 32 * 1024;
constexpr int64_t kLargeAllowance = 1 << 20;

struct Request {
  std::string range;
  int64_t first = -1;           // the asked first byte, -1 without a range
  std::optional<int64_t> last;  // the asked last byte of a closed range
  bool want_file_time = false;
  bool described = false;  // the reply is built from a description
  int64_t max_bytes = 0;
};

Request ReadRequest(unsigned char pick, unsigned char allowance) {
  Request r;
  switch (pick & 3) {
    case 1:
      r.range = "0-1", r.first = 0, r.last = 1;
      break;
    case 2:
      r.range = "2-", r.first = 2;
      break;
    case 3:
      r.range = "3-7", r.first = 3, r.last = 7;
      break;
    default:
      break;
  }
  r.want_file_time = (pick & 4) != 0;
  r.described = (pick & 8) != 0;
  r.max_bytes = allowance == 255 ? kLargeAllowance : allowance;
  return r;
}

struct Fetched {
  TransferResult result;
  std::string body;
  std::string failure;  // the fetch itself could not be set up
};

// A loopback server that gives the first connection of each fetch the reply it holds and then
// ends its sending; later connections of the same fetch are refused, so a redirect back to it
// fails instead of reading the same reply again. One thread for the life of the process, joined
// when it ends; connections end with a reset so that no fetch leaves a TIME_WAIT behind.
class ReplyServer {
 public:
  // Null when no loopback port can be had.
  static ReplyServer* Get() {
    static ReplyServer server;
    return server.listener_ >= 0 ? &server : nullptr;
  }

  ~ReplyServer() {
    if (listener_ < 0)
      return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    platform::CloseSocket(platform::ConnectToLoopback(port_));  // wakes the accept
    thread_.join();
    platform::CloseSocket(listener_);
  }

  uint16_t port() const { return port_; }

  void Arm(std::string_view reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    reply_.assign(reply);
    armed_ = true;
  }

  // After the fetch: ends what it was served on.
  void Disarm() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
    for (int fd : connections_)
      platform::CloseSocket(fd, /*reset=*/true);
    connections_.clear();
    armed_ = served_ = false;
  }

 private:
  ReplyServer() {
    listener_ = platform::ListenOnLoopback(&port_);
    if (listener_ >= 0)
      thread_ = std::thread([this] { Serve(); });
  }

  void Serve() {
    for (;;) {
      const int fd = platform::AcceptConnection(listener_);
      std::string reply;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
          platform::CloseSocket(fd);
          return;
        }
        if (fd < 0)
          continue;
        if (!armed_ || served_) {
          platform::CloseSocket(fd, /*reset=*/true);
          continue;
        }
        served_ = busy_ = true;
        reply = reply_;
      }
      platform::WriteAll(fd, reply.data(), reply.size());  // fails once the client has gone
      platform::EndSending(fd);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.push_back(fd);
        busy_ = false;
      }
      idle_.notify_all();
    }
  }

  int listener_ = -1;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable idle_;
  std::string reply_;             // guarded by mutex_
  bool armed_ = false;            // guarded by mutex_
  bool served_ = false;           // guarded by mutex_: this fetch's reply went out
  bool busy_ = false;             // guarded by mutex_: a reply is being written
  bool stopping_ = false;         // guarded by mutex_
  std::vector<int> connections_;  // guarded by mutex_
  std::thread thread_;
};

// Fetches the request from the reply server holding `reply`.
Fetched FetchFromServer(const Request& request, std::string_view reply) {
  Fetched out;
  ReplyServer* server = ReplyServer::Get();
  if (server == nullptr) {
    out.failure = "no loopback port for the reply server";
    return out;
  }
  server->Arm(reply);
  {
    DownloadSession session;
    if (!session.Open(TransferLimits{})) {
      out.failure = "the session did not open";
    } else {
      TransferRequest transfer;
      transfer.url = "http://127.0.0.1:" + std::to_string(server->port()) + "/update.cl";
      transfer.range = request.range;
      transfer.want_file_time = request.want_file_time;
      transfer.max_bytes = request.max_bytes;
      transfer.write = [&out](std::string_view data) {
        out.body.append(data);
        return true;
      };
      out.result = session.Fetch(transfer);
    }
  }  // closes libcurl's end of the connection
  server->Disarm();
  return out;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  if (word.size() > text.size())
    return false;
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size()) {
      char c = text[i + k];
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
      if (c != word[k])
        break;
      ++k;
    }
    if (k == word.size())
      return true;
  }
  return false;
}

// Every Content-Range value in the raw reply that names a range.
std::vector<ContentRange> ContentRangesIn(std::string_view reply) {
  std::vector<ContentRange> out;
  size_t start = 0;
  while (start < reply.size()) {
    size_t end = reply.find('\n', start);
    if (end == std::string_view::npos)
      end = reply.size();
    std::string_view line = reply.substr(start, end - start);
    while (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    constexpr std::string_view kName = "content-range:";
    if (line.size() >= kName.size() && ContainsNoCase(line.substr(0, kName.size()), kName)) {
      if (auto range = ParseContentRange(line.substr(kName.size())))
        out.push_back(*range);
    }
    start = end + 1;
  }
  return out;
}

std::string Summary(const Request& request, std::string_view reply, const Fetched& got) {
  return " (range \"" + request.range + "\", at most " + std::to_string(request.max_bytes) +
         " bytes; code " + std::to_string(got.result.code) + ", status " +
         std::to_string(got.result.status) + ", " + std::to_string(got.result.bytes) +
         " bytes; reply \"" + Printable(reply) + "\")";
}

// What holds for any reply, whatever its bytes.
std::string CheckRawReply(const Request& request, std::string_view reply, const Fetched& got) {
  const TransferResult& r = got.result;
  if (static_cast<int64_t>(got.body.size()) != r.bytes)
    return "the bytes reported are not the bytes delivered";
  if (r.bytes > request.max_bytes)
    return "more body bytes than allowed";
  if (r.bytes > 0 || r.code == CURLE_OK) {
    if (r.status != 200 && r.status != 206)
      return "a body taken from a reply that is neither 200 nor 206";
    if (r.status == 206 && request.first < 0)
      return "a partial reply taken for a whole file";
  }
  if (r.code == CURLE_OK && r.status == 206) {
    bool named = false;
    for (const ContentRange& range : ContentRangesIn(reply)) {
      if (range.first == request.first && range.last - range.first + 1 == r.bytes &&
          (!request.last || range.last <= *request.last)) {
        named = true;
      }
    }
    if (!named)
      return "a partial reply taken without a Content-Range that names the asked bytes it carries";
  }
  if (r.whole_file && (request.first < 0 || r.status != 200))
    return "a whole file reported for a reply that is not a 200 to a range request";
  if (r.range_total >= 0 && !ContainsNoCase(reply, "content-range"))
    return "a range total without a Content-Range";
  if (r.file_time >= 0 && (!request.want_file_time || !ContainsNoCase(reply, "last-modified")))
    return "a file time without a Last-Modified, or not asked for";
  return "";
}

// A reply built from a description, and what the rules make of it.
struct Described {
  std::string reply;
  CURLcode code = CURLE_OK;
  CURLcode other_code = CURLE_OK;  // the other acceptable code when two limits are exceeded
  std::string body;                // what must be delivered (a prefix, when cut by a limit)
  bool body_is_prefix = false;
  long status = 0;
  int64_t file_time = -1;
  int64_t range_total = -1;
};

constexpr long kStatuses[] = {200, 206, 204, 301, 404, 416, 500, 203, 299, 206, 200, 206};

std::string HttpDate(uint32_t seconds) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const time_t t = seconds;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::snprintf(text, sizeof(text), "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday],
                tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return text;
}

// The description: status pick, Content-Range pick and its three numbers, Last-Modified pick and
// its seconds (four bytes), then the body.
Described Describe(const Request& request, std::string_view input) {
  auto take = [&input]() -> unsigned char {
    if (input.empty())
      return 0;
    const auto c = static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
    return c;
  };
  const unsigned char status_pick = take();
  const unsigned char range_pick = take();
  const unsigned char range_first = take(), range_count = take(), range_total = take();
  const unsigned char time_pick = take();
  uint32_t seconds = 0;
  for (int i = 0; i < 4; ++i)
    seconds = seconds << 8 | take();
  const std::string body(input.substr(0, kMaxReplyBytes / 2));

  Described d;
  d.status = kStatuses[(status_pick & 0x0F) % std::size(kStatuses)];
  const bool http10 = (status_pick & 0x10) != 0;
  const bool continue_first = (status_pick & 0x20) != 0;
  const bool chunked = !http10 && (status_pick & 0x40) != 0;

  // Content-Range: none, or "bytes F-L/T" near the asked range (F is the asked first byte for
  // most picks), T "*" or a size that may or may not hold L.
  std::optional<ContentRange> range;
  std::string range_text;
  if ((range_pick & 3) != 0) {
    ContentRange named;
    named.first = std::max<int64_t>(request.first, 0) + ((range_pick & 3) == 3 ? range_first : 0);
    named.last = named.first + range_count - ((range_pick & 4) != 0 ? 1 : 0) - 1;
    named.total = (range_pick & 8) != 0 ? -1 : named.first + range_total;
    range_text = "bytes " + std::to_string(named.first) + "-" + std::to_string(named.last) + "/" +
                 (named.total < 0 ? std::string("*") : std::to_string(named.total));
    if (named.last >= named.first && (named.total < 0 || named.last < named.total))
      range = named;
  }

  std::string head = http10 ? "HTTP/1.0 " : "HTTP/1.1 ";
  head += std::to_string(d.status) + " Status\r\n";
  if (!range_text.empty())
    head += "Content-Range: " + range_text + "\r\n";
  if (time_pick & 1) {
    head += "Last-Modified: " + HttpDate(seconds) + "\r\n";
    if (request.want_file_time)
      d.file_time = seconds;
  }
  head += chunked ? "Transfer-Encoding: chunked\r\n"
                  : "Content-Length: " + std::to_string(body.size()) + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (continue_first)
    d.reply = "HTTP/1.1 100 Continue\r\n\r\n";
  d.reply += head;
  if (chunked) {
    // Chunks of the sizes the description's bytes give, then the last chunk.
    size_t at = 0, step = 1 + range_first % 7;
    while (at < body.size()) {
      const size_t n = std::min(step, body.size() - at);
      char size_line[32];
      std::snprintf(size_line, sizeof(size_line), "%zx\r\n", n);
      d.reply += size_line;
      d.reply.append(body, at, n);
      d.reply += "\r\n";
      at += n;
      step = step * 3 + 1;
    }
    d.reply += "0\r\n\r\n";
  } else {
    d.reply += body;
  }
  if (range)
    d.range_total = range->total;

  // The verdict on the status and range.
  CURLcode verdict = CURLE_OK;
  const bool partial = d.status == 206;
  if (request.first < 0) {
    verdict = d.status == 200 ? CURLE_OK : CURLE_HTTP_RETURNED_ERROR;
  } else if (d.status == 200) {
    verdict = CURLE_OK;
  } else if (!partial) {
    verdict = CURLE_HTTP_RETURNED_ERROR;
  } else if (!range || range->first != request.first ||
             (request.last && range->last > *request.last)) {
    verdict = CURLE_RANGE_ERROR;
  } else if (range->total >= 0 &&
             range->last != std::min(request.last.value_or(INT64_MAX), range->total - 1)) {
    verdict = CURLE_RANGE_ERROR;
  }
  if (verdict != CURLE_OK) {
    d.code = d.other_code = verdict;
    return d;
  }

  // The body-size rules of an accepted reply.
  const int64_t length = static_cast<int64_t>(body.size());
  const int64_t range_length = partial ? range->last - range->first + 1 : INT64_MAX;
  const bool over_allowance = length > request.max_bytes;
  const bool over_range = length > range_length;
  if (over_allowance || over_range) {
    d.code = over_allowance ? CURLE_FILESIZE_EXCEEDED : CURLE_RANGE_ERROR;
    d.other_code = over_range ? CURLE_RANGE_ERROR : CURLE_FILESIZE_EXCEEDED;
    d.body = body.substr(0, static_cast<size_t>(std::min(request.max_bytes, range_length)));
    d.body_is_prefix = true;
  } else {
    d.code = d.other_code = length < range_length && partial ? CURLE_PARTIAL_FILE : CURLE_OK;
    d.body = body;
  }
  return d;
}

std::string CheckDescribedReply(const Request& request, const Described& want, const Fetched& got) {
  const TransferResult& r = got.result;
  if (r.code != want.code && r.code != want.other_code) {
    return "code " + std::to_string(r.code) + " where the rules give " + std::to_string(want.code);
  }
  const bool body_ok = want.body_is_prefix
                           ? got.body.size() <= want.body.size() &&
                                 want.body.compare(0, got.body.size(), got.body) == 0
                           : got.body == want.body;
  if (!body_ok)
    return "the body delivered is not the reply's";
  if (r.status != want.status)
    return "status " + std::to_string(r.status) + " for " + std::to_string(want.status);
  if (r.whole_file != (request.first >= 0 && want.status == 200))
    return "whole_file wrong";
  if (r.range_total != want.range_total)
    return "range total " + std::to_string(r.range_total) + " for " +
           std::to_string(want.range_total);
  // libcurl reads the file time of other replies as it sees fit; the engine uses only these.
  const bool success = want.status == 200 || want.status == 206;
  if (r.file_time != want.file_time && (success || r.file_time != -1))
    return "file time " + std::to_string(r.file_time) + " for " + std::to_string(want.file_time);
  return "";
}

}  // namespace

std::string CheckHttpReply(std::string_view input) {
  if (input.size() < 2)
    return "";
  const Request request =
      ReadRequest(static_cast<unsigned char>(input[0]), static_cast<unsigned char>(input[1]));
  input.remove_prefix(2);

  std::optional<Described> described;
  std::string_view reply = input.substr(0, kMaxReplyBytes);
  if (request.described) {
    described = Describe(request, input);
    reply = described->reply;
  }
  const Fetched got = FetchFromServer(request, reply);
  if (!got.failure.empty())
    return got.failure;
  std::string failure = CheckRawReply(request, reply, got);
  if (failure.empty() && described)
    failure = CheckDescribedReply(request, *described, got);
  return failure.empty() ? "" : failure + Summary(request, reply, got);
}

}  // namespace hall
