#include "xmldoc/xml_parser.h"

#include "xmldoc/xml_tag.h"

namespace xmldoc {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::unique_ptr<CXmlNode> XmlParser::ParseDocument(XmlStatus* status) {
  failure_ = kXmlParsed;
  std::unique_ptr<CXmlNode> root = ParseRange(0, text_.size(), nullptr, 1);
  if (failure_ != kXmlParsed)
    *status = failure_;
  return root;
}

bool XmlParser::AddTextPiece(size_t begin, size_t end, CXmlNode* parent, bool continues) {
  while (begin < end && IsBlank(text_[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(text_[end - 1])) {
    --end;
  }
  if (begin == end || parent == nullptr)
    return false;
  const std::string_view piece = text_.substr(begin, end - begin);
  if (continues && !parent->texts_.empty()) {
    // Only skipped markup stood between this and the previous piece: written back, the two would
    // read as one, so they are one already.
    parent->texts_.back().text.append(" ").append(piece);
  } else {
    parent->AddRawText(std::string(piece));
  }
  return true;
}

size_t XmlParser::FindElementEnd(size_t after_start, size_t end, int levels_left,
                                 XmlStatus* failure) const {
  const std::string_view range = text_.substr(0, end);
  int depth = 1;
  size_t pos = after_start;
  XmlToken token;
  for (;;) {
    const size_t lt = range.find('<', pos);
    if (lt == std::string_view::npos || !ReadToken(range, lt, &token)) {
      *failure = kXmlUnclosedElement;
      return std::string_view::npos;
    }
    const bool opens =
        token.kind == XmlConstruct::kStartTag || token.kind == XmlConstruct::kEmptyTag;
    if (opens && depth >= levels_left) {
      *failure = kXmlTooDeep;
      return std::string_view::npos;
    }
    if (token.kind == XmlConstruct::kStartTag) {
      ++depth;
    } else if (token.kind == XmlConstruct::kEndTag && --depth == 0) {
      return lt;
    }
    pos = token.end;
  }
}

std::unique_ptr<CXmlNode> XmlParser::ParseRange(size_t begin, size_t end, CXmlNode* parent,
                                                int depth) {
  // At document level the elements have no parent to hold them: keep the candidates for the root.
  std::unique_ptr<CXmlNode> last_closed;
  std::unique_ptr<CXmlNode> first_empty;
  bool seen_element = false;
  bool text_last = false;  // the last item stored in this range is a text piece
  const std::string_view range = text_.substr(0, end);
  size_t pos = begin;
  XmlToken token;
  while (failure_ == kXmlParsed) {
    const size_t lt = range.find('<', pos);
    if (AddTextPiece(pos, lt == std::string_view::npos ? end : lt, parent, text_last)) {
      text_last = true;
    }
    if (lt == std::string_view::npos)
      break;
    if (!ReadToken(range, lt, &token)) {
      Fail(kXmlUnclosedElement);
      break;
    }
    if (token.kind != XmlConstruct::kMarkup && token.kind != XmlConstruct::kEndTag) {
      text_last = false;
    }
    switch (token.kind) {
      case XmlConstruct::kCData:
        if (parent)
          parent->cdata_.push_back(CXmlText{parent, std::string(token.inner),
                                            static_cast<uint32_t>(parent->ChildCount())});
        break;
      case XmlConstruct::kComment:
      case XmlConstruct::kInstruction:
        if (parent) {
          parent->comments_.push_back(CXmlText{parent, std::string(token.inner),
                                               static_cast<uint32_t>(parent->ChildCount()),
                                               token.kind == XmlConstruct::kInstruction});
        } else {
          declaration_->AddComment(std::string(token.inner), seen_element ? 1 : 0,
                                   token.kind == XmlConstruct::kInstruction);
        }
        break;
      case XmlConstruct::kMarkup:
      case XmlConstruct::kEndTag:
        // A stray end tag: the element it would close was handled with its start tag.
        break;
      case XmlConstruct::kEmptyTag: {
        seen_element = true;
        if (depth > kXmlMaxDepth) {
          Fail(kXmlTooDeep);
          break;
        }
        auto node = std::make_unique<CXmlNode>(parent, text_.substr(lt, token.end - lt));
        if (parent) {
          parent->AddChild(std::move(node));
        } else if (!first_empty) {
          first_empty = std::move(node);
        }
        break;
      }
      case XmlConstruct::kStartTag: {
        seen_element = true;
        if (depth > kXmlMaxDepth) {
          Fail(kXmlTooDeep);
          break;
        }
        XmlStatus failure = kXmlParsed;
        const size_t end_tag = FindElementEnd(token.end, end, kXmlMaxDepth - depth + 1, &failure);
        if (end_tag == std::string_view::npos) {
          Fail(failure);
          break;
        }
        auto node = std::make_unique<CXmlNode>(parent, text_.substr(lt, token.end - lt));
        ParseRange(token.end, end_tag, node.get(), depth + 1);
        if (parent) {
          parent->AddChild(std::move(node));
        } else {
          last_closed = std::move(node);
        }
        // Continue at the end tag, which the next round reads as such.
        token.end = end_tag;
        break;
      }
    }
    pos = token.end;
  }
  return last_closed ? std::move(last_closed) : std::move(first_empty);
}

}  // namespace xmldoc
