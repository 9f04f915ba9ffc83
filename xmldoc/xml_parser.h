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
  // Parses from *position: into `parent`'s content up to and including the end tag that closes
  // it, or at document level (`parent` null) to the end of the text, returning the root. `depth`
  // is the nesting level of the elements found. *position ends after what was read. On a failure
  // (an unterminated construct, the text ending inside `parent`, nesting past kXmlMaxDepth) the
  // parse stops and the top-level element being read is dropped.
  std::unique_ptr<CXmlNode> ParseRange(size_t* position, CXmlNode* parent, int depth);
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
