#include "xmldoc/xml_writer.h"

#include <cstring>

#include "xmldoc/xml_entities.h"
#include "xmldoc/xml_utf16.h"

namespace xmldoc {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// A stored name, value or text as the output carries it.
void PutEscaped(XmlTextOutput& out, std::string_view stored, bool raw) {
  if (raw || stored.find_first_of("&<>\"'") == std::string_view::npos) {
    out.Put(stored);
    return;
  }
  // Decoding turns references into the characters themselves; escape every one of them again,
  // numeric references included, so the text reads back as it decoded.
  out.Put(XmlEncodeEntities(XmlDecodeEntities(stored), /*keep_numeric_references=*/false));
}

void PutIndent(XmlTextOutput& out, const CXmlNode& node, uint32_t depth) {
  const char unit = node.indent_with_blank ? ' ' : '\t';
  for (uint32_t i = 0; i < depth; ++i)
    out.Put(std::string_view(&unit, 1));
}

void PutMarked(XmlTextOutput& out, const CXmlText& item, std::string_view open,
               std::string_view close) {
  out.Put(open);
  out.Put(item.text);
  out.Put(close);
  out.Put(kLineEnd);
}

void PutComment(XmlTextOutput& out, const CXmlText& comment) {
  if (comment.instruction) {
    PutMarked(out, comment, "<?", "?>");
  } else {
    PutMarked(out, comment, "<!--", "-->");
  }
}

// Writes the text-like items standing at `position`. Two text pieces in a row would read back as
// one, so a comment or CDATA section at the same position goes between them when there is one.
void PutItemsAt(XmlTextOutput& out, const CXmlNode& node, uint32_t position, bool last,
                uint32_t depth, bool raw, size_t* text, size_t* comment, size_t* cdata) {
  const auto at = [&](std::span<const CXmlText> items, size_t i) {
    return i < items.size() &&
           (items[i].position == position || (last && items[i].position > position));
  };
  for (;;) {
    bool wrote = false;
    if (at(node.texts(), *text)) {
      PutIndent(out, node, depth);
      PutEscaped(out, node.texts()[(*text)++].text, raw);
      out.Put(kLineEnd);
      wrote = true;
    }
    if (at(node.comments(), *comment)) {
      PutIndent(out, node, depth);
      PutComment(out, node.comments()[(*comment)++]);
      wrote = true;
    } else if (at(node.cdata(), *cdata)) {
      PutIndent(out, node, depth);
      PutMarked(out, node.cdata()[(*cdata)++], "<![CDATA[", "]]>");
      wrote = true;
    }
    if (!wrote)
      return;
  }
}

void WriteTree(const CXmlNode& node, XmlTextOutput& out, uint32_t depth, bool raw) {
  PutIndent(out, node, depth);
  out.Put("<");
  PutEscaped(out, node.raw_name(), raw);
  for (const auto& attribute : node.attributes()) {
    out.Put(" ");
    PutEscaped(out, attribute->raw_name(), raw);
    out.Put("=\"");
    PutEscaped(out, attribute->raw_value(), raw);
    out.Put("\"");
  }
  const bool has_content = !node.children().empty() || !node.texts().empty() ||
                           !node.comments().empty() || !node.cdata().empty();
  if (!has_content) {
    out.Put("/>");
    out.Put(kLineEnd);
    return;
  }
  const bool one_line = node.single_line_text && node.texts().size() == 1 &&
                        node.children().empty() && node.comments().empty() && node.cdata().empty();
  if (one_line) {
    out.Put(">");
    PutEscaped(out, node.texts()[0].text, raw);
  } else {
    out.Put(">");
    out.Put(kLineEnd);
    size_t text = 0, comment = 0, cdata = 0;
    const size_t count = node.children().size();
    for (size_t i = 0; i <= count; ++i) {
      PutItemsAt(out, node, static_cast<uint32_t>(i), i == count, depth + 1, raw, &text, &comment,
                 &cdata);
      if (i < count && node.children()[i])
        WriteTree(*node.children()[i], out, depth + 1, raw);
    }
    PutIndent(out, node, depth);
  }
  out.Put("</");
  PutEscaped(out, node.raw_name(), raw);
  out.Put(">");
  out.Put(kLineEnd);
}

void ReloadSubtree(CXmlNode& node) {
  node.ReloadSpilledChildren();
  for (CXmlNode* child : node.children()) {
    if (child)
      ReloadSubtree(*child);
  }
}

}  // namespace

XmlTextOutput::XmlTextOutput(XmlTarget target) : target_(target) {}

XmlTextOutput::XmlTextOutput(char* buffer, size_t capacity)
    : target_(XmlTarget::kMemory), buffer_(buffer), capacity_(capacity) {
  buffer_[0] = '\0';
}

XmlTextOutput XmlTextOutput::Counter() {
  XmlTextOutput counter(XmlTarget::kFile);
  counter.count_only_ = true;
  return counter;
}

void XmlTextOutput::Put(std::string_view text) {
  if (count_only_) {
    size_ += text.size();
    return;
  }
  switch (target_) {
    case XmlTarget::kMemory: {
      const size_t room = capacity_ - 1 - size_;
      const size_t n = text.size() <= room ? text.size() : room;
      if (n < text.size())
        overflowed_ = true;
      std::memcpy(buffer_ + size_, text.data(), n);
      size_ += n;
      buffer_[size_] = '\0';
      return;
    }
    case XmlTarget::kWideFile:
      bytes_.append(Utf8ToUtf16LeBytes(text));
      break;
    default:
      bytes_.append(text);
      break;
  }
  size_ = bytes_.size();
}

void WriteDeclaration(const CXmlDeclaration& declaration, XmlTextOutput& output,
                      uint32_t after_root) {
  if (after_root == 0) {
    output.Put(declaration.text);
    output.Put(kLineEnd);
  }
  for (const CXmlText& comment : declaration.comments) {
    if ((comment.position != 0) == (after_root != 0))
      PutComment(output, comment);
  }
}

void WriteDocument(CXmlDocument& document, XmlTextOutput& output) {
  document.root()->ReloadSpilledChildren();
  WriteDeclaration(document.declaration(), output, 0);
  WriteElement(*document.root(), output, 0, /*raw=*/true);
  WriteDeclaration(document.declaration(), output, 1);
}

void WriteElement(CXmlNode& node, XmlTextOutput& output, uint32_t depth, bool raw) {
  ReloadSubtree(node);
  WriteTree(node, output, depth, raw);
}

uint32_t EstimateSize(const CXmlNode& node, uint32_t depth, bool raw) {
  XmlTextOutput counter = XmlTextOutput::Counter();
  WriteTree(node, counter, depth, raw);
  return static_cast<uint32_t>(counter.size() + 1);
}

std::string WriteElementToMemory(CXmlNode& node, bool raw) {
  ReloadSubtree(node);
  std::string buffer(EstimateSize(node, 0, raw), '\0');
  XmlTextOutput output(buffer.data(), buffer.size());
  WriteTree(node, output, 0, raw);
  buffer.resize(output.size());
  return buffer;
}

}  // namespace xmldoc
