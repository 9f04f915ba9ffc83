#include "xmldoc/xml_tree_description.h"

#include "xmldoc/xml_writer.h"

namespace xmldoc {
namespace {

void DescribeItem(char kind, const CXmlText& item, std::string* out) {
  if (!out->empty() && out->back() != '(')
    out->push_back(' ');
  out->push_back(item.instruction ? 'P' : kind);
  out->push_back('"');
  out->append(item.text);
  out->push_back('"');
}

void DescribeItemsAt(const std::vector<CXmlText>& items, char kind, uint32_t position, bool last,
                     std::string* out) {
  for (const CXmlText& item : items) {
    if (item.position == position || (last && item.position > position)) {
      DescribeItem(kind, item, out);
    }
  }
}

void Describe(const CXmlNode& node, std::string* out) {
  out->append(node.raw_name());
  if (!node.attributes().empty()) {
    out->push_back('{');
    for (size_t i = 0; i < node.attributes().size(); ++i) {
      const CXmlAttribute& a = *node.attributes()[i];
      if (i)
        out->push_back(' ');
      out->append(a.raw_name() + "=\"" + a.raw_value() + "\"");
    }
    out->push_back('}');
  }
  const size_t count = node.ChildCount();
  if (count == 0 && node.texts().empty() && node.comments().empty() && node.cdata().empty()) {
    return;
  }
  std::string inner = "(";
  for (size_t i = 0; i <= count; ++i) {
    const auto position = static_cast<uint32_t>(i);
    DescribeItemsAt(node.texts(), 'T', position, i == count, &inner);
    DescribeItemsAt(node.comments(), 'C', position, i == count, &inner);
    DescribeItemsAt(node.cdata(), 'D', position, i == count, &inner);
    if (i == count)
      break;
    if (inner.back() != '(')
      inner.push_back(' ');
    if (const CXmlNode* child = node.Child(i)) {
      Describe(*child, &inner);
    } else {
      inner.push_back('~');
    }
  }
  out->append(inner);
  out->push_back(')');
}

}  // namespace

std::string DescribeTree(const CXmlNode& node) {
  std::string out;
  Describe(node, &out);
  return out;
}

std::string DescribeDocument(const CXmlDocument& document) {
  std::string before, after;
  for (const CXmlText& comment : document.declaration().comments) {
    DescribeItem('C', comment, comment.position == 0 ? &before : &after);
  }
  std::string out = before;
  if (!out.empty())
    out.push_back(' ');
  out += DescribeTree(*document.root());
  if (!after.empty())
    out += ' ' + after;
  return out;
}

std::string CheckRoundTrip(std::string_view text) {
  CXmlDocument first;
  first.Load(text, XmlSource::kText);
  if (first.status() != kXmlParsed && first.status() != kXmlNoDeclaration)
    return {};
  for (bool raw : {true, false}) {
    XmlTextOutput stream;
    WriteElement(*first.root(), stream, 1, raw);
    if (EstimateSize(*first.root(), 1, raw) != stream.size() + 1)
      return "size estimate";
  }
  const std::string tree = DescribeDocument(first);
  const std::string saved = first.SaveToMemory();
  CXmlDocument second;
  second.Load(saved, XmlSource::kText);
  if (second.status() != kXmlParsed)
    return "saved text does not parse: " + saved;
  if (DescribeDocument(second) != tree) {
    return "tree changed: " + tree + " -> " + DescribeDocument(second);
  }
  if (second.SaveToMemory() != saved)
    return "saved text changed";
  return {};
}

}  // namespace xmldoc
