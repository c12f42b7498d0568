// Component 837 as a host uses it: created through the loaded module and
// called by slot number only. Worked examples, growth seen through the -1/0
// answers, left-over links after RemoveNode, orphans, and the refusals that
// must leave the tree as it was.
#include <gtest/gtest.h>

#include <vector>

#include "tests/arraytree/array_slot_tree.h"

namespace {

using rodarove_test::ArraySlotTree;
using V = std::vector<int32_t>;
using P = std::vector<NodePair>;

class ArrayTree : public ::testing::Test {
 protected:
  void SetUp() override {
    t = rodarove_test::NewArrayTree();
    ASSERT_NE(t.object(), nullptr);
  }
  void TearDown() override {
    if (t.object() != nullptr) t.Release();
  }

  // Root 1; children 2 and 3 of 1; child 4 of 2.
  void BuildSmall() {
    ASSERT_EQ(t.SetRoot(1), 1);
    ASSERT_EQ(t.AppendChild(2, 1), 1);
    ASSERT_EQ(t.AppendChild(3, 1), 1);
    ASSERT_EQ(t.AppendChild(4, 2), 1);
  }
  // The chain 1, 2, 3.
  void BuildChain() {
    ASSERT_EQ(t.SetRoot(1), 1);
    ASSERT_EQ(t.AppendChild(2, 1), 1);
    ASSERT_EQ(t.AppendChild(3, 2), 1);
  }
  V Children(int32_t id) {
    int32_t first = 0;
    if (t.GetFirstChild(id, &first) != 1) return {};
    return t.ListAll(kSlotGetSiblingsWithSelf, first);
  }
  int32_t Link(int slot, int32_t id) {
    int32_t out = -77;
    int32_t r = t.Link(slot, id, &out);
    return r == 1 ? out : (r == 0 ? 0 : -1);
  }
  // The smallest multiple of 1000 at which GetParent answers -1.
  int32_t SlotCount() {
    int32_t k = 1000;
    while (t.GetParent(k, nullptr) != -1) k += 1000;
    EXPECT_EQ(t.GetParent(k - 1, nullptr) == -1 ? 1 : 0, 0) << "slot count not a multiple of 1000";
    return k;
  }
  // Every answer a host can see for IDs up to `upTo`, for "nothing changed".
  V Snapshot(int32_t upTo) {
    V s;
    int32_t root = -5;
    s.push_back(t.GetRoot(&root));
    s.push_back(root);
    s.push_back(SlotCount());
    for (int32_t id = 0; id <= upTo; ++id) {
      s.push_back(t.Exists(id));
      for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
        int32_t out = -5;
        s.push_back(t.Link(slot, id, &out));
        s.push_back(out);
      }
      for (int32_t p = 0; p <= upTo; ++p) s.push_back(t.IsChild(id, p));
    }
    int32_t count = 0;
    for (const NodePair& p : t.AllPairs(&count)) {
      s.push_back(p.id);
      s.push_back(p.parent);
    }
    s.push_back(count);
    return s;
  }

  ArraySlotTree t;
};

TEST_F(ArrayTree, SharedExamplesOnTheSmallTree) {
  EXPECT_EQ(t.ComponentId(), 837);
  int32_t out = 77;
  EXPECT_EQ(t.GetRoot(&out), 0);
  EXPECT_EQ(out, 77);
  int32_t rootOut = 77;
  NodePair pair{5, 5};
  EXPECT_EQ(t.GetAllNodes(&rootOut, &pair, 1), 0);
  EXPECT_EQ(rootOut, 77);
  EXPECT_EQ(pair.id, 5);
  BuildSmall();

  int32_t b[8];
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 4, b, 8), 3);
  EXPECT_EQ(V(b, b + 3), (V{4, 2, 1}));
  EXPECT_EQ(t.List(kSlotGetPathFromRoot, 4, b, 8), 3);
  EXPECT_EQ(V(b, b + 3), (V{1, 2, 4}));
  EXPECT_EQ(t.ListAll(kSlotGetSiblings, 2), (V{3}));
  EXPECT_EQ(t.ListAll(kSlotGetSiblingsWithSelf, 2), (V{2, 3}));
  EXPECT_EQ(t.ListAll(kSlotGetLeaves, 1), (V{4, 3}));
  NodePair pairs[8];
  EXPECT_EQ(t.GetAllNodes(&rootOut, pairs, 8), 4);
  EXPECT_EQ(rootOut, 1);
  EXPECT_EQ(P(pairs, pairs + 3), (P{{2, 1}, {3, 1}, {4, 2}}));
  EXPECT_EQ(t.Descendants(1), (P{{2, 1}, {3, 1}, {4, 2}}));
  EXPECT_EQ(t.AtDepth(1, 1), (V{2, 3}));
  EXPECT_EQ(t.AtDepth(2, 1), (V{4}));

  // Cut short but counted in full; nothing past capacity, nothing for null.
  int32_t c[4] = {9, 9, 9, 9};
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 4, c, 2), 3);
  EXPECT_EQ(V(c, c + 4), (V{4, 2, 9, 9}));
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 4, nullptr, 5), 3);
  for (int slot : {kSlotGetPathFromRoot, kSlotGetPathToRoot, kSlotGetSiblings, kSlotGetLeaves,
                   kSlotGetSiblingsWithSelf}) {
    int32_t d[2] = {9, 9};
    int32_t n = t.List(slot, 2, nullptr, 100);
    EXPECT_EQ(t.List(slot, 2, d, 0), n);
    EXPECT_EQ(t.List(slot, 2, d, -3), n);
    EXPECT_EQ(V(d, d + 2), (V{9, 9})) << "slot " << slot;
  }
  EXPECT_EQ(t.ListAll(kSlotGetSiblings, 1), V{});
  EXPECT_EQ(t.ListAll(kSlotGetSiblingsWithSelf, 1), (V{1}));
  EXPECT_EQ(t.List(kSlotGetLeaves, 4, nullptr, 0), 0);
  for (int32_t id : {0, 50, 5000, -1}) {
    EXPECT_EQ(t.IsLeaf(id), 0);
    EXPECT_EQ(t.Exists(id), 0);
    EXPECT_EQ(t.IsChild(id, 1), 0);
  }
  EXPECT_EQ(t.RemoveNode(3), 1);
  EXPECT_EQ(t.RemoveNode(2), 1) << "the array class removes one node";
  EXPECT_EQ(t.Exists(4), 1);
}

TEST_F(ArrayTree, WalkOrderOfTheLongerExample) {
  // R=1 with A=2, B=3; A has A1=4, A2=5; B has B1=6.
  ASSERT_EQ(t.SetRoot(1), 1);
  for (auto [n, p] : {std::pair{2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}}) {
    ASSERT_EQ(t.AppendChild(n, p), 1);
  }
  int32_t count = 0;
  EXPECT_EQ(t.AllPairs(&count), (P{{2, 1}, {3, 1}, {6, 3}, {4, 2}, {5, 2}}));
  EXPECT_EQ(count, 6);
  EXPECT_EQ(t.AtDepth(2, 1), (V{4, 5, 6}));
  EXPECT_EQ(t.AtDepth(3, 1), V{});
  EXPECT_EQ(t.ListAll(kSlotGetLeaves, 1), (V{4, 5, 6}));
  int32_t b[3];
  EXPECT_EQ(t.GetNodesAtDepth(2, 1, b, 2), 3);
  EXPECT_EQ(V(b, b + 2), (V{4, 5}));
  EXPECT_EQ(t.GetNodesAtDepth(-1, 1, nullptr, 0), 0);
  EXPECT_EQ(t.GetNodesAtDepth(-1, 7, nullptr, 0), -1);
  EXPECT_EQ(t.GetNodesAtDepth(1, 7, nullptr, 0), -1);
  EXPECT_EQ(t.GetNodesAtDepth(0, 7, b, 3), -1) << "depth 0 of a non-node";
  EXPECT_EQ(t.GetNodesAtDepth(0, 4, b, 3), 1);
  EXPECT_EQ(b[0], 4);
}

TEST_F(ArrayTree, SlotCountGrowsToTheMultipleOf1000AboveTheNewId) {
  EXPECT_EQ(SlotCount(), 1000);
  EXPECT_EQ(t.GetParent(999, nullptr), 0);
  EXPECT_EQ(t.GetParent(1500, nullptr), -1);
  EXPECT_EQ(t.SetRoot(0), 0);
  EXPECT_EQ(t.SetRoot(-1), 0);
  EXPECT_EQ(t.SetRoot(178956000), 0) << "beyond the limit";
  EXPECT_EQ(SlotCount(), 1000);
  EXPECT_EQ(t.SetRoot(999), 1);
  EXPECT_EQ(SlotCount(), 1000);
  ASSERT_EQ(t.Clear(), 1);
  EXPECT_EQ(t.SetRoot(1000), 1);
  EXPECT_EQ(SlotCount(), 2000);
  EXPECT_EQ(t.GetParent(1500, nullptr), 0);
  EXPECT_EQ(t.GetPrevSibling(1500, nullptr), -1);
  EXPECT_EQ(t.GetNextSibling(1500, nullptr), 0);
  EXPECT_EQ(t.AppendChild(1999, 1000), 1);
  EXPECT_EQ(SlotCount(), 2000);
  EXPECT_EQ(t.AppendChild(2000, 1000), 1);
  EXPECT_EQ(SlotCount(), 3000);
  // A refused SetRoot still grows.
  EXPECT_EQ(t.SetRoot(5000), 0);
  EXPECT_EQ(SlotCount(), 6000);
  int32_t root = 0;
  EXPECT_EQ(t.GetRoot(&root), 1);
  EXPECT_EQ(root, 1000);
  EXPECT_EQ(t.SetRoot(1000), 0);
  // Growth keeps nodes and links; slots brought in are empty.
  EXPECT_EQ(t.AppendChild(25000, 1000), 1);
  EXPECT_EQ(SlotCount(), 26000);
  EXPECT_EQ(Children(1000), (V{1999, 2000, 25000}));
  for (int32_t id = 2001; id < 26000; id += 997) {
    if (id == 25000) continue;
    EXPECT_EQ(t.Exists(id), 0);
    EXPECT_EQ(t.GetNextSibling(id, nullptr), 0);
    EXPECT_EQ(t.IsChild(id, 0), 0);
  }
  // Clear keeps the size.
  EXPECT_EQ(t.Clear(), 1);
  EXPECT_EQ(t.GetRoot(&root), 0);
  EXPECT_EQ(t.Exists(1000), 0);
  EXPECT_EQ(t.GetNextSibling(1999, nullptr), 0);
  EXPECT_EQ(SlotCount(), 26000);
  EXPECT_EQ(t.Clear(), 1);
}

TEST_F(ArrayTree, AnswersForIdsOutOfRangeAndLeaves) {
  BuildSmall();
  for (int32_t id : {0, 1000, -1, INT32_MIN, INT32_MAX}) {
    int32_t out = 5;
    EXPECT_EQ(t.Exists(id), 0);
    EXPECT_EQ(t.IsLeaf(id), 0);
    EXPECT_EQ(t.IsChild(id, 1), 0);
    EXPECT_EQ(t.GetParent(id, &out), -1);
    EXPECT_EQ(t.GetLastChild(id, &out), -1);
    EXPECT_EQ(t.GetFirstChild(id, &out), -1);
    EXPECT_EQ(t.GetPrevSibling(id, &out), -1);
    EXPECT_EQ(t.GetNextSibling(id, &out), 0);
    EXPECT_EQ(out, 5);
    for (int slot : {kSlotGetPathFromRoot, kSlotGetPathToRoot, kSlotGetSiblings, kSlotGetLeaves,
                     kSlotGetSiblingsWithSelf}) {
      EXPECT_EQ(t.List(slot, id, nullptr, 0), -1);
    }
    EXPECT_EQ(t.GetDescendants(id, nullptr, 0), -1);
    EXPECT_EQ(t.RemoveNode(id), -1);
  }
  // In range, not a node.
  EXPECT_EQ(t.GetParent(999, nullptr), 0);
  EXPECT_EQ(t.GetFirstChild(999, nullptr), 0);
  EXPECT_EQ(t.GetPrevSibling(999, nullptr), -1);
  EXPECT_EQ(t.List(kSlotGetLeaves, 999, nullptr, 0), -1);
  // A leaf.
  EXPECT_EQ(t.IsLeaf(4), 1);
  EXPECT_EQ(Link(kSlotGetFirstChild, 4), 0);
  EXPECT_EQ(Link(kSlotGetLastChild, 4), 0);
  EXPECT_EQ(t.GetDescendants(4, nullptr, 0), 0);
  // A null out still reports the answer and writes nothing.
  EXPECT_EQ(t.GetParent(4, nullptr), 1);
  EXPECT_EQ(t.GetNextSibling(2, nullptr), 1);
  EXPECT_EQ(t.GetRoot(nullptr), 1);
}

TEST_F(ArrayTree, InsertionsKeepBothSiblingDirections) {
  ASSERT_EQ(t.SetRoot(1), 1);
  ASSERT_EQ(t.AppendChild(2, 1), 1);
  ASSERT_EQ(t.AppendChild(3, 1), 1);
  ASSERT_EQ(t.PrependChild(4, 1), 1);
  EXPECT_EQ(Children(1), (V{4, 2, 3}));
  EXPECT_EQ(Link(kSlotGetFirstChild, 1), 4);
  EXPECT_EQ(Link(kSlotGetLastChild, 1), 3);
  EXPECT_EQ(Link(kSlotGetPrevSibling, 4), 0);
  EXPECT_EQ(Link(kSlotGetNextSibling, 3), 0);
  EXPECT_EQ(Link(kSlotGetNextSibling, 4), 2);
  EXPECT_EQ(Link(kSlotGetPrevSibling, 2), 4);
  EXPECT_EQ(Link(kSlotGetNextSibling, 2), 3);
  EXPECT_EQ(Link(kSlotGetPrevSibling, 3), 2);
  ASSERT_EQ(t.InsertAfter(5, 1, 3), 1);
  EXPECT_EQ(Link(kSlotGetLastChild, 1), 5);
  ASSERT_EQ(t.InsertBefore(6, 1, 4), 1);
  EXPECT_EQ(Link(kSlotGetFirstChild, 1), 6);
  EXPECT_EQ(Link(kSlotGetPrevSibling, 6), 0);
  EXPECT_EQ(Children(1), (V{6, 4, 2, 3, 5}));
  ASSERT_EQ(t.AppendChild(1500, 1), 1);
  EXPECT_EQ(Link(kSlotGetLastChild, 1), 1500);

  V before = Snapshot(12);
  EXPECT_EQ(t.InsertAfter(7, 2, 3), 0) << "reference not a child of the parent";
  EXPECT_EQ(t.InsertBefore(7, 9, 3), 0) << "parent not a node";
  EXPECT_EQ(t.InsertAfter(7, 1, 9), 0) << "reference not a node";
  EXPECT_EQ(t.InsertAfter(7, 0, 3), 0);
  EXPECT_EQ(t.InsertAfter(0, 1, 2), 0);
  EXPECT_EQ(t.AppendChild(0, 1), 0);
  EXPECT_EQ(t.AppendChild(8, 0), 0);
  EXPECT_EQ(t.AppendChild(8, 2000), 0) << "parent out of range";
  EXPECT_EQ(t.AppendChild(-8, 1), 0);
  // Already a node: refilling it would orphan its relatives.
  EXPECT_EQ(t.AppendChild(2, 3), 0);
  EXPECT_EQ(t.PrependChild(3, 1), 0);
  EXPECT_EQ(t.InsertAfter(4, 1, 2), 0);
  EXPECT_EQ(t.InsertBefore(1, 1, 2), 0);
  EXPECT_EQ(t.SetRoot(2), 0);
  // Its own parent.
  EXPECT_EQ(t.AppendChild(9, 9), 0);
  EXPECT_EQ(t.PrependChild(9, 9), 0);
  EXPECT_EQ(Snapshot(12), before);
  // Growth before a refusal stays.
  EXPECT_EQ(t.AppendChild(2500, 2500), 0);
  EXPECT_EQ(t.Exists(2500), 0);
  EXPECT_EQ(SlotCount(), 3000);
}

TEST_F(ArrayTree, ChildrenUnderAnIdThatIsNotANode) {
  ASSERT_EQ(t.SetRoot(1), 1);
  EXPECT_EQ(t.AppendChild(20, 7), 1);
  EXPECT_EQ(Link(kSlotGetParent, 20), 7);
  EXPECT_EQ(t.Exists(7), 0);
  EXPECT_EQ(t.IsChild(20, 7), 1);
  // The hand-over to InsertAfter refuses (7 is not a node): nothing stays.
  V before = Snapshot(30);
  EXPECT_EQ(t.AppendChild(21, 7), 0);
  EXPECT_EQ(t.PrependChild(21, 7), 0);
  EXPECT_EQ(t.Exists(21), 0);
  EXPECT_EQ(Snapshot(30), before);
  // 20 answers as a node without siblings; its parent lists nobody.
  EXPECT_EQ(t.List(kSlotGetSiblings, 20, nullptr, 0), 0);
  int32_t b[3] = {9, 9, 9};
  EXPECT_EQ(t.List(kSlotGetSiblingsWithSelf, 20, b, 3), 1);
  EXPECT_EQ(V(b, b + 3), (V{20, 9, 9}));
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 20), (V{20, 7}));
  EXPECT_EQ(t.List(kSlotGetPathFromRoot, 20, b, 3), 0);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 1) << "20 is not reachable from the root";
  EXPECT_EQ(t.MoveToLastChild(20, 1), 0) << "its parent is not a node";
}

TEST_F(ArrayTree, RemoveNodeTakesOneNodeAndLeavesItsLinks) {
  BuildChain();
  EXPECT_EQ(t.RemoveNode(2), 1);
  EXPECT_EQ(t.Exists(2), 0);
  EXPECT_EQ(t.GetParent(2, nullptr), 0);
  EXPECT_EQ(t.GetPrevSibling(2, nullptr), -1);
  EXPECT_EQ(t.IsChild(2, 1), 1) << "left-over parent link";
  EXPECT_EQ(t.Exists(3), 1);
  EXPECT_EQ(Link(kSlotGetParent, 3), 2);
  EXPECT_EQ(t.IsLeaf(1), 1);
  int32_t b[4] = {9, 9, 9, 9};
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 3, b, 4), 2);
  EXPECT_EQ(V(b, b + 4), (V{3, 2, 9, 9}));
  b[0] = 9;
  EXPECT_EQ(t.List(kSlotGetPathFromRoot, 3, b, 4), 0);
  EXPECT_EQ(b[0], 9);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 1);
  // The orphan answers as a node without parent.
  b[0] = 9;
  EXPECT_EQ(t.List(kSlotGetSiblings, 3, b, 4), 0);
  EXPECT_EQ(b[0], 9);
  EXPECT_EQ(t.ListAll(kSlotGetSiblingsWithSelf, 3), (V{3}));
  EXPECT_EQ(t.RemoveNode(2), -1);
  EXPECT_EQ(t.RemoveNode(0), -1);
  EXPECT_EQ(t.RemoveNode(1000), -1);

  // A node below an orphan counts its path from below the orphan.
  ASSERT_EQ(t.AppendChild(4, 3), 1);
  EXPECT_EQ(t.ListAll(kSlotGetPathFromRoot, 4), (V{4}));
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 4), (V{4, 3, 2}));

  // Removing the root keeps the others; no root, and it can be set anew.
  EXPECT_EQ(t.RemoveNode(1), 1);
  EXPECT_EQ(t.GetRoot(nullptr), 0);
  EXPECT_EQ(t.Exists(3), 1);
  EXPECT_EQ(t.SetRoot(3), 0) << "3 is a node";
  EXPECT_EQ(t.SetRoot(1), 1);
}

TEST_F(ArrayTree, RemoveNodeRelinksSiblingsAndParent) {
  ASSERT_EQ(t.SetRoot(1), 1);
  for (int32_t id : {2, 3, 4}) ASSERT_EQ(t.AppendChild(id, 1), 1);
  ASSERT_EQ(t.RemoveNode(3), 1);
  EXPECT_EQ(Children(1), (V{2, 4}));
  EXPECT_EQ(Link(kSlotGetPrevSibling, 4), 2);
  EXPECT_EQ(Link(kSlotGetNextSibling, 3), 4) << "a removed node keeps its next sibling";
  EXPECT_EQ(t.GetNextSibling(500, nullptr), 0);
  ASSERT_EQ(t.RemoveNode(4), 1);
  EXPECT_EQ(Link(kSlotGetLastChild, 1), 2);
  EXPECT_EQ(Link(kSlotGetNextSibling, 2), 0);
  ASSERT_EQ(t.RemoveNode(2), 1);
  EXPECT_EQ(t.IsLeaf(1), 1);
  // A removed ID comes back as a new node, its old links gone.
  ASSERT_EQ(t.AppendChild(3, 1), 1);
  EXPECT_EQ(Link(kSlotGetNextSibling, 3), 0);
  EXPECT_EQ(Children(1), (V{3}));
}

TEST_F(ArrayTree, MovesAndTheirRefusals) {
  // 1: children 2, 3; 2: child 4; 3: children 5, 6.
  ASSERT_EQ(t.SetRoot(1), 1);
  for (auto [n, p] : {std::pair{2, 1}, {3, 1}, {4, 2}, {5, 3}, {6, 3}}) {
    ASSERT_EQ(t.AppendChild(n, p), 1);
  }
  EXPECT_EQ(t.MoveToLastChild(5, 3), 1);
  EXPECT_EQ(Children(3), (V{6, 5}));
  EXPECT_EQ(Link(kSlotGetPrevSibling, 5), 6);
  EXPECT_EQ(Link(kSlotGetNextSibling, 5), 0);
  EXPECT_EQ(t.MoveToFirstChild(4, 3), 1);
  EXPECT_EQ(t.IsLeaf(2), 1);
  EXPECT_EQ(Children(3), (V{4, 6, 5}));
  EXPECT_EQ(t.MoveBefore(2, 4), 1);
  EXPECT_EQ(Children(3), (V{2, 4, 6, 5}));
  EXPECT_EQ(Link(kSlotGetFirstChild, 3), 2);
  EXPECT_EQ(t.MoveAfter(4, 5), 1);
  EXPECT_EQ(Children(3), (V{2, 6, 5, 4}));
  EXPECT_EQ(Link(kSlotGetLastChild, 3), 4);
  EXPECT_EQ(Children(1), (V{3}));
  EXPECT_EQ(t.MoveAfter(6, 3), 1);
  EXPECT_EQ(Children(1), (V{3, 6}));
  EXPECT_EQ(Link(kSlotGetPrevSibling, 6), 3);
  EXPECT_EQ(t.AllPairs(), (P{{3, 1}, {6, 1}, {2, 3}, {5, 3}, {4, 3}}));

  // Refused moves change nothing.
  V before = Snapshot(8);
  for (int slot = kSlotMoveToFirstChild; slot <= kSlotMoveAfter; ++slot) {
    EXPECT_EQ(t.Move(slot, 1, 6), 0) << "the root, slot " << slot;
    EXPECT_EQ(t.Move(slot, 3, 3), 0) << "onto itself, slot " << slot;
    EXPECT_EQ(t.Move(slot, 3, 5), 0) << "into its own subtree, slot " << slot;
    EXPECT_EQ(t.Move(slot, 7, 6), 0) << "not a node, slot " << slot;
    EXPECT_EQ(t.Move(slot, 6, 0), 0);
    EXPECT_EQ(t.Move(slot, 6, 7), 0);
    EXPECT_EQ(t.Move(slot, 6, 1000), 0);
    EXPECT_EQ(t.Move(slot, 6, -1), 0);
  }
  EXPECT_EQ(t.MoveBefore(6, 1), 0) << "a reference without parent";
  EXPECT_EQ(t.MoveAfter(6, 1), 0);
  EXPECT_EQ(Snapshot(8), before);
  // The new parent may be a node's own parent or an earlier sibling.
  EXPECT_EQ(t.MoveToFirstChild(6, 1), 1);
  EXPECT_EQ(Children(1), (V{6, 3}));
  EXPECT_EQ(t.MoveToLastChild(5, 6), 1);
  EXPECT_EQ(Children(6), (V{5}));
  EXPECT_EQ(t.MoveBefore(3, 5), 1) << "next to a node under an earlier sibling";
  EXPECT_EQ(Children(6), (V{3, 5}));
  EXPECT_EQ(t.ListAll(kSlotGetPathFromRoot, 4), (V{1, 6, 3, 4}));
}

TEST_F(ArrayTree, InsertionsThatWouldCloseACycleAreRefused) {
  // A child under an ID that is not a node; that ID may not go under the
  // child, by any insertion.
  ASSERT_EQ(t.SetRoot(1), 1);
  ASSERT_EQ(t.AppendChild(20, 7), 1);
  ASSERT_EQ(t.AppendChild(21, 20), 1);
  V before = Snapshot(30);
  EXPECT_EQ(t.AppendChild(7, 20), 0);
  EXPECT_EQ(t.PrependChild(7, 20), 0);
  EXPECT_EQ(t.InsertAfter(7, 20, 21), 0);
  EXPECT_EQ(t.InsertBefore(7, 20, 21), 0);
  EXPECT_EQ(t.AppendChild(7, 21), 0) << "below a grandchild";
  EXPECT_EQ(Snapshot(30), before);
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 21), (V{21, 20, 7}));
  EXPECT_EQ(t.AppendChild(7, 1), 1) << "anywhere else it may go";
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 21), (V{21, 20, 7, 1}));

  // A removed node brought in again under one of its former descendants.
  ASSERT_EQ(t.Clear(), 1);
  BuildChain();
  ASSERT_EQ(t.AppendChild(4, 3), 1);
  ASSERT_EQ(t.AppendChild(5, 4), 1);
  ASSERT_EQ(t.RemoveNode(2), 1);
  before = Snapshot(8);
  for (int32_t below : {3, 4, 5}) {
    EXPECT_EQ(t.AppendChild(2, below), 0) << below;
    EXPECT_EQ(t.PrependChild(2, below), 0) << below;
  }
  EXPECT_EQ(t.InsertAfter(2, 4, 5), 0);
  EXPECT_EQ(t.InsertBefore(2, 4, 5), 0);
  EXPECT_EQ(t.InsertAfter(2, 3, 4), 0);
  EXPECT_EQ(Snapshot(8), before);
  // Nothing below 2 lies above 1, and a new root never closes a cycle.
  EXPECT_EQ(t.AppendChild(2, 1), 1);
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 5), (V{5, 4, 3, 2, 1}));
  ASSERT_EQ(t.RemoveNode(1), 1);
  EXPECT_EQ(t.SetRoot(1), 1);
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 5), (V{5, 4, 3, 2, 1}));
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 1);

  // Moves refuse a destination inside the moved subtree, as before.
  EXPECT_EQ(t.MoveToLastChild(3, 5), 0);
  EXPECT_EQ(t.MoveBefore(3, 5), 0);

  // Brought in again, 2 no longer lists 3, which still names it; removed
  // once more, 2 may not go under 3 either.
  ASSERT_EQ(t.Clear(), 1);
  BuildChain();
  ASSERT_EQ(t.AppendChild(4, 3), 1);
  ASSERT_EQ(t.RemoveNode(2), 1);
  ASSERT_EQ(t.AppendChild(2, 1), 1);
  EXPECT_EQ(t.IsLeaf(2), 1);
  ASSERT_EQ(t.RemoveNode(2), 1);
  before = Snapshot(8);
  EXPECT_EQ(t.AppendChild(2, 3), 0);
  EXPECT_EQ(t.PrependChild(2, 4), 0);
  EXPECT_EQ(t.InsertBefore(2, 3, 4), 0);
  EXPECT_EQ(Snapshot(8), before);
  EXPECT_EQ(t.AppendChild(5, 4), 1) << "a new ID goes anywhere";
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 5), (V{5, 4, 3, 2}));
  // Brought in and removed yet again, 2 still may not go below 3.
  ASSERT_EQ(t.AppendChild(2, 1), 1);
  ASSERT_EQ(t.RemoveNode(2), 1);
  EXPECT_EQ(t.AppendChild(2, 5), 0);
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 5), (V{5, 4, 3, 2}));
}

}  // namespace
