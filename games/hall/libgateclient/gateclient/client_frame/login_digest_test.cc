#include "gateclient/client_frame/login_digest.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

// Expected digests computed independently of this code (a separate MD5 implementation).
TEST(LoginDigestTest, MatchesIndependentVectors) {
  struct Case {
    std::string password, account;
    uint32_t token;
    std::string digest;
  };
  const Case cases[] = {
      {"secret", "alice", 0, "c53db2dcdc6bae5c45d6dfc31e9972d2"},
      {"secret", "alice", 0x1a2b3c, "bbc227e8666c4443245bd659a292af5f"},
      {"密码123", "用户", 0xffffffff, "5f9690b83faad7d859f50fbfca47d126"},
      {"", "", 0, "4b9b972947a474b67f6b88da723f3e59"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeLoginDigest(c.password, c.account, c.token), c.digest)
        << c.account << " " << c.token;
  }
}

TEST(LoginDigestTest, SaltedDigestHashesTheHexDigitsFollowedByTheSalt) {
  std::string out = "stale";
  MakeSaltedDigest(&out, "secret", "alice");
  EXPECT_EQ(out, "000dd1d937f7fc9b9d4c5cc047f9e8aa");
  MakeSaltedDigest(&out, "密码123", "用户");
  EXPECT_EQ(out, "1c953329788ea1fb21b8b09dfc118abc");
}

TEST(LoginDigestTest, ADigestIsUselessWithAnotherToken) {
  EXPECT_NE(MakeLoginDigest("secret", "alice", 1), MakeLoginDigest("secret", "alice", 2));
  EXPECT_NE(MakeLoginDigest("secret", "alice", 1), MakeLoginDigest("secret", "alicf", 1));
}

}  // namespace
}  // namespace qvc
