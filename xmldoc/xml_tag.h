// Scanning of the markup constructs the parser splits a text into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xmldoc {

class CXmlNode;

enum class XmlConstruct {
  kStartTag,     // <a ...>
  kEmptyTag,     // <a .../>
  kEndTag,       // </a>
  kComment,      // <!-- ... -->
  kCData,        // <![CDATA[ ... ]]>
  kInstruction,  // <? ... ?>
  kMarkup,       // <!DOCTYPE ...>, other declarations and nameless tags ("< a>"), skipped
};

struct XmlToken {
  XmlConstruct kind = XmlConstruct::kStartTag;
  size_t begin = 0;  // the '<'
  size_t end = 0;    // just past the final '>'
  // Inner text of a comment, CDATA section or instruction.
  std::string_view inner;
};

// Reads the construct whose '<' is at text[lt], never looking past text.size(). False when it is
// not terminated within the text. Double-quoted text inside a tag is skipped, so '>' and '/' in
// attribute values do not end it.
bool ReadToken(std::string_view text, size_t lt, XmlToken* token);

// Reads a start tag ("<a x=\"1\">" or "<a/>"): appends its attributes to `node` and returns its
// name. Both are kept as they stand in the text.
std::string ParseTag(std::string_view tag, CXmlNode* node);

}  // namespace xmldoc
