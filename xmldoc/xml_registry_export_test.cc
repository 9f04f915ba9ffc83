#include "xmldoc/xml_registry_export.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/file_util.h"
#include "xmldoc/xml_document.h"

namespace xmldoc {
namespace {

using platform::RegistryKeyNode;
using platform::RegistryRoot;

std::string StringAt(const RegistryKeyNode& key, const char* name) {
  const platform::RegistryValue* value = key.Get(name);
  return value ? value->data : "<missing>";
}

TEST(XmlRegistryExportTest, ElementsBecomeKeysAndValues) {
  CXmlDocument doc;
  doc.Load(
      "<?xml version=\"1.0\"?><gamelist v=\"&amp;1\"><!--c0-->T0<![CDATA[cd]]><game id=\"1\"/>"
      "T1<!--c1--><game id=\"2\"><x/></game></gamelist>",
      XmlSource::kText);
  RegistryKeyNode tree;
  ASSERT_TRUE(WriteElement(*doc.root(), tree));
  const RegistryKeyNode* root = tree.Find("E0gamelist");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(StringAt(*root, "Vv"), "&amp;1");  // as stored
  // Texts and CDATA share the "D" names without overwriting each other.
  EXPECT_EQ(StringAt(*root, "D0"), "T0");
  EXPECT_EQ(StringAt(*root, "D1"), "T1");
  EXPECT_EQ(StringAt(*root, "D2"), "cd");
  EXPECT_EQ(StringAt(*root, "C0"), "c0");
  EXPECT_EQ(StringAt(*root, "C1"), "c1");
  EXPECT_EQ(root->values().size(), 6u);
  ASSERT_NE(root->Find("E0game"), nullptr);
  EXPECT_EQ(StringAt(*root->Find("E0game"), "Vid"), "1");
  EXPECT_EQ(StringAt(*root->Find("E1game"), "Vid"), "2");
  EXPECT_NE(root->Find("E1game\\E0x"), nullptr);
}

TEST(XmlRegistryExportTest, UnusableNamesAreLeftOutAndReported) {
  CXmlDocument doc;
  doc.Load("<?xml version=\"1.0\"?><r><a\\b/><ok/></r>", XmlSource::kText);
  doc.root()->AddChild(CXmlNode::Create(std::string(300, 'n')));
  RegistryKeyNode tree;
  EXPECT_FALSE(WriteElement(*doc.root(), tree));
  const RegistryKeyNode* root = tree.Find("E0r");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->subkeys().size(), 1u);
  EXPECT_NE(root->Find("E1ok"), nullptr);
}

TEST(XmlRegistryExportTest, WritesThroughTheStore) {
  char tmpl[] = "/tmp/xml_registry_export_test.XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  platform::RegistryStore store(dir);
  CXmlDocument doc;
  doc.Load("<?xml version=\"1.0\"?><cfg k=\"v\"><s/></cfg>", XmlSource::kText);
  EXPECT_TRUE(
      WriteElementToRegistry(*doc.root(), store, RegistryRoot::kCurrentUser, "Software\\T"));
  std::string value;
  EXPECT_TRUE(store.GetString(RegistryRoot::kCurrentUser, "Software\\T\\E0cfg", "Vk", &value));
  EXPECT_EQ(value, "v");
  EXPECT_TRUE(store.KeyExists(RegistryRoot::kCurrentUser, "Software\\T\\E0cfg\\E0s"));
  EXPECT_FALSE(
      WriteElementToRegistry(*doc.root(), store, RegistryRoot::kCurrentUser, "bad\\\\path"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace xmldoc
