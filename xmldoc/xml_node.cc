#include "xmldoc/xml_node.h"

#include <algorithm>

#include "xmldoc/xml_arena.h"
#include "xmldoc/xml_entities.h"
#include "xmldoc/xml_tag.h"

namespace xmldoc {

CXmlNode::CXmlNode(CXmlNode* parent, std::string_view tag) : parent_(parent) {
  name_.Assign(ParseTag(tag.empty() ? std::string_view("<root />") : tag, this));
}

CXmlNode::CXmlNode(XmlArena* arena, CXmlNode* parent, XmlString name)
    : name_(std::move(name)), parent_(parent), arena_(arena) {}

CXmlNode::~CXmlNode() {
  DeleteTempFile();
  for (size_t i = 0; i < attributes_.size(); ++i) {
    if (i < arena_attributes_) {
      attributes_[i]->~CXmlAttribute();
    } else {
      delete attributes_[i];
    }
  }
}

void CXmlNode::operator delete(CXmlNode* node, std::destroying_delete_t) {
  // Read before the node is gone; the arena may hold the node itself.
  XmlArena* const arena = node->arena_;
  const bool holds_arena = node->holds_arena_;
  node->~CXmlNode();
  if (arena == nullptr) {
    ::operator delete(node);
  } else if (holds_arena) {
    arena->Release();
  }
}

std::unique_ptr<CXmlNode> CXmlNode::Create(std::string_view name) {
  auto node = std::make_unique<CXmlNode>();
  node->SetName(name);
  return node;
}

std::string CXmlNode::GetName(bool raw) const {
  return raw ? name_.str() : XmlDecodeEntities(name_);
}

void CXmlNode::SetName(std::string_view name) {
  name_.Assign(XmlEncodeEntities(name));
}

CXmlNode* CXmlNode::FindChild(std::string_view name) const {
  for (CXmlNode* child : children_) {
    if (child && child->GetName() == name)
      return child;
  }
  return nullptr;
}

int CXmlNode::IndexOf(const CXmlNode* child) const {
  const auto it = std::find(children_.begin(), children_.end(), child);
  return it == children_.end() ? -1 : static_cast<int>(it - children_.begin());
}

CXmlNode* CXmlNode::AddChild(std::unique_ptr<CXmlNode> child) {
  child->parent_ = this;
  children_.PushBack(child.release());
  return children_.back();
}

CXmlNode* CXmlNode::AddBorrowedChild(CXmlNode* child) {
  children_.PushBack(child);
  borrowed_.push_back(child);
  return child;
}

std::unique_ptr<CXmlNode> CXmlNode::ReleaseChild(size_t i) {
  if (i >= children_.size() || children_[i] == nullptr)
    return nullptr;
  CXmlNode* const child = children_[i];
  if (std::find(borrowed_.begin(), borrowed_.end(), child) != borrowed_.end())
    return nullptr;
  children_[i] = nullptr;
  child->parent_ = nullptr;
  // Its parsed tree now outlives this one's only if it keeps the arena alive itself.
  if (child->arena_ != nullptr && !child->holds_arena_) {
    child->arena_->Acquire();
    child->holds_arena_ = true;
  }
  return std::unique_ptr<CXmlNode>(child);
}

CXmlAttribute* CXmlNode::GetAttribute(std::string_view name, bool create,
                                      std::string_view default_value) {
  const CXmlNode* self = this;
  if (const CXmlAttribute* found = self->GetAttribute(name)) {
    return const_cast<CXmlAttribute*>(found);
  }
  return create ? AddAttribute(name, default_value) : nullptr;
}

const CXmlAttribute* CXmlNode::GetAttribute(std::string_view name) const {
  for (const auto& attribute : attributes_) {
    // Most names carry no entity: compare the stored text before decoding it.
    const std::string_view raw = attribute->raw_name();
    if (raw.find('&') == std::string_view::npos ? raw == name : attribute->GetName() == name) {
      return attribute;
    }
  }
  return nullptr;
}

std::string CXmlNode::GetAttributeValue(std::string_view name, std::string_view fallback) const {
  const CXmlAttribute* attribute = GetAttribute(name);
  return attribute ? attribute->GetValue() : std::string(fallback);
}

CXmlAttribute* CXmlNode::AddAttribute(std::string_view name, std::string_view value) {
  return AddRawAttribute(XmlEncodeEntities(name), XmlEncodeEntities(value));
}

CXmlAttribute* CXmlNode::AddRawAttribute(std::string_view name, std::string_view value) {
  attributes_.PushBack(new CXmlAttribute(this, name, value));
  return attributes_.back();
}

void CXmlNode::AddText(std::string_view text) {
  AddRawText(XmlEncodeEntities(text));
}

void CXmlNode::AddRawText(std::string_view text) {
  texts_.PushBack(CXmlText{this, XmlString(text), static_cast<uint32_t>(children_.size())});
}

bool CXmlNode::AddComment(std::string_view text) {
  if (text.find("--") != std::string_view::npos || text.ends_with('-'))
    return false;
  comments_.PushBack(CXmlText{this, XmlString(text), static_cast<uint32_t>(children_.size())});
  return true;
}

bool CXmlNode::AddCData(std::string_view text) {
  if (text.find("]]>") != std::string_view::npos)
    return false;
  cdata_.PushBack(CXmlText{this, XmlString(text), static_cast<uint32_t>(children_.size())});
  return true;
}

std::string CXmlNode::GetText() const {
  std::string out;
  for (const CXmlText& piece : texts_)
    XmlDecodeEntities(piece.text, &out);
  return out;
}

}  // namespace xmldoc
