#include "xmldoc/xml_spill.h"

#include <algorithm>
#include <vector>

#include "platform/file_util.h"
#include "xmldoc/xml_document.h"
#include "xmldoc/xml_node.h"

namespace xmldoc {

std::string SpillIndexPath(const CXmlNode& node) {
  std::vector<int> indices;
  for (const CXmlNode* n = &node; n->parent() != nullptr; n = n->parent()) {
    indices.push_back(n->parent()->IndexOf(n));
  }
  std::string path;
  for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
    path += std::to_string(*it);
    path += '-';
  }
  return path;
}

std::string SpillFileName(const CXmlNode& node, size_t index) {
  // Built as a string of any length: deep trees and indices past 999 need no fixed buffer.
  return SpillIndexPath(node) + std::to_string(index) + kSpillFileSuffix;
}

void CXmlNode::ReloadSpilledChildren() {
  for (size_t i = 0; i < children_.size(); ++i) {
    if (children_[i] != nullptr)
      continue;
    const std::string name = SpillFileName(*this, i);
    if (!platform::FileExists(name))
      continue;
    CXmlDocument spilled;
    spilled.Load(name);
    if (spilled.status() == kXmlUnclosedElement || spilled.status() == kXmlTooDeep)
      continue;
    std::unique_ptr<CXmlNode> child = spilled.ReleaseRoot();
    child->parent_ = this;
    children_[i] = child.release();
    platform::RemoveFile(name);
  }
}

void CXmlNode::DeleteTempFile() {
  for (size_t i = 0; i < children_.size(); ++i) {
    CXmlNode* child = children_[i];
    if (child == nullptr) {
      platform::RemoveFile(SpillFileName(*this, i));
      continue;
    }
    const auto borrowed = std::find(borrowed_.begin(), borrowed_.end(), child);
    if (borrowed != borrowed_.end()) {
      borrowed_.erase(borrowed);
    } else {
      delete child;
    }
  }
  children_.Clear();
}

}  // namespace xmldoc
