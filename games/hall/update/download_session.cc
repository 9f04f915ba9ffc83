#include "games/hall/update/download_session.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace hall {
namespace {

struct ByteRange {
  int64_t first = 0;
  std::optional<int64_t> last;
};

std::optional<ByteRange> ParseRequestRange(std::string_view range) {
  ByteRange out;
  const size_t dash = range.find('-');
  if (dash == std::string_view::npos)
    return std::nullopt;
  const auto [p, e] = std::from_chars(range.data(), range.data() + dash, out.first);
  if (e != std::errc() || p != range.data() + dash)
    return std::nullopt;
  if (dash + 1 < range.size()) {
    int64_t last = 0;
    const auto [q, f] = std::from_chars(range.data() + dash + 1, range.data() + range.size(), last);
    if (f != std::errc() || q != range.data() + range.size())
      return std::nullopt;
    out.last = last;
  }
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size())
    return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i])
      return false;
  }
  return true;
}

bool HasHostAfter(std::string_view url, size_t scheme_length) {
  return url.size() > scheme_length && url[scheme_length] != '/';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// An unsigned decimal number at the start of `*text`, which loses it. False when there is no digit
// or the number does not fit.
bool TakeNumber(std::string_view* text, int64_t* value) {
  if (text->empty() || (*text)[0] < '0' || (*text)[0] > '9')
    return false;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), *value);
  if (error != std::errc())
    return false;
  text->remove_prefix(static_cast<size_t>(end - text->data()));
  return true;
}

bool TakeChar(std::string_view* text, char c) {
  if (text->empty() || (*text)[0] != c)
    return false;
  text->remove_prefix(1);
  return true;
}

// What one Fetch learns while libcurl runs; reset for every response of a redirect chain.
struct FetchState {
  const TransferRequest* request = nullptr;
  std::optional<ByteRange> asked;
  bool http = false;
  long status = 0;
  bool has_content_range = false;
  std::optional<ContentRange> range;  // the Content-Range, when it could be read
  int64_t bytes = 0;
  CURLcode refusal = CURLE_OK;  // why we stopped the transfer ourselves
  bool checked = false;         // the final response's status and range were accepted

  void ParseContentRangeHeader(std::string_view value) {
    has_content_range = true;
    range = ParseContentRange(value);
  }

  // True when the final response is a range reply whose body is the bytes it names.
  bool IsRangeReply() const { return http && status == 206 && range.has_value(); }
  int64_t RangeLength() const { return range->last - range->first + 1; }

  // The final response's verdict: CURLE_OK to take its body.
  CURLcode Verdict() const {
    if (!http)
      return CURLE_OK;  // FTP reports its own failures
    if (!asked)
      return status == 200 ? CURLE_OK : CURLE_HTTP_RETURNED_ERROR;
    if (status == 200)
      return CURLE_OK;  // the whole file, which the caller can use
    if (status != 206)
      return CURLE_HTTP_RETURNED_ERROR;
    if (!has_content_range || !range || range->first != asked->first)
      return CURLE_RANGE_ERROR;
    if (asked->last && range->last > *asked->last)
      return CURLE_RANGE_ERROR;
    // A server that knows the file's size sends every asked byte the file has: fewer would pass
    // a prefix off as the whole (the probe of a check-list takes a short reply as the whole list).
    if (range->total >= 0) {
      const int64_t file_last = range->total - 1;
      const int64_t want_last = asked->last ? std::min(*asked->last, file_last) : file_last;
      if (range->last != want_last)
        return CURLE_RANGE_ERROR;
    }
    return CURLE_OK;
  }
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* state = static_cast<FetchState*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.remove_suffix(1);
  if (StartsWithNoCase(line, "http/")) {
    // A new response (after a redirect): forget what the previous one said.
    state->http = true;
    state->has_content_range = false;
    state->range.reset();
    const size_t blank = line.find(' ');
    long status = 0;
    if (blank != std::string_view::npos) {
      std::from_chars(line.data() + blank + 1, line.data() + line.size(), status);
    }
    state->status = status;
  } else if (StartsWithNoCase(line, "content-range:")) {
    state->ParseContentRangeHeader(line.substr(14));
  }
  return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* state = static_cast<FetchState*>(user);
  const size_t length = size * count;
  if (!state->checked) {
    // The body of an error page or of the wrong range must not reach the file.
    state->refusal = state->Verdict();
    if (state->refusal != CURLE_OK)
      return 0;
    state->checked = true;
  }
  if (state->bytes + static_cast<int64_t>(length) > state->request->max_bytes) {
    state->refusal = CURLE_FILESIZE_EXCEEDED;
    return 0;
  }
  // A range reply carries the bytes its Content-Range names and no more.
  if (state->IsRangeReply() && state->bytes + static_cast<int64_t>(length) > state->RangeLength()) {
    state->refusal = CURLE_RANGE_ERROR;
    return 0;
  }
  if (!state->request->write(std::string_view(data, length))) {
    state->refusal = CURLE_WRITE_ERROR;
    return 0;
  }
  state->bytes += static_cast<int64_t>(length);
  return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  auto* state = static_cast<FetchState*>(user);
  if (!state->request->progress)
    return 0;
  return state->request->progress(static_cast<int64_t>(received)) ? 0 : 1;
}

}  // namespace

DownloadSession::~DownloadSession() {
  if (curl_ != nullptr)
    curl_easy_cleanup(curl_);
}

bool DownloadSession::Open(const TransferLimits& limits) {
  curl_ = curl_easy_init();
  if (curl_ == nullptr)
    return false;
  return curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_s) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, limits.low_speed_limit) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, limits.low_speed_time_s) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_AUTOREFERER, 1L) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, limits.max_redirects) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, limits.buffer_bytes) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https,ftp") == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_FTP_USE_EPSV, 0L) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, OnHeader) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, OnBody) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, OnProgress) == CURLE_OK &&
         curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
}

TransferResult DownloadSession::Fetch(const TransferRequest& request) {
  TransferResult result;
  FetchState state;
  state.request = &request;
  if (!request.range.empty()) {
    state.asked = ParseRequestRange(request.range);
    if (!state.asked) {
      result.code = CURLE_RANGE_ERROR;
      return result;
    }
  }
  if (curl_easy_setopt(curl_, CURLOPT_URL, request.url.c_str()) != CURLE_OK ||
      curl_easy_setopt(curl_, CURLOPT_RANGE,
                       request.range.empty() ? nullptr : request.range.c_str()) != CURLE_OK ||
      curl_easy_setopt(curl_, CURLOPT_FILETIME, request.want_file_time ? 1L : 0L) != CURLE_OK ||
      curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &state) != CURLE_OK ||
      curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &state) != CURLE_OK ||
      curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, &state) != CURLE_OK) {
    result.code = CURLE_BAD_FUNCTION_ARGUMENT;
    return result;
  }
  CURLcode code = curl_easy_perform(curl_);
  if (state.refusal != CURLE_OK) {
    code = state.refusal;
  } else if (code == CURLE_OK && !state.checked) {
    code = state.Verdict();  // an empty body: the status still decides
  }
  if (code == CURLE_OK && state.IsRangeReply() && state.bytes != state.RangeLength())
    code = CURLE_PARTIAL_FILE;  // the connection ended before the range did
  // A server that ignored the byte range of an FTP request shows it by sending more.
  if (code == CURLE_OK && !state.http && state.asked && state.asked->last &&
      state.bytes > *state.asked->last - state.asked->first + 1) {
    code = CURLE_RANGE_ERROR;
  }
  result.code = code;
  result.status = state.http ? state.status : 0;
  result.bytes = state.bytes;
  result.whole_file = state.http && state.asked && state.status == 200;
  result.range_total = state.range ? state.range->total : -1;
  if (request.want_file_time) {
    curl_off_t time = -1;
    if (curl_easy_getinfo(curl_, CURLINFO_FILETIME_T, &time) == CURLE_OK)
      result.file_time = time;
  }
  return result;
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  value = TrimBlanks(value);
  if (!StartsWithNoCase(value, "bytes"))
    return std::nullopt;
  value.remove_prefix(5);
  if (value.empty() || !IsBlank(value[0]))
    return std::nullopt;
  value = TrimBlanks(value);
  ContentRange out;
  if (!TakeNumber(&value, &out.first) || !TakeChar(&value, '-') || !TakeNumber(&value, &out.last) ||
      !TakeChar(&value, '/')) {
    return std::nullopt;
  }
  if (!TakeChar(&value, '*') && !TakeNumber(&value, &out.total))
    return std::nullopt;
  if (!value.empty() || out.last < out.first || (out.total >= 0 && out.last >= out.total))
    return std::nullopt;
  return out;
}

bool IsUsableHttpBase(std::string_view url) {
  if (StartsWithNoCase(url, "http://"))
    return HasHostAfter(url, 7);
  if (StartsWithNoCase(url, "https://"))
    return HasHostAfter(url, 8);
  return false;
}

bool IsUsableFtpBase(std::string_view url) {
  return StartsWithNoCase(url, "ftp://") && HasHostAfter(url, 6);
}

}  // namespace hall
