// The declaration line of a document and the comments that stand outside its root element.
#pragma once

#include <string>
#include <vector>

#include "xmldoc/xml_node.h"

namespace xmldoc {

// The declaration every saved document carries and an unreadable file gets.
inline constexpr char kDefaultDeclaration[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>";
// The UTF-8 byte-order mark.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

class CXmlDeclaration {
 public:
  // The declaration as written, including any byte-order mark before it.
  std::string text = kDefaultDeclaration;
  // Document-level comments; position 0 before the root element, 1 after it.
  std::vector<CXmlText> comments;

  // Appends a document-level comment.
  void AddComment(std::string_view comment, uint32_t after_root, bool instruction = false) {
    comments.push_back(CXmlText{nullptr, XmlString(comment), after_root, instruction});
  }
  // Drops every comment.
  void Clear() { comments.clear(); }
};

}  // namespace xmldoc
