#include "xmldoc/xml_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "xmldoc/xml_document.h"
#include "xmldoc/xml_tree_description.h"
#include "xmldoc/xml_utf16.h"

namespace xmldoc {
namespace {

constexpr char kSavedDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n";

// Small documents shaped like the ones the programs read.
const char* const kFixtures[] = {
    // An update check-list.
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<checklist>\r\n"
    "\t<file path=\"LobbyData\\gamelist.xml\" size=\"2048\" ftime=\"1700000000\"/>\r\n"
    "\t<file path=\"ddz\\ddz.cfg\" size=\"12\" ftime=\"-5\"/>\r\n"
    "\t<file path=\"a&amp;b\\&#x4E2D;.png\" size=\"0\" ftime=\"0\"/>\r\n</checklist>\r\n",
    // A game list.
    "<?xml version=\"1.0\" encoding=\"GBK\" standalone=\"no\"?>\n<!-- games -->\n<gamelist>"
    "<game gameid=\"1\" gamename=\"\xE6\x96\x97\" engname=\"ddz\" version=\"1.0.0.3\" "
    "checklist=\"ddz.cl\"/><game gameid=\"2\" gamename=\"&quot;q&quot;\" engname=\"mj\"/>"
    "</gamelist>\n<!-- end -->",
    // A skin.
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\n<Window size=\"600,800\" "
    "caption=\"0,0,0,30\"><Font name=\"wqy\" size=\"12\" default=\"true\"/>\n<VerticalLayout>"
    "<!-- title bar --><HorizontalLayout height=\"30\"><Label name=\"title\" text=\"Hall "
    "&lt;1&gt;\"/>"
    "<Button name=\"closebtn\" normalimage=\"file='close.png' source='0,0,16,16'\"/>"
    "</HorizontalLayout>Some text<![CDATA[raw <b>]]><Edit name=\"Account\"></Edit>more"
    "</VerticalLayout></Window>",
};

TEST(XmlWriterTest, ParseSaveParseGivesTheSameTree) {
  for (const char* fixture : kFixtures) {
    CXmlDocument first;
    first.Load(fixture, XmlSource::kText);
    ASSERT_EQ(first.status(), kXmlParsed) << fixture;
    const std::string saved = first.SaveToMemory();
    CXmlDocument second;
    second.Load(saved, XmlSource::kText);
    EXPECT_EQ(second.status(), kXmlParsed);
    EXPECT_EQ(DescribeDocument(second), DescribeDocument(first)) << saved;
    EXPECT_EQ(second.SaveToMemory(), saved);
  }
}

TEST(XmlWriterTest, Layout) {
  CXmlDocument doc;
  doc.Load(
      "<?xml version=\"1.0\" encoding=\"GBK\"?><!--before--><a k=\"&lt;x&gt;\">T1<b/>"
      "<c><d/></c><!--in-->T2</a><!--after-->",
      XmlSource::kText);
  const std::string expected = std::string(kSavedDecl) +
                               "<!--before-->\r\n"
                               "<a k=\"&lt;x&gt;\">\r\n"
                               "\tT1\r\n"
                               "\t<b/>\r\n"
                               "\t<c>\r\n"
                               "\t\t<d/>\r\n"
                               "\t</c>\r\n"
                               "\tT2\r\n"
                               "\t<!--in-->\r\n"
                               "</a>\r\n"
                               "<!--after-->\r\n";
  EXPECT_EQ(doc.SaveToMemory(), expected);
}

TEST(XmlWriterTest, TextsAtOnePositionStaySeparate) {
  CXmlDocument doc;
  doc.Load("<?xml version=\"1.0\"?><a>x<!--c-->y<![CDATA[d]]>z</a>", XmlSource::kText);
  const std::string tree = DescribeDocument(doc);
  CXmlDocument again;
  again.Load(doc.SaveToMemory(), XmlSource::kText);
  EXPECT_EQ(DescribeDocument(again), tree);
  EXPECT_EQ(again.root()->texts().size(), 3u);
}

TEST(XmlWriterTest, FormattingState) {
  auto node = CXmlNode::Create("a");
  node->AddText("t<");
  node->single_line_text = true;
  EXPECT_EQ(WriteElementToMemory(*node), "<a>t&lt;</a>\r\n");
  auto outer = CXmlNode::Create("o");
  outer->indent_with_blank = true;
  outer->AddChild(CXmlNode::Create("i"));
  outer->AddText("x");
  XmlTextOutput out;
  WriteElement(*outer, out, 1);
  EXPECT_EQ(out.bytes(), " <o>\r\n\t\t<i/>\r\n  x\r\n </o>\r\n");
}

TEST(XmlWriterTest, DecodedOutputIsEscapedAgain) {
  CXmlDocument doc;
  doc.Load("<?xml version=\"1.0\"?><a v=\"&#34;&amp;#65;&#60;\" w='x'>\"q\" &amp; &#38;</a>",
           XmlSource::kText);
  ASSERT_EQ(doc.status(), kXmlParsed);
  const std::string decoded_value = doc.root()->GetAttributeValue("v");
  ASSERT_EQ(decoded_value, "\"&#65;<");
  const std::string text = WriteElementToMemory(*doc.root(), /*raw=*/false);
  EXPECT_EQ(text, "<a v=\"&quot;&amp;#65;&lt;\">\r\n\t&quot;q&quot; &amp; &amp;\r\n</a>\r\n");
  CXmlDocument back;
  back.Load(text, XmlSource::kText);
  EXPECT_EQ(back.root()->GetAttributeValue("v"), decoded_value);
  EXPECT_EQ(back.root()->GetText(), doc.root()->GetText());
}

TEST(XmlWriterTest, EstimateSizeCoversEveryByte) {
  // Names, indentation and values that grow when escaped afresh all count.
  CXmlDocument doc;
  doc.Load(
      "<?xml version=\"1.0\"?><a_rather_long_element_name q=\"&#34;&#34;&#34;&#39;\">"
      "<b><c><d><e><f "
      "x=\"&apos;\">\"\"\"\"\"\"''''</f></e></d></c></b><!--c--><![CDATA[cd]]></"
      "a_rather_long_element_name>",
      XmlSource::kText);
  ASSERT_EQ(doc.status(), kXmlParsed);
  for (const char* fixture : kFixtures) {
    CXmlDocument f;
    f.Load(fixture, XmlSource::kText);
    doc.root()->AddChild(f.ReleaseRoot());
  }
  for (bool raw : {true, false}) {
    for (uint32_t depth : {0u, 3u}) {
      XmlTextOutput stream;
      WriteElement(*doc.root(), stream, depth, raw);
      const uint32_t estimate = EstimateSize(*doc.root(), depth, raw);
      EXPECT_EQ(estimate, stream.size() + 1) << raw << depth;
      std::string buffer(estimate, '\x7f');
      XmlTextOutput memory(buffer.data(), buffer.size());
      WriteElement(*doc.root(), memory, depth, raw);
      EXPECT_FALSE(memory.overflowed());
      EXPECT_EQ(std::string(buffer.c_str()), stream.bytes());
    }
  }
}

TEST(XmlWriterTest, MemoryOutputNeverPassesItsCapacity) {
  auto node = CXmlNode::Create("element");
  node->AddAttribute("k", "value");
  const size_t length = WriteElementToMemory(*node).size();
  ASSERT_EQ(length, 22u);
  for (size_t capacity = 1; capacity <= length; ++capacity) {
    std::string buffer(capacity + 8, '#');
    XmlTextOutput memory(buffer.data(), capacity);
    WriteElement(*node, memory, 0);
    EXPECT_TRUE(memory.overflowed());
    EXPECT_EQ(memory.size(), capacity - 1);
    EXPECT_EQ(buffer[capacity - 1], '\0');
    EXPECT_EQ(buffer.substr(capacity), std::string(8, '#'));
  }
}

TEST(XmlWriterTest, WideTargetReadsBackAsUtf16File) {
  CXmlDocument doc;
  doc.Load(kFixtures[2], XmlSource::kText);
  XmlTextOutput wide(XmlTarget::kWideFile);
  WriteDocument(doc, wide);
  XmlTextOutput narrow;
  WriteDocument(doc, narrow);
  EXPECT_EQ(Utf16LeBytesToUtf8(wide.bytes()), narrow.bytes());
  EXPECT_EQ(wide.bytes().size() % 2, 0u);
}

TEST(XmlWriterTest, InterfaceBuiltTreesAreWellFormed) {
  CXmlDocument doc;
  CXmlNode* root = doc.root();
  root->SetName("r<&>");
  CXmlNode* child = root->AddChild(CXmlNode::Create("c"));
  child->AddAttribute("a\"", "x<y>&'z'");
  child->AddText("1 < 2 & 3");
  EXPECT_TRUE(child->AddCData("<raw>"));
  EXPECT_FALSE(child->AddCData("a]]>b"));
  EXPECT_TRUE(child->AddComment(" note "));
  EXPECT_FALSE(child->AddComment("a--b"));
  EXPECT_FALSE(child->AddComment("a-"));
  CXmlDocument back;
  back.Load(doc.SaveToMemory(), XmlSource::kText);
  ASSERT_EQ(back.status(), kXmlParsed);
  EXPECT_EQ(DescribeDocument(back), DescribeDocument(doc));
  EXPECT_EQ(back.root()->GetName(), "r<&>");
  const CXmlNode* c = back.root()->Child(0);
  EXPECT_EQ(c->attributes()[0]->GetName(), "a\"");
  EXPECT_EQ(c->attributes()[0]->GetValue(), "x<y>&'z'");
  EXPECT_EQ(c->GetText(), "1 < 2 & 3");
}

}  // namespace
}  // namespace xmldoc
