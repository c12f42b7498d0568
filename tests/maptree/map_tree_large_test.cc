// Component 114 with a million nodes, through the built library: a chain a
// million deep, a root with a million children, and a comb (every child of
// the root with one child of its own). Every query and the removals must
// work without deep recursion and give the lists of the recursive
// definitions.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/maptree/slot_tree.h"
#include "tests/support/module_loader.h"

namespace {

using rodarove_test::SlotTree;
using V = std::vector<int32_t>;

constexpr int32_t kN = 1000000;

class MapTreeLarge : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static rodarove_test::ModuleExports e;
    static void* lib = rodarove_test::LoadModule(&e);
    ASSERT_NE(lib, nullptr);
    exports_ = &e;
  }
  void SetUp() override {
    IComponent* c = exports_->CreateComponent(114, 0);
    ASSERT_NE(c, nullptr);
    t = SlotTree(c);
  }
  void TearDown() override { t.Release(); }

  static rodarove_test::ModuleExports* exports_;
  SlotTree t{nullptr};
};
rodarove_test::ModuleExports* MapTreeLarge::exports_ = nullptr;

// Chain 0 - 1 - 2 - ... - (kN - 1), node i the only child of node i - 1.
TEST_F(MapTreeLarge, MillionDeepChain) {
  ASSERT_EQ(t.SetRoot(0), 1);
  for (int32_t i = 1; i < kN; ++i) ASSERT_EQ(t.AppendChild(i, i - 1), 1);
  const int32_t bottom = kN - 1;
  V buf(kN, -1);
  EXPECT_EQ(t.List(kSlotGetPathFromRoot, bottom, buf.data(), kN), kN);
  for (int32_t i = 0; i < kN; ++i) ASSERT_EQ(buf[i], i);
  EXPECT_EQ(t.List(kSlotGetPathToRoot, bottom, buf.data(), kN), kN);
  for (int32_t i = 0; i < kN; ++i) ASSERT_EQ(buf[i], bottom - i);
  EXPECT_EQ(t.List(kSlotGetLeaves, 0, buf.data(), kN), 1);
  EXPECT_EQ(buf[0], bottom);
  EXPECT_EQ(t.GetNodesAtDepth(bottom, 0, buf.data(), 1), 1);
  EXPECT_EQ(buf[0], bottom);
  EXPECT_EQ(t.GetNodesAtDepth(kN, 0, nullptr, 0), 0);
  EXPECT_EQ(t.GetNodesAtDepth(bottom - 10, 10, buf.data(), 1), 1);
  EXPECT_EQ(buf[0], bottom);

  std::vector<NodePair> pairs(kN);
  int32_t root = -1;
  EXPECT_EQ(t.GetAllNodes(&root, pairs.data(), kN), kN);
  EXPECT_EQ(root, 0);
  for (int32_t i = 0; i + 1 < kN; ++i) {
    ASSERT_EQ(pairs[i].id, i + 1);
    ASSERT_EQ(pairs[i].parent, i);
  }
  EXPECT_EQ(t.GetDescendants(1, nullptr, 0), kN - 2);

  // A move to the top of the chain checks the whole chain for a cycle.
  EXPECT_EQ(t.MoveToFirstChild(1, bottom), 0);
  EXPECT_EQ(t.MoveAfter(2, bottom), 0);
  EXPECT_EQ(t.MoveToLastChild(bottom, 0), 1);
  EXPECT_EQ(t.List(kSlotGetSiblings, bottom, buf.data(), 2), 1);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(t.MoveBefore(bottom, 1), 1);
  int32_t out = -1;
  EXPECT_EQ(t.GetFirstChild(0, &out), 1);
  EXPECT_EQ(out, bottom);

  // Removing the top of the chain (below the root) erases it all; the moved
  // bottom node stays beside it.
  EXPECT_EQ(t.RemoveNode(1), kN - 2);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 2);
  EXPECT_EQ(t.Exists(kN / 2), 0);
}

TEST_F(MapTreeLarge, RemovingTheRootOfAChainCountsEveryNode) {
  ASSERT_EQ(t.SetRoot(-1), 1);
  for (int32_t i = 0; i < kN - 1; ++i) ASSERT_EQ(t.PrependChild(i, i - 1), 1);
  EXPECT_EQ(t.RemoveNode(-1), kN);
  int32_t out = 5;
  EXPECT_EQ(t.GetRoot(&out), 0);
  EXPECT_EQ(t.Exists(7), 0);
}

// Root 0 with children 1 .. kN - 1.
TEST_F(MapTreeLarge, MillionWideRoot) {
  ASSERT_EQ(t.SetRoot(0), 1);
  for (int32_t i = 1; i < kN; ++i) ASSERT_EQ(t.AppendChild(i, 0), 1);
  V buf(kN, -1);
  EXPECT_EQ(t.List(kSlotGetSiblings, 1, buf.data(), kN), kN - 2);
  EXPECT_EQ(buf[0], 2);
  EXPECT_EQ(buf[kN - 3], kN - 1);
  EXPECT_EQ(t.List(kSlotGetLeaves, 0, buf.data(), kN), kN - 1);
  for (int32_t i = 0; i < kN - 1; ++i) ASSERT_EQ(buf[i], i + 1);
  EXPECT_EQ(t.GetNodesAtDepth(1, 0, nullptr, 0), kN - 1);
  EXPECT_EQ(t.GetNodesAtDepth(2, 0, nullptr, 0), 0);
  int32_t out = 0;
  EXPECT_EQ(t.GetPrevSibling(kN - 1, &out), 1);
  EXPECT_EQ(out, kN - 2);
  // Single-node edits at the far end of a long row cost no scan.
  for (int32_t i = kN - 1; i > kN - 1000; --i) {
    ASSERT_EQ(t.InsertBefore(-i, 0, i), 1);
    ASSERT_EQ(t.MoveToFirstChild(i, 0), 1);
    ASSERT_EQ(t.RemoveNode(-i), 1);
  }
  EXPECT_EQ(t.GetFirstChild(0, &out), 1);
  EXPECT_EQ(out, kN - 999);
  EXPECT_EQ(t.RemoveNode(0), kN);
}

// Root 0; children 1 .. kH of the root, child kH + i of child i.
TEST_F(MapTreeLarge, CombWalksRowsThenChildrenRightToLeft) {
  constexpr int32_t kH = kN / 2;
  ASSERT_EQ(t.SetRoot(0), 1);
  for (int32_t i = 1; i <= kH; ++i) ASSERT_EQ(t.AppendChild(i, 0), 1);
  for (int32_t i = 1; i < kH; ++i) ASSERT_EQ(t.AppendChild(kH + i, i), 1);
  std::vector<NodePair> pairs(kN);
  EXPECT_EQ(t.GetAllNodes(nullptr, pairs.data(), kN), kN);
  // The row first, then the children of its members from the last back.
  for (int32_t i = 0; i < kH; ++i) ASSERT_EQ(pairs[i].id, i + 1);
  for (int32_t k = 0; k < kH - 1; ++k) {
    int32_t member = kH - 1 - k;
    ASSERT_EQ(pairs[kH + k].id, kH + member) << k;
    ASSERT_EQ(pairs[kH + k].parent, member) << k;
  }
  V buf(kN, -1);
  EXPECT_EQ(t.GetNodesAtDepth(2, 0, buf.data(), kN), kH - 1);
  for (int32_t i = 0; i < kH - 1; ++i) ASSERT_EQ(buf[i], kH + 1 + i);
  EXPECT_EQ(t.List(kSlotGetLeaves, 0, nullptr, 0), kH);
  EXPECT_EQ(t.RemoveNode(1), 2);
  EXPECT_EQ(t.RemoveNode(0), kN - 2);
}

}  // namespace
