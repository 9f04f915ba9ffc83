#include "xmldoc/xml_spill.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/file_util.h"
#include "xmldoc/xml_document.h"
#include "xmldoc/xml_tree_description.h"
#include "xmldoc/xml_writer.h"

namespace xmldoc {
namespace {

// Spill files are named relative to the working folder: each test runs in a folder of its own.
class XmlSpillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/xml_spill_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
  std::filesystem::path old_;
};

TEST_F(XmlSpillTest, Names) {
  auto root = CXmlNode::Create("r");
  CXmlNode* node = root.get();
  for (int i = 0; i < 3; ++i)
    root->AddChild(CXmlNode::Create("c"));
  CXmlNode* second = root->Child(2);
  EXPECT_EQ(SpillFileName(*root, 3), "3.xmltmp");
  EXPECT_EQ(SpillFileName(*second, 5), "2-5.xmltmp");
  EXPECT_EQ(SpillFileName(*root, 1000), "1000.xmltmp");
  EXPECT_EQ(SpillFileName(*second, 4294967295u), "2-4294967295.xmltmp");
  // A deep path with indices past 999 at every level.
  for (int level = 0; level < 40; ++level) {
    for (int i = 0; i < 1001; ++i)
      node->AddChild(CXmlNode::Create("x"));
    node = node->Child(1000 + (node == root.get() ? 3 : 0));
  }
  std::string expected;
  for (int level = 0; level < 40; ++level)
    expected += level == 0 ? "1003-" : "1000-";
  EXPECT_EQ(SpillIndexPath(*node), expected);
  EXPECT_EQ(SpillFileName(*node, 12345), expected + "12345.xmltmp");
  // A borrowed node whose parent does not list it.
  CXmlNode orphan(second, "<o/>");
  EXPECT_EQ(SpillIndexPath(orphan), "2--1-");
}

TEST_F(XmlSpillTest, SavingReloadsTheChildAndDeletesItsFile) {
  ASSERT_TRUE(platform::WriteFileAtomic("0.xmltmp", "<?xml version=\"1.0\"?><game id=\"7\"/>"));
  ASSERT_TRUE(platform::WriteFileAtomic("1-0.xmltmp", "<?xml version=\"1.0\"?><deep/>"));
  CXmlDocument doc;
  doc.Load("doc.xml");
  doc.root()->AddSpilledChild();
  CXmlNode* kept = doc.root()->AddChild(CXmlNode::Create("kept"));
  kept->AddSpilledChild();
  ASSERT_TRUE(doc.Save());
  EXPECT_FALSE(platform::FileExists("0.xmltmp"));
  EXPECT_FALSE(platform::FileExists("1-0.xmltmp"));
  ASSERT_NE(doc.root()->Child(0), nullptr);
  EXPECT_EQ(doc.root()->Child(0)->parent(), doc.root());
  EXPECT_EQ(DescribeTree(*doc.root()), "root(game{id=\"7\"} kept(deep))");
  CXmlDocument back;
  back.Load("doc.xml");
  EXPECT_EQ(DescribeTree(*back.root()), "root(game{id=\"7\"} kept(deep))");
}

TEST_F(XmlSpillTest, UnusableSpillFilesLeaveTheEntryEmpty) {
  ASSERT_TRUE(platform::WriteFileAtomic("1.xmltmp", "<?xml version=\"1.0\"?><open>"));
  auto root = CXmlNode::Create("r");
  root->AddSpilledChild();  // no file at all
  root->AddSpilledChild();  // a file that does not parse
  root->AddChild(CXmlNode::Create("c"));
  root->ReloadSpilledChildren();
  EXPECT_EQ(root->Child(0), nullptr);
  EXPECT_EQ(root->Child(1), nullptr);
  EXPECT_TRUE(platform::FileExists("1.xmltmp"));
  EXPECT_EQ(WriteElementToMemory(*root), "<r>\r\n\t<c/>\r\n</r>\r\n");
}

TEST_F(XmlSpillTest, ReleasingChildrenDeletesSpillFilesAndSparesBorrowedOnes) {
  ASSERT_TRUE(platform::WriteFileAtomic("0.xmltmp", "x"));
  ASSERT_TRUE(platform::WriteFileAtomic("2.xmltmp", "kept: entry 2 is not spilled"));
  auto other_owner = CXmlNode::Create("shared");
  {
    auto root = CXmlNode::Create("r");
    root->AddSpilledChild();
    root->AddBorrowedChild(other_owner.get());
    root->AddChild(CXmlNode::Create("owned"));
  }
  EXPECT_FALSE(platform::FileExists("0.xmltmp"));
  EXPECT_TRUE(platform::FileExists("2.xmltmp"));
  EXPECT_EQ(other_owner->GetName(), "shared");  // still alive (ASan would see a double free)
}

}  // namespace
}  // namespace xmldoc
