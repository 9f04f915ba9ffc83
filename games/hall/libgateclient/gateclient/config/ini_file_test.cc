#include "gateclient/config/ini_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file_util.h"

namespace {

// What one file's text becomes once parsed and written back.
struct ParseCase {
  const char* name;
  std::string text;
  std::string saved;
};

TEST(IniFileTest, EachKindOfLineParsesAndSavesAsExpected) {
  const ParseCase cases[] = {
      {"comment after ';' keeps its text untrimmed", "; x\n", "; x\n\n"},
      {"'#' comment is written back with ';'", "#x\n", ";x\n\n"},
      {"text before the comment mark is dropped", "junk ;note\n", ";note\n\n"},
      {"section and keys, blanks trimmed", "[s]\n k = v \n", "[s]\nk=v\n\n"},
      {"'=' and ';' after the first '=' belong to the value", "[s]\na=b;c=d\n", "[s]\na=b;c=d\n\n"},
      {"';' before '=' makes a comment", "[s]\na;b=c\n", "[s]\n;b=c\n\n"},
      {"'[' after '=' is a key line", "[s]\nx=[y]\n", "[s]\nx=[y]\n\n"},
      {"comment after a header", "[s] ;note\n", "[s]\n\n"},
      {"section name runs to the last ']', trimmed", "[ a]b ]\n", "[a]b]\n\n"},
      {"lines without a deciding character or bracket pair are lost", "plain\n]a[\n[a\n", ""},
      {"keys before any header land in the empty section", "k=1\n[s]\nj=2\n",
       "[]\nk=1\n\n[s]\nj=2\n\n"},
      {"repeated key overwrites in place", "[s]\na=1\nb=2\na=3\n", "[s]\na=3\nb=2\n\n"},
      {"repeated section: its keys go to the first one", "[a]\nx=1\n[b]\n[a]\n;c\ny=2\n",
       "[a]\n;c\nx=1\ny=2\n\n[b]\n\n[a]\n\n"},
      {"section comments move below the header", "[s]\nk=v\n;late\n", "[s]\n;late\nk=v\n\n"},
      {"CR LF line ends and a last line without LF", "[s]\r\nk=v\r\nj=w", "[s]\nk=v\nj=w\n\n"},
      {"every CR before the LF ends the line", "[s]\nk=a\r\r\n;c\r\r\n", "[s]\n;c\nk=a\n\n"},
      {"a value ends at its last byte neither blank nor CR", "[s]\nk=a\r \r\nj=\rb\n",
       "[s]\nk=a\nj=\rb\n\n"},
      {"empty lines are skipped", "\n\n[s]\n\nk=v\n", "[s]\nk=v\n\n"},
      {"BOM before a header is dropped", "\xEF\xBB\xBF[s]\nk=v\n", "[s]\nk=v\n\n"},
      {"BOM before a key becomes part of its name", "\xEF\xBB\xBFk=v\n", "[]\n\xEF\xBB\xBFk=v\n\n"},
      {"header comments then a blank line", ";one\n;two\n[s]\n", ";one\n;two\n\n[s]\n\n"},
      {"UTF-8 bytes pass unchanged", "[main]\n发送心跳=0\n", "[main]\n发送心跳=0\n\n"},
  };
  for (const ParseCase& c : cases) {
    CIniFile ini;
    ini.ParseText(c.text);
    EXPECT_EQ(ini.FormatText(), c.saved) << c.name;
  }
}

TEST(IniFileTest, LookupsAreExactAndGettersFollowCConversions) {
  CIniFile ini;
  ini.ParseText(
      "[main]\n"
      "k = v \n"
      "timedisconn=\n"
      "savepwd=2\n"
      "on=1\n"
      "n=  -42abc\n"
      "big=99999999999\n"
      "text=abc\n"
      "ratio=2.5x\n");
  EXPECT_EQ(ini.GetValue("main", "k", "d"), "v");
  EXPECT_EQ(ini.GetValue("main", " k", "d"), "d");  // names are not trimmed on lookup
  EXPECT_EQ(ini.GetValue("Main", "k", "d"), "d");   // case matters
  EXPECT_EQ(ini.GetValue("none", "k", "d"), "d");

  struct IntCase {
    const char* key;
    int fallback;
    int expected;
  };
  const IntCase ints[] = {
      {"timedisconn", 25, 0},  // present but empty: 0, not the fallback
      {"text", 7, 0},         {"n", 7, -42},
      {"big", 7, 2147483647},  // saturates instead of overflowing
      {"missing", 7, 7},
  };
  for (const IntCase& c : ints)
    EXPECT_EQ(ini.GetInt("main", c.key, c.fallback), c.expected) << c.key;

  EXPECT_FALSE(ini.GetBool("main", "savepwd", true));  // only 1 is true
  EXPECT_TRUE(ini.GetBool("main", "on", false));
  EXPECT_FALSE(ini.GetBool("main", "text", true));
  EXPECT_TRUE(ini.GetBool("main", "missing", true));
  EXPECT_DOUBLE_EQ(ini.GetDouble("main", "ratio", 9.0), 2.5);
  EXPECT_DOUBLE_EQ(ini.GetDouble("main", "missing", 0.125), 0.125);
}

TEST(IniFileTest, SetValueCreatesOnlyWhenAsked) {
  CIniFile ini;
  EXPECT_FALSE(ini.SetValue(false, "s", "k", "v"));
  EXPECT_EQ(ini.SectionCount(), 0);
  EXPECT_TRUE(ini.SetValue(true, "s", "  k\t", " v "));
  EXPECT_EQ(ini.GetValue("s", "k", ""), " v ");  // key trimmed, value kept as given
  EXPECT_FALSE(ini.SetValue(false, "s", "other", "x"));
  EXPECT_TRUE(ini.SetValue(false, "s", "k", "w"));
  EXPECT_TRUE(ini.SetInt("s", "n", -5));
  EXPECT_EQ(ini.FormatText(), "[s]\nk=w\nn=-5\n\n");

  EXPECT_EQ(ini.FindSection("s"), 0);
  EXPECT_EQ(ini.FindSection("t"), -1);
  EXPECT_EQ(ini.FindKey(0, "n"), 1);
  EXPECT_EQ(ini.FindKey(5, "n"), -1);
  EXPECT_EQ(ini.FindKey(-1, "n"), -1);
  EXPECT_FALSE(ini.AddCommentAt(1, "c"));
  EXPECT_FALSE(ini.AddComment("t", "c"));
  EXPECT_EQ(ini.AddSection("s"), 1);  // sections may repeat
  EXPECT_TRUE(ini.AddCommentAt(1, "second"));
  ini.AddHeaderComment(" head");
  EXPECT_EQ(ini.FormatText(), "; head\n\n[s]\nk=w\nn=-5\n\n[s]\n;second\n\n");
}

TEST(IniFileTest, LongNamesAndValuesAreKeptWhole) {
  const std::string key(300, 'k');
  const std::string value(1000, 'v');
  CIniFile ini;
  ini.ParseText("[" + std::string(400, 's') + "]\n" + key + "=" + value + "\n");
  EXPECT_EQ(ini.GetValue(std::string(400, 's'), key, ""), value);
}

TEST(IniFileTest, TrimRemovesOnlySpacesAndTabs) {
  EXPECT_EQ(CIniFile::Trim(" \t a b \t"), "a b");
  EXPECT_EQ(CIniFile::Trim(" \t "), "");
  EXPECT_EQ(CIniFile::Trim("\ra\n"), "\ra\n");
}

class IniFileDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ini_file_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0700);
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(IniFileDiskTest, SaveAndReloadRoundTrips) {
  const std::string path = platform::JoinPath(dir_, "account.ini");
  ASSERT_TRUE(platform::WriteFileAtomic(path, "#c\r\n[main]\r\nlastaccount = 玩家 \r\nk=a=b\r\n"));
  CIniFile first(path);
  ASSERT_TRUE(first.Load());
  ASSERT_TRUE(first.SetValue(true, "main", "savepwd", "1"));
  ASSERT_TRUE(first.Save());

  CIniFile second(path);
  ASSERT_TRUE(second.Load());
  EXPECT_EQ(second.GetValue("main", "lastaccount", ""), "玩家");
  EXPECT_EQ(second.GetValue("main", "k", ""), "a=b");
  EXPECT_TRUE(second.GetBool("main", "savepwd", false));
  EXPECT_EQ(second.FormatText(), first.FormatText());
}

TEST_F(IniFileDiskTest, NeverLoadedObjectSavesOnlyWhatWasSet) {
  const std::string path = platform::JoinPath(dir_, "new.ini");
  CIniFile ini(path);
  ini.SetInt("Rank", "score", 3);
  ASSERT_TRUE(ini.Save());
  std::string text;
  ASSERT_TRUE(platform::ReadFile(path, &text));
  EXPECT_EQ(text, "[Rank]\nscore=3\n\n");
}

TEST_F(IniFileDiskTest, MissingFileLoadsNothingAndKeepsTables) {
  CIniFile ini(platform::JoinPath(dir_, "absent.ini"));
  ini.SetValue(true, "s", "k", "v");
  EXPECT_FALSE(ini.Load());
  EXPECT_EQ(ini.FormatText(), "[s]\nk=v\n\n");

  CIniFile empty(platform::JoinPath(dir_, "empty.ini"));
  ASSERT_TRUE(platform::WriteFileAtomic(empty.file_name(), ""));
  EXPECT_TRUE(empty.Load());
  EXPECT_EQ(empty.GetInt("s", "k", 4), 4);
}

TEST_F(IniFileDiskTest, SaveThatCannotWriteReportsFailureAndKeepsTheOldFile) {
  const std::string path = platform::JoinPath(dir_, "client.ini");
  ASSERT_TRUE(platform::WriteFileAtomic(path, "[main]\nk=old\n"));

  CIniFile into_missing_folder(platform::JoinPath(dir_, "no/such/folder.ini"));
  into_missing_folder.SetValue(true, "s", "k", "v");
  EXPECT_FALSE(into_missing_folder.Save());

  if (::geteuid() != 0) {  // root writes into read-only folders
    ASSERT_EQ(::chmod(dir_.c_str(), 0500), 0);
    CIniFile ini(path);
    ASSERT_TRUE(ini.Load());
    ini.SetValue(true, "main", "k", "new");
    EXPECT_FALSE(ini.Save());
    ::chmod(dir_.c_str(), 0700);
    std::string text;
    ASSERT_TRUE(platform::ReadFile(path, &text));
    EXPECT_EQ(text, "[main]\nk=old\n");
  }
}

}  // namespace
