// Component 837 when memory runs out: the create function reports no
// object, an edit whose slots cannot have memory refuses with 0 and leaves
// every answer as it was (the slot count included), and the whole-tree
// walks answer alike without the memory their stack would take. Allocations are made to fail on
// purpose, each one in turn along the call.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "arraytree/array_tree_container.h"
#include "component/component_base.h"
#include "tests/arraytree/array_slot_tree.h"
#include "tests/support/alloc_failure.h"
#include "tests/support/pair_walk_memory.h"

namespace {

using rodarove_test::ArraySlotTree;
using rodarove_test::FailAllocation;
using rodarove_test::StopFailing;

// The slots' record memory counts and fails with the allocations.
class CountingRecordMemory : public ::testing::Environment {
 public:
  void SetUp() override { rodarove_test::CountRecordMemory(); }
};
::testing::Environment* const kCounting =
    ::testing::AddGlobalTestEnvironment(new CountingRecordMemory);

// Every answer a host can see about IDs up to upTo, the slot count included.
std::vector<int32_t> Snapshot(ArraySlotTree& t, int32_t upTo) {
  std::vector<int32_t> s;
  int32_t root = -5;
  s.push_back(t.GetRoot(&root));
  s.push_back(root);
  for (int32_t k = 1000; k <= 40000; k += 1000) {
    s.push_back(t.GetParent(k - 1, nullptr));
    s.push_back(t.GetParent(k, nullptr));
  }
  for (int32_t id = 0; id <= upTo; ++id) {
    s.push_back(t.Exists(id));
    for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
      int32_t out = -5;
      s.push_back(t.Link(slot, id, &out));
      s.push_back(out);
    }
  }
  int32_t count = 0;
  for (const NodePair& p : t.AllPairs(&count)) {
    s.push_back(p.id);
    s.push_back(p.parent);
  }
  s.push_back(count);
  return s;
}

struct Tree {
  Tree() : object(rodarove::CreateArrayTreeContainer()), t(object) {}
  ~Tree() {
    if (object != nullptr) rodarove::DestroyUnrecordedComponent(object);
  }
  IComponent* object;
  ArraySlotTree t;
};

TEST(ArrayTreeMemory, CreationReportsNoObjectWhenAnAllocationFails) {
  FailAllocation(0);
  IComponent* made = rodarove::CreateArrayTreeContainer();
  size_t allocations = StopFailing();
  ASSERT_NE(made, nullptr);
  rodarove::DestroyUnrecordedComponent(made);
  ASSERT_GE(allocations, 2u) << "the object and its first slots";
  for (size_t n = 1; n <= allocations; ++n) {
    FailAllocation(n);
    IComponent* c = rodarove::CreateArrayTreeContainer();
    StopFailing();
    EXPECT_EQ(c, nullptr) << "allocation " << n;
    if (c != nullptr) rodarove::DestroyUnrecordedComponent(c);
  }
}

// Root 1 with children 2 and 3, 4 under 2, and 5 removed from under 3 with
// its links left; the slot count raised to 10000.
void Build(ArraySlotTree& t) {
  ASSERT_EQ(t.SetRoot(1), 1);
  ASSERT_EQ(t.AppendChild(2, 1), 1);
  ASSERT_EQ(t.AppendChild(3, 1), 1);
  ASSERT_EQ(t.AppendChild(4, 2), 1);
  ASSERT_EQ(t.AppendChild(5, 3), 1);
  ASSERT_EQ(t.AppendChild(6, 5), 1);
  ASSERT_EQ(t.RemoveNode(5), 1);
  ASSERT_EQ(t.AppendChild(9999, 4), 1);
}

TEST(ArrayTreeMemory, EveryGrowingEditRefusesCleanly) {
  const std::vector<std::pair<const char*, std::function<int32_t(ArraySlotTree&, int32_t)>>> edits =
      {
          {"AppendChild", [](ArraySlotTree& t, int32_t id) { return t.AppendChild(id, 3); }},
          {"AppendChild under a non-node",
           [](ArraySlotTree& t, int32_t id) { return t.AppendChild(id, 7); }},
          // Its page has no memory yet either.
          {"AppendChild under a far non-node",
           [](ArraySlotTree& t, int32_t id) { return t.AppendChild(id, 8500); }},
          // Refused in any case (5 is not a node but has a child), after
          // the growth, which takes no memory.
          {"AppendChild under a removed node",
           [](ArraySlotTree& t, int32_t id) { return t.AppendChild(id, 5); }},
          {"PrependChild", [](ArraySlotTree& t, int32_t id) { return t.PrependChild(id, 1); }},
          {"InsertAfter", [](ArraySlotTree& t, int32_t id) { return t.InsertAfter(id, 1, 2); }},
          {"InsertBefore", [](ArraySlotTree& t, int32_t id) { return t.InsertBefore(id, 1, 3); }},
          {"SetRoot", [](ArraySlotTree& t, int32_t id) {
             t.RemoveNode(1);
             return t.SetRoot(id);
           }},
      };
  for (const auto& [name, edit] : edits) {
    // Beyond the slot count, on pages that have no memory yet (9999's page
    // has).
    for (int32_t id : {10240, 25000}) {
      // Sticky: the memory cannot be had at any size.
      {
        Tree tree;
        ASSERT_NE(tree.object, nullptr);
        Build(tree.t);
        if (std::string(name) == "SetRoot") tree.t.RemoveNode(1);
        std::vector<int32_t> before = Snapshot(tree.t, 12);
        FailAllocation(1, true);
        int32_t r = edit(tree.t, id);
        StopFailing();
        EXPECT_EQ(r, 0) << name << " " << id;
        if (std::string(name) == "AppendChild under a removed node") {
          EXPECT_EQ(tree.t.GetParent(id, nullptr), 0) << "grown, as with memory";
        } else {
          EXPECT_EQ(Snapshot(tree.t, 12), before) << name << " " << id;
        }
        EXPECT_EQ(tree.t.Exists(id), 0);
      }
      // Each allocation along the edit fails in turn; every call either
      // refuses with nothing changed or succeeds.
      if (std::string(name) == "AppendChild under a removed node") continue;
      for (size_t n = 1;; ++n) {
        Tree tree;
        ASSERT_NE(tree.object, nullptr);
        Build(tree.t);
        if (std::string(name) == "SetRoot") tree.t.RemoveNode(1);
        std::vector<int32_t> before = Snapshot(tree.t, 12);
        FailAllocation(n);
        int32_t r = edit(tree.t, id);
        size_t made = StopFailing();
        if (r == 0) {
          EXPECT_EQ(Snapshot(tree.t, 12), before) << name << " " << id << " allocation " << n;
        } else {
          EXPECT_EQ(tree.t.Exists(id), 1);
          EXPECT_EQ(tree.t.GetParent(id + 1, nullptr), 0) << "grown";
        }
        if (made < n) break;  // the edit ran without a failure
        ASSERT_LT(n, 10u) << "an edit allocates a handful of times at most";
      }
    }
  }
}

// Root 1 with the chain 1500, 3000, 5000, 6200, 7200, 8300 on pages of
// their own (pages 1, 2, 4, 6, 7, 8), taken while the tree was too small
// for its front to reach them; then enough nodes on the front's page and
// on 1500's that the front may grow to ten pages.
void BuildPaged(ArraySlotTree& t) {
  ASSERT_EQ(t.SetRoot(1), 1);
  int32_t last = 1;
  for (int32_t id : {1500, 3000, 5000, 6200, 7200, 8300}) {
    ASSERT_EQ(t.AppendChild(id, last), 1);
    last = id;
  }
  for (int32_t id = 2; id <= 1023; ++id) ASSERT_EQ(t.AppendChild(id, 1), 1);
  for (int32_t id = 1501; id <= 1800; ++id) ASSERT_EQ(t.AppendChild(id, 1500), 1);
}

const std::vector<int32_t> kChain = {8300, 7200, 6200, 5000, 3000, 1500, 1};

// When the front cannot grow toward a slot, the slot takes a page of its
// own; when that fails too the edit refuses. Each allocation of a call
// that takes pages into the front fails in turn: every answer stays right,
// and queries and the other edits allocate nothing afterwards.
TEST(ArrayTreeMemory, APageOfItsOwnIsTriedWhenTheFrontCannotGrow) {
  bool fellBack = false;
  for (size_t n = 1;; ++n) {
    Tree tree;
    ASSERT_NE(tree.object, nullptr);
    BuildPaged(tree.t);
    const std::vector<int32_t> before = Snapshot(tree.t, 9300);
    FailAllocation(n);
    const int32_t r = tree.t.AppendChild(9500, 8300);
    const size_t made = StopFailing();
    if (r == 0) {
      EXPECT_EQ(Snapshot(tree.t, 9300), before) << "allocation " << n;
    } else {
      std::vector<int32_t> path = kChain;
      path.insert(path.begin(), 9500);
      EXPECT_EQ(tree.t.ListAll(kSlotGetPathToRoot, 9500), path) << "allocation " << n;
      EXPECT_EQ(tree.t.Descendants(1500).size(), 306u);
      EXPECT_EQ(tree.t.GetParent(9999, nullptr), 0) << "grown";
      if (made >= n) fellBack = true;
    }
    if (made < n) {
      // Queries and the other edits allocate nothing.
      ArraySlotTree& t = tree.t;
      int32_t b[16];
      NodePair p[16];
      FailAllocation(1, true);
      const int32_t all = t.GetAllNodes(nullptr, p, 16);
      const int32_t path = t.List(kSlotGetPathToRoot, 8300, b, 16);
      const int32_t atDepth = t.GetNodesAtDepth(2, 1, b, 16);
      const int32_t leaves = t.List(kSlotGetLeaves, 1500, b, 16);
      const int32_t moved = t.MoveToLastChild(1501, 3000);
      const int32_t removed = t.RemoveNode(1501);
      const int32_t added = t.AppendChild(1501, 6200);
      const int32_t cleared = t.Clear();
      EXPECT_EQ(StopFailing(), 0u);
      EXPECT_EQ(all, 1330);
      EXPECT_EQ(path, 7);
      EXPECT_EQ(atDepth, 301);
      EXPECT_EQ(leaves, 301);
      EXPECT_EQ(moved, 1);
      EXPECT_EQ(removed, 1);
      EXPECT_EQ(added, 1);
      EXPECT_EQ(cleared, 1);
      break;
    }
    ASSERT_LT(n, 20u) << "an edit allocates a handful of times at most";
  }
  EXPECT_TRUE(fellBack) << "some failure along the growth was answered by a page of its own";
}

// Slots first given pages of their own are taken into the front once
// there are nodes enough, links and all, and their pages given back: a few
// in each call that grows the front, so that no call copies much.
TEST(ArrayTreeMemory, PagesAreTakenIntoTheFront) {
  Tree tree;
  ASSERT_NE(tree.object, nullptr);
  ArraySlotTree& t = tree.t;
  BuildPaged(t);
  // Page 9's slot: the front grows over the first four pages of their own
  // (1, 2, 4, 6) and stops; the slot takes a page of its own.
  const size_t paged = rodarove_test::LiveBlocks();
  ASSERT_EQ(t.AppendChild(9500, 8300), 1);
  EXPECT_EQ(rodarove_test::LiveBlocks(), paged - 3) << "four pages given back, one taken";
  std::vector<int32_t> path = kChain;
  path.insert(path.begin(), 9500);
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 9500), path);
  EXPECT_EQ(t.Descendants(1500).size(), 306u);
  int32_t out = 0;
  EXPECT_EQ(t.GetNextSibling(1501, &out), 1);
  EXPECT_EQ(out, 1502);
  // 200 more nodes in the front, then page 10's slot: the front takes in
  // the last three pages of their own (7, 8, 9) and page 10.
  for (int32_t id = 1801; id <= 2000; ++id) ASSERT_EQ(t.AppendChild(id, 1500), 1);
  const size_t grown = rodarove_test::LiveBlocks();
  ASSERT_EQ(t.AppendChild(10300, 9500), 1);
  EXPECT_EQ(rodarove_test::LiveBlocks(), grown - 3) << "three pages given back";
  path.insert(path.begin(), 10300);
  EXPECT_EQ(t.ListAll(kSlotGetPathToRoot, 10300), path);
  EXPECT_EQ(t.Descendants(1).size(), 1530u);

  // A tree with no front at all (Clear gave it back; IDs beyond its first
  // page do not bring it back): its walks read pages only.
  Tree far;
  ASSERT_NE(far.object, nullptr);
  ASSERT_EQ(far.t.Clear(), 1);
  ASSERT_EQ(far.t.SetRoot(3000), 1);
  ASSERT_EQ(far.t.AppendChild(3001, 3000), 1);
  ASSERT_EQ(far.t.AppendChild(3002, 3001), 1);
  EXPECT_EQ(far.t.ListAll(kSlotGetLeaves, 3000), (std::vector<int32_t>{3002}));
  EXPECT_EQ(far.t.Descendants(3000).size(), 2u);
  EXPECT_EQ(far.t.GetNodesAtDepth(2, 3000, nullptr, 0), 1);
}

rodarove_test::TreeSlots NewWideTree() {
  rodarove_test::TreeSlots t(rodarove::CreateArrayTreeContainer());
  if (t.object() != nullptr) rodarove_test::BuildWideTree(t);
  return t;
}

void DestroyTree(rodarove_test::TreeSlots& t) {
  rodarove::DestroyUnrecordedComponent(static_cast<IComponent*>(t.object()));
}

TEST(ArrayTreeMemory, PairWalksAnswerAlikeWithoutMemory) {
  rodarove_test::ExpectPairWalksNeedNoMemory(NewWideTree, DestroyTree,
                                             rodarove_test::WideTreeStarts());
}

TEST(ArrayTreeMemory, WalkStackIsKeptUntilClear) {
  rodarove_test::TreeSlots t = NewWideTree();
  rodarove_test::ExpectWalkMemoryKeptUntilClear(t, [&] { rodarove_test::BuildWideTree(t); });
  DestroyTree(t);
}

// Clear gives back the memory of every slot written and of the walks: the
// component then holds what a new one holds.
TEST(ArrayTreeMemory, ClearGivesBackWhatTheSlotsTook) {
  const size_t before = rodarove_test::LiveBlocks();
  rodarove_test::TreeSlots t = NewWideTree();
  ASSERT_NE(t.object(), nullptr);
  ASSERT_EQ(t.Clear(), 1);
  const size_t cleared = rodarove_test::LiveBlocks() - before;
  EXPECT_EQ(cleared, 1u) << "the object alone";
  rodarove_test::BuildWideTree(t);
  ASSERT_EQ(t.AppendChild(178955999, 2), 1);
  ASSERT_EQ(t.AppendChild(90000000, 178955999), 1);
  EXPECT_GT(t.GetAllNodes(nullptr, nullptr, 0), 1000) << "a walk that takes memory";
  EXPECT_GT(rodarove_test::LiveBlocks() - before, cleared + 3) << "pages and the walk stack";
  ASSERT_EQ(t.Clear(), 1);
  EXPECT_EQ(rodarove_test::LiveBlocks() - before, cleared);
  EXPECT_EQ(t.GetParent(178955999, nullptr), 0) << "the count stays";
  DestroyTree(t);
  EXPECT_EQ(rodarove_test::LiveBlocks(), before);
}

}  // namespace
