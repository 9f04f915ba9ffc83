// Splits a document body into the element tree. Internal to the library.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "xmldoc/xml_arena.h"
#include "xmldoc/xml_declaration.h"
#include "xmldoc/xml_document.h"
#include "xmldoc/xml_node.h"
#include "xmldoc/xml_tag.h"

namespace xmldoc {

class XmlParser {
 public:
  // Parses `body`, which lies in `arena` (its source text or a part of it); the tree is built in
  // the arena. Document-level comments go to `declaration`.
  XmlParser(XmlArena* arena, std::string_view body, CXmlDeclaration* declaration)
      : arena_(arena), text_(body), declaration_(declaration) {}

  // Parses the whole body. Returns the root (the last element with an end tag at document level,
  // else the first self-closing one), null when there is none; the root keeps the arena alive.
  // *status is set to kXmlUnclosedElement or kXmlTooDeep on those failures and left alone
  // otherwise; what was parsed before a failure stays in the tree.
  std::unique_ptr<CXmlNode> ParseDocument(XmlStatus* status);

 private:
  // Parses from *position: into `parent`'s content up to and including the end tag that closes
  // it, or at document level (`parent` null) to the end of the text, returning the root. `depth`
  // is the nesting level of the elements found. *position ends after what was read. On a failure
  // (an unterminated construct, the text ending inside `parent`, nesting past kXmlMaxDepth) the
  // parse stops and the top-level element being read is dropped.
  std::unique_ptr<CXmlNode> ParseRange(size_t* position, CXmlNode* parent, int depth);
  // Adds the trimmed text of [begin, end) to `parent`'s pending texts from `first_text` on, joined
  // to the previous piece when `continues`; `position` is the number of children before it.
  // False when there is nothing to add.
  bool AddTextPiece(size_t begin, size_t end, CXmlNode* parent, bool continues, size_t first_text,
                    uint32_t position);
  // A node for the start tag at text_[lt] whose attributes are in tag_attributes_.
  CXmlNode* NewNode(CXmlNode* parent, std::string_view name);
  // Moves the pending items from the given indices on into `node`'s arrays in the arena.
  void Finish(CXmlNode* node, size_t first_child, size_t first_text, size_t first_comment,
              size_t first_cdata);
  void Fail(XmlStatus status) {
    if (failure_ == kXmlParsed)
      failure_ = status;
  }

  XmlArena* arena_;
  std::string_view text_;
  CXmlDeclaration* declaration_;
  XmlStatus failure_ = kXmlParsed;
  // The contents of the open elements, innermost last; each is moved into its element, sized
  // exactly, when the element ends.
  std::vector<CXmlNode*> children_;
  std::vector<CXmlText> texts_;
  std::vector<CXmlText> comments_;
  std::vector<CXmlText> cdata_;
  std::vector<XmlTagAttribute> tag_attributes_;
};

}  // namespace xmldoc
