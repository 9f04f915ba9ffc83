#include "games/hall/update/check_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "games/hall/text/code_page.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/file_util.h"

namespace hall {
namespace {

class CheckListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/check_list_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { platform::RemoveTree(dir_); }

  std::string Put(const std::string& text) {
    const std::string path = platform::JoinPath(dir_, "update.cl");
    EXPECT_TRUE(platform::WriteFileAtomic(path, text));
    return path;
  }

  std::string dir_;
};

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

TEST_F(CheckListTest, ReadsEntriesWithDefaultsAndSkipsOthers) {
  const std::string text = std::string(kDecl) +
                           "<checklist>\n"
                           "  <file path=\"a.dll\" size=\"10\" ftime=\"1700000000\" />\n"
                           "  <file path=\"sub\\b c.bin\" size=\"-5\" />\n"
                           "  <file path=\"nosize\" ftime=\"7\"></file>\n"
                           "  <file size=\"3\" ftime=\"3\" />\n"
                           "  <file path=\"\" size=\"3\" />\n"
                           "  <folder path=\"x\" size=\"1\" />\n"
                           "  <file path=\"amp&amp;q&quot;\" size=\"junk\" ftime=\" 12x\" />\n"
                           "  <file path=\"a.dll\" size=\"11\" ftime=\"1\" />\n"
                           "  <file path=\"A.DLL\" size=\"99999999999\" ftime=\"2\" />\n"
                           "</checklist>\n";
  CheckList list;
  list["stale"] = {};
  ASSERT_TRUE(LoadCheckList(Put(text), list));
  const std::vector<CheckListEntry> expected = {
      {"A.DLL", 0, 2},   // out of 32-bit range reads as 0
      {"a.dll", 11, 1},  // the later element wins
      {"amp&q\"", 0, 12}, {"nosize", 0, 7}, {"sub\\b c.bin", -5, 0},
  };
  ASSERT_EQ(list.size(), expected.size());
  size_t i = 0;
  for (const auto& [key, entry] : list) {
    EXPECT_EQ(key, expected[i].path);
    EXPECT_EQ(entry.path, expected[i].path);
    EXPECT_EQ(entry.size, expected[i].size) << key;
    EXPECT_EQ(entry.ftime, expected[i].ftime) << key;
    ++i;
  }
}

TEST_F(CheckListTest, RefusesWhatIsNotAWholeCheckList) {
  const struct {
    const char* name;
    std::string text;
    bool loads;
  } cases[] = {
      {"no declaration", "<checklist><file path=\"a\" /></checklist>", true},
      {"empty list", std::string(kDecl) + "<checklist></checklist>", true},
      {"other root", std::string(kDecl) + "<games><file path=\"a\" /></games>", false},
      {"no element", std::string(kDecl) + "just text", false},
      {"empty file", "", false},
      {"cut short", std::string(kDecl) + "<checklist><file path=\"a\" />", false},
      {"html error page", "<html><body>404 not found</body></html>", false},
  };
  for (const auto& c : cases) {
    CheckList list;
    list["stale"] = {};
    EXPECT_EQ(LoadCheckList(Put(c.text), list), c.loads) << c.name;
    if (!c.loads) {
      EXPECT_TRUE(list.empty()) << c.name;
    }
  }
  CheckList list;
  EXPECT_FALSE(LoadCheckList(platform::JoinPath(dir_, "missing.cl"), list));
}

TEST_F(CheckListTest, ListWithMissingAttributesIsNotWrittenBack) {
  const std::string text = std::string(kDecl) + "<checklist><file path=\"a\" /></checklist>";
  const std::string path = Put(text);
  platform::FileSystem& fs = platform::RealFileSystem();
  ASSERT_TRUE(fs.SetModifiedTime(path, 1'500'000'000));
  CheckList list;
  ASSERT_TRUE(LoadCheckList(path, list));
  std::string back;
  ASSERT_TRUE(platform::ReadFile(path, &back));
  EXPECT_EQ(back, text);
  platform::FileInfo info;
  ASSERT_TRUE(fs.Stat(path, &info));
  EXPECT_EQ(info.mtime_seconds, 1'500'000'000);
}

TEST_F(CheckListTest, PathsAreConvertedToTheAnsiCodePage) {
  const std::string path = Put(std::string(kDecl) +
                               "<checklist><file path=\"\xE4\xB8\xAD.txt\" size=\"1\" />"
                               "</checklist>");
  ASSERT_TRUE(SetAnsiCodePage(kGbkCodePage));
  CheckList list;
  const bool loaded = LoadCheckList(path, list);
  SetAnsiCodePage("");
  ASSERT_TRUE(loaded);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.begin()->first, "\xD6\xD0.txt");
}

}  // namespace
}  // namespace hall
