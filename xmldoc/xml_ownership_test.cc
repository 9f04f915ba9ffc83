// Parsed trees live in their document's memory; these tests hand parts of them out, edit them and
// free them in every order, for the sanitizers to check.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "xmldoc/xml_document.h"
#include "xmldoc/xml_tree_description.h"

namespace xmldoc {
namespace {

constexpr char kText[] =
    "<?xml version=\"1.0\"?><a x=\"1\" y=\"long enough to need the heap\">"
    "T1<b k=\"v\"><c/></b>T2<!--note--><d><![CDATA[raw]]></d></a>";
constexpr char kTree[] =
    "a{x=\"1\" y=\"long enough to need the heap\"}(T\"T1\" b{k=\"v\"}(c) T\"T2\" C\"note\" "
    "d(D\"raw\"))";

TEST(XmlOwnershipTest, ReleasedRootOutlivesItsDocument) {
  std::unique_ptr<CXmlNode> root;
  {
    CXmlDocument doc;
    doc.Load(kText, XmlSource::kText);
    root = doc.ReleaseRoot();
    EXPECT_EQ(doc.root()->GetName(), "root");
  }
  EXPECT_EQ(DescribeTree(*root), kTree);
  EXPECT_EQ(root->Child(0)->parent(), root.get());
}

TEST(XmlOwnershipTest, ReleasedChildOutlivesItsDocumentAndMovesToAnotherTree) {
  std::unique_ptr<CXmlNode> b;
  {
    CXmlDocument doc;
    doc.Load(kText, XmlSource::kText);
    b = doc.root()->ReleaseChild(0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->parent(), nullptr);
    EXPECT_EQ(doc.root()->Child(0), nullptr);
    EXPECT_EQ(doc.root()->ReleaseChild(0), nullptr);  // already taken
    EXPECT_EQ(doc.root()->ReleaseChild(9), nullptr);
    // Reloading drops the first text's tree but not the part handed out.
    doc.Load("<z/>", XmlSource::kText);
  }
  EXPECT_EQ(DescribeTree(*b), "b{k=\"v\"}(c)");
  std::unique_ptr<CXmlNode> holder = CXmlNode::Create("h");
  CXmlNode* moved = holder->AddChild(std::move(b));
  EXPECT_EQ(moved->parent(), holder.get());
  EXPECT_EQ(DescribeTree(*holder), "h(b{k=\"v\"}(c))");
}

TEST(XmlOwnershipTest, ChildrenOfTwoDocumentsMixInOneTree) {
  CXmlDocument first, second;
  first.Load(kText, XmlSource::kText);
  second.Load("<s><t q=\"w\"/></s>", XmlSource::kText);
  first.root()->Child(1)->AddChild(second.root()->ReleaseChild(0));
  second.Load("<gone/>", XmlSource::kText);
  EXPECT_EQ(DescribeTree(*first.root()->Child(1)), "d(D\"raw\" t{q=\"w\"})");
  // A borrowed child is not the node's to hand out.
  CXmlDocument third;
  third.Load("<u/>", XmlSource::kText);
  first.root()->AddBorrowedChild(third.root());
  EXPECT_EQ(first.root()->ReleaseChild(first.root()->ChildCount() - 1), nullptr);
}

TEST(XmlOwnershipTest, EditsOfParsedNodesKeepEarlierPointers) {
  CXmlDocument doc;
  doc.Load(kText, XmlSource::kText);
  CXmlNode* a = doc.root();
  CXmlAttribute* x = a->GetAttribute("x");
  CXmlNode* b = a->Child(0);
  ASSERT_NE(x, nullptr);
  x->SetValue("<2>");
  for (int i = 0; i < 10; ++i) {
    a->AddAttribute("n" + std::to_string(i), "v");
    a->AddChild(CXmlNode::Create("e" + std::to_string(i)));
  }
  a->AddText("T3");
  EXPECT_TRUE(a->AddComment("more"));
  EXPECT_TRUE(b->AddCData("d2"));
  a->SetName("renamed");
  EXPECT_EQ(a->GetAttribute("x"), x);
  EXPECT_EQ(x->raw_value(), "&lt;2&gt;");
  EXPECT_EQ(a->Child(0), b);
  EXPECT_EQ(a->ChildCount(), 12u);
  EXPECT_EQ(a->attributes().size(), 12u);
  EXPECT_EQ(a->GetText(), "T1T2T3");
  EXPECT_EQ(a->texts().back().position, 12u);
  EXPECT_EQ(DescribeTree(*b), "b{k=\"v\"}(c D\"d2\")");
  // The edited tree saves and reads back as it stands.
  const std::string saved = doc.SaveToMemory();
  CXmlDocument again;
  again.Load(saved, XmlSource::kText);
  EXPECT_EQ(DescribeTree(*again.root()), DescribeTree(*a));
}

TEST(XmlOwnershipTest, CopiedItemsOwnTheirText) {
  CXmlText copy;
  {
    CXmlDocument doc;
    doc.Load(kText, XmlSource::kText);
    copy = doc.root()->texts()[1];
  }
  EXPECT_EQ(copy.text, "T2");
  XmlString s = XmlString::Borrow("borrowed text");
  s.Assign(s.view().substr(0, 8));  // from its own bytes
  EXPECT_EQ(s, "borrowed");
  XmlString t(s);
  s = XmlString();
  EXPECT_EQ(t, "borrowed");
  EXPECT_TRUE(s.empty());
  t.Assign(t.view().substr(3));  // from its own heap bytes
  EXPECT_EQ(t, "rowed");
}

}  // namespace
}  // namespace xmldoc
