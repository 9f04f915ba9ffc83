// The fixtures must really produce the faults the update tests rely on; each row is checked with
// a plain libcurl request.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

#include "testing/update_server/ftp_server.h"
#include "testing/update_server/nginx_server.h"
#include "testing/update_server/temp_folder.h"

namespace update_server {
namespace {

struct Reply {
  CURLcode code = CURLE_OK;
  long status = 0;
  long filetime = -1;
  std::string body;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

Reply Fetch(const std::string& url, const char* range = nullptr, bool follow = false) {
  Reply reply;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  if (range != nullptr)
    curl_easy_setopt(curl, CURLOPT_RANGE, range);
  reply.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_easy_getinfo(curl, CURLINFO_FILETIME, &reply.filetime);
  curl_easy_cleanup(curl);
  return reply;
}

class FixtureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PutFile(root_.path(), "p/small.txt", "0123456789", kTime));
    big_.assign(3 * kCutAfterBytes, 'x');
    ASSERT_TRUE(PutFile(root_.path(), "p/big.bin", big_, kTime));
  }
  static constexpr int64_t kTime = 1'600'000'000;
  TempFolder root_{"fixture-root"};
  std::string big_;
};

TEST_F(FixtureTest, EveryNginxLocationGivesItsFault) {
  std::string error;
  auto nginx = NginxServer::Start({root_.path(), 4096}, &error);
  ASSERT_NE(nginx, nullptr) << error;

  struct Case {
    std::string_view location;
    const char* file;
    const char* range;
    bool follow;
    CURLcode code;
    long status;
    long filetime;
    const char* body;  // null: not compared
  } cases[] = {
      {kPlain, "small.txt", "0-1", false, CURLE_OK, 206, kTime, "01"},
      {kPlain, "small.txt", nullptr, false, CURLE_OK, 200, kTime, "0123456789"},
      {kNoRanges, "small.txt", "0-1", false, CURLE_OK, 200, kTime, "0123456789"},
      {kNoLastModified, "small.txt", "2-", false, CURLE_OK, 206, -1, "23456789"},
      {kSlow, "small.txt", nullptr, false, CURLE_OK, 200, kTime, "0123456789"},
      {kRedirect, "small.txt", nullptr, false, CURLE_OK, 302, -1, nullptr},
      {kRedirect, "small.txt", nullptr, true, CURLE_OK, 200, kTime, "0123456789"},
      {kRedirectLoop, "small.txt", nullptr, true, CURLE_TOO_MANY_REDIRECTS, 302, -1, nullptr},
      {kNotFound, "small.txt", nullptr, false, CURLE_OK, 404, -1, nullptr},
      {kServerError, "small.txt", nullptr, false, CURLE_OK, 500, -1, nullptr},
      {kDrop, "small.txt", nullptr, false, CURLE_GOT_NOTHING, 0, -1, ""},
      {kCut, "big.bin", nullptr, false, CURLE_PARTIAL_FILE, 200, -1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.location) + c.file + (c.follow ? " following" : ""));
    Reply reply = Fetch(nginx->Url(c.location) + "p/" + c.file, c.range, c.follow);
    EXPECT_EQ(reply.code, c.code) << curl_easy_strerror(reply.code);
    EXPECT_EQ(reply.status, c.status);
    if (c.filetime >= 0 || c.location == kNoLastModified) {
      EXPECT_EQ(reply.filetime, c.filetime);
    }
    if (c.body != nullptr) {
      EXPECT_EQ(reply.body, c.body);
    }
  }
  // The cut reply really stops part-way, after the bytes sent at full speed.
  Reply cut = Fetch(nginx->Url(kCut) + "p/big.bin");
  EXPECT_GE(cut.body.size(), static_cast<size_t>(kCutAfterBytes));
  EXPECT_LT(cut.body.size(), big_.size());

  bool logged_range = false;
  for (const HttpRequest& request : nginx->Requests()) {
    if (request.uri == "/p/small.txt" && request.range == "bytes=0-1")
      logged_range = true;
  }
  EXPECT_TRUE(logged_range);
}

TEST_F(FixtureTest, FtpServesFilesWithTimesAndRanges) {
  std::string error;
  auto ftp = FtpServer::Start(root_.path(), &error);
  ASSERT_NE(ftp, nullptr) << error;

  Reply whole = Fetch(ftp->Url("p/small.txt"));
  EXPECT_EQ(whole.code, CURLE_OK) << curl_easy_strerror(whole.code);
  EXPECT_EQ(whole.body, "0123456789");
  EXPECT_EQ(whole.filetime, kTime);

  Reply head = Fetch(ftp->Url("p/small.txt"), "0-1");
  EXPECT_EQ(head.body, "01");
  Reply tail = Fetch(ftp->Url("p/small.txt"), "2-");
  EXPECT_EQ(tail.body, "23456789");

  Reply missing = Fetch(ftp->Url("p/none.txt"));
  EXPECT_EQ(missing.code, CURLE_REMOTE_FILE_NOT_FOUND);

  std::vector<std::string> sent = ftp->Retrievals();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front(), "p/small.txt");
}

}  // namespace
}  // namespace update_server
