// Scanning of the markup constructs the parser splits a text into.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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

// The first `c` in [from, end), null when there is none. Short runs (the blanks between tags, a
// short value) are scanned in place, where a call to memchr would cost more than the scan.
inline const char* FindByte(const char* from, const char* end, char c) {
  constexpr int kInline = 16;
  for (int i = 0; i < kInline; ++i, ++from) {
    if (from == end)
      return nullptr;
    if (*from == c)
      return from;
  }
  return static_cast<const char*>(std::memchr(from, c, end - from));
}

struct XmlTagAttribute {
  std::string_view name;
  std::string_view value;
};

// A start tag read in one pass, as ReadToken and ParseTag together read it.
struct XmlStartTag {
  std::string_view name;
  size_t end = 0;      // just past the final '>'
  bool empty = false;  // "<a/>"
};

// Reads the start tag whose '<' is at text[lt], where a name follows the '<' (ReadToken would
// call it kStartTag or kEmptyTag). Appends its attributes to `attributes`, views into `text`.
// False, with `attributes` in any state, when the tag is not terminated within the text.
bool ScanStartTag(std::string_view text, size_t lt, XmlStartTag* tag,
                  std::vector<XmlTagAttribute>* attributes);

}  // namespace xmldoc
