// The plan tree's nodes, kept beside the list's rows: the root, one node per catalogue list on
// show (a "type"), under it one node per plan (an "item"). Each node record knows the row that
// shows it.
//
//   root (level -1, no row)
//   +-- type  (level 0, id = list id, its row "plan_list_type")
//       +-- item (level 1, id = plan id, its row "plan_list_item" with its "bt_signup" button)
//
// A node owns its children and its record; deleting a node deletes its children first. Children
// keep their insertion order; a node also finds its first child of an id without a walk, so a
// list of thousands of plans refreshes in time linear in its size.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace skinui {
class CButtonUI;
class CControlUI;
}  // namespace skinui

namespace hall {

inline constexpr int32_t kRootLevel = -1;
inline constexpr int32_t kTypeLevel = 0;
inline constexpr int32_t kItemLevel = 1;
inline constexpr int32_t kStartPointLevel = 2;
inline constexpr uint32_t kDefaultNodeOrder = 9999;

// What every node record holds.
struct NodeData {
  virtual ~NodeData() = default;

  int32_t level = kTypeLevel;
  // When set, a refresh never removes this type's items (no node the hall builds sets it).
  bool keep_items = false;
  // Types start unfolded, items folded (they have no children).
  bool expanded = false;
  bool is_root = false;
  uint32_t order = kDefaultNodeOrder;
  // List id of a type, plan id of an item (high half 0).
  uint64_t id = 0;
  // The row that shows the node (owned by the list), null for the root.
  skinui::CControlUI* row = nullptr;
  // An item row's "bt_signup" button (owned by its row).
  skinui::CButtonUI* signup_button = nullptr;
};

// A catalogue list on show.
struct PlanTypeDefine : NodeData {
  std::string name;  // the list's show name (UTF-8)
};

// One start point of a plan.
struct PlanStartPoint : NodeData {
  uint64_t value = 0;
};

// A plan of a list.
struct PlanItemDefine : NodeData {
  std::string description;  // "赛事 id=<plan>(<list>)", for logs; never shown
  std::vector<PlanStartPoint> start_points;
  // The row's texts (owned by the row; null when its skin lacks one), found once when the row is
  // made: a refresh of thousands of rows then walks none of them.
  skinui::CControlUI* title = nullptr;
  skinui::CControlUI* join_count = nullptr;
  skinui::CControlUI* join_term = nullptr;
  skinui::CControlUI* start_time = nullptr;
  // The texts last put in the row, packed (PackPlanRowTexts): a refresh that brings the same
  // texts again leaves the row's controls alone, so refreshing thousands of unchanged rows reads
  // none of them.
  std::string shown_texts;
};

class PlanTreeNode {
 public:
  PlanTreeNode(std::unique_ptr<NodeData> data, PlanTreeNode* parent = nullptr);
  // Deletes the children (depth first), then the record.
  ~PlanTreeNode();
  PlanTreeNode(const PlanTreeNode&) = delete;
  PlanTreeNode& operator=(const PlanTreeNode&) = delete;

  NodeData& data() { return *data_; }
  const NodeData& data() const { return *data_; }
  // The record as its kind; null when it is another kind.
  template <typename T>
  T* As() {
    return dynamic_cast<T*>(data_.get());
  }
  PlanTreeNode* parent() const { return parent_; }
  const std::vector<std::unique_ptr<PlanTreeNode>>& children() const { return children_; }

  // Makes `child` the last child and returns it.
  PlanTreeNode* AddChild(std::unique_ptr<PlanTreeNode> child);
  // The first child (in insertion order) whose record has `id`, null when none.
  PlanTreeNode* FindChild(uint64_t id) const;
  // Takes `child` out of the children and hands it back (null when it is not a child).
  std::unique_ptr<PlanTreeNode> TakeChild(PlanTreeNode* child);
  // Takes out every child for which `pred` holds, keeping the others' order, in one pass.
  std::vector<std::unique_ptr<PlanTreeNode>> TakeChildrenIf(
      const std::function<bool(const PlanTreeNode&)>& pred);

 private:
  void ReindexChildren();

  std::vector<std::unique_ptr<PlanTreeNode>> children_;
  PlanTreeNode* parent_;
  std::unique_ptr<NodeData> data_;
  // id -> first child of that id in `children_`.
  std::unordered_map<uint64_t, PlanTreeNode*> first_child_;
};

}  // namespace hall
