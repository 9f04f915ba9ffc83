#include "games/hall/app/account_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "gateclient/crypto/base64.h"
#include "gateclient/crypto/blowfish.h"
#include "gateclient/crypto/md5.h"
#include "platform/file_util.h"
#include "platform/registry.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

constexpr platform::RegistryRoot kUser = platform::RegistryRoot::kCurrentUser;

std::string KeyOf(const std::string& name) {
  return std::string(kAccountStoreKey) + "\\" + name;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

// Computed with OpenSSL's own Blowfish (libcrypto's BF_set_key and BF_ecb_encrypt, called from a
// few lines of Python), independently of this project's cipher: key = the 32 hex digits of
// MD5("%08x" of the id's low half + "mor39山水之间"), data = password + one zero byte + padding,
// each 4-byte word byte-swapped before and after OpenSSL (which reads words big-endian), base64.
TEST(ScramblePasswordTest, MatchesVectorsComputedWithOpenSsl) {
  struct Case {
    uint64_t user_id;
    const char* seed;
    const char* password;
    const char* scrambled;
  } cases[] = {
      {10001, "00002711", "secret99", "YiVPJkcul0izN12CQXCJIg=="},
      {4294967296ull + 7, "00000007", "abcdefg", "rkJ2sEJTTvoW4jKrWi0ZJg=="},
      {0, "00000000", "密码密码12", "faecNM0g0yQKca/D3SoC2Q=="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PasswordSeed(c.user_id), c.seed);
    EXPECT_EQ(ScramblePassword(c.seed, c.password), c.scrambled) << c.password;
    EXPECT_EQ(UnscramblePassword(c.seed, c.scrambled), c.password) << c.password;
  }
}

TEST(ScramblePasswordTest, EveryLengthRoundTrips) {
  std::string password;
  for (int n = 0; n <= 40; ++n) {
    const std::string stored = ScramblePassword("0badf00d", password);
    EXPECT_EQ(stored.size() % 4, 0u);
    EXPECT_EQ(UnscramblePassword("0badf00d", stored), password) << n;
    password.push_back(static_cast<char>('a' + n % 26));
  }
}

// Base64 of `data` sealed with the store's cipher for `seed` but without the store's terminating
// zero or with padding of the test's choice: what a damaged or hand-edited value may hold.
std::string SealRaw(const std::string& seed, const std::vector<uint8_t>& blocks) {
  const std::string material = seed + "mor39山水之间";
  const std::string key = Md5Hex(material.data(), material.size());
  Blowfish cipher;
  cipher.SetKey(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  std::vector<uint8_t> sealed;
  for (size_t i = 0; i + 8 <= blocks.size(); i += 8) {
    uint32_t l =
        blocks[i] | blocks[i + 1] << 8 | blocks[i + 2] << 16 | uint32_t{blocks[i + 3]} << 24;
    uint32_t r =
        blocks[i + 4] | blocks[i + 5] << 8 | blocks[i + 6] << 16 | uint32_t{blocks[i + 7]} << 24;
    cipher.EncryptBlock(&l, &r);
    for (uint32_t w : {l, r}) {
      for (int b = 0; b < 4; ++b)
        sealed.push_back(static_cast<uint8_t>(w >> (8 * b)));
    }
  }
  std::string text(Base64EncodedSize(sealed.size()), '\0');
  const int n = Base64Encode(text.data(), text.size(), sealed.data(), sealed.size());
  text.resize(n - 1);
  return text;
}

TEST(UnscramblePasswordTest, HostileStoredValuesGiveAnEmptyPassword) {
  const std::string seed = "00002711";
  const std::string good = "YiVPJkcul0izN12CQXCJIg==";
  std::string long_valid;  // valid blocks, longer than any password the store writes
  {
    std::vector<uint8_t> blocks(200, 'x');
    blocks[190] = 0;
    for (int i = 0; i < 8; ++i)
      blocks.push_back(8);
    long_valid = SealRaw(seed, blocks);
  }
  ASSERT_GT(long_valid.size(), kMaxScrambledText);
  struct Case {
    const char* what;
    std::string stored;
  } cases[] = {
      {"empty", ""},
      {"not base64", "not base64!"},
      {"padding missing", good.substr(0, good.size() - 2)},
      {"cut inside a group", good.substr(0, good.size() - 3)},
      {"a line break after it", good + "\n"},
      {"padding in the middle", "YiVP=cul0izN12CQXCJIg=="},
      {"a third '='", "YiVPJkcul0izN12CQXCJ===="},
      {"12 bytes (not whole blocks)", "AAAAAAAAAAAAAAAA"},
      {"one block of zeros, bad padding", SealRaw(seed, std::vector<uint8_t>(8, 0x55))},
      {"valid padding but no terminating zero",
       SealRaw(seed, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 1})},
      {"padding longer than a block", SealRaw(seed, {'a', 0, 9, 9, 9, 9, 9, 9})},
      {"longer than the store ever writes", long_valid},
      {"another id's key", ScramblePassword("00002712", "secret99")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnscramblePassword(seed, c.stored), "") << c.what;
  }
  // The same value under its own key still reads: the failures above are the data's, not the
  // reader's.
  EXPECT_EQ(UnscramblePassword(seed, good), "secret99");
  EXPECT_EQ(UnscramblePassword(seed, SealRaw(seed, {'a', 'b', 0, 5, 5, 5, 5, 5})), "ab");
}

class AccountStoreTest : public ::testing::Test {
 protected:
  AccountStoreTest() : registry_(folder_.Sub("registry")), store_(registry_, folder_.Sub("ini")) {}

  std::vector<UserAccountAndPassword> Load() { return store_.LoadAccountList(); }
  std::string Stored(uint64_t id, const char* value) {
    std::string out = "(missing)";
    registry_.GetString(kUser, KeyOf(std::to_string(id)), value, &out);
    return out;
  }

  update_server::TempFolder folder_{"account_store"};
  platform::RegistryStore registry_;
  AccountStore store_;
};

TEST_F(AccountStoreTest, AMissingStoreGivesNoAccountsAndDefaults) {
  EXPECT_TRUE(Load().empty());
  EXPECT_EQ(store_.LoadLastAccount(), "");
  EXPECT_FALSE(store_.LoadSavePassword());
  EXPECT_FALSE(store_.DeleteSavedAccount(10001));
}

TEST_F(AccountStoreTest, SavingWithoutThePasswordKeepsTheOneSavedBefore) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  const std::string first = Stored(10001, "UserPassword");
  EXPECT_EQ(first, "YiVPJkcul0izN12CQXCJIg==");
  store_.SaveAccount("Player01", "changed88", 10001, false);
  EXPECT_EQ(Stored(10001, "UserAccount"), "Player01");
  EXPECT_EQ(Stored(10001, "UserPassword"), first);
  store_.SaveAccount("other002", "pass7777", 20002, false);
  EXPECT_EQ(Stored(20002, "UserPassword"), "(missing)");

  const std::vector<UserAccountAndPassword> want = {{"Player01", "secret99", 10001},
                                                    {"other002", "", 20002}};
  EXPECT_EQ(Load(), want);
  EXPECT_EQ(store_.LoadLastAccount(), "other002");
}

TEST_F(AccountStoreTest, APasswordIsStoredInTheAnsiCodePageAndCutToItsBuffer) {
  const std::string long_password(200, 'p');
  store_.SaveAccount("player01", long_password, 10001, true);
  ASSERT_EQ(Load().size(), 1u);
  EXPECT_EQ(Load()[0].password, long_password.substr(0, kMaxSavedPasswordBytes));
  store_.SaveAccount("player01", "密码123456", 10001, true);
  EXPECT_EQ(Load()[0].password, "密码123456");  // the ANSI code page here is UTF-8
}

TEST_F(AccountStoreTest, RecordsThatDoNotReadBackAreLeftOut) {
  store_.SaveAccount("good0001", "secret99", 10001, true);
  auto put = [&](const std::string& name, const std::string& account) {
    ASSERT_TRUE(registry_.SetString(kUser, KeyOf(name), "UserAccount", account)) << name;
  };
  put("abc", "named by text");
  put("007", "leading zeros");
  put("12x", "trailing text");
  put("99999999999999999999", "overflows");
  put("-0", "not how an id is written");
  put("30003", "");
  put("40004", std::string(kMaxSavedAccountBytes + 1, 'a'));
  put("50005", std::string(kMaxSavedAccountBytes, 'b'));
  ASSERT_TRUE(registry_.SetBinary(kUser, KeyOf("60006"), "UserAccount", "binary"));
  ASSERT_TRUE(registry_.CreateKey(kUser, KeyOf("70007")));  // no account at all
  put("80008", "badpass1");
  ASSERT_TRUE(registry_.SetString(kUser, KeyOf("80008"), "UserPassword", "%%%"));
  put("90009", "binpass1");
  ASSERT_TRUE(
      registry_.SetBinary(kUser, KeyOf("90009"), "UserPassword", "YiVPJkcul0izN12CQXCJIg=="));
  put("-5", "negative1");

  const std::vector<UserAccountAndPassword> want = {
      {"negative1", "", static_cast<uint64_t>(-5)},
      {"good0001", "secret99", 10001},
      {std::string(kMaxSavedAccountBytes, 'b'), "", 50005},
      {"badpass1", "", 80008},
      {"binpass1", "", 90009},
  };
  EXPECT_EQ(Load(), want);
}

TEST_F(AccountStoreTest, ADamagedStoreReadsAsEmptyAndTakesNewAccounts) {
  ASSERT_TRUE(platform::MakeDirectories(folder_.Sub("registry")));
  ASSERT_TRUE(platform::WriteFileAtomic(registry_.FilePath(kUser), "\x01garbage{{{"));
  EXPECT_TRUE(Load().empty());
  store_.SaveAccount("player01", "secret99", 10001, true);
  ASSERT_EQ(Load().size(), 1u);
  EXPECT_EQ(Load()[0].password, "secret99");
}

TEST_F(AccountStoreTest, DeletingRemovesOnlyThatAccount) {
  store_.SaveAccount("player01", "secret99", 10001, true);
  store_.SaveAccount("player02", "secret98", 10002, true);
  EXPECT_FALSE(store_.DeleteSavedAccount(0));
  EXPECT_TRUE(store_.DeleteSavedAccount(10001));
  EXPECT_FALSE(registry_.KeyExists(kUser, KeyOf("10001")));
  const std::vector<UserAccountAndPassword> want = {{"player02", "secret98", 10002}};
  EXPECT_EQ(Load(), want);
}

TEST_F(AccountStoreTest, IniSettingsReadBackAndTheFilesAreTheUsersOwn) {
  EXPECT_TRUE(store_.SaveSavePassword(1));
  EXPECT_TRUE(store_.LoadSavePassword());
  EXPECT_TRUE(store_.SaveLastAccount("player01"));
  EXPECT_TRUE(store_.LoadSavePassword());  // saving one key keeps the other
  EXPECT_EQ(store_.LoadLastAccount(), "player01");
  for (int v : {0, 2, -1}) {
    EXPECT_TRUE(store_.SaveSavePassword(v));
    EXPECT_FALSE(store_.LoadSavePassword()) << v;
  }
  EXPECT_FALSE(store_.SaveLastAccount("evil\n[main]\nsavepwd=1"));
  EXPECT_FALSE(store_.SaveLastAccount("evil\r"));
  EXPECT_EQ(store_.LoadLastAccount(), "player01");

  std::string text;
  ASSERT_TRUE(platform::ReadFile(store_.ini_path(), &text));
  EXPECT_NE(text.find("[main]"), std::string::npos);
  EXPECT_NE(text.find("lastaccount=player01"), std::string::npos);
  EXPECT_EQ(ModeOf(store_.ini_path()), 0600u);
  EXPECT_EQ(ModeOf(folder_.Sub("ini")), 0700u);

  store_.SaveAccount("player01", "secret99", 10001, true);
  EXPECT_EQ(ModeOf(registry_.FilePath(kUser)), 0600u);
}

TEST_F(AccountStoreTest, AnIniFileWrittenOpenByAnotherProgramBecomesTheUsersOwn) {
  ASSERT_TRUE(platform::MakeDirectories(folder_.Sub("ini")));
  ASSERT_TRUE(platform::WriteFileAtomic(store_.ini_path(), "[main]\nlastaccount=abc\n", 0644));
  EXPECT_EQ(store_.LoadLastAccount(), "abc");
  EXPECT_TRUE(store_.SaveSavePassword(1));
  EXPECT_EQ(ModeOf(store_.ini_path()), 0600u);
  EXPECT_EQ(store_.LoadLastAccount(), "abc");
}

}  // namespace
}  // namespace hall
