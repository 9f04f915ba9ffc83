#include "games/hall/app/plan_tree_node.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define NODE_POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define NODE_POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define NODE_POOL_POISON(p, n) ((void)(p), (void)(n))
#define NODE_POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace hall {
namespace {

// Sizes are rounded up to a grain; a freed piece goes back to the list of its size and is the
// next one handed out. Larger records come from the heap. Freed memory stays in the pool (as the
// heap would mostly keep it too); under AddressSanitizer it is poisoned until handed out again,
// so a node read after its deletion is still caught.
class NodePool {
 public:
  static NodePool& Get() {
    static NodePool* pool = new NodePool;  // never destroyed: nodes may outlive static objects
    return *pool;
  }

  void* Allocate(size_t size) {
    if (size == 0 || size > kLargest)
      return ::operator new(size);
    const size_t grains = (size + kGrain - 1) / kGrain;
    std::lock_guard<std::mutex> lock(mu_);
    void* p;
    if (Piece* piece = free_[grains]) {
      NODE_POOL_UNPOISON(piece, grains * kGrain);
      free_[grains] = piece->next;
      p = piece;
    } else {
      if (left_ < grains * kGrain) {
        block_ = static_cast<char*>(::operator new(kBlockBytes, std::align_val_t{kGrain}));
        blocks_.push_back(block_);
        left_ = kBlockBytes;
        NODE_POOL_POISON(block_, left_);
      }
      p = block_;
      block_ += grains * kGrain;
      left_ -= grains * kGrain;
      NODE_POOL_UNPOISON(p, grains * kGrain);
    }
    return p;
  }

  void Free(void* p, size_t size) {
    if (p == nullptr)
      return;
    if (size == 0 || size > kLargest) {
      ::operator delete(p);
      return;
    }
    const size_t grains = (size + kGrain - 1) / kGrain;
    std::lock_guard<std::mutex> lock(mu_);
    auto* piece = static_cast<Piece*>(p);
    piece->next = free_[grains];
    free_[grains] = piece;
    NODE_POOL_POISON(p, grains * kGrain);
  }

 private:
  struct Piece {
    Piece* next;
  };
  static constexpr size_t kGrain = 16;
  static constexpr size_t kLargest = 1024;
  static constexpr size_t kBlockBytes = 64 * 1024;

  std::mutex mu_;
  Piece* free_[kLargest / kGrain + 1] = {};
  char* block_ = nullptr;  // the unused end of the newest block
  size_t left_ = 0;
  std::vector<void*> blocks_;  // every block, held for good
};

}  // namespace

void* AllocateNodeMemory(size_t size) {
  return NodePool::Get().Allocate(size);
}

void FreeNodeMemory(void* p, size_t size) {
  NodePool::Get().Free(p, size);
}

size_t PlanTreeNode::FirstChildIndex::Home(uint64_t id) const {
  // Fibonacci hashing: plan ids come in runs, and their products spread over the high bits.
  return static_cast<size_t>((id * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
}

PlanTreeNode* PlanTreeNode::FirstChildIndex::Find(uint64_t id) const {
  if (slots_.empty())
    return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t i = Home(id); slots_[i].child != nullptr; i = (i + 1) & mask) {
    if (slots_[i].id == id)
      return slots_[i].child;
  }
  return nullptr;
}

void PlanTreeNode::FirstChildIndex::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  bits_ = old.empty() ? 4 : bits_ + 1;
  slots_.assign(size_t{1} << bits_, Slot{});
  used_ = 0;
  for (const Slot& s : old) {
    if (s.child != nullptr)
      InsertIfAbsent(s.id, s.child);
  }
}

bool PlanTreeNode::FirstChildIndex::InsertIfAbsent(uint64_t id, PlanTreeNode* child) {
  if ((used_ + 1) * 2 > slots_.size())
    Grow();
  const size_t mask = slots_.size() - 1;
  size_t i = Home(id);
  for (; slots_[i].child != nullptr; i = (i + 1) & mask) {
    if (slots_[i].id == id)
      return false;
  }
  slots_[i] = Slot{id, child};
  ++used_;
  return true;
}

void PlanTreeNode::FirstChildIndex::Erase(uint64_t id) {
  if (slots_.empty())
    return;
  const size_t mask = slots_.size() - 1;
  size_t hole = Home(id);
  for (; slots_[hole].child != nullptr; hole = (hole + 1) & mask) {
    if (slots_[hole].id == id)
      break;
  }
  if (slots_[hole].child == nullptr)
    return;
  slots_[hole] = Slot{};
  --used_;
  // Entries after the hole whose home is not between the hole and themselves move into it, so
  // that every lookup still meets its entry before a free slot.
  for (size_t j = (hole + 1) & mask; slots_[j].child != nullptr; j = (j + 1) & mask) {
    const size_t home = Home(slots_[j].id);
    const bool home_after_hole = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
    if (!home_after_hole) {
      slots_[hole] = slots_[j];
      slots_[j] = Slot{};
      hole = j;
    }
  }
}

void PlanTreeNode::FirstChildIndex::Clear() {
  slots_.clear();
  bits_ = 0;
  used_ = 0;
}

PlanTreeNode::PlanTreeNode(std::unique_ptr<NodeData> data, PlanTreeNode* parent)
    : parent_(parent), data_(std::move(data)) {}

PlanTreeNode::~PlanTreeNode() {
  first_child_.Clear();
  for (auto& child : children_)
    child.reset();  // in insertion order, each subtree whole
  children_.clear();
}

PlanTreeNode* PlanTreeNode::AddChild(std::unique_ptr<PlanTreeNode> child) {
  child->parent_ = this;
  PlanTreeNode* raw = child.get();
  const uint64_t id = raw->data().id;
  raw->position_ = children_.size();
  children_.push_back(std::move(child));
  child_ids_.push_back(id);
  raw->first_of_id_ = first_child_.InsertIfAbsent(id, raw);  // an earlier one stays the first
  return raw;
}

PlanTreeNode* PlanTreeNode::FindChild(uint64_t id) const {
  if (next_hint_ < children_.size() && child_ids_[next_hint_] == id) {
    PlanTreeNode* hinted = children_[next_hint_].get();
    if (hinted->first_of_id_) {
      ++next_hint_;
      return hinted;
    }
  }
  PlanTreeNode* found = first_child_.Find(id);
  if (found != nullptr)
    next_hint_ = found->position_ + 1;
  return found;
}

std::unique_ptr<PlanTreeNode> PlanTreeNode::TakeChild(PlanTreeNode* child) {
  const auto it =
      std::find_if(children_.begin(), children_.end(),
                   [&](const std::unique_ptr<PlanTreeNode>& c) { return c.get() == child; });
  if (it == children_.end())
    return nullptr;
  const auto at = it - children_.begin();
  std::unique_ptr<PlanTreeNode> taken = std::move(*it);
  children_.erase(it);
  const uint64_t id = child_ids_[static_cast<size_t>(at)];
  child_ids_.erase(child_ids_.begin() + at);
  for (size_t i = static_cast<size_t>(at); i < children_.size(); ++i)
    children_[i]->position_ = i;
  if (taken->first_of_id_) {
    first_child_.Erase(id);
    const auto next = std::find(child_ids_.begin(), child_ids_.end(), id);
    if (next != child_ids_.end()) {
      PlanTreeNode* now_first = children_[static_cast<size_t>(next - child_ids_.begin())].get();
      first_child_.InsertIfAbsent(id, now_first);
      now_first->first_of_id_ = true;
    }
  }
  taken->parent_ = nullptr;
  taken->first_of_id_ = false;
  return taken;
}

std::vector<std::unique_ptr<PlanTreeNode>> PlanTreeNode::TakeChildrenAt(
    const std::vector<bool>& take) {
  std::vector<std::unique_ptr<PlanTreeNode>> taken;
  std::vector<std::unique_ptr<PlanTreeNode>> kept;
  std::vector<uint64_t> kept_ids;
  kept.reserve(children_.size());
  kept_ids.reserve(children_.size());
  for (size_t i = 0; i < children_.size(); ++i) {
    if (take[i]) {
      children_[i]->parent_ = nullptr;
      taken.push_back(std::move(children_[i]));
    } else {
      kept.push_back(std::move(children_[i]));
      kept_ids.push_back(child_ids_[i]);
    }
  }
  children_ = std::move(kept);
  child_ids_ = std::move(kept_ids);
  if (!taken.empty())
    ReindexChildren();
  return taken;
}

std::vector<std::unique_ptr<PlanTreeNode>> PlanTreeNode::TakeChildrenIf(
    const std::function<bool(const PlanTreeNode&)>& pred) {
  std::vector<bool> take(children_.size());
  bool any = false;
  for (size_t i = 0; i < children_.size(); ++i)
    any |= take[i] = pred(*children_[i]);
  return any ? TakeChildrenAt(take) : std::vector<std::unique_ptr<PlanTreeNode>>{};
}

std::vector<std::unique_ptr<PlanTreeNode>> PlanTreeNode::TakeChildrenWithIdIf(
    const std::function<bool(uint64_t)>& pred) {
  std::vector<bool> take(child_ids_.size());
  bool any = false;
  for (size_t i = 0; i < child_ids_.size(); ++i)
    any |= take[i] = pred(child_ids_[i]);
  return any ? TakeChildrenAt(take) : std::vector<std::unique_ptr<PlanTreeNode>>{};
}

void PlanTreeNode::ReindexChildren() {
  first_child_.Clear();
  for (size_t i = 0; i < children_.size(); ++i) {
    children_[i]->position_ = i;
    children_[i]->first_of_id_ = first_child_.InsertIfAbsent(child_ids_[i], children_[i].get());
  }
}

}  // namespace hall
