// The parser reads start tags in one pass; ReadToken and ParseTag are the reference reading.
#include "xmldoc/xml_tag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xmldoc/xml_tree_description.h"

namespace xmldoc {
namespace {

// Tags and what follows them, each also cut at every length.
const char* const kTags[] = {
    "<a>",
    "<a/>",
    "<a/b>",
    "<a x=\"1\">",
    "<a x=\"1\"/>",
    "<a  x = \"1\"\n\ty=\"2\" z/>",
    "<a x=\"/>\" y=\"a>b\"><b/>",
    "<a x=\"1\" \"z\" y=\"2\"/>",
    "<a x=junk\"1\" y=\"2\">",
    "<a x=>\"1\">",
    "<a x y=\"1\">",
    "<a a b=\"1\"/>",
    "<a x=\"1\"y=\"2\">",
    "<a x=\"unterminated>",
    "<a \"q\">rest\">",
    "<a\"b\">",
    "<=a>",
    "<a x/=\"1\">",
    "<a x=\"1\" / y=\"2\">",
    "<a x=\"1\" y>",
    "<a\r\nx=\"\"\r\n/>",
};

TEST(XmlTagTest, OnePassScanReadsLikeTheReference) {
  for (const char* tag : kTags) {
    const std::string text = std::string(tag) + "tail";
    for (size_t length = 1; length <= text.size(); ++length) {
      EXPECT_EQ(CheckTagScan(text.substr(0, length)), "") << text.substr(0, length);
    }
  }
}

TEST(XmlTagTest, ScanResults) {
  struct Case {
    std::string text;
    bool terminated;
    size_t end;
    bool empty;
    std::string name;
    std::vector<std::string> attributes;  // name=value
  };
  const Case cases[] = {
      {"<a x=\"1\" y=\"2\"/>", true, 16, true, "a", {"x=1", "y=2"}},
      {"<b x=\"a>b\">t</b>", true, 11, false, "b", {"x=a>b"}},
      {"<c x=\"1\" \"z\" y=\"2\">", true, 19, false, "c", {"x=1"}},
      {"<d x=\"1", false, 0, false, "d", {}},
      {"<e", false, 0, false, "e", {}},
  };
  for (const Case& c : cases) {
    XmlStartTag tag;
    std::vector<XmlTagAttribute> attributes;
    ASSERT_EQ(ScanStartTag(c.text, 0, &tag, &attributes), c.terminated) << c.text;
    if (!c.terminated)
      continue;
    EXPECT_EQ(tag.end, c.end) << c.text;
    EXPECT_EQ(tag.empty, c.empty) << c.text;
    EXPECT_EQ(tag.name, c.name) << c.text;
    std::vector<std::string> got;
    for (const XmlTagAttribute& a : attributes)
      got.push_back(std::string(a.name) + "=" + std::string(a.value));
    EXPECT_EQ(got, c.attributes) << c.text;
  }
}

}  // namespace
}  // namespace xmldoc
