#include "games/hall/app/plan_tree_node.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

// Thousands of children, many sharing ids and with ids that collide in any table, taken one by
// one and by their ids at random: every id finds the first child that has it, as a walk over
// the children would.
TEST(PlanTreeNode, FindChildAgreesWithAWalkThroughManyAddsAndTakes) {
  struct Case {
    const char* what;
    uint32_t seed;
    uint64_t id_range;
    uint64_t id_stride;
  };
  const Case cases[] = {
      {"plan ids in a run", 1, 3000, 1},
      {"few ids, many shared", 2, 40, 1},
      {"ids a power of two apart", 3, 500, uint64_t{1} << 20},
      {"ids across the whole range", 4, 2000, 0x9E3779B97F4A7C15ull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint64_t> deleted;
    PlanTreeNode root(std::make_unique<NodeData>());
    std::mt19937 random(c.seed);
    auto id_of = [&](uint64_t n) { return n * c.id_stride; };
    auto check = [&](const char* after) {
      for (uint64_t n = 0; n < c.id_range; ++n) {
        const PlanTreeNode* walked = nullptr;
        for (const auto& child : root.children()) {
          if (child->data().id == id_of(n)) {
            walked = child.get();
            break;
          }
        }
        ASSERT_EQ(root.FindChild(id_of(n)), walked) << after << ", id #" << n;
      }
      // In the children's own order, as a refresh asks.
      for (size_t i = 0; i < root.children().size(); ++i) {
        const uint64_t id = root.children()[i]->data().id;
        const PlanTreeNode* walked = nullptr;
        for (size_t j = 0; j <= i && walked == nullptr; ++j) {
          if (root.children()[j]->data().id == id)
            walked = root.children()[j].get();
        }
        ASSERT_EQ(root.FindChild(id), walked) << after << ", child " << i;
      }
    };
    for (int i = 0; i < 3000; ++i)
      root.AddChild(Node(id_of(random() % c.id_range), &deleted));
    check("adding");
    for (int i = 0; i < 1500 && !root.children().empty(); ++i) {
      PlanTreeNode* child = root.children()[random() % root.children().size()].get();
      ASSERT_NE(root.TakeChild(child), nullptr);
      if (i % 100 == 0)
        check("taking one");
    }
    check("taking one");
    const uint64_t odd = random() % 7 + 2;
    root.TakeChildrenWithIdIf([&](uint64_t id) { return (id / std::max<uint64_t>(c.id_stride, 1)) % odd == 0; });
    check("taking by id");
    for (const auto& child : root.children())
      EXPECT_NE((child->data().id / std::max<uint64_t>(c.id_stride, 1)) % odd, 0u);
    for (int i = 0; i < 500; ++i)
      root.AddChild(Node(id_of(random() % c.id_range), &deleted));
    check("adding again");
  }
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
