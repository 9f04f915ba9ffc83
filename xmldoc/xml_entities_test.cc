#include "xmldoc/xml_entities.h"

#include <gtest/gtest.h>

namespace xmldoc {
namespace {

TEST(XmlDecodeEntitiesTest, Table) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
      {"&#65;", "A"},
      {"&#x4E2D;", "\xE4\xB8\xAD"},
      {"&#X4e2d;", "\xE4\xB8\xAD"},
      {"&#x1F600;", "\xF0\x9F\x98\x80"},  // above U+FFFF: not cut to 16 bits
      {"&#128512;", "\xF0\x9F\x98\x80"},
      {"&#65B", "AB"},  // no ';': the next character is kept
      {"&#65", "A"},    // reference at the very end
      {"x&#", "x&#"},   // no digits: copied
      {"&#x;", "&#x;"},
      {"&#xG;", "&#xG;"},
      {"&#0;", "\xEF\xBF\xBD"},      // no NUL inside a value
      {"&#xD800;", "\xEF\xBF\xBD"},  // a lone surrogate is no character
      {"&#x110000;", "\xEF\xBF\xBD"},
      {"&#99999999999999999999999;", "\xEF\xBF\xBD"},
      {"&nbsp;", "&nbsp;"},  // unknown names stay
      {"a & b", "a & b"},
      {"&amp", "&amp"},      // a named entity needs its ';'
      {"&amp;lt;", "&lt;"},  // decoded once only
      {"&", "&"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XmlDecodeEntities(c.in), c.out) << c.in;
    EXPECT_LE(c.out.size(), c.in.size()) << c.in;  // decoding never grows a text
  }
}

TEST(XmlDecodeEntitiesTest, AppendsAndReturnsAppendedLength) {
  std::string out = "pre";
  EXPECT_EQ(XmlDecodeEntities("&lt;b", &out), 2u);
  EXPECT_EQ(out, "pre<b");
}

TEST(XmlEncodeEntitiesTest, Table) {
  struct Case {
    std::string in, kept, strict;
  };
  const Case cases[] = {
      {"", "", ""},
      {"a<b>c", "a&lt;b&gt;c", "a&lt;b&gt;c"},
      {"\"'", "&quot;&apos;", "&quot;&apos;"},
      {"&#65; & x", "&#65; &amp; x", "&amp;#65; &amp; x"},
      {"&", "&amp;", "&amp;"},
      {"&#", "&#", "&amp;#"},
      {"\xE4\xB8\xAD", "\xE4\xB8\xAD", "\xE4\xB8\xAD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XmlEncodeEntities(c.in), c.kept) << c.in;
    EXPECT_EQ(XmlEncodeEntities(c.in, nullptr), c.kept.size()) << c.in;
    EXPECT_EQ(XmlEncodeEntities(c.in, false), c.strict) << c.in;
    // Strict escaping always reads back as the original text.
    EXPECT_EQ(XmlDecodeEntities(c.strict), c.in) << c.in;
  }
}

}  // namespace
}  // namespace xmldoc
