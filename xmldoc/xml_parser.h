// Splits a document body into the element tree. Internal to the library.
#pragma once

#include <memory>
#include <string_view>

#include "xmldoc/xml_declaration.h"
#include "xmldoc/xml_document.h"
#include "xmldoc/xml_node.h"

namespace xmldoc {

class XmlParser {
 public:
  // Document-level comments go to `declaration`.
  XmlParser(std::string_view body, CXmlDeclaration* declaration)
      : text_(body), declaration_(declaration) {}

  // Parses the whole body. Returns the root (the last element with an end tag at document level,
  // else the first self-closing one), null when there is none. *status is set to
  // kXmlUnclosedElement or kXmlTooDeep on those failures and left alone otherwise; what was parsed
  // before a failure stays in the tree.
  std::unique_ptr<CXmlNode> ParseDocument(XmlStatus* status);

 private:
  // Parses text_[begin, end) into `parent`'s content, or at document level when `parent` is null
  // (then the root is returned). `depth` is the nesting level of the elements found in the range.
  std::unique_ptr<CXmlNode> ParseRange(size_t begin, size_t end, CXmlNode* parent, int depth);
  // Index of the '<' of the end tag that closes the element whose start tag ends at `after_start`,
  // npos when it has none before `end` (*failure kXmlUnclosedElement) or when elements inside it
  // nest more than `levels_left` deep (*failure kXmlTooDeep; found early, so a hostile document
  // costs one scan).
  size_t FindElementEnd(size_t after_start, size_t end, int levels_left, XmlStatus* failure) const;
  // Adds the trimmed text of [begin, end) to `parent`, joined to the previous piece when
  // `continues`. False when there is nothing to add.
  bool AddTextPiece(size_t begin, size_t end, CXmlNode* parent, bool continues);
  void Fail(XmlStatus status) {
    if (failure_ == kXmlParsed)
      failure_ = status;
  }

  std::string_view text_;
  CXmlDeclaration* declaration_;
  XmlStatus failure_ = kXmlParsed;
};

}  // namespace xmldoc
