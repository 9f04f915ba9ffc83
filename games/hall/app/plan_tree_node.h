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
// list of thousands of plans refreshes in time linear in its size. The children's ids are kept
// beside them (a record's id is not changed once it is a child), and the id index is one flat
// table: a refresh of a long list reads these in turn instead of a scattered node per child.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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

// Nodes and their records come by the thousand, each list's between its rows' controls. They are
// cut from blocks of their own (window thread or not, under a lock), so that a list's nodes lie
// one after another and a refresh that goes through them reads consecutive memory.
void* AllocateNodeMemory(size_t size);
void FreeNodeMemory(void* p, size_t size);

// An allocator from the same blocks, for what a record holds that a refresh reads.
template <typename T>
struct NodeAllocator {
  using value_type = T;
  NodeAllocator() = default;
  template <typename U>
  NodeAllocator(const NodeAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(AllocateNodeMemory(n * sizeof(T))); }
  void deallocate(T* p, size_t n) { FreeNodeMemory(p, n * sizeof(T)); }
  template <typename U>
  bool operator==(const NodeAllocator<U>&) const {
    return true;
  }
};
using NodeString = std::basic_string<char, std::char_traits<char>, NodeAllocator<char>>;

// What every node record holds.
struct NodeData {
  virtual ~NodeData() = default;
  static void* operator new(size_t size) { return AllocateNodeMemory(size); }
  static void operator delete(void* p, size_t size) { FreeNodeMemory(p, size); }

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
  NodeString shown_texts;
};

class PlanTreeNode {
 public:
  PlanTreeNode(std::unique_ptr<NodeData> data, PlanTreeNode* parent = nullptr);
  // Deletes the children (depth first), then the record.
  ~PlanTreeNode();
  PlanTreeNode(const PlanTreeNode&) = delete;
  PlanTreeNode& operator=(const PlanTreeNode&) = delete;
  static void* operator new(size_t size) { return AllocateNodeMemory(size); }
  static void operator delete(void* p, size_t size) { FreeNodeMemory(p, size); }

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
  // The same by the children's ids alone: when none is taken no child is read.
  std::vector<std::unique_ptr<PlanTreeNode>> TakeChildrenWithIdIf(
      const std::function<bool(uint64_t)>& pred);

 private:
  // id -> the first child of that id: open addressing with linear probing in one flat table,
  // at most half full.
  class FirstChildIndex {
   public:
    PlanTreeNode* Find(uint64_t id) const;
    // Keeps the child already there for `id`; true when `child` went in.
    bool InsertIfAbsent(uint64_t id, PlanTreeNode* child);
    void Erase(uint64_t id);
    void Clear();

   private:
    struct Slot {
      uint64_t id = 0;
      PlanTreeNode* child = nullptr;  // null: a free slot
    };
    size_t Home(uint64_t id) const;
    void Grow();

    std::vector<Slot> slots_;  // a power of two long, or empty
    int bits_ = 0;
    size_t used_ = 0;
  };

  std::vector<std::unique_ptr<PlanTreeNode>> TakeChildrenAt(const std::vector<bool>& take);
  void ReindexChildren();

  std::vector<std::unique_ptr<PlanTreeNode>> children_;
  // children_[i]->data().id, in the same order.
  std::vector<uint64_t> child_ids_;
  PlanTreeNode* parent_;
  std::unique_ptr<NodeData> data_;
  FirstChildIndex first_child_;
  // A refresh asks for the children in their order: the child after the one found last is tried
  // before the index.
  mutable size_t next_hint_ = 0;
  // This node's place among its parent's children, and whether it is the first of its id there.
  size_t position_ = 0;
  bool first_of_id_ = false;
};

}  // namespace hall
