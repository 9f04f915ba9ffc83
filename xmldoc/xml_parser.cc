#include "xmldoc/xml_parser.h"

#include <cstring>
#include <utility>

namespace xmldoc {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Moves items [first, end) of `pending` into an exact-size array in `arena` held by `slots`.
template <typename T>
void MoveToArena(XmlArena* arena, std::vector<T>& pending, size_t first, XmlSlots<T>& slots) {
  const size_t count = pending.size() - first;
  if (count == 0)
    return;
  T* data = arena->AllocateArray<T>(count);
  for (size_t i = 0; i < count; ++i)
    ::new (data + i) T(std::move(pending[first + i]));
  pending.resize(first);
  slots.Adopt(data, count);
}

}  // namespace

std::unique_ptr<CXmlNode> XmlParser::ParseDocument(XmlStatus* status) {
  failure_ = kXmlParsed;
  size_t position = 0;
  std::unique_ptr<CXmlNode> root = ParseRange(&position, nullptr, 1);
  if (failure_ != kXmlParsed)
    *status = failure_;
  if (root) {
    arena_->Acquire();
    root->holds_arena_ = true;
  }
  return root;
}

bool XmlParser::AddTextPiece(size_t begin, size_t end, CXmlNode* parent, bool continues,
                             size_t first_text, uint32_t position) {
  while (begin < end && IsBlank(text_[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(text_[end - 1])) {
    --end;
  }
  if (begin == end || parent == nullptr)
    return false;
  const std::string_view piece = text_.substr(begin, end - begin);
  if (continues && texts_.size() > first_text) {
    // Only skipped markup stood between this and the previous piece: written back, the two would
    // read as one, so they are one already.
    XmlString& last = texts_.back().text;
    const size_t size = last.size() + 1 + piece.size();
    char* joined = arena_->AllocateArray<char>(size);
    std::memcpy(joined, last.data(), last.size());
    joined[last.size()] = ' ';
    std::memcpy(joined + last.size() + 1, piece.data(), piece.size());
    last = XmlString::Borrow({joined, size});
  } else {
    texts_.push_back(CXmlText{parent, XmlString::Borrow(piece), position});
  }
  return true;
}

CXmlNode* XmlParser::NewNode(CXmlNode* parent, std::string_view name) {
  CXmlNode* node = ::new (arena_->Allocate(sizeof(CXmlNode), alignof(CXmlNode)))
      CXmlNode(arena_, parent, XmlString::Borrow(name));
  const size_t count = tag_attributes_.size();
  if (count != 0) {
    auto* attributes = arena_->AllocateArray<CXmlAttribute*>(count);
    for (size_t i = 0; i < count; ++i) {
      attributes[i] = arena_->New<CXmlAttribute>(node, XmlString::Borrow(tag_attributes_[i].name),
                                                 XmlString::Borrow(tag_attributes_[i].value));
    }
    node->attributes_.Adopt(attributes, count);
    node->arena_attributes_ = static_cast<uint32_t>(count);
  }
  return node;
}

void XmlParser::Finish(CXmlNode* node, size_t first_child, size_t first_text, size_t first_comment,
                       size_t first_cdata) {
  MoveToArena(arena_, children_, first_child, node->children_);
  MoveToArena(arena_, texts_, first_text, node->texts_);
  MoveToArena(arena_, comments_, first_comment, node->comments_);
  MoveToArena(arena_, cdata_, first_cdata, node->cdata_);
}

std::unique_ptr<CXmlNode> XmlParser::ParseRange(size_t* position, CXmlNode* parent, int depth) {
  // At document level the elements have no parent to hold them: keep the candidates for the root.
  std::unique_ptr<CXmlNode> last_closed;
  std::unique_ptr<CXmlNode> first_empty;
  // Below it, the contents gather in the pending lists from here on until the end tag.
  const size_t first_child = children_.size();
  const size_t first_text = texts_.size();
  const size_t first_comment = comments_.size();
  const size_t first_cdata = cdata_.size();
  const auto children_so_far = [&] {
    return static_cast<uint32_t>(children_.size() - first_child);
  };
  bool seen_element = false;
  bool text_last = false;  // the last item stored in this range is a text piece
  size_t pos = *position;
  XmlToken token;
  XmlStartTag tag;
  while (failure_ == kXmlParsed) {
    const auto* found = FindByte(text_.data() + pos, text_.data() + text_.size(), '<');
    const size_t lt = found == nullptr ? text_.size() : found - text_.data();
    if (AddTextPiece(pos, lt, parent, text_last, first_text, children_so_far()))
      text_last = true;
    if (found == nullptr) {
      if (parent)
        Fail(kXmlUnclosedElement);  // the text ended inside the element
      break;
    }
    // Elements are most of a document: their tags are read in one pass, the rest by ReadToken.
    const char next = lt + 1 < text_.size() ? text_[lt + 1] : '\0';
    const bool element = lt + 1 < text_.size() && next != '!' && next != '?' && next != '/' &&
                         !IsBlank(next) && next != '>' && next != '"';
    if (element) {
      tag_attributes_.clear();
      if (!ScanStartTag(text_, lt, &tag, &tag_attributes_)) {
        Fail(kXmlUnclosedElement);
        break;
      }
      pos = tag.end;
      text_last = false;
      seen_element = true;
      if (depth > kXmlMaxDepth) {
        Fail(kXmlTooDeep);
        break;
      }
      std::unique_ptr<CXmlNode> node(NewNode(parent, tag.name));
      if (!tag.empty) {
        ParseRange(&pos, node.get(), depth + 1);
        // An element that fails inside takes its whole top-level element with it: at document
        // level `node` is dropped, and below it the tree it belongs to is dropped in turn.
        if (failure_ != kXmlParsed)
          break;
      }
      if (parent) {
        children_.push_back(node.release());
      } else if (!tag.empty) {
        last_closed = std::move(node);
      } else if (!first_empty) {
        first_empty = std::move(node);
      }
      continue;
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
          cdata_.push_back(CXmlText{parent, XmlString::Borrow(token.inner), children_so_far()});
        }
        break;
      case XmlConstruct::kComment:
      case XmlConstruct::kInstruction:
        if (parent) {
          comments_.push_back(CXmlText{parent, XmlString::Borrow(token.inner), children_so_far(),
                                       token.kind == XmlConstruct::kInstruction});
        } else {
          declaration_->AddComment(token.inner, seen_element ? 1 : 0,
                                   token.kind == XmlConstruct::kInstruction);
        }
        break;
      case XmlConstruct::kMarkup:
        break;
      case XmlConstruct::kEndTag:
        // End tags are counted, not matched by name: any one closes the element being read. At
        // document level there is none to close.
        if (parent) {
          Finish(parent, first_child, first_text, first_comment, first_cdata);
          *position = pos;
          return nullptr;
        }
        break;
      case XmlConstruct::kStartTag:
      case XmlConstruct::kEmptyTag:
        break;  // read above
    }
  }
  if (parent)
    Finish(parent, first_child, first_text, first_comment, first_cdata);
  *position = pos;
  return last_closed ? std::move(last_closed) : std::move(first_empty);
}

}  // namespace xmldoc
