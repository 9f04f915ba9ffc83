#include "games/hall/app/plan_tree_node.h"

#include <algorithm>

namespace hall {

PlanTreeNode::PlanTreeNode(std::unique_ptr<NodeData> data, PlanTreeNode* parent)
    : parent_(parent), data_(std::move(data)) {}

PlanTreeNode::~PlanTreeNode() {
  first_child_.clear();
  for (auto& child : children_)
    child.reset();  // in insertion order, each subtree whole
  children_.clear();
}

PlanTreeNode* PlanTreeNode::AddChild(std::unique_ptr<PlanTreeNode> child) {
  child->parent_ = this;
  PlanTreeNode* raw = child.get();
  children_.push_back(std::move(child));
  first_child_.emplace(raw->data().id, raw);  // an earlier child of the id stays the first
  return raw;
}

PlanTreeNode* PlanTreeNode::FindChild(uint64_t id) const {
  const auto it = first_child_.find(id);
  return it == first_child_.end() ? nullptr : it->second;
}

std::unique_ptr<PlanTreeNode> PlanTreeNode::TakeChild(PlanTreeNode* child) {
  const auto it =
      std::find_if(children_.begin(), children_.end(),
                   [&](const std::unique_ptr<PlanTreeNode>& c) { return c.get() == child; });
  if (it == children_.end())
    return nullptr;
  std::unique_ptr<PlanTreeNode> taken = std::move(*it);
  children_.erase(it);
  const uint64_t id = taken->data().id;
  if (FindChild(id) == taken.get()) {
    first_child_.erase(id);
    for (const auto& c : children_) {
      if (c->data().id == id) {
        first_child_.emplace(id, c.get());
        break;
      }
    }
  }
  taken->parent_ = nullptr;
  return taken;
}

std::vector<std::unique_ptr<PlanTreeNode>> PlanTreeNode::TakeChildrenIf(
    const std::function<bool(const PlanTreeNode&)>& pred) {
  std::vector<std::unique_ptr<PlanTreeNode>> taken;
  std::vector<std::unique_ptr<PlanTreeNode>> kept;
  kept.reserve(children_.size());
  for (auto& c : children_) {
    if (pred(*c)) {
      c->parent_ = nullptr;
      taken.push_back(std::move(c));
    } else {
      kept.push_back(std::move(c));
    }
  }
  children_ = std::move(kept);
  if (!taken.empty())
    ReindexChildren();
  return taken;
}

void PlanTreeNode::ReindexChildren() {
  first_child_.clear();
  for (const auto& c : children_)
    first_child_.emplace(c->data().id, c.get());
}

}  // namespace hall
