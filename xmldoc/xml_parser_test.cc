#include <gtest/gtest.h>

#include <string>

#include "xmldoc/xml_document.h"
#include "xmldoc/xml_tree_description.h"

namespace xmldoc {
namespace {

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

TEST(XmlParserTest, DocumentsAndWhatTheyParseTo) {
  struct Case {
    std::string body;  // after the declaration
    std::string tree;  // DescribeDocument
    XmlStatus status;
  };
  const Case cases[] = {
      {"<a x=\"1\"/>", "a{x=\"1\"}", kXmlParsed},
      {"<a>T1<b/>T2</a>", "a(T\"T1\" b T\"T2\")", kXmlParsed},
      {"<a>\r\n\t  T1 \n<b></b>\t</a>", "a(T\"T1\" b)", kXmlParsed},
      {"<a><b><c/></b><d/></a>", "a(b(c) d)", kXmlParsed},
      {"<a><!--c1--><b/><![CDATA[x<y]]></a>", "a(C\"c1\" b D\"x<y\")", kXmlParsed},
      {"<a><?pi data?></a>", "a(P\"pi data\")", kXmlParsed},
      {"<!--pre--><a/><!--post-->", "C\"pre\" a C\"post\"", kXmlParsed},
      // Quoted '>' and '/' belong to the value.
      {"<a x=\"/>\" y=\"a>b\"><b/></a>", "a{x=\"/>\" y=\"a>b\"}(b)", kXmlParsed},
      // Values and texts are kept escaped.
      {"<a x=\"&lt;&amp;\">&#65;</a>", "a{x=\"&lt;&amp;\"}(T\"&#65;\")", kXmlParsed},
      // A comment holding markup does not count as tags.
      {"<a><!-- x > <b> --></a>", "a(C\" x > <b> \")", kXmlParsed},
      {"<a><![CDATA[</a>]]></a>", "a(D\"</a>\")", kXmlParsed},
      // Blanks around '=' and between attributes; a value without '=' ends the list.
      {"<a  x = \"1\"\n\ty=\"2\" z/>", "a{x=\"1\" y=\"2\"}", kXmlParsed},
      // A quote inside a would-be name ends the attribute list.
      {"<a x=\"1\" \"z\" y=\"2\"/>", "a{x=\"1\"}", kXmlParsed},
      {"<!DOCTYPE a><a/>", "a", kXmlParsed},
      // Text around skipped markup is one piece, as it would read back once written.
      {"<a>T1<!x>T2<b/>T3</a>", "a(T\"T1 T2\" b T\"T3\")", kXmlParsed},
      // Nameless tags are no elements: nothing could write them back.
      {"<a>< b=\"1\"><>t</a>", "a(T\"t\")", kXmlParsed},
      // End tags are counted, not matched by name.
      {"<a><b></c></a>", "a(b)", kXmlParsed},
      // At document level the last closed element is the root.
      {"<a/><b></b>", "b", kXmlParsed},
      // Unterminated constructs.
      {"<a><b></a>", "root", kXmlUnclosedElement},
      {"<r><a/></r><x>", "r(a)", kXmlUnclosedElement},
      {"<a><!-- open</a>", "root", kXmlUnclosedElement},
      {"<a x=\"1>", "root", kXmlUnclosedElement},
  };
  for (const Case& c : cases) {
    CXmlDocument doc;
    doc.Load(std::string(kDecl) + c.body, XmlSource::kText);
    EXPECT_EQ(doc.status(), c.status) << c.body;
    EXPECT_EQ(DescribeDocument(doc), c.tree) << c.body;
    EXPECT_EQ(doc.declaration().text, kDecl);
  }
}

TEST(XmlParserTest, NodeAccess) {
  CXmlDocument doc;
  doc.Load(std::string(kDecl) +
               "<gamelist><game gameid=\"12\" gamename=\"&#x4E2D;&lt;1&gt;\" engname=\"ddz\"/>"
               "<game gameid=\"x7\"/>tail</gamelist>",
           XmlSource::kText);
  ASSERT_EQ(doc.status(), kXmlParsed);
  CXmlNode* root = doc.root();
  EXPECT_EQ(root->GetName(), "gamelist");
  EXPECT_EQ(root->parent(), nullptr);
  ASSERT_EQ(root->ChildCount(), 2u);
  CXmlNode* game = root->Child(0);
  EXPECT_EQ(game->parent(), root);
  EXPECT_EQ(root->FindChild("game"), game);
  EXPECT_EQ(root->FindChild("none"), nullptr);
  EXPECT_EQ(root->Child(2), nullptr);
  EXPECT_EQ(game->GetAttribute("gameid")->GetInt(), 12);
  EXPECT_EQ(game->GetAttribute("gamename")->GetValue(), "\xE4\xB8\xAD<1>");
  EXPECT_EQ(game->GetAttribute("gamename")->GetValue(true), "&#x4E2D;&lt;1&gt;");
  EXPECT_EQ(game->GetAttributeValue("engname"), "ddz");
  EXPECT_EQ(game->GetAttributeValue("version", "0.0.0.0"), "0.0.0.0");
  EXPECT_EQ(game->GetAttribute("GameId"), nullptr);  // names compare case-sensitively
  EXPECT_EQ(root->Child(1)->GetAttribute("gameid")->GetInt(), 0);
  EXPECT_EQ(root->GetText(), "tail");
  ASSERT_EQ(root->texts().size(), 1u);
  EXPECT_EQ(root->texts()[0].position, 2u);
  EXPECT_EQ(root->texts()[0].owner, root);
}

TEST(XmlParserTest, GetIntReadsLikeAtoi) {
  const std::pair<const char*, int32_t> cases[] = {
      {"42", 42},     {" -7", -7},
      {"+3x", 3},     {"x3", 0},
      {"", 0},        {"99999999999", 2147483647},
      {"&#52;2", 42}, {"-99999999999", -2147483648},
  };
  for (const auto& [value, expected] : cases) {
    CXmlAttribute attribute(nullptr, "n", value);
    EXPECT_EQ(attribute.GetInt(), expected) << value;
  }
}

TEST(XmlParserTest, GetAttributeCreatesOnce) {
  CXmlDocument doc;
  doc.Load("<a/>", XmlSource::kText);
  CXmlNode* root = doc.root();
  EXPECT_EQ(root->GetAttribute("k"), nullptr);
  CXmlAttribute* created = root->GetAttribute("k", true, "a&b");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->GetValue(true), "a&amp;b");
  EXPECT_EQ(created->GetValue(), "a&b");
  EXPECT_EQ(root->GetAttribute("k", true, "other"), created);
  EXPECT_EQ(root->attributes().size(), 1u);
}

TEST(XmlParserTest, TextWithoutDeclarationKeepsItsStart) {
  // An instruction inside the body must not be taken for the declaration.
  CXmlDocument doc;
  doc.Load("<a><?pi x?><b/></a>", XmlSource::kText);
  EXPECT_EQ(doc.status(), kXmlNoDeclaration);
  EXPECT_EQ(doc.declaration().text,
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>");
  EXPECT_EQ(DescribeDocument(doc), "a(P\"pi x\" b)");
}

TEST(XmlParserTest, EmptyAndElementlessTexts) {
  const char* texts[] = {"", "just text", "<?xml version=\"1.0\"?>  \r\n"};
  for (const char* text : texts) {
    CXmlDocument doc;
    doc.Load(text, XmlSource::kText);
    ASSERT_NE(doc.root(), nullptr);
    EXPECT_EQ(doc.root()->GetName(), "root") << text;
    EXPECT_EQ(doc.root()->ChildCount(), 0u);
    EXPECT_EQ(doc.status(), *text ? kXmlNoDeclaration : kXmlParsed) << text;
  }
}

TEST(XmlParserTest, ByteOrderMarkStaysWithTheDeclaration) {
  CXmlDocument doc;
  doc.Load(std::string("\xEF\xBB\xBF") + kDecl + "<a/>", XmlSource::kText);
  EXPECT_EQ(doc.status(), kXmlParsed);
  EXPECT_EQ(doc.declaration().text, std::string("\xEF\xBB\xBF") + kDecl);
  EXPECT_EQ(doc.root()->GetName(), "a");
}

std::string Nested(int depth) {
  std::string text = kDecl;
  for (int i = 0; i < depth; ++i)
    text += "<e>";
  for (int i = 0; i < depth; ++i)
    text += "</e>";
  return text;
}

TEST(XmlParserTest, NestingIsCapped) {
  CXmlDocument doc;
  doc.Load(Nested(kXmlMaxDepth), XmlSource::kText);
  EXPECT_EQ(doc.status(), kXmlParsed);
  int depth = 0;
  for (const CXmlNode* n = doc.root(); n; n = n->Child(0))
    ++depth;
  EXPECT_EQ(depth, kXmlMaxDepth);

  doc.Load(Nested(kXmlMaxDepth + 1), XmlSource::kText);
  EXPECT_EQ(doc.status(), kXmlTooDeep);
  doc.Load(Nested(100000), XmlSource::kText);  // would overflow the stack without the cap
  EXPECT_EQ(doc.status(), kXmlTooDeep);
  // A self-closing element one level too deep counts as well.
  doc.Load(Nested(kXmlMaxDepth).insert(std::string(kDecl).size() + 3 * kXmlMaxDepth, "<x/>"),
           XmlSource::kText);
  EXPECT_EQ(doc.status(), kXmlTooDeep);
}

TEST(XmlParserTest, EveryTruncatedPrefixFailsCleanly) {
  const std::string full = std::string(kDecl) +
                           "<a x=\"1\" y=\"&amp;\"><!--c--><![CDATA[d]]><?p q?>t<b/>"
                           "<c z=\"2\">u</c></a>";
  CXmlDocument doc;
  doc.Load(full, XmlSource::kText);
  ASSERT_EQ(doc.status(), kXmlParsed);
  const std::string tree = DescribeDocument(doc);
  for (size_t n = 0; n < full.size(); ++n) {
    // An exact-size heap copy, so ASan sees any read past the end.
    CXmlDocument prefix;
    prefix.Load(std::string(full, 0, n), XmlSource::kText);
    ASSERT_NE(prefix.root(), nullptr);
    EXPECT_TRUE(prefix.status() != kXmlParsed || DescribeDocument(prefix) != tree) << n;
    if (n > 0) {
      EXPECT_NE(prefix.status(), kXmlParsed) << n;
    }
  }
}

}  // namespace
}  // namespace xmldoc
