#include "xmldoc/xml_registry_export.h"

#include <string>

namespace xmldoc {
namespace {

using platform::RegistryValue;
using platform::RegistryValueType;

RegistryValue StringValue(std::string_view text) {
  return RegistryValue{RegistryValueType::kString, std::string(text)};
}

// A value or key name: a one-letter kind and what follows it.
std::string KeyName(char kind, std::string_view rest) {
  std::string name(1, kind);
  name.append(rest);
  return name;
}

}  // namespace

bool WriteElement(CXmlNode& node, platform::RegistryKeyNode& key) {
  node.ReloadSpilledChildren();
  const int index = node.parent() ? node.parent()->IndexOf(&node) : 0;
  const std::string name =
      KeyName('E', std::to_string(index < 0 ? 0 : index)).append(node.raw_name());
  // A '\' would open a path of keys instead of one.
  if (name.find('\\') != std::string::npos)
    return false;
  platform::RegistryKeyNode* subkey = key.Create(name);
  if (subkey == nullptr)
    return false;
  for (const auto& attribute : node.attributes()) {
    subkey->Set(KeyName('V', attribute->raw_name()), StringValue(attribute->raw_value()));
  }
  size_t data = 0;
  for (const CXmlText& text : node.texts()) {
    subkey->Set(KeyName('D', std::to_string(data++)), StringValue(text.text));
  }
  for (const CXmlText& section : node.cdata()) {
    subkey->Set(KeyName('D', std::to_string(data++)), StringValue(section.text));
  }
  for (size_t i = 0; i < node.comments().size(); ++i) {
    subkey->Set(KeyName('C', std::to_string(i)), StringValue(node.comments()[i].text));
  }
  bool complete = true;
  for (CXmlNode* child : node.children()) {
    if (child && !WriteElement(*child, *subkey))
      complete = false;
  }
  return complete;
}

bool WriteElementToRegistry(CXmlNode& node, platform::RegistryStore& store,
                            platform::RegistryRoot root, std::string_view key_path) {
  bool complete = true;
  const bool written = store.Modify(root, [&](platform::RegistryKeyNode& tree) {
    platform::RegistryKeyNode* key = tree.Create(key_path);
    if (key == nullptr)
      return false;
    complete = WriteElement(node, *key);
    return true;
  });
  return written && complete;
}

}  // namespace xmldoc
