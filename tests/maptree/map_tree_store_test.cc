// Component 114 in-process, with the global allocation functions replaced:
// every edit either completes or refuses with 0 and leaves the tree exactly
// as it was, whichever allocation fails; queries and the edits that need no
// memory allocate nothing, but for the stack of the pair walks on larger
// trees, without which they answer alike. Also a stress of the ID index with
// clustered and extreme IDs against std::set.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <vector>

#include "maptree/map_tree_container.h"
#include "rodarove/rodarove.h"
#include "tests/maptree/slot_tree.h"
#include "tests/support/alloc_failure.h"
#include "tests/support/pair_walk_memory.h"

namespace {

using rodarove_test::SlotTree;
using V = std::vector<int32_t>;

// Everything a caller can observe about the shape of the tree.
struct Snapshot {
  std::vector<NodePair> pairs;
  V links;
  bool operator==(const Snapshot& o) const { return pairs == o.pairs && links == o.links; }
};

Snapshot Take(SlotTree& t) {
  Snapshot s;
  s.pairs = t.AllPairs();
  for (const NodePair& p : s.pairs) {
    for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
      int32_t out = -7;
      s.links.push_back(t.Link(slot, p.id, &out));
      s.links.push_back(out);
    }
  }
  return s;
}

SlotTree NewTree() {
  IComponent* c = CreateComponent(114, 0);
  EXPECT_NE(c, nullptr);
  return SlotTree(c);
}

// Runs `edit` with allocation n failing, for n = 1, 2, ... until it
// succeeds; every refusal must leave the tree as it was. Returns the number
// of refusals.
int SweepEdit(SlotTree& t, const std::function<int32_t()>& edit, const char* what) {
  for (size_t n = 1;; ++n) {
    Snapshot before = Take(t);
    rodarove_test::FailAllocation(n);
    int32_t r = edit();
    size_t made = rodarove_test::StopFailing();
    if (r == 1) {
      EXPECT_LT(made, n) << what << ": succeeded although allocation " << n << " failed";
      return static_cast<int>(n - 1);
    }
    EXPECT_EQ(r, 0) << what;
    EXPECT_GE(made, n) << what << ": refused without a failed allocation";
    EXPECT_TRUE(Take(t) == before) << what << ": refused edit changed the tree (n=" << n << ")";
    if (made < n || r != 0 || ::testing::Test::HasFailure()) return -1;
  }
}

TEST(MapTreeStore, EveryInsertionIsAllOrNothing) {
  SlotTree t = NewTree();
  int refusals = SweepEdit(t, [&] { return t.SetRoot(-1); }, "SetRoot");
  EXPECT_GT(refusals, 0);  // the first node needs memory
  // Enough insertions to cross many growth steps of both the records and
  // the index; each kind of insertion gets its turn.
  std::mt19937 rng(7);
  int total = 0;
  for (int32_t id = 0; id < 700 && !::testing::Test::HasFailure(); ++id) {
    int32_t parent = static_cast<int32_t>(rng() % static_cast<unsigned>(id + 1)) - 1;
    int32_t ref = 0;
    bool hasChild = t.GetFirstChild(parent, &ref) == 1;
    switch (id % 4) {
      case 0:
        total += SweepEdit(t, [&] { return t.AppendChild(id, parent); }, "AppendChild");
        break;
      case 1:
        total += SweepEdit(t, [&] { return t.PrependChild(id, parent); }, "PrependChild");
        break;
      case 2:
        total += SweepEdit(t, [&] {
          return hasChild ? t.InsertAfter(id, parent, ref) : t.AppendChild(id, parent);
        }, "InsertAfter");
        break;
      case 3:
        total += SweepEdit(t, [&] {
          return hasChild ? t.InsertBefore(id, parent, ref) : t.PrependChild(id, parent);
        }, "InsertBefore");
        break;
    }
  }
  EXPECT_GT(total, 10);  // growth did happen along the way, and was refused cleanly
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), 701);

  // With every allocation failing, insertions that need no growth still
  // succeed or are refused, never half-done; the tree stays consistent.
  rodarove_test::FailAllocation(1, /*sticky=*/true);
  int32_t r = t.AppendChild(5000, 3);
  rodarove_test::StopFailing();
  EXPECT_EQ(t.Exists(5000), r);
  t.Release();
}

TEST(MapTreeStore, QueriesAndMemoryFreeEditsAllocateNothing) {
  SlotTree t = NewTree();
  ASSERT_EQ(t.SetRoot(0), 1);
  for (int32_t id = 1; id < 200; ++id) ASSERT_EQ(t.AppendChild(id, (id - 1) / 3), 1);
  int32_t buf[300];
  NodePair pairs[300];
  rodarove_test::FailAllocation(1, /*sticky=*/true);
  for (int32_t id = -1; id < 201; id += 7) {
    int32_t out;
    for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) t.Link(slot, id, &out);
    for (int slot : {kSlotGetPathFromRoot, kSlotGetPathToRoot, kSlotGetSiblings, kSlotGetLeaves,
                     kSlotGetSiblingsWithSelf}) {
      t.List(slot, id, buf, 300);
    }
    t.GetDescendants(id, pairs, 300);
    t.GetNodesAtDepth(3, id, buf, 300);
    t.Exists(id);
    t.IsLeaf(id);
    t.IsChild(id, 0);
  }
  EXPECT_EQ(t.GetAllNodes(buf, pairs, 300), 200);
  EXPECT_EQ(t.MoveToFirstChild(150, 2), 1);
  EXPECT_EQ(t.MoveToLastChild(151, 2), 1);
  EXPECT_EQ(t.MoveBefore(152, 5), 1);
  EXPECT_EQ(t.MoveAfter(153, 5), 1);
  int32_t below1 = t.GetDescendants(1, nullptr, 0);
  int32_t below3 = t.GetDescendants(3, nullptr, 0);
  EXPECT_EQ(t.RemoveNode(1), below1 + 1);
  EXPECT_EQ(t.RemoveNode(3), below3 + 1);
  size_t made = rodarove_test::StopFailing();
  EXPECT_EQ(made, 0u);
  EXPECT_EQ(t.Clear(), 1);
  rodarove_test::FailAllocation(1, true);
  EXPECT_EQ(t.SetRoot(4), 0);  // an empty store must allocate, and cannot
  rodarove_test::StopFailing();
  int32_t root = 9;
  EXPECT_EQ(t.GetRoot(&root), 0);
  EXPECT_EQ(root, 9);
  EXPECT_EQ(t.SetRoot(4), 1);
  t.Release();
}

// The ID index under insertion and removal of IDs that cluster in every
// way a multiplicative hash might dislike, checked against std::set.
TEST(MapTreeStore, IndexAgreesWithASet) {
  const char* env = std::getenv("RODAROVE_SEED");
  const unsigned seed = env != nullptr ? static_cast<unsigned>(std::strtoul(env, nullptr, 10))
                                       : std::random_device{}();
  std::printf("index stress: RODAROVE_SEED=%u\n", seed);
  std::mt19937 rng(seed);
  SlotTree t = NewTree();
  ASSERT_EQ(t.SetRoot(INT32_MIN), 1);
  std::set<int32_t> present{INT32_MIN};
  auto draw = [&]() -> int32_t {
    uint32_t k = rng() % 4096;
    switch (rng() % 5) {
      case 0: return static_cast<int32_t>(k);                      // sequential
      case 1: return static_cast<int32_t>(k << 20);                // high bits only
      case 2: return -static_cast<int32_t>(k);                     // negative
      case 3: return static_cast<int32_t>(0x7FFFFFFFu - k);        // near the top
      default: return static_cast<int32_t>(k * 0x9E3779B9u);      // hash-aligned
    }
  };
  for (int step = 0; step < 60000; ++step) {
    int32_t id = draw();
    if (present.count(id) == 0) {
      ASSERT_EQ(t.AppendChild(id, INT32_MIN), 1) << id;
      present.insert(id);
    } else if (id != INT32_MIN) {
      ASSERT_EQ(t.RemoveNode(id), 1) << id;
      present.erase(id);
    }
    if (step % 1000 == 999) {
      for (int probe = 0; probe < 2000; ++probe) {
        int32_t q = draw();
        ASSERT_EQ(t.Exists(q), present.count(q) != 0 ? 1 : 0) << q;
      }
    }
  }
  for (int32_t id : present) ASSERT_EQ(t.Exists(id), 1) << id;
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), static_cast<int32_t>(present.size()));
  EXPECT_EQ(t.List(kSlotGetLeaves, INT32_MIN, nullptr, 0), static_cast<int32_t>(present.size()) - 1);
  t.Release();
}

rodarove_test::TreeSlots NewWideTree() {
  SlotTree t = NewTree();
  if (t.object() != nullptr) rodarove_test::BuildWideTree(t);
  return t;
}

TEST(MapTreeStore, PairWalksAnswerAlikeWithoutMemory) {
  rodarove_test::ExpectPairWalksNeedNoMemory(
      NewWideTree, [](rodarove_test::TreeSlots& t) { t.Release(); },
      rodarove_test::WideTreeStarts());
}

TEST(MapTreeStore, WalkStackIsKeptUntilClear) {
  rodarove_test::TreeSlots t = NewWideTree();
  rodarove_test::ExpectWalkMemoryKeptUntilClear(t, [&] { rodarove_test::BuildWideTree(t); });
  t.Release();
}

}  // namespace
