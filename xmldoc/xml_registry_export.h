// Writes an element tree into the registry store: each element a subkey named "E<index><name>",
// each attribute a string value "V<name>", text pieces and CDATA sections string values
// "D<n>" (texts first, then the sections, numbered on from them so none overwrites another), and
// comments "C<n>". Names and values are written as stored (escaped).
#pragma once

#include <string_view>

#include "platform/registry.h"
#include "xmldoc/xml_node.h"

namespace xmldoc {

// Adds `node` (its index among its parent's children, 0 for a root) below `key`. Reloads spilled
// children first. False when a key name would be unusable (a '\' in it, or too long): that
// element and its subtree are left out, the rest is written.
bool WriteElement(CXmlNode& node, platform::RegistryKeyNode& key);

// The same below the key at `key_path` of `root` in `store`, in one write. False also when the
// store cannot be written.
bool WriteElementToRegistry(CXmlNode& node, platform::RegistryStore& store,
                            platform::RegistryRoot root, std::string_view key_path);

}  // namespace xmldoc
