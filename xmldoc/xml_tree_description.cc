#include "xmldoc/xml_tree_description.h"

#include <vector>

#include "xmldoc/xml_tag.h"
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

void DescribeItemsAt(std::span<const CXmlText> items, char kind, uint32_t position, bool last,
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
      out->append(a.raw_name()).append("=\"").append(a.raw_value()).append("\"");
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

std::string CheckTagScan(std::string_view text) {
  for (size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
    if (lt + 1 >= text.size())
      break;
    const char next = text[lt + 1];
    if (std::string_view("!?/ \t\r\n>\"").find(next) != std::string_view::npos)
      continue;  // no element starts here
    const std::string at = "tag at " + std::to_string(lt) + ": ";
    XmlToken token;
    const bool read = ReadToken(text, lt, &token);
    XmlStartTag tag;
    std::vector<XmlTagAttribute> attributes;
    if (ScanStartTag(text, lt, &tag, &attributes) != read)
      return at + (read ? "scan found no end" : "scan found an end");
    if (!read)
      continue;
    if (tag.end != token.end)
      return at + "ends at " + std::to_string(tag.end) + ", not " + std::to_string(token.end);
    if (tag.empty != (token.kind == XmlConstruct::kEmptyTag))
      return at + "empty or not";
    const CXmlNode node(nullptr, text.substr(lt, token.end - lt));
    if (tag.name != node.raw_name())
      return at + "name " + std::string(tag.name) + ", not " + node.GetName(/*raw=*/true);
    if (attributes.size() != node.attributes().size())
      return at + std::to_string(attributes.size()) + " attributes, not " +
             std::to_string(node.attributes().size());
    for (size_t i = 0; i < attributes.size(); ++i) {
      const CXmlAttribute& expected = *node.attributes()[i];
      if (attributes[i].name != expected.raw_name() || attributes[i].value != expected.raw_value())
        return at + "attribute " + std::to_string(i);
    }
  }
  return {};
}

}  // namespace xmldoc
