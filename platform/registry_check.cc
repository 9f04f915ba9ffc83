#include "platform/registry_check.h"

#include <algorithm>
#include <cstdint>

#include "platform/registry.h"
#include "platform/script_reader.h"

namespace registry_check {
namespace {

using platform::RegistryKeyNode;
using platform::RegistryValue;
using platform::RegistryValueType;

// Where two trees differ ("" when they are the same), names compared exactly.
std::string Difference(const RegistryKeyNode& a, const RegistryKeyNode& b, const std::string& at) {
  if (a.values().size() != b.values().size())
    return "a different count of values in [" + at + "]";
  for (auto i = a.values().begin(), j = b.values().begin(); i != a.values().end(); ++i, ++j) {
    if (i->first != j->first || !(i->second == j->second))
      return "a different value in [" + at + "]";
  }
  if (a.subkeys().size() != b.subkeys().size())
    return "a different count of subkeys in [" + at + "]";
  for (auto i = a.subkeys().begin(), j = b.subkeys().begin(); i != a.subkeys().end(); ++i, ++j) {
    if (i->first != j->first)
      return "a different subkey name in [" + at + "]";
    const std::string path = at.empty() ? i->first : at + "\\" + i->first;
    std::string difference = Difference(*i->second, *j->second, path);
    if (!difference.empty())
      return difference;
  }
  return "";
}

// A tree written out reads back into the same tree, and writes out the same again.
std::string CheckWritesBack(const RegistryKeyNode& tree) {
  const std::string text = platform::SerializeRegistryTree(tree);
  RegistryKeyNode back;
  if (!platform::ParseRegistryTree(text, &back))
    return "the written tree does not read back";
  std::string difference = Difference(tree, back, "");
  if (!difference.empty())
    return "read back with " + difference;
  if (platform::SerializeRegistryTree(back) != text)
    return "the tree read back writes out another text";
  return "";
}

std::string CheckFile(std::string_view text) {
  RegistryKeyNode tree;
  if (!platform::ParseRegistryTree(text, &tree)) {
    if (!tree.subkeys().empty() || !tree.values().empty())
      return "a refused file left keys or values in the tree";
    return "";
  }
  return CheckWritesBack(tree);
}

// The edit script: records of an operation byte, then length-prefixed texts.
using Script = platform::ScriptReader;

std::string CheckEdits(std::string_view script_bytes) {
  RegistryKeyNode tree;
  Script script(script_bytes);
  while (!script.done()) {
    const uint8_t op = script.Byte() % 5;
    const std::string path = script.Text();
    switch (op) {
      case 0:
        if (tree.Create(path) != nullptr && tree.Find(path) == nullptr)
          return "a created key cannot be found";
        break;
      case 1:
      case 2: {
        const std::string name = script.Text();
        RegistryValue value;
        value.type = op == 1 ? RegistryValueType::kString : RegistryValueType::kBinary;
        value.data = script.Text();
        RegistryKeyNode* key = tree.Create(path);
        if (key == nullptr)
          break;
        key->Set(name, value);
        const RegistryValue* stored = key->Get(name);
        if (stored == nullptr || !(*stored == value))
          return "a value set cannot be read back";
        break;
      }
      case 3:
        if (tree.Remove(path) && tree.Find(path) != nullptr)
          return "a removed key is still found";
        break;
      default: {
        const std::string name = script.Text();
        RegistryKeyNode* key = tree.Find(path);
        if (key != nullptr && key->RemoveValue(name) && key->Get(name) != nullptr)
          return "a removed value is still found";
        break;
      }
    }
  }
  return CheckWritesBack(tree);
}

}  // namespace

std::string CheckRegistryInput(std::string_view input) {
  if (input.empty())
    return "";
  const bool edits = (static_cast<uint8_t>(input[0]) & 1) != 0;
  input.remove_prefix(1);
  return edits ? CheckEdits(input) : CheckFile(input);
}

}  // namespace registry_check
