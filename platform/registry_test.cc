#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/file_util.h"

namespace platform {
namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr char kAccounts[] = "Software\\Zoltamar5\\Hall\\UserInfo";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/registry_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Folder() const { return JoinPath(dir_, "config/tarvix/registry"); }
  std::string dir_;
};

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
  const std::string binary("\x00\x01\xFF\n=%", 6);
  const std::string awkward = "line\nbreak\r=%41 \xE4\xB8\xAD\t";
  {
    RegistryStore store(Folder());
    ASSERT_TRUE(store.SetString(kUser, std::string(kAccounts) + "\\1001", "UserAccount", "alice"));
    ASSERT_TRUE(store.SetString(kUser, std::string(kAccounts) + "\\1001", "Odd=%name", awkward));
    ASSERT_TRUE(store.SetString(kUser, std::string(kAccounts) + "\\1001", "Empty", ""));
    ASSERT_TRUE(store.SetBinary(kUser, "Software\\Blob", "Data", binary));
  }
  RegistryStore again(Folder());  // a fresh store reads only the file
  std::string text;
  ASSERT_TRUE(again.GetString(kUser, std::string(kAccounts) + "\\1001", "useraccount", &text));
  EXPECT_EQ(text, "alice");
  ASSERT_TRUE(
      again.GetString(kUser, "SOFTWARE\\zoltamar5\\HALL\\userinfo\\1001", "Odd=%name", &text));
  EXPECT_EQ(text, awkward);
  ASSERT_TRUE(again.GetString(kUser, std::string(kAccounts) + "\\1001", "Empty", &text));
  EXPECT_EQ(text, "");
  RegistryValue value;
  ASSERT_TRUE(again.GetValue(kUser, "Software\\Blob", "Data", &value));
  EXPECT_EQ(value, (RegistryValue{RegistryValueType::kBinary, binary}));
  EXPECT_FALSE(again.GetString(kUser, "Software\\Blob", "Data", &text));  // binary, not a string
  EXPECT_FALSE(again.GetValue(kUser, "Software\\Blob", "Missing", &value));
  EXPECT_FALSE(again.GetValue(kUser, "Software\\Missing", "Data", &value));
  // The other root is a tree of its own.
  EXPECT_FALSE(again.KeyExists(RegistryRoot::kLocalMachine, "Software"));
  EXPECT_TRUE(again.KeyExists(kUser, "Software"));
}

TEST_F(RegistryTest, FileAndFolderArePrivate) {
  RegistryStore store(Folder());
  ASSERT_TRUE(store.CreateKey(kUser, "Software"));
  struct stat st {};
  ASSERT_EQ(::stat(store.FilePath(kUser).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(Folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Nothing but the file and its lock remain after many writes.
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(store.SetString(kUser, "Software", "n", "v"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST_F(RegistryTest, SubkeysAreEnumeratedWithoutRegardToCase) {
  RegistryStore store(Folder());
  for (const char* name : {"beta", "Alpha", "_x", "GAMMA", "alpha2", "10", "9", "Beta"}) {
    ASSERT_TRUE(store.CreateKey(kUser, std::string("K\\") + name));
  }
  // "Beta" is the key "beta" again and keeps the case it was created with.
  // Names fold to upper case, so '_' sorts after the letters.
  const std::vector<std::string> expected = {"10", "9", "Alpha", "alpha2", "beta", "GAMMA", "_x"};
  EXPECT_EQ(store.EnumSubkeys(kUser, "K"), expected);
  EXPECT_TRUE(store.EnumSubkeys(kUser, "Missing").empty());

  ASSERT_TRUE(store.SetString(kUser, "K", "b", "1"));
  ASSERT_TRUE(store.SetString(kUser, "K", "A", "2"));
  ASSERT_TRUE(store.SetString(kUser, "K", "B", "3"));  // replaces "b", keeps its name
  EXPECT_EQ(store.EnumValues(kUser, "K"), (std::vector<std::string>{"A", "b"}));
  std::string text;
  ASSERT_TRUE(store.GetString(kUser, "K", "b", &text));
  EXPECT_EQ(text, "3");
}

TEST_F(RegistryTest, DeletingAKeyTakesItsValuesAndSubkeys) {
  RegistryStore store(Folder());
  const std::string account = std::string(kAccounts) + "\\1001";
  ASSERT_TRUE(store.SetString(kUser, account, "UserAccount", "alice"));
  ASSERT_TRUE(store.SetString(kUser, account + "\\Deeper", "x", "y"));
  ASSERT_TRUE(store.SetString(kUser, std::string(kAccounts) + "\\1002", "UserAccount", "bob"));
  EXPECT_TRUE(store.DeleteKey(kUser, std::string(kAccounts) + "\\1001"));
  EXPECT_FALSE(store.KeyExists(kUser, account));
  EXPECT_FALSE(store.KeyExists(kUser, account + "\\Deeper"));
  EXPECT_EQ(store.EnumSubkeys(kUser, kAccounts), (std::vector<std::string>{"1002"}));
  // Recreated, it starts without the old values.
  ASSERT_TRUE(store.CreateKey(kUser, account));
  std::string text;
  EXPECT_FALSE(store.GetString(kUser, account, "UserAccount", &text));

  EXPECT_FALSE(store.DeleteKey(kUser, account + "\\Missing"));
  EXPECT_FALSE(store.DeleteKey(kUser, ""));  // the root stays
  EXPECT_TRUE(store.DeleteValue(kUser, std::string(kAccounts) + "\\1002", "useraccount"));
  EXPECT_FALSE(store.DeleteValue(kUser, std::string(kAccounts) + "\\1002", "UserAccount"));
}

TEST_F(RegistryTest, MalformedPathsAreRefused) {
  RegistryStore store(Folder());
  const std::string too_long(kRegistryMaxKeyName + 1, 'k');
  for (const std::string& path : {std::string("\\lead"), std::string("trail\\"),
                                  std::string("a\\\\b"), too_long, "a\\" + too_long}) {
    EXPECT_FALSE(store.CreateKey(kUser, path)) << path;
    EXPECT_FALSE(store.SetString(kUser, path, "n", "v")) << path;
    EXPECT_FALSE(store.KeyExists(kUser, path)) << path;
  }
  EXPECT_TRUE(store.EnumSubkeys(kUser, "").empty());  // nothing was half-created
  EXPECT_TRUE(store.CreateKey(kUser, std::string(kRegistryMaxKeyName, 'k')));
}

TEST_F(RegistryTest, TreesDeeperThanTheSystemAllowsAreRefused) {
  auto nested = [](size_t depth) {
    std::string path = "k";
    for (size_t i = 1; i < depth; ++i)
      path += "\\k";
    return path;
  };
  RegistryKeyNode tree;
  ASSERT_NE(tree.Create(nested(kRegistryMaxDepth)), nullptr);
  EXPECT_EQ(tree.Create(nested(kRegistryMaxDepth + 1)), nullptr);
  // A file of 40 KB nested 20,000 keys deep: reading it as a tree, writing the tree out and
  // freeing it each walked the depth on the stack until it overflowed.
  for (size_t depth : {kRegistryMaxDepth + 1, size_t{20'000}}) {
    RegistryKeyNode read;
    EXPECT_FALSE(ParseRegistryTree("tarvix-registry 1\n[" + nested(depth) + "]\nend\n", &read));
    EXPECT_TRUE(read.subkeys().empty());
  }
  RegistryKeyNode deepest;
  ASSERT_TRUE(
      ParseRegistryTree("tarvix-registry 1\n[" + nested(kRegistryMaxDepth) + "]\nend\n", &deepest));
  EXPECT_NE(deepest.Find(nested(kRegistryMaxDepth)), nullptr);
}

TEST_F(RegistryTest, DamagedFileIsSetAsideAndTheTreeStartsEmpty) {
  RegistryStore store(Folder());
  ASSERT_TRUE(store.SetString(kUser, "Software\\A", "n", "v"));
  std::string good;
  ASSERT_TRUE(ReadFile(store.FilePath(kUser), &good));
  const std::string damaged[] = {
      "",
      "garbage\n",
      good.substr(0, good.size() - 4),          // cut short: no trailer
      good.substr(0, good.size() - 1),          // last line unterminated
      "tarvix-registry 1\ns n=v\nend\n",        // a value before any key
      "tarvix-registry 1\n[a\\\\b]\nend\n",     // an empty key name
      "tarvix-registry 1\n[]\ns n=%4\nend\n",   // a broken escape
      "tarvix-registry 1\n[]\nb n=abc\nend\n",  // odd hex
      "tarvix-registry 1\n[]\nend\nextra\n",
  };
  for (const std::string& contents : damaged) {
    ASSERT_TRUE(WriteFileAtomic(store.FilePath(kUser), contents, 0600));
    RegistryKeyNode tree;
    EXPECT_EQ(store.Read(kUser, &tree), RegistryFileState::kDamaged) << contents;
    EXPECT_TRUE(tree.subkeys().empty());
    EXPECT_FALSE(store.KeyExists(kUser, "Software"));
    std::string kept;
    ASSERT_TRUE(ReadFile(store.FilePath(kUser) + ".damaged", &kept));
    EXPECT_EQ(kept, contents);
    // The next change starts a fresh tree.
    ASSERT_TRUE(store.SetString(kUser, "Software\\B", "n", "w"));
    EXPECT_EQ(store.EnumSubkeys(kUser, "Software"), (std::vector<std::string>{"B"}));
  }
  RegistryKeyNode tree;
  EXPECT_EQ(store.Read(kUser, &tree), RegistryFileState::kRead);
  RegistryStore missing(JoinPath(dir_, "none"));
  EXPECT_EQ(missing.Read(kUser, &tree), RegistryFileState::kMissing);
  EXPECT_FALSE(DirectoryExists(JoinPath(dir_, "none")));  // reading creates nothing
}

TEST_F(RegistryTest, FailedWriteIsReportedAndKeepsTheOldTree) {
  RegistryStore store(Folder());
  ASSERT_TRUE(store.SetString(kUser, "Software", "n", "old"));
  EXPECT_FALSE(store.Modify(kUser, [](RegistryKeyNode& tree) {
    tree.Create("Dropped");
    return false;  // declined: nothing is written
  }));
  EXPECT_FALSE(store.KeyExists(kUser, "Dropped"));
  // A folder in place of the file: the rename fails.
  RegistryStore blocked(JoinPath(dir_, "blocked"));
  ASSERT_TRUE(MakeDirectories(blocked.FilePath(kUser)));
  EXPECT_FALSE(blocked.SetString(kUser, "Software", "n", "v"));
  // A file in place of the folder.
  ASSERT_TRUE(WriteFileAtomic(JoinPath(dir_, "file"), "x"));
  RegistryStore no_folder(JoinPath(dir_, "file/registry"));
  EXPECT_FALSE(no_folder.CreateKey(kUser, "Software"));
}

TEST(RegistryDefaultFolderTest, FollowsXdgConfigHome) {
  const char* saved_config = ::getenv("XDG_CONFIG_HOME");
  const char* saved_home = ::getenv("HOME");
  const std::string config = saved_config ? saved_config : "";
  const std::string home = saved_home ? saved_home : "";
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(RegistryStore::DefaultFolder(), "/cfg/tarvix/registry");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // a relative setting is ignored
  EXPECT_EQ(RegistryStore::DefaultFolder(), "/home/u/.config/tarvix/registry");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegistryStore::DefaultFolder(), "/home/u/.config/tarvix/registry");
  saved_config ? ::setenv("XDG_CONFIG_HOME", config.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  saved_home ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace platform
