// Component 114 as a host uses it: created through the loaded module's
// CreateComponent and called by slot number only. Worked examples and the
// refusals that must leave the tree untouched.
#include <gtest/gtest.h>

#include <vector>

#include "tests/maptree/slot_tree.h"
#include "tests/support/module_loader.h"

namespace {

using rodarove_test::SlotTree;
using V = std::vector<int32_t>;
using P = std::vector<NodePair>;

rodarove_test::ModuleExports& Module() {
  static rodarove_test::ModuleExports e;
  static void* lib = rodarove_test::LoadModule(&e);
  EXPECT_NE(lib, nullptr);
  return e;
}

class MapTree : public ::testing::Test {
 protected:
  void SetUp() override {
    void* o = Module().CreateComponent(114, 0);
    ASSERT_NE(o, nullptr);
    t = SlotTree(o);
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
  // R=0 with children A=10, B=20; A has A1=11, A2=12; B has B1=21.
  void BuildExample() {
    ASSERT_EQ(t.SetRoot(0), 1);
    ASSERT_EQ(t.AppendChild(10, 0), 1);
    ASSERT_EQ(t.AppendChild(20, 0), 1);
    ASSERT_EQ(t.AppendChild(11, 10), 1);
    ASSERT_EQ(t.AppendChild(12, 10), 1);
    ASSERT_EQ(t.AppendChild(21, 20), 1);
  }
  V Children(int32_t id) {
    int32_t first = 0;
    if (t.GetFirstChild(id, &first) != 1) return {};
    return t.ListAll(kSlotGetSiblingsWithSelf, first);
  }

  SlotTree t{nullptr};
};

TEST_F(MapTree, EmptyTreeAnswersNoRootAndNotANode) {
  EXPECT_EQ(t.ComponentId(), 114);
  int32_t out = 77;
  EXPECT_EQ(t.GetRoot(&out), 0);
  EXPECT_EQ(out, 77);
  int32_t rootOut = 77;
  NodePair pairs[2] = {{5, 5}, {5, 5}};
  EXPECT_EQ(t.GetAllNodes(&rootOut, pairs, 2), 0);
  EXPECT_EQ(rootOut, 77);
  EXPECT_EQ(pairs[0].id, 5);
  for (int32_t id : {0, 1, -1}) {
    EXPECT_EQ(t.Exists(id), 0);
    EXPECT_EQ(t.IsLeaf(id), 0);
    EXPECT_EQ(t.IsChild(id, 0), 0);
    for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
      EXPECT_EQ(t.Link(slot, id, &out), -1);
    }
    for (int slot : {kSlotGetPathFromRoot, kSlotGetPathToRoot, kSlotGetSiblings, kSlotGetLeaves,
                     kSlotGetSiblingsWithSelf}) {
      EXPECT_EQ(t.List(slot, id, nullptr, 0), -1);
    }
    EXPECT_EQ(t.GetDescendants(id, nullptr, 0), -1);
    EXPECT_EQ(t.GetNodesAtDepth(1, id, nullptr, 0), -1);
    EXPECT_EQ(t.GetNodesAtDepth(-1, id, nullptr, 0), -1);
    EXPECT_EQ(t.GetNodesAtDepth(0, id, &out, 1), -1);  // chosen: not a node, not listed
  }
  EXPECT_EQ(out, 77);
  EXPECT_EQ(t.Clear(), 1);
  EXPECT_EQ(t.RemoveNode(0), -1);
}

TEST_F(MapTree, RootIsSetOnceAndAnyValueIsAnId) {
  EXPECT_EQ(t.SetRoot(5), 1);
  EXPECT_EQ(t.SetRoot(6), 0);
  EXPECT_EQ(t.SetRoot(5), 0);
  int32_t out = 0;
  EXPECT_EQ(t.GetRoot(&out), 1);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(t.GetRoot(nullptr), 1);
  EXPECT_EQ(t.Exists(6), 0);

  EXPECT_EQ(t.Clear(), 1);
  EXPECT_EQ(t.GetRoot(&out), 0);
  EXPECT_EQ(t.Exists(5), 0);
  EXPECT_EQ(t.SetRoot(0), 1);
  EXPECT_EQ(t.AppendChild(-5, 0), 1);
  EXPECT_EQ(t.IsChild(-5, 0), 1);
  EXPECT_EQ(t.GetParent(-5, &out), 1);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(t.AppendChild(INT32_MIN, -5), 1);
  EXPECT_EQ(t.AppendChild(INT32_MAX, -5), 1);
  EXPECT_EQ(t.ListAll(kSlotGetPathFromRoot, INT32_MAX), (V{0, -5, INT32_MAX}));
  EXPECT_EQ(t.ListAll(kSlotGetLeaves, 0), (V{INT32_MIN, INT32_MAX}));
  EXPECT_EQ(t.Clear(), 1);
  EXPECT_EQ(t.SetRoot(-5), 1);
  EXPECT_EQ(t.GetRoot(&out), 1);
  EXPECT_EQ(out, -5);
}

TEST_F(MapTree, ListQueriesOnTheSmallTree) {
  BuildSmall();
  int32_t b[8];
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 4, b, 8), 3);
  EXPECT_EQ(V(b, b + 3), (V{4, 2, 1}));
  EXPECT_EQ(t.List(kSlotGetPathFromRoot, 4, b, 8), 3);
  EXPECT_EQ(V(b, b + 3), (V{1, 2, 4}));
  EXPECT_EQ(t.List(kSlotGetSiblings, 2, b, 8), 1);
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(t.List(kSlotGetSiblingsWithSelf, 2, b, 8), 2);
  EXPECT_EQ(V(b, b + 2), (V{2, 3}));
  EXPECT_EQ(t.List(kSlotGetLeaves, 1, b, 8), 2);
  EXPECT_EQ(V(b, b + 2), (V{4, 3}));
  int32_t root = 0;
  NodePair pairs[8];
  EXPECT_EQ(t.GetAllNodes(&root, pairs, 8), 4);
  EXPECT_EQ(root, 1);
  EXPECT_EQ(P(pairs, pairs + 3), (P{{2, 1}, {3, 1}, {4, 2}}));
  EXPECT_EQ(t.GetDescendants(1, pairs, 8), 3);
  EXPECT_EQ(P(pairs, pairs + 3), (P{{2, 1}, {3, 1}, {4, 2}}));
  EXPECT_EQ(t.GetNodesAtDepth(1, 1, b, 8), 2);
  EXPECT_EQ(V(b, b + 2), (V{2, 3}));
  EXPECT_EQ(t.GetNodesAtDepth(2, 1, b, 8), 1);
  EXPECT_EQ(b[0], 4);

  // The buffer rule: a short buffer holds the first entries, the count is
  // full, and nothing past the capacity (or into a null buffer) is written.
  V guard(6, -9);
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 4, guard.data(), 2), 3);
  EXPECT_EQ(guard, (V{4, 2, -9, -9, -9, -9}));
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 4, nullptr, 5), 3);
  guard.assign(6, -9);
  for (int32_t cap : {0, -1, INT32_MIN}) {
    EXPECT_EQ(t.List(kSlotGetPathFromRoot, 4, guard.data(), cap), 3);
    EXPECT_EQ(t.GetNodesAtDepth(1, 1, guard.data(), cap), 2);
    EXPECT_EQ(t.GetDescendants(1, reinterpret_cast<NodePair*>(guard.data()), cap), 3);
  }
  EXPECT_EQ(guard, V(6, -9));
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 100), 4);

  EXPECT_EQ(t.List(kSlotGetSiblings, 1, b, 8), 0);
  b[0] = -9;
  EXPECT_EQ(t.List(kSlotGetSiblingsWithSelf, 1, b, 8), 1);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(t.List(kSlotGetLeaves, 3, b, 8), 0);
  EXPECT_EQ(t.GetDescendants(4, pairs, 8), 0);
  EXPECT_EQ(t.List(kSlotGetLeaves, 9, b, 8), -1);
  EXPECT_EQ(t.IsLeaf(9), 0);
  EXPECT_EQ(t.Exists(9), 0);
  EXPECT_EQ(t.IsChild(9, 1), 0);
  EXPECT_EQ(t.IsChild(4, 1), 0);
  EXPECT_EQ(t.IsChild(1, 0), 0);  // the root has no parent, not parent 0
}

TEST_F(MapTree, SingleLinksAndNullOut) {
  BuildSmall();
  int32_t out = 77;
  EXPECT_EQ(t.GetParent(1, &out), 0);
  EXPECT_EQ(t.GetPrevSibling(1, &out), 0);
  EXPECT_EQ(t.GetNextSibling(1, &out), 0);
  EXPECT_EQ(t.GetLastChild(4, &out), 0);
  EXPECT_EQ(t.GetFirstChild(3, &out), 0);
  EXPECT_EQ(out, 77);
  EXPECT_EQ(t.GetPrevSibling(3, &out), 1);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(t.GetNextSibling(2, &out), 1);
  EXPECT_EQ(out, 3);
  EXPECT_EQ(t.GetLastChild(1, &out), 1);
  EXPECT_EQ(out, 3);
  EXPECT_EQ(t.GetFirstChild(1, &out), 1);
  EXPECT_EQ(out, 2);
  // A null out writes nothing and still reports the answer.
  for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
    EXPECT_EQ(t.Link(slot, 9, nullptr), -1) << slot;
    int32_t expected = t.Link(slot, 2, &out);
    EXPECT_EQ(t.Link(slot, 2, nullptr), expected) << slot;
  }
}

TEST_F(MapTree, WalkOrderOfTheExampleTree) {
  BuildExample();
  int32_t root = 5;
  NodePair pairs[8];
  EXPECT_EQ(t.GetAllNodes(&root, pairs, 8), 6);
  EXPECT_EQ(root, 0);
  EXPECT_EQ(P(pairs, pairs + 5), (P{{10, 0}, {20, 0}, {21, 20}, {11, 10}, {12, 10}}));
  NodePair two[3] = {{-1, -1}, {-1, -1}, {-1, -1}};
  EXPECT_EQ(t.GetAllNodes(nullptr, two, 2), 6);
  EXPECT_EQ(P(two, two + 3), (P{{10, 0}, {20, 0}, {-1, -1}}));
  EXPECT_EQ(t.ListAll(kSlotGetLeaves, 0), (V{11, 12, 21}));
  EXPECT_EQ(t.AtDepth(2, 0), (V{11, 12, 21}));
  EXPECT_EQ(t.AtDepth(1, 0), t.ListAll(kSlotGetSiblingsWithSelf, 10));
  EXPECT_EQ(t.AtDepth(3, 0), V{0});
  EXPECT_EQ(t.AtDepth(0, 12), V{12});
  EXPECT_EQ(t.AtDepth(-1, 12), V{0});
  EXPECT_EQ(t.AtDepth(1, 12), V{0});
  EXPECT_EQ(t.AtDepth(1, 10), (V{11, 12}));
  int32_t b[2] = {-9, -9};
  EXPECT_EQ(t.List(kSlotGetSiblings, 20, b, 1), 1);
  EXPECT_EQ(b[0], 10);

  // Three levels: GetPathToRoot from depth 3 fills exactly four entries.
  ASSERT_EQ(t.AppendChild(13, 12), 1);
  int32_t path[5] = {-9, -9, -9, -9, -9};
  EXPECT_EQ(t.List(kSlotGetPathToRoot, 13, path, 4), 4);
  EXPECT_EQ(V(path, path + 5), (V{13, 12, 10, 0, -9}));
  EXPECT_EQ(t.List(kSlotGetPathFromRoot, 13, path, 2), 4);
  EXPECT_EQ(V(path, path + 3), (V{0, 10, 10}));
  EXPECT_EQ(t.ListAll(kSlotGetPathFromRoot, 13), (V{0, 10, 12, 13}));
  EXPECT_EQ(t.Descendants(10), (P{{11, 10}, {12, 10}, {13, 12}}));
}

TEST_F(MapTree, Insertions) {
  ASSERT_EQ(t.SetRoot(100), 1);
  EXPECT_EQ(t.AppendChild(1, 100), 1);
  EXPECT_EQ(t.AppendChild(2, 100), 1);
  EXPECT_EQ(t.PrependChild(9, 100), 1);
  EXPECT_EQ(Children(100), (V{9, 1, 2}));
  int32_t out = 0;
  EXPECT_EQ(t.GetLastChild(100, &out), 1);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(t.InsertAfter(3, 100, 2), 1);  // after the last child: now last
  EXPECT_EQ(t.GetLastChild(100, &out), 1);
  EXPECT_EQ(out, 3);
  EXPECT_EQ(t.InsertBefore(8, 100, 9), 1);  // before the first: now first
  EXPECT_EQ(t.GetFirstChild(100, &out), 1);
  EXPECT_EQ(out, 8);
  EXPECT_EQ(t.GetNextSibling(8, &out), 1);
  EXPECT_EQ(out, 9);
  EXPECT_EQ(t.InsertBefore(5, 100, 2), 1);
  EXPECT_EQ(t.InsertAfter(4, 100, 9), 1);
  EXPECT_EQ(Children(100), (V{8, 9, 4, 1, 5, 2, 3}));
  EXPECT_EQ(t.GetPrevSibling(5, &out), 1);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(t.PrependChild(-1, 1), 1);  // prepend to a leaf makes an only child
  EXPECT_EQ(t.ListAll(kSlotGetSiblingsWithSelf, -1), V{-1});

  P before = t.AllPairs();
  EXPECT_EQ(t.AppendChild(1, 100), 0);    // already stored
  EXPECT_EQ(t.AppendChild(100, 1), 0);    // the root is stored too
  EXPECT_EQ(t.PrependChild(7, 55), 0);    // parent not stored
  EXPECT_EQ(t.InsertAfter(7, 1, 2), 0);   // 2 is not a child of 1
  EXPECT_EQ(t.InsertBefore(7, 100, 55), 0);
  EXPECT_EQ(t.InsertBefore(7, 55, 2), 0);
  EXPECT_EQ(t.InsertAfter(4, 100, 2), 0);
  EXPECT_EQ(t.InsertAfter(7, 100, 100), 0);  // the root is nobody's child
  EXPECT_EQ(t.AllPairs(), before);
  EXPECT_EQ(t.Exists(7), 0);
}

TEST_F(MapTree, RemovalTakesTheSubtree) {
  BuildSmall();
  EXPECT_EQ(t.RemoveNode(3), 1);
  EXPECT_EQ(t.RemoveNode(3), -1);
  EXPECT_EQ(t.RemoveNode(2), 2);
  EXPECT_EQ(t.Exists(4), 0);
  EXPECT_EQ(t.IsLeaf(1), 1);
  int32_t out = 77;
  EXPECT_EQ(t.GetFirstChild(1, &out), 0);
  EXPECT_EQ(t.GetLastChild(1, &out), 0);
  EXPECT_EQ(out, 77);

  ASSERT_EQ(t.AppendChild(2, 1), 1);
  ASSERT_EQ(t.AppendChild(3, 1), 1);
  ASSERT_EQ(t.AppendChild(4, 1), 1);
  ASSERT_EQ(t.AppendChild(5, 3), 1);
  ASSERT_EQ(t.AppendChild(6, 3), 1);
  ASSERT_EQ(t.AppendChild(7, 6), 1);
  EXPECT_EQ(t.RemoveNode(3), 4);  // the middle child with three descendants
  EXPECT_EQ(Children(1), (V{2, 4}));
  EXPECT_EQ(t.GetPrevSibling(4, &out), 1);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(t.RemoveNode(4), 1);  // the last child: the previous one is last now
  EXPECT_EQ(t.GetNextSibling(2, &out), 0);
  EXPECT_EQ(t.GetLastChild(1, &out), 1);
  EXPECT_EQ(out, 2);
  for (int32_t id : {5, 6, 7}) EXPECT_EQ(t.Exists(id), 0);
  ASSERT_EQ(t.PrependChild(0, 1), 1);
  EXPECT_EQ(t.RemoveNode(0), 1);  // the first child
  EXPECT_EQ(t.GetFirstChild(1, &out), 1);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(t.GetPrevSibling(2, &out), 0);

  ASSERT_EQ(t.AppendChild(8, 2), 1);
  EXPECT_EQ(t.RemoveNode(1), 3);  // the root: the whole tree
  EXPECT_EQ(t.GetRoot(&out), 0);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 0);
  EXPECT_EQ(t.Exists(2), 0);
  EXPECT_EQ(t.SetRoot(2), 1);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 1);
}

TEST_F(MapTree, MovesWithinAndAcrossParents) {
  ASSERT_EQ(t.SetRoot(0), 1);
  ASSERT_EQ(t.AppendChild(1, 0), 1);
  ASSERT_EQ(t.AppendChild(2, 0), 1);
  int32_t out = 77;
  EXPECT_EQ(t.MoveToLastChild(1, 0), 1);  // first of two: order reverses
  EXPECT_EQ(Children(0), (V{2, 1}));
  EXPECT_EQ(t.GetNextSibling(1, &out), 0);
  EXPECT_EQ(t.GetNextSibling(2, &out), 1);
  EXPECT_EQ(out, 1);

  ASSERT_EQ(t.AppendChild(3, 2), 1);
  EXPECT_EQ(t.MoveToFirstChild(3, 1), 1);  // only child to a childless node
  EXPECT_EQ(t.IsLeaf(2), 1);
  out = 77;
  EXPECT_EQ(t.GetNextSibling(3, &out), 0);
  EXPECT_EQ(t.GetParent(3, &out), 1);
  EXPECT_EQ(out, 1);

  // Children 10..14 of 1 beside 3; then MoveBefore/After in the row.
  for (int32_t id = 10; id <= 13; ++id) ASSERT_EQ(t.AppendChild(id, 1), 1);
  EXPECT_EQ(Children(1), (V{3, 10, 11, 12, 13}));
  EXPECT_EQ(t.MoveBefore(13, 3), 1);  // before the first child: now first
  EXPECT_EQ(Children(1), (V{13, 3, 10, 11, 12}));
  EXPECT_EQ(t.MoveBefore(3, 11), 1);  // between 11's old previous sibling and 11
  EXPECT_EQ(Children(1), (V{13, 10, 3, 11, 12}));
  EXPECT_EQ(t.MoveBefore(3, 11), 1);  // already right before: nothing changes
  EXPECT_EQ(Children(1), (V{13, 10, 3, 11, 12}));
  EXPECT_EQ(t.MoveAfter(13, 12), 1);  // after the last: now last
  EXPECT_EQ(Children(1), (V{10, 3, 11, 12, 13}));
  EXPECT_EQ(t.GetNextSibling(13, &out), 0);
  EXPECT_EQ(t.GetLastChild(1, &out), 1);
  EXPECT_EQ(out, 13);
  EXPECT_EQ(t.MoveAfter(12, 11), 1);  // already right after
  EXPECT_EQ(Children(1), (V{10, 3, 11, 12, 13}));
  EXPECT_EQ(t.MoveAfter(10, 2), 1);  // across parents, with a reference node
  EXPECT_EQ(Children(0), (V{2, 10, 1}));
  EXPECT_EQ(t.MoveBefore(12, 2), 1);
  EXPECT_EQ(Children(0), (V{12, 2, 10, 1}));
  EXPECT_EQ(Children(1), (V{3, 11, 13}));
  EXPECT_EQ(t.GetPrevSibling(3, &out), 0);
  // Moving a node carries its subtree.
  ASSERT_EQ(t.AppendChild(30, 3), 1);
  EXPECT_EQ(t.MoveToLastChild(1, 2), 1);
  EXPECT_EQ(t.ListAll(kSlotGetPathFromRoot, 30), (V{0, 2, 1, 3, 30}));
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 9);
}

TEST_F(MapTree, RefusedMovesChangeNothing) {
  BuildExample();
  ASSERT_EQ(t.AppendChild(13, 12), 1);
  const P before = t.AllPairs();
  struct Case {
    int slot;
    int32_t id, dest;
  };
  const Case cases[] = {
      {kSlotMoveToFirstChild, 0, 20},   // the root
      {kSlotMoveToLastChild, 0, 0},
      {kSlotMoveBefore, 0, 20},
      {kSlotMoveAfter, 0, 21},
      {kSlotMoveToFirstChild, 99, 0},   // not stored
      {kSlotMoveToFirstChild, 10, 99},  // destination not stored
      {kSlotMoveBefore, 10, 99},
      {kSlotMoveAfter, 10, 99},
      {kSlotMoveBefore, 10, 0},         // reference is the root
      {kSlotMoveAfter, 10, 0},
      {kSlotMoveBefore, 10, 10},        // reference is the node itself
      {kSlotMoveAfter, 12, 12},
      {kSlotMoveToFirstChild, 10, 10},  // into itself
      {kSlotMoveToLastChild, 10, 13},   // into its own subtree
      {kSlotMoveToFirstChild, 10, 12},
      {kSlotMoveBefore, 10, 13},
      {kSlotMoveAfter, 10, 11},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(t.Move(c.slot, c.id, c.dest), 0) << c.slot << " " << c.id << " " << c.dest;
    EXPECT_EQ(t.AllPairs(), before) << c.slot << " " << c.id << " " << c.dest;
  }
  int32_t out = 0;
  EXPECT_EQ(t.GetPrevSibling(20, &out), 1);
  EXPECT_EQ(out, 10);
}

}  // namespace
