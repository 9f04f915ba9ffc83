#include "xmldoc/xml_document.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/file_util.h"
#include "xmldoc/xml_tree_description.h"
#include "xmldoc/xml_utf16.h"

namespace xmldoc {
namespace {

constexpr char kText[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<gamelist><game gameid=\"3\" gamename=\"\xE4\xB8\xAD\xE5\x9B\xBD\"/>text</gamelist>";

class XmlDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/xml_document_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return platform::JoinPath(dir_, name); }
  size_t FilesInDir() const {
    return std::distance(std::filesystem::directory_iterator(dir_),
                         std::filesystem::directory_iterator());
  }
  std::string dir_;
};

TEST_F(XmlDocumentTest, FileAndUtf16FileParseAlike) {
  ASSERT_TRUE(platform::WriteFileAtomic(Path("utf8.xml"), kText));
  ASSERT_TRUE(platform::WriteFileAtomic(Path("utf16.xml"), "\xFF\xFE" + Utf8ToUtf16LeBytes(kText)));
  CXmlDocument narrow, wide;
  narrow.Load(Path("utf8.xml"));
  wide.Load(Path("utf16.xml"));
  EXPECT_EQ(narrow.status(), kXmlParsed);
  EXPECT_EQ(wide.status(), kXmlParsed);
  EXPECT_EQ(DescribeDocument(wide), DescribeDocument(narrow));
  EXPECT_EQ(wide.root()->Child(0)->GetAttributeValue("gamename"), "\xE4\xB8\xAD\xE5\x9B\xBD");
  // The UTF-16 byte-order mark turns into the UTF-8 one in front of the declaration.
  EXPECT_EQ(wide.declaration().text, "\xEF\xBB\xBF" + narrow.declaration().text);
  EXPECT_EQ(narrow.path(), Path("utf8.xml"));
  EXPECT_FALSE(narrow.wide_path());
}

TEST_F(XmlDocumentTest, Utf16PathIsKeptAndSavedTo) {
  const std::string name = Path("\xE4\xB8\xAD.xml");
  ASSERT_TRUE(platform::WriteFileAtomic(name, kText));
  CXmlDocument doc;
  doc.Load(Utf8ToUtf16(name));
  EXPECT_EQ(doc.status(), kXmlParsed);
  EXPECT_TRUE(doc.wide_path());
  EXPECT_EQ(doc.path(), name);
  doc.root()->AddChild(CXmlNode::Create("added"));
  EXPECT_TRUE(doc.Save());
  CXmlDocument back;
  back.Load(name);
  EXPECT_NE(back.root()->FindChild("added"), nullptr);
}

TEST_F(XmlDocumentTest, MissingFileGivesAnEmptyDocumentThatSaves) {
  CXmlDocument doc;
  doc.Load(Path("new.xml"));
  EXPECT_EQ(doc.status(), kXmlParsed);
  EXPECT_EQ(doc.root()->GetName(), "root");
  EXPECT_EQ(doc.root()->ChildCount(), 0u);
  doc.root()->SetName("checklist");
  ASSERT_TRUE(doc.Save());
  std::string saved;
  ASSERT_TRUE(platform::ReadFile(Path("new.xml"), &saved));
  EXPECT_EQ(saved,
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n<checklist/>\r\n");
}

TEST_F(XmlDocumentTest, SaveReplacesAtomicallyAndReportsFailure) {
  ASSERT_TRUE(platform::WriteFileAtomic(Path("doc.xml"), kText));
  CXmlDocument doc;
  doc.Load(Path("doc.xml"));
  doc.declaration().text = "<?xml version=\"1.1\" encoding=\"GBK\"?>";
  EXPECT_TRUE(doc.Save());
  std::string saved;
  ASSERT_TRUE(platform::ReadFile(Path("doc.xml"), &saved));
  EXPECT_TRUE(saved.starts_with(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n<gamelist>"));
  EXPECT_EQ(FilesInDir(), 1u);  // no temporary file left behind

  // The target replaced by a folder: the write fails, is reported, and the folder stays.
  std::filesystem::remove(Path("doc.xml"));
  ASSERT_TRUE(platform::MakeDirectories(Path("doc.xml")));
  EXPECT_FALSE(doc.Save());
  EXPECT_TRUE(platform::DirectoryExists(Path("doc.xml")));

  // Its folder gone: nothing is written and false comes back.
  EXPECT_FALSE(doc.SaveToFile(Path("missing/doc.xml")));

  // No path: read from memory.
  CXmlDocument text;
  text.Load(kText, XmlSource::kText);
  EXPECT_TRUE(text.path().empty());
  EXPECT_FALSE(text.Save());
}

TEST_F(XmlDocumentTest, TextWithoutDeclarationOrElementsDropsThePath) {
  const std::pair<const char*, const char*> files[] = {{"nodecl.xml", "<a/>"},
                                                       {"noelem.xml", "<?xml version=\"1.0\"?>x"}};
  for (const auto& [name, text] : files) {
    ASSERT_TRUE(platform::WriteFileAtomic(Path(name), text));
    CXmlDocument doc;
    doc.Load(Path(name));
    EXPECT_EQ(doc.status(), kXmlNoDeclaration) << name;
    EXPECT_TRUE(doc.path().empty()) << name;
    EXPECT_FALSE(doc.Save()) << name;
  }
}

class Rot1 : public XmlTransform {
 public:
  bool Transform(std::string_view raw, std::string* text) const override {
    if (raw.empty())
      return false;
    for (char c : raw)
      text->push_back(static_cast<char>(c - 1));
    return true;
  }
};

TEST_F(XmlDocumentTest, TransformedFileKeepsNoPath) {
  std::string shifted;
  for (char c : std::string(kText))
    shifted.push_back(static_cast<char>(c + 1));
  ASSERT_TRUE(platform::WriteFileAtomic(Path("t.bin"), shifted));
  Rot1 transform;
  CXmlDocument doc;
  doc.Load(Path("t.bin"), XmlSource::kFilePath, &transform);
  EXPECT_EQ(doc.status(), kXmlParsed);
  EXPECT_EQ(doc.root()->GetName(), "gamelist");
  EXPECT_TRUE(doc.path().empty());
  EXPECT_FALSE(doc.Save());
}

TEST_F(XmlDocumentTest, LoadReplacesEarlierContents) {
  CXmlDocument doc;
  doc.Load("<?xml version=\"1.0\"?><!--c--><a><b/></a>", XmlSource::kText);
  doc.Load("<?xml version=\"1.0\"?><z/>", XmlSource::kText);
  EXPECT_EQ(DescribeDocument(doc), "z");
  EXPECT_EQ(doc.status(), kXmlParsed);
}

}  // namespace
}  // namespace xmldoc
