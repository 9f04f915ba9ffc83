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
  size_t position = 0;
  std::unique_ptr<CXmlNode> root = ParseRange(&position, nullptr, 1);
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

std::unique_ptr<CXmlNode> XmlParser::ParseRange(size_t* position, CXmlNode* parent, int depth) {
  // At document level the elements have no parent to hold them: keep the candidates for the root.
  std::unique_ptr<CXmlNode> last_closed;
  std::unique_ptr<CXmlNode> first_empty;
  bool seen_element = false;
  bool text_last = false;  // the last item stored in this range is a text piece
  size_t pos = *position;
  XmlToken token;
  while (failure_ == kXmlParsed) {
    const size_t lt = text_.find('<', pos);
    if (AddTextPiece(pos, lt == std::string_view::npos ? text_.size() : lt, parent, text_last)) {
      text_last = true;
    }
    if (lt == std::string_view::npos) {
      if (parent)
        Fail(kXmlUnclosedElement);  // the text ended inside the element
      break;
    }
    if (!ReadToken(text_, lt, &token)) {
      Fail(kXmlUnclosedElement);
      break;
    }
    pos = token.end;
    if (token.kind != XmlConstruct::kMarkup && token.kind != XmlConstruct::kEndTag) {
      text_last = false;
    }
    switch (token.kind) {
      case XmlConstruct::kCData:
        if (parent) {
          parent->cdata_.push_back(CXmlText{parent, std::string(token.inner),
                                            static_cast<uint32_t>(parent->ChildCount())});
        }
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
        break;
      case XmlConstruct::kEndTag:
        // End tags are counted, not matched by name: any one closes the element being read. At
        // document level there is none to close.
        if (parent) {
          *position = pos;
          return nullptr;
        }
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
        auto node = std::make_unique<CXmlNode>(parent, text_.substr(lt, token.end - lt));
        ParseRange(&pos, node.get(), depth + 1);
        // An element that fails inside takes its whole top-level element with it: at document
        // level `node` is dropped, and below it the tree it belongs to is dropped in turn.
        if (failure_ != kXmlParsed)
          break;
        if (parent) {
          parent->AddChild(std::move(node));
        } else {
          last_closed = std::move(node);
        }
        break;
      }
    }
  }
  *position = pos;
  return last_closed ? std::move(last_closed) : std::move(first_empty);
}

}  // namespace xmldoc
