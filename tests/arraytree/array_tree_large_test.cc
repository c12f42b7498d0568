// Component 837 on trees of a million nodes, by slot number: a chain, a
// root with a million children and a comb (a long spine with a leaf beside
// every spine node). Every walk must finish with the full lists in order,
// which a walk that recursed with the tree would not. And the largest IDs,
// whose memory must follow the slots written, not the slot count.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "tests/arraytree/array_slot_tree.h"

namespace {

using rodarove_test::ArraySlotTree;
constexpr int32_t kNodes = 1000000;

// The process's resident memory in kB, or -1 where it cannot be read.
long ResidentKb() {
#if defined(__linux__)
  long size = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return -1;
  const int read = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  return read == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
#else
  return -1;
#endif
}

class LargeArrayTree : public ::testing::Test {
 protected:
  void SetUp() override {
    t = rodarove_test::NewArrayTree();
    ASSERT_NE(t.object(), nullptr);
  }
  void TearDown() override {
    if (t.object() != nullptr) t.Release();
  }
  ArraySlotTree t;
};

TEST_F(LargeArrayTree, ChainOfAMillion) {
  ASSERT_EQ(t.SetRoot(1), 1);
  for (int32_t id = 2; id <= kNodes; ++id) ASSERT_EQ(t.AppendChild(id, id - 1), 1);
  std::vector<int32_t> b(kNodes);
  ASSERT_EQ(t.List(kSlotGetPathToRoot, kNodes, b.data(), kNodes), kNodes);
  for (int32_t i = 0; i < kNodes; ++i) ASSERT_EQ(b[i], kNodes - i);
  ASSERT_EQ(t.List(kSlotGetPathFromRoot, kNodes, b.data(), kNodes), kNodes);
  for (int32_t i = 0; i < kNodes; ++i) ASSERT_EQ(b[i], i + 1);
  std::vector<NodePair> pairs(kNodes);
  int32_t root = 0;
  ASSERT_EQ(t.GetAllNodes(&root, pairs.data(), kNodes), kNodes);
  EXPECT_EQ(root, 1);
  for (int32_t i = 0; i < kNodes - 1; ++i) {
    ASSERT_EQ(pairs[i].id, i + 2);
    ASSERT_EQ(pairs[i].parent, i + 1);
  }
  EXPECT_EQ(t.GetDescendants(1, nullptr, 0), kNodes - 1);
  EXPECT_EQ(t.ListAll(kSlotGetLeaves, 1), std::vector<int32_t>{kNodes});
  EXPECT_EQ(t.AtDepth(kNodes - 1, 1), std::vector<int32_t>{kNodes});
  EXPECT_EQ(t.AtDepth(kNodes, 1), std::vector<int32_t>{});
  EXPECT_EQ(t.List(kSlotGetSiblings, 500000, nullptr, 0), 0);
  EXPECT_EQ(t.List(kSlotGetSiblingsWithSelf, 500000, nullptr, 0), 1);
  // Moving the top of the chain under its bottom is refused after a walk
  // over the whole depth; moving the bottom up is not.
  EXPECT_EQ(t.MoveToLastChild(2, kNodes), 0);
  EXPECT_EQ(t.MoveToLastChild(kNodes, 1), 1);
  EXPECT_EQ(t.ListAll(kSlotGetLeaves, 1), (std::vector<int32_t>{kNodes - 1, kNodes}));
  // Cut in the middle: the lower half keeps its nodes, its path stops.
  EXPECT_EQ(t.RemoveNode(500000), 1);
  EXPECT_EQ(t.List(kSlotGetPathToRoot, kNodes - 1, nullptr, 0), kNodes - 1 - 500000 + 1);
  EXPECT_EQ(t.List(kSlotGetPathFromRoot, kNodes - 1, nullptr, 0), kNodes - 1 - 500001);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 500000);
}

TEST_F(LargeArrayTree, RootWithAMillionChildren) {
  ASSERT_EQ(t.SetRoot(1), 1);
  for (int32_t id = 2; id <= kNodes + 1; ++id) ASSERT_EQ(t.AppendChild(id, 1), 1);
  std::vector<int32_t> b(kNodes);
  ASSERT_EQ(t.List(kSlotGetSiblingsWithSelf, 7, b.data(), kNodes), kNodes);
  for (int32_t i = 0; i < kNodes; ++i) ASSERT_EQ(b[i], i + 2);
  ASSERT_EQ(t.List(kSlotGetSiblings, 2, b.data(), kNodes), kNodes - 1);
  for (int32_t i = 0; i < kNodes - 1; ++i) ASSERT_EQ(b[i], i + 3);
  ASSERT_EQ(t.List(kSlotGetLeaves, 1, b.data(), kNodes), kNodes);
  for (int32_t i = 0; i < kNodes; ++i) ASSERT_EQ(b[i], i + 2);
  ASSERT_EQ(t.GetNodesAtDepth(1, 1, b.data(), kNodes), kNodes);
  EXPECT_EQ(b[kNodes - 1], kNodes + 1);
  std::vector<NodePair> pairs(kNodes);
  ASSERT_EQ(t.GetDescendants(1, pairs.data(), kNodes), kNodes);
  for (int32_t i = 0; i < kNodes; ++i) ASSERT_EQ(pairs[i].id, i + 2);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), kNodes + 1);
  // The last child moved under the first: it comes after all its uncles.
  ASSERT_EQ(t.MoveToFirstChild(kNodes + 1, 2), 1);
  ASSERT_EQ(t.GetDescendants(1, pairs.data(), kNodes), kNodes);
  EXPECT_EQ(pairs[kNodes - 2].id, kNodes);
  EXPECT_EQ(pairs[kNodes - 1].id, kNodes + 1);
  EXPECT_EQ(pairs[kNodes - 1].parent, 2);
}

TEST_F(LargeArrayTree, CombWithAHalfMillionLevels) {
  // Spine node s has the children s + 2 (the spine) and s + 1 (a leaf).
  constexpr int32_t kTop = kNodes - 1;
  ASSERT_EQ(t.SetRoot(1), 1);
  for (int32_t s = 1; s + 2 <= kTop; s += 2) {
    ASSERT_EQ(t.AppendChild(s + 2, s), 1);
    ASSERT_EQ(t.AppendChild(s + 1, s), 1);
  }
  const int32_t bottom = kTop;  // the last spine node
  const int32_t count = kTop;   // nodes 1 .. kTop
  std::vector<NodePair> pairs(count);
  ASSERT_EQ(t.GetAllNodes(nullptr, pairs.data(), count), count);
  // Each spine node's two children come together, level by level.
  for (int32_t i = 0; i + 1 < count; i += 2) {
    int32_t s = i + 1;
    ASSERT_EQ(pairs[i].id, s + 2);
    ASSERT_EQ(pairs[i].parent, s);
    ASSERT_EQ(pairs[i + 1].id, s + 1);
    ASSERT_EQ(pairs[i + 1].parent, s);
  }
  // Leaves: the bottom of the spine, then the side leaves from the bottom up.
  std::vector<int32_t> b(count);
  const int32_t leaves = (bottom - 1) / 2 + 1;
  ASSERT_EQ(t.List(kSlotGetLeaves, 1, b.data(), count), leaves);
  ASSERT_EQ(b[0], bottom);
  for (int32_t k = 1; k < leaves; ++k) ASSERT_EQ(b[k], bottom - 2 * k + 1);
  // Depth d below the root: the spine node and the leaf of level d.
  EXPECT_EQ(t.AtDepth(1000, 1), (std::vector<int32_t>{2001, 2000}));
  EXPECT_EQ(t.AtDepth((bottom - 1) / 2, 1), (std::vector<int32_t>{bottom, bottom - 1}));
  EXPECT_EQ(t.List(kSlotGetPathToRoot, bottom, nullptr, 0), (bottom - 1) / 2 + 1);
}

// The last ID raises the slot count to 178,956,000, refused or not, yet
// costs resident memory only for what is written: a refused insertion
// under 16 MB, an accepted one under 64 MB. The answers are those of any
// slot count, and Clear keeps the count.
TEST_F(LargeArrayTree, FarIdCostsWhatItWrites) {
  constexpr int32_t kLast = 178955999;
  const long before = ResidentKb();
  EXPECT_EQ(t.AppendChild(kLast, -1), 0);
  const long refused = ResidentKb();
  EXPECT_EQ(t.GetParent(kLast, nullptr), 0) << "in range, not a node";
  EXPECT_EQ(t.GetParent(kLast + 1, nullptr), -1);
  ASSERT_EQ(t.SetRoot(1), 1);
  EXPECT_EQ(t.AppendChild(kLast, 1), 1);
  EXPECT_EQ(t.AppendChild(kLast + 1, 1), 0) << "beyond the limit";
  EXPECT_EQ(t.AppendChild(100000000, kLast), 1) << "a parent far from its child";
  const long accepted = ResidentKb();
  int32_t out = 0;
  EXPECT_EQ(t.GetParent(kLast, &out), 1);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(t.GetFirstChild(kLast, &out), 1);
  EXPECT_EQ(out, 100000000);
  EXPECT_EQ(t.Exists(kLast - 1), 0);
  EXPECT_EQ(t.GetPrevSibling(kLast - 1, nullptr), -1);
  EXPECT_EQ(t.GetNextSibling(150000000, nullptr), 0);
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 100000000, nullptr, 0), 3);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 3);
  if (before >= 0) {
    EXPECT_LT(refused - before, 16 * 1024) << "kB for a refused insertion";
    EXPECT_LT(accepted - before, 64 * 1024) << "kB for accepted ones";
  }
  ASSERT_EQ(t.Clear(), 1);
  EXPECT_EQ(t.Exists(kLast), 0);
  EXPECT_EQ(t.GetParent(kLast, nullptr), 0) << "Clear keeps the slot count";
}

TEST_F(LargeArrayTree, TwoMillionRisingIds) {
  ASSERT_EQ(t.SetRoot(1), 1);
  for (int32_t id = 2; id <= 2 * kNodes; ++id) ASSERT_EQ(t.AppendChild(id, 1), 1);
  EXPECT_EQ(t.GetParent(2000999, nullptr), 0);
  EXPECT_EQ(t.GetParent(2001000, nullptr), -1);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 2 * kNodes);
}

}  // namespace
