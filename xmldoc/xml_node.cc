#include "xmldoc/xml_node.h"

#include <algorithm>

#include "xmldoc/xml_entities.h"
#include "xmldoc/xml_tag.h"

namespace xmldoc {

CXmlNode::CXmlNode(CXmlNode* parent, std::string_view tag) : parent_(parent) {
  name_ = ParseTag(tag.empty() ? std::string_view("<root />") : tag, this);
}

CXmlNode::~CXmlNode() {
  DeleteTempFile();
}

std::unique_ptr<CXmlNode> CXmlNode::Create(std::string_view name) {
  auto node = std::make_unique<CXmlNode>();
  node->SetName(name);
  return node;
}

std::string CXmlNode::GetName(bool raw) const {
  return raw ? name_ : XmlDecodeEntities(name_);
}

void CXmlNode::SetName(std::string_view name) {
  name_ = XmlEncodeEntities(name);
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
  children_.push_back(child.release());
  return children_.back();
}

CXmlNode* CXmlNode::AddBorrowedChild(CXmlNode* child) {
  children_.push_back(child);
  borrowed_.push_back(child);
  return child;
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
    const std::string& raw = attribute->raw_name();
    if (raw.find('&') == std::string::npos ? raw == name : attribute->GetName() == name) {
      return attribute.get();
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

CXmlAttribute* CXmlNode::AddRawAttribute(std::string name, std::string value) {
  attributes_.push_back(std::make_unique<CXmlAttribute>(this, std::move(name), std::move(value)));
  return attributes_.back().get();
}

void CXmlNode::AddText(std::string_view text) {
  AddRawText(XmlEncodeEntities(text));
}

void CXmlNode::AddRawText(std::string text) {
  texts_.push_back(CXmlText{this, std::move(text), static_cast<uint32_t>(children_.size())});
}

bool CXmlNode::AddComment(std::string text) {
  if (text.find("--") != std::string::npos || text.ends_with('-'))
    return false;
  comments_.push_back(CXmlText{this, std::move(text), static_cast<uint32_t>(children_.size())});
  return true;
}

bool CXmlNode::AddCData(std::string text) {
  if (text.find("]]>") != std::string::npos)
    return false;
  cdata_.push_back(CXmlText{this, std::move(text), static_cast<uint32_t>(children_.size())});
  return true;
}

std::string CXmlNode::GetText() const {
  std::string out;
  for (const CXmlText& piece : texts_)
    XmlDecodeEntities(piece.text, &out);
  return out;
}

}  // namespace xmldoc
