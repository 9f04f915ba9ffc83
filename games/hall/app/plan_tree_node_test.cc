#include "games/hall/app/plan_tree_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hall {
namespace {

// A record that notes when it is deleted.
struct NotedData : NodeData {
  NotedData(uint64_t node_id, std::vector<uint64_t>* deleted) : deleted_(deleted) { id = node_id; }
  ~NotedData() override { deleted_->push_back(id); }
  std::vector<uint64_t>* deleted_;
};

std::unique_ptr<PlanTreeNode> Node(uint64_t id, std::vector<uint64_t>* deleted) {
  return std::make_unique<PlanTreeNode>(std::make_unique<NotedData>(id, deleted));
}

std::vector<uint64_t> Ids(const PlanTreeNode& node) {
  std::vector<uint64_t> ids;
  for (const auto& c : node.children())
    ids.push_back(c->data().id);
  return ids;
}

TEST(PlanTreeNode, FindsTheFirstChildOfAnIdAndTheNextOneOnceThatIsTaken) {
  std::vector<uint64_t> deleted;
  PlanTreeNode root(std::make_unique<NodeData>());
  PlanTreeNode* first = root.AddChild(Node(5, &deleted));
  root.AddChild(Node(6, &deleted));
  PlanTreeNode* second = root.AddChild(Node(5, &deleted));
  EXPECT_EQ(first->parent(), &root);
  EXPECT_EQ(root.FindChild(5), first);
  EXPECT_EQ(root.FindChild(7), nullptr);

  std::unique_ptr<PlanTreeNode> taken = root.TakeChild(first);
  EXPECT_EQ(taken.get(), first);
  EXPECT_EQ(taken->parent(), nullptr);
  EXPECT_EQ(root.FindChild(5), second);
  EXPECT_EQ(Ids(root), (std::vector<uint64_t>{6, 5}));
  EXPECT_EQ(root.TakeChild(first), nullptr) << "no longer a child";
  taken.reset();
  EXPECT_EQ(deleted, (std::vector<uint64_t>{5}));
}

TEST(PlanTreeNode, TakesChildrenByAPredicateKeepingTheOthersInOrder) {
  std::vector<uint64_t> deleted;
  PlanTreeNode root(std::make_unique<NodeData>());
  for (uint64_t id : {1, 2, 3, 4, 5, 6})
    root.AddChild(Node(id, &deleted));
  auto taken = root.TakeChildrenIf([](const PlanTreeNode& n) { return n.data().id % 2 == 0; });
  EXPECT_EQ(Ids(root), (std::vector<uint64_t>{1, 3, 5}));
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0]->data().id, 2u);
  EXPECT_EQ(root.FindChild(2), nullptr);
  EXPECT_NE(root.FindChild(3), nullptr);
  EXPECT_TRUE(root.TakeChildrenIf([](const PlanTreeNode&) { return false; }).empty());
}

TEST(PlanTreeNode, DeletingANodeDeletesItsChildrenFirstDepthFirst) {
  std::vector<uint64_t> deleted;
  {
    auto top = Node(1, &deleted);
    PlanTreeNode* a = top->AddChild(Node(10, &deleted));
    a->AddChild(Node(100, &deleted));
    top->AddChild(Node(20, &deleted));
  }
  EXPECT_EQ(deleted, (std::vector<uint64_t>{100, 10, 20, 1}));
}

}  // namespace
}  // namespace hall
