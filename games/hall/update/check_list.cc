#include "games/hall/update/check_list.h"

#include <charconv>

#include "games/hall/text/text_convert.h"
#include "xmldoc/xml_document.h"

namespace hall {
namespace {

constexpr std::string_view kRootName = "checklist";
constexpr std::string_view kFileElement = "file";

// A decimal 32-bit value as the list stores it: leading blanks and a sign allowed, reading stops
// at the first other character; nothing readable or out of range gives 0.
int32_t ReadInt32(const std::string& text) {
  size_t i = text.find_first_not_of(" \t\r\n");
  if (i == std::string::npos)
    return 0;
  if (text[i] == '+')
    ++i;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value);
  (void)end;
  return error == std::errc() ? value : 0;
}

bool ReadCheckList(std::string_view source, xmldoc::XmlSource kind, CheckList& list) {
  list.clear();
  xmldoc::CXmlDocument document;
  if (!document.Load(source, kind))
    return false;
  // A list cut short (an unclosed element) would name fewer files than the product has, and the
  // applier removes files a list no longer names.
  if (document.status() == xmldoc::kXmlUnclosedElement ||
      document.status() == xmldoc::kXmlTooDeep) {
    return false;
  }
  const xmldoc::CXmlNode* root = document.root();
  if (root == nullptr || root->GetName() != kRootName)
    return false;
  // Missing attributes read as their defaults and the file is left as it is: writing it back
  // would change its time, which is what tells an installed list from the server's.
  for (const xmldoc::CXmlNode* file : root->children()) {
    if (file == nullptr || file->GetName() != kFileElement)
      continue;
    CheckListEntry entry;
    entry.path = Utf8ToAnsi(file->GetAttributeValue("path"));
    if (entry.path.empty())
      continue;
    entry.size = ReadInt32(file->GetAttributeValue("size", "0"));
    entry.ftime = ReadInt32(file->GetAttributeValue("ftime", "0"));
    list[entry.path] = std::move(entry);
  }
  return true;
}

}  // namespace

bool LoadCheckList(const std::string& path, CheckList& list) {
  return ReadCheckList(path, xmldoc::XmlSource::kFilePath, list);
}

bool ParseCheckList(std::string_view text, CheckList& list) {
  return ReadCheckList(text, xmldoc::XmlSource::kText, list);
}

}  // namespace hall
