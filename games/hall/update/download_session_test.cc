// Replies that real servers give only by accident (or by malice), from a canned server.
#include "games/hall/update/download_session.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "testing/update_server/canned_http_server.h"

namespace hall {
namespace {

using update_server::CannedHttpServer;

struct Fetched {
  TransferResult result;
  std::string body;
};

Fetched Fetch(const std::string& url, const std::string& range, int64_t max_bytes = 1000) {
  DownloadSession session;
  Fetched out;
  if (!session.Open(TransferLimits{})) {
    out.result.code = CURLE_FAILED_INIT;
    return out;
  }
  TransferRequest request;
  request.url = url;
  request.range = range;
  request.want_file_time = true;
  request.max_bytes = max_bytes;
  request.write = [&out](std::string_view data) {
    out.body.append(data);
    return true;
  };
  out.result = session.Fetch(request);
  return out;
}

std::string Reply(const std::string& status, const std::string& headers, const std::string& body,
                  bool with_length = true) {
  std::string reply = "HTTP/1.1 " + status + "\r\n" + headers;
  if (with_length)
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return reply + "Connection: close\r\n\r\n" + body;
}

TEST(DownloadSessionTest, OnlyTheReplyThatAnswersTheRequestIsTaken) {
  const struct {
    const char* name;
    std::string reply;
    std::string range;
    int64_t max_bytes;
    CURLcode code;
    std::string body;
  } cases[] = {
      {"range answered", Reply("206 Partial", "Content-Range: bytes 0-1/10\r\n", "ab"), "0-1", 1000,
       CURLE_OK, "ab"},
      {"open range answered", Reply("206 Partial", "Content-Range: bytes 2-9/10\r\n", "cdefghij"),
       "2-", 1000, CURLE_OK, "cdefghij"},
      {"whole file for a range", Reply("200 OK", "", "whole file"), "0-1", 1000, CURLE_OK,
       "whole file"},
      {"other bytes", Reply("206 Partial", "Content-Range: bytes 5-6/10\r\n", "fg"), "0-1", 1000,
       CURLE_RANGE_ERROR, ""},
      {"more than asked", Reply("206 Partial", "Content-Range: bytes 0-9/10\r\n", "abcdefghij"),
       "0-1", 1000, CURLE_RANGE_ERROR, ""},
      {"no Content-Range", Reply("206 Partial", "", "ab"), "0-1", 1000, CURLE_RANGE_ERROR, ""},
      {"Content-Range without a digit", Reply("206 Partial", "Content-Range: bytes\r\n", "ab"),
       "0-1", 1000, CURLE_RANGE_ERROR, ""},
      {"Content-Range without a unit", Reply("206 Partial", "Content-Range: 0-1/10\r\n", "ab"),
       "0-1", 1000, CURLE_RANGE_ERROR, ""},
      {"partial for a whole file", Reply("206 Partial", "Content-Range: bytes 0-1/10\r\n", "ab"),
       "", 1000, CURLE_HTTP_RETURNED_ERROR, ""},
      {"error page", Reply("404 Not Found", "", "<html>gone</html>"), "", 1000,
       CURLE_HTTP_RETURNED_ERROR, ""},
      {"error without body", Reply("500 Oops", "", ""), "", 1000, CURLE_HTTP_RETURNED_ERROR, ""},
      {"no content", Reply("204 No Content", "", ""), "", 1000, CURLE_HTTP_RETURNED_ERROR, ""},
      {"larger than allowed", Reply("200 OK", "", std::string(100, 'x')), "", 10,
       CURLE_FILESIZE_EXCEEDED, ""},
      {"cut short", Reply("200 OK", "Content-Length: 10\r\n", "abcd", false), "", 1000,
       CURLE_PARTIAL_FILE, "abcd"},
      {"redirect to a local file", Reply("302 Found", "Location: file:///etc/passwd\r\n", ""), "",
       1000, CURLE_UNSUPPORTED_PROTOCOL, ""},
      {"redirect to ftp", Reply("302 Found", "Location: ftp://127.0.0.1:1/x\r\n", ""), "", 1000,
       CURLE_UNSUPPORTED_PROTOCOL, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto server = CannedHttpServer::Start(c.reply);
    ASSERT_NE(server, nullptr);
    Fetched got = Fetch(server->Url("f"), c.range, c.max_bytes);
    EXPECT_EQ(got.result.code, c.code) << curl_easy_strerror(got.result.code);
    if (c.max_bytes == 10) {
      EXPECT_LE(got.body.size(), 10u);
    } else {
      EXPECT_EQ(got.body, c.body);
    }
  }
}

TEST(DownloadSessionTest, ReportsRangeTotalFileTimeAndWholeFile) {
  auto ranged = CannedHttpServer::Start(Reply(
      "206 Partial",
      "Content-Range: bytes 0-1/1234\r\nLast-Modified: Sat, 01 Jan 2000 00:00:00 GMT\r\n", "ab"));
  ASSERT_NE(ranged, nullptr);
  Fetched got = Fetch(ranged->Url("update.cl"), "0-1");
  ASSERT_EQ(got.result.code, CURLE_OK);
  EXPECT_EQ(got.result.status, 206);
  EXPECT_EQ(got.result.range_total, 1234);
  EXPECT_EQ(got.result.file_time, 946'684'800);
  EXPECT_FALSE(got.result.whole_file);
  EXPECT_EQ(got.result.bytes, 2);
  ASSERT_EQ(ranged->Requests().size(), 1u);
  EXPECT_NE(ranged->Requests()[0].find("Range: bytes=0-1"), std::string::npos);

  auto whole = CannedHttpServer::Start(Reply("200 OK", "", "all of it"));
  ASSERT_NE(whole, nullptr);
  got = Fetch(whole->Url("update.cl"), "0-1");
  ASSERT_EQ(got.result.code, CURLE_OK);
  EXPECT_TRUE(got.result.whole_file);
  EXPECT_EQ(got.result.file_time, -1);  // no Last-Modified
}

TEST(DownloadSessionTest, FollowsRedirectsToTheFinalReply) {
  auto target = CannedHttpServer::Start(Reply("200 OK", "", "moved body"));
  ASSERT_NE(target, nullptr);
  auto first = CannedHttpServer::Start(
      Reply("302 Found", "Location: " + target->Url("real") + "\r\n", "<html>moved</html>"));
  ASSERT_NE(first, nullptr);
  Fetched got = Fetch(first->Url("f"), "");
  EXPECT_EQ(got.result.code, CURLE_OK);
  EXPECT_EQ(got.result.status, 200);
  EXPECT_EQ(got.body, "moved body");
}

TEST(DownloadSessionTest, RangeRepliesCarryExactlyTheAskedBytesTheFileHas) {
  const struct {
    const char* name;
    std::string reply;
    std::string range;
    CURLcode code;
    std::string body;
  } cases[] = {
      {"a prefix of the asked bytes of a larger file",
       Reply("206 Partial", "Content-Range: bytes 0-0/500\r\n", "a"), "0-1", CURLE_RANGE_ERROR, ""},
      {"the asked bytes the file has", Reply("206 Partial", "Content-Range: bytes 0-0/1\r\n", "a"),
       "0-1", CURLE_OK, "a"},
      {"an open range that stops before the end",
       Reply("206 Partial", "Content-Range: bytes 2-5/10\r\n", "cdef"), "2-", CURLE_RANGE_ERROR,
       ""},
      {"an open range of unknown total",
       Reply("206 Partial", "Content-Range: bytes 2-5/*\r\n", "cdef"), "2-", CURLE_OK, "cdef"},
      {"a body longer than its range",
       Reply("206 Partial", "Content-Range: bytes 0-1/10\r\n", "abcde"), "0-1", CURLE_RANGE_ERROR,
       ""},
      {"a body shorter than its range, no length",
       Reply("206 Partial", "Content-Range: bytes 0-1/10\r\n", "a", false), "0-1",
       CURLE_PARTIAL_FILE, "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto server = CannedHttpServer::Start(c.reply);
    ASSERT_NE(server, nullptr);
    Fetched got = Fetch(server->Url("f"), c.range);
    EXPECT_EQ(got.result.code, c.code) << curl_easy_strerror(got.result.code);
    EXPECT_EQ(got.body, c.body);
  }
}

TEST(DownloadSessionTest, ContentRangeValues) {
  const struct {
    const char* value;
    std::optional<ContentRange> range;
  } cases[] = {
      {"bytes 0-1/10", ContentRange{0, 1, 10}},
      {"  BYTES\t2-9/*  ", ContentRange{2, 9, -1}},
      {"bytes 9223372036854775806-9223372036854775806/9223372036854775807",
       ContentRange{9223372036854775806, 9223372036854775806, 9223372036854775807}},
      {"bytes", std::nullopt},
      {"bytes ", std::nullopt},
      {"bytes */10", std::nullopt},
      {"0-1/10", std::nullopt},
      {"bytes0-1/10", std::nullopt},
      {"items 0-1/10", std::nullopt},
      {"bytes 0-1", std::nullopt},
      {"bytes 0-1/", std::nullopt},
      {"bytes -1-1/10", std::nullopt},
      {"bytes 0--1/10", std::nullopt},
      {"bytes 0-1/-5", std::nullopt},
      {"bytes 0-1/10x", std::nullopt},
      {"bytes 5-3/10", std::nullopt},
      {"bytes 0-10/10", std::nullopt},
      {"bytes 0-1/9223372036854775808", std::nullopt},
  };
  for (const auto& c : cases) {
    // The value in a buffer of its own size, so a read before or past it is a sanitizer fault.
    const std::string_view text(c.value);
    std::vector<char> exact(text.begin(), text.end());
    EXPECT_EQ(ParseContentRange(std::string_view(exact.data(), exact.size())), c.range) << c.value;
  }
}

TEST(DownloadSessionTest, UsableBases) {
  const struct {
    const char* url;
    bool http, ftp;
  } cases[] = {
      {"http://h/Tarvix/", true, false}, {"HTTPS://h/", true, false},  {"ftp://h/p/", false, true},
      {"Tarvix/", false, false},         {"", false, false},           {"http:///p/", false, false},
      {"http://", false, false},         {"file:///x/", false, false}, {"ftps://h/", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsUsableHttpBase(c.url), c.http) << c.url;
    EXPECT_EQ(IsUsableFtpBase(c.url), c.ftp) << c.url;
  }
}

}  // namespace
}  // namespace hall
