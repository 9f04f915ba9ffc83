// Turns a document or one element tree into text: an 8-bit file, a UTF-16 file or a memory
// buffer. Names, values and texts are written as stored (escaped); with `raw` unset they are
// decoded and escaped afresh, so the output is well-formed either way.
//
// Layout: one element per line, indented by one tab per level, each line ending in CR LF. An
// element without content is written "<name a=\"v\"/>". Text pieces, comments and CDATA sections
// stand before the child whose index is their position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "xmldoc/xml_declaration.h"
#include "xmldoc/xml_document.h"
#include "xmldoc/xml_node.h"

namespace xmldoc {

enum class XmlTarget : uint32_t {
  kFile = 0,      // 8-bit text, bytes as stored
  kMemory = 1,    // a caller's buffer of fixed capacity
  kRegistry = 2,  // keys and values (xml_registry_export.h)
  kWideFile = 3,  // UTF-16LE text
};

// Where the text writers put their output.
class XmlTextOutput {
 public:
  // Collects 8-bit (kFile) or UTF-16LE (kWideFile) bytes in bytes().
  explicit XmlTextOutput(XmlTarget target = XmlTarget::kFile);
  // Writes into buffer[0, capacity) and keeps it zero-terminated; what does not fit is cut off
  // and overflowed() becomes true. REQUIRES: capacity > 0.
  XmlTextOutput(char* buffer, size_t capacity);
  // Counts the bytes an 8-bit output would receive, without storing them.
  static XmlTextOutput Counter();

  void Put(std::string_view text);
  const std::string& bytes() const { return bytes_; }
  // Bytes written (or counted), without the terminator of a memory buffer.
  size_t size() const { return size_; }
  bool overflowed() const { return overflowed_; }

 private:
  XmlTarget target_;
  bool count_only_ = false;
  char* buffer_ = nullptr;
  size_t capacity_ = 0;
  size_t size_ = 0;
  bool overflowed_ = false;
  std::string bytes_;
};

// Declaration, document comments before the root, the root element, comments after it. Reloads
// the root's spilled children first.
void WriteDocument(CXmlDocument& document, XmlTextOutput& output);
// One element and its subtree at `depth` levels of indentation. Reloads spilled children first.
void WriteElement(CXmlNode& node, XmlTextOutput& output, uint32_t depth, bool raw = true);
// The declaration line (only when `after_root` is 0) and the document comments whose position is
// `after_root`.
void WriteDeclaration(const CXmlDeclaration& declaration, XmlTextOutput& output,
                      uint32_t after_root);

// Bytes a memory buffer needs for WriteElement of `node` at `depth`, including the terminating
// zero. Children still held in spill files are not counted: reload them first.
uint32_t EstimateSize(const CXmlNode& node, uint32_t depth = 0, bool raw = true);

// WriteElement into a memory buffer sized with EstimateSize; returns the text.
std::string WriteElementToMemory(CXmlNode& node, bool raw = true);

}  // namespace xmldoc
