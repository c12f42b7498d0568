// Component 114 in-process, with the global allocation functions replaced:
// every edit either completes or refuses with 0 and leaves the tree exactly
// as it was, whichever allocation fails; queries and the edits that need no
// memory allocate nothing, but for the stack of the pair walks on larger
// trees, without which they answer alike. Also a stress of the ID index with
// clustered and extreme IDs against std::set, and IDs chosen to collide.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "maptree/map_tree_container.h"
#include "rodarove/rodarove.h"
#include "tests/maptree/colliding_ids.h"
#include "tests/maptree/map_tree_model.h"
#include "tests/maptree/slot_tree.h"
#include "tests/support/alloc_failure.h"
#include "tests/support/pair_walk_memory.h"

namespace {

// The store's memory fails on demand too.
const bool kStoreMemoryCounted = (rodarove_test::CountRecordMemory(), true);

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

const rodarove::NodeTable& TableOf(SlotTree& t) {
  auto* component = static_cast<IComponent*>(t.object());
  return static_cast<rodarove::MapTreeContainer*>(static_cast<ITreeContainer*>(component))->Table();
}

unsigned SeedFromEnvironment(const char* what) {
  const char* env = std::getenv("RODAROVE_SEED");
  const unsigned seed = env != nullptr ? static_cast<unsigned>(std::strtoul(env, nullptr, 10))
                                       : std::random_device{}();
  std::printf("%s: RODAROVE_SEED=%u\n", what, seed);
  return seed;
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
  // Enough insertions to cross several growth steps of the store (its
  // table doubles from 16 buckets on); each kind of insertion gets its turn.
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
  EXPECT_GE(total, 6);  // growth did happen along the way, and was refused cleanly
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
  std::mt19937 rng(SeedFromEnvironment("index stress"));
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

// Random IDs land within a few hundred buckets of their homes at the
// highest load, a few on average; IDs chosen to collide once made one run
// as long as the tree.
constexpr size_t kLongestProbe = 512;
constexpr size_t kMeanProbe = 8;

void ExpectProbesShort(SlotTree& t, const char* what) {
  const rodarove::HashedRecords& table = TableOf(t).Rest();
  size_t longest = 0;
  const size_t total = table.Displacement(&longest);
  EXPECT_LE(longest, kLongestProbe) << what;
  EXPECT_LE(total, kMeanProbe * table.Count()) << what;
}

int32_t IdOfHash(uint32_t hash) {
  return static_cast<int32_t>(rodarove::HashedRecords::IdOfHash(hash));
}

// Every link of every node of the model, through the slots: {result, ID}.
void ExpectLinksOf(const rodarove_test::Model& m, SlotTree& t) {
  using Answer = std::pair<int32_t, int32_t>;
  auto link = [&](int slot, int32_t id) {
    int32_t out = 0;
    const int32_t r = t.Link(slot, id, &out);
    return Answer{r, r == 1 ? out : 0};
  };
  auto expect = [](bool has, int32_t id) { return has ? Answer{1, id} : Answer{0, 0}; };
  for (const auto& [id, kids] : m.kids) {
    int32_t next = 0;
    int32_t prev = 0;
    const bool hasNext = m.Next(id, &next);
    const bool hasPrev = m.Prev(id, &prev);
    ASSERT_EQ(link(kSlotGetParent, id), expect(m.HasParent(id), m.HasParent(id) ? m.parent.at(id) : 0)) << id;
    ASSERT_EQ(link(kSlotGetFirstChild, id), expect(!kids.empty(), kids.empty() ? 0 : kids.front())) << id;
    ASSERT_EQ(link(kSlotGetLastChild, id), expect(!kids.empty(), kids.empty() ? 0 : kids.back())) << id;
    ASSERT_EQ(link(kSlotGetNextSibling, id), expect(hasNext, next)) << id;
    ASSERT_EQ(link(kSlotGetPrevSibling, id), expect(hasPrev, prev)) << id;
  }
}

// IDs chosen against a hash: against the constant the map tree once
// published, and on lattices that crowd a plain multiplicative hash
// (multiples of 2^16, of 1,000, of 2^20 + 1), inserted, moved and removed
// at random against the model: the records stay near their homes, and
// every link holds. Then runs of consecutive hashes, as only a host that
// knew the process's secret could choose them: slower, but right.
TEST(MapTreeStore, IdsChosenToCollideStayNearTheirHomes) {
  SlotTree flat = NewTree();
  const std::vector<int32_t> old = rodarove_test::IdsCollidingInOldHash(65536);
  ASSERT_EQ(flat.SetRoot(old[0]), 1);
  for (size_t i = 1; i < old.size(); ++i) ASSERT_EQ(flat.AppendChild(old[i], old[0]), 1);
  ExpectProbesShort(flat, "IDs colliding in the old hash");
  EXPECT_EQ(flat.List(kSlotGetLeaves, old[0], nullptr, 0), 65535);
  flat.Release();

  std::mt19937 rng(SeedFromEnvironment("chosen IDs"));
  for (uint32_t stride : {1u << 16, 1000u, (1u << 20) + 1}) {
    SCOPED_TRACE(stride);
    SlotTree t = NewTree();
    std::vector<int32_t> ids;
    for (uint32_t k = 1; k <= 20000; ++k) ids.push_back(static_cast<int32_t>(k * stride));
    rodarove_test::Model m;
    ASSERT_EQ(t.SetRoot(ids[0]), m.SetRoot(ids[0]));
    for (size_t i = 1; i < ids.size(); ++i) {
      // Insert each in a random place, and now and then move or remove one.
      const int32_t id = ids[i];
      int32_t other = ids[rng() % i];
      if (!m.Has(other)) other = ids[0];
      const int32_t p = m.HasParent(other) ? m.parent.at(other) : 0;
      switch (rng() % 8) {
        case 0:
        case 1:
          ASSERT_EQ(t.AppendChild(id, other), m.Insert(id, other, 1)) << i;
          break;
        case 2:
        case 3:
          ASSERT_EQ(t.PrependChild(id, other), m.Insert(id, other, 0)) << i;
          break;
        case 4:
          ASSERT_EQ(t.InsertAfter(id, p, other), m.InsertBy(id, p, other, true)) << i;
          break;
        case 5:
          ASSERT_EQ(t.InsertBefore(id, p, other), m.InsertBy(id, p, other, false)) << i;
          break;
        case 6: {
          int32_t dest = ids[rng() % i];
          if (!m.Has(dest)) dest = ids[0];
          ASSERT_EQ(t.MoveAfter(other, dest), m.Move(3, other, dest)) << i;
          ASSERT_EQ(t.AppendChild(id, dest), m.Insert(id, dest, 1)) << i;
          break;
        }
        default:
          if (other != ids[0]) {
            ASSERT_EQ(t.RemoveNode(other), m.Remove(other)) << i;
          }
          ASSERT_EQ(t.AppendChild(id, ids[0]), m.Insert(id, ids[0], 1)) << i;
          break;
      }
    }
    ExpectLinksOf(m, t);
    EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), static_cast<int32_t>(m.kids.size()));
    ExpectProbesShort(t, "IDs on a lattice");
    t.Release();
  }

  // 32 runs of hashes spread over the hash range, growing in turn.
  SlotTree runs = NewTree();
  rodarove_test::Model rm;
  const int32_t root = IdOfHash(0xFFFFFFF0u);
  ASSERT_EQ(runs.SetRoot(root), rm.SetRoot(root));
  std::vector<int32_t> chosen;
  for (uint32_t j = 0; j < 60; ++j) {
    for (uint32_t run = 0; run < 32; ++run) chosen.push_back(IdOfHash((run << 27) + j));
  }
  for (int32_t id : chosen) ASSERT_EQ(runs.AppendChild(id, root), rm.Insert(id, root, 1));
  EXPECT_GT(TableOf(runs).Rest().Count(), 1900u);
  ExpectLinksOf(rm, runs);
  for (size_t i = 0; i < chosen.size(); i += 3) {
    ASSERT_EQ(runs.RemoveNode(chosen[i]), rm.Remove(chosen[i]));
  }
  ExpectLinksOf(rm, runs);
  runs.Release();
}

// Without memory the hashed part cannot grow: IDs whose hashes share one
// home still go in, into one long run, while it has room, and are refused
// then, the tree unchanged; with memory back the table grows around the
// run. Every link holds throughout. The tree's other IDs are random, so
// that the hashed part holds them.
std::vector<int32_t> FarIds(size_t n) {
  std::mt19937 rng(300);
  std::set<int32_t> seen;
  std::vector<int32_t> ids;
  while (ids.size() < n) {
    const int32_t id = static_cast<int32_t>(rng());
    if ((id < -100000 || id > 100000) && seen.insert(id).second) ids.push_back(id);
  }
  return ids;
}

TEST(MapTreeStore, ALongRunWithoutMemoryStaysRight) {
  SlotTree t = NewTree();
  rodarove_test::Model m;
  const std::vector<int32_t> ids = FarIds(1200);
  auto far = [&ids](size_t i) { return i == 0 ? 0 : ids[i]; };
  ASSERT_EQ(t.SetRoot(0), m.SetRoot(0));
  for (size_t i = 1; i < ids.size(); ++i) {
    ASSERT_EQ(t.AppendChild(far(i), far(i / 2)), m.Insert(far(i), far(i / 2), 1));
  }
  const rodarove::HashedRecords& table = TableOf(t).Rest();
  std::vector<int32_t> chosen;  // hashes 0, 1, 2, ...: one home for all
  for (uint32_t hash = 0; chosen.size() < 800; ++hash) {
    const int32_t id = IdOfHash(hash);
    if (!m.Has(id)) chosen.push_back(id);
  }
  size_t accepted = 0;
  rodarove_test::FailAllocation(1, /*sticky=*/true);
  while (accepted < chosen.size() && t.PrependChild(chosen[accepted], far(7)) == 1) ++accepted;
  rodarove_test::StopFailing();  // the table was full
  for (size_t i = 0; i < accepted; ++i) ASSERT_EQ(m.Insert(chosen[i], far(7), 0), 1);
  EXPECT_GT(accepted, 50u);
  EXPECT_LT(accepted, chosen.size()) << "the table filled";
  size_t longest = 0;
  table.Displacement(&longest);
  EXPECT_GT(longest, 50u);
  ExpectLinksOf(m, t);
  for (size_t i = accepted; i < chosen.size(); ++i) {
    ASSERT_EQ(t.AppendChild(chosen[i], far(9)), m.Insert(chosen[i], far(9), 1));
  }
  ExpectLinksOf(m, t);
  EXPECT_EQ(t.RemoveNode(far(7)), m.Remove(far(7)));
  ExpectLinksOf(m, t);
  t.Release();
}

// The node whose hash would make the key of an empty bucket is kept apart;
// it must still be found, survive growth and erasure, and be told from an
// empty bucket when it is not stored. The other IDs lie far apart, so that the
// hashed part holds them all and grows around that node.
TEST(MapTreeStore, TheNodeWithTheLargestKeyIsLikeAnyOther) {
  SlotTree t = NewTree();
  const int32_t largest = IdOfHash(0xFFFFFFFFu);
  const std::vector<int32_t> ids = FarIds(3000);
  auto far = [&ids, largest](size_t i) { return ids[i] != largest ? ids[i] : -1; };
  EXPECT_EQ(t.Exists(largest), 0);
  ASSERT_EQ(t.SetRoot(far(1)), 1);
  EXPECT_EQ(t.Exists(largest), 0);
  int32_t root = 0;
  ASSERT_EQ(t.GetRoot(&root), 1);
  ASSERT_EQ(t.AppendChild(largest, root), 1);
  for (size_t i = 3; i < ids.size(); ++i) {
    ASSERT_EQ(t.AppendChild(far(i), i % 2 == 0 ? largest : root), 1) << i;
  }
  EXPECT_GT(TableOf(t).Rest().Count(), 2990u);
  int32_t out = 0;
  EXPECT_EQ(t.GetParent(largest, &out), 1);
  EXPECT_EQ(out, root);
  const int32_t below = t.GetDescendants(largest, nullptr, 0);
  EXPECT_GT(below, 1000);
  EXPECT_EQ(t.GetParent(far(4), &out), 1);
  EXPECT_EQ(out, largest);
  EXPECT_EQ(t.RemoveNode(largest), below + 1);
  EXPECT_EQ(t.Exists(largest), 0);
  EXPECT_EQ(t.Exists(far(4)), 0);
  EXPECT_EQ(t.PrependChild(largest, far(5)), 1);
  EXPECT_EQ(t.IsChild(largest, far(5)), 1);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), static_cast<int32_t>(TableOf(t).Count()));
  t.Release();

  // With every other hash in the lower half of the range: its record,
  // alone at the end of the table, keeps its place through every growth.
  SlotTree low = NewTree();
  auto idOf = IdOfHash;
  const int32_t top = idOf(0xFFFFFFFFu);
  ASSERT_EQ(low.SetRoot(idOf(0x80000000u)), 1);
  ASSERT_EQ(low.AppendChild(top, idOf(0x80000000u)), 1);
  for (uint32_t k = 0; k < 200; ++k) ASSERT_EQ(low.AppendChild(idOf(k << 23), top), 1) << k;
  EXPECT_EQ(low.AppendChild(top, idOf(0)), 0) << "stored already";
  EXPECT_EQ(low.GetDescendants(top, nullptr, 0), 200);
  EXPECT_EQ(low.RemoveNode(idOf(0)), 1);
  EXPECT_EQ(low.Exists(top), 1);
  EXPECT_EQ(low.RemoveNode(top), 200);
  EXPECT_EQ(low.Exists(top), 0);
  low.Release();
}

// IDs a host numbers densely, in any order, from a base anywhere (across
// the ends of the signed and of the unsigned range too), with far IDs
// between: the window grows upwards, taking in the hashed part's records
// that it comes to cover. Each insertion is swept through its
// allocations, and every link and ID holds against the model.
TEST(MapTreeStore, DenseIdsInAnyOrderGoIntoTheWindow) {
  std::mt19937 rng(SeedFromEnvironment("dense IDs"));
  constexpr uint32_t kRange = 500;
  for (uint32_t base : {0u, 0xFFFFFF00u, 0x7FFFFF00u, static_cast<uint32_t>(rng())}) {
    SlotTree t = NewTree();
    rodarove_test::Model m;
    std::vector<int32_t> ids;
    for (uint32_t i = 0; i < kRange; ++i) ids.push_back(static_cast<int32_t>(base + i));
    std::shuffle(ids.begin(), ids.end(), rng);
    ASSERT_EQ(t.SetRoot(ids[0]), m.SetRoot(ids[0]));
    std::vector<int32_t> present{ids[0]};
    for (size_t i = 1; i < ids.size() && !::testing::Test::HasFailure(); ++i) {
      const int32_t id = rng() % 8 == 0 ? static_cast<int32_t>(rng()) : ids[i];
      if (m.Has(id)) continue;
      const int32_t parent = present[rng() % present.size()];
      ASSERT_GE(SweepEdit(t, [&] { return t.AppendChild(id, parent); }, "dense"), 0) << id;
      ASSERT_EQ(m.Insert(id, parent, 1), 1);
      present.push_back(id);
      if (rng() % 32 == 0) {
        const int32_t gone = present[1 + rng() % (present.size() - 1)];
        ASSERT_EQ(t.RemoveNode(gone), m.Remove(gone)) << gone;
        present = {ids[0]};  // the root first
        for (const auto& entry : m.kids) {
          if (entry.first != ids[0]) present.push_back(entry.first);
        }
      }
    }
    ExpectLinksOf(m, t);
    for (uint32_t i = 0; i < kRange + 100; ++i) {
      const int32_t id = static_cast<int32_t>(base - 50 + i);
      ASSERT_EQ(t.Exists(id), m.Has(id) ? 1 : 0) << id;
    }
    EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), static_cast<int32_t>(m.kids.size()));
    t.Release();
  }

  // Too far above the root for the window to reach them one by one (the
  // window grows only while its own records fill it), IDs counting down go
  // to the hashed part.
  SlotTree t = NewTree();
  rodarove_test::Model m;
  ASSERT_EQ(t.SetRoot(0), m.SetRoot(0));
  for (int32_t id = 400; id > 0 && !::testing::Test::HasFailure(); --id) {
    const int32_t parent = id == 400 ? 0 : std::min(400, id + 1 + static_cast<int32_t>(rng() % 8));
    ASSERT_GE(SweepEdit(t, [&] { return t.PrependChild(id, parent); }, "gathered"), 0) << id;
    ASSERT_EQ(m.Insert(id, parent, 0), 1);
  }
  EXPECT_GT(TableOf(t).Rest().Count(), 300u);
  ExpectLinksOf(m, t);
  t.Release();
}

// Hashes at the top of the range all have the last home: their run fills
// the buckets after it, and lengthens the table whenever it would reach
// its last bucket; without memory for that the insertion is refused, and
// the tree stays as it was.
TEST(MapTreeStore, ARunThatReachesTheEndLengthensTheTable) {
  SlotTree t = NewTree();
  rodarove_test::Model m;
  ASSERT_EQ(t.SetRoot(0), m.SetRoot(0));
  // Records until the table has just grown, and moved them all: a fresh
  // table with room for more records than its overflow holds.
  const rodarove::HashedRecords& hashed = TableOf(t).Rest();
  size_t homes = 0;
  for (int32_t id : FarIds(5000)) {
    ASSERT_EQ(t.AppendChild(id, 0), m.Insert(id, 0, 1));
    if (hashed.Count() > 1000 && homes == 0) homes = hashed.Homes();
    if (homes != 0 && hashed.Homes() != homes && !hashed.Moving()) break;
  }
  std::vector<int32_t> top;
  for (uint32_t hash = 0xFFFFFFFEu; top.size() < 400; --hash) {
    const int32_t id = IdOfHash(hash);
    if (!m.Has(id)) top.push_back(id);
  }
  // Highest hash last: each record joins the end of the run, the last one
  // in the table's second-to-last bucket.
  std::reverse(top.begin(), top.end());
  size_t accepted = 0;
  rodarove_test::FailAllocation(1, /*sticky=*/true);
  while (accepted < top.size() && t.AppendChild(top[accepted], 0) == 1) ++accepted;
  rodarove_test::StopFailing();
  for (size_t i = 0; i < accepted; ++i) ASSERT_EQ(m.Insert(top[i], 0, 1), 1);
  EXPECT_GT(accepted, 20u);
  EXPECT_LT(hashed.Count() * 10, hashed.Homes() * 9) << "refused before the table filled";
  ExpectLinksOf(m, t);
  for (size_t i = accepted; i < top.size(); ++i) ASSERT_EQ(t.AppendChild(top[i], 0), m.Insert(top[i], 0, 1));
  size_t longest = 0;
  TableOf(t).Rest().Displacement(&longest);
  EXPECT_GT(longest, 300u) << "the run is longer than any table's first overflow";
  ExpectLinksOf(m, t);
  for (size_t i = 0; i < top.size(); i += 2) ASSERT_EQ(t.RemoveNode(top[i]), m.Remove(top[i]));
  ExpectLinksOf(m, t);
  // The next growth moves the run into a table too short for it. Without
  // memory to lengthen that table the move stops before the run, refusing
  // the insertion that would have moved it; every answer holds, and with
  // memory back the move goes on.
  std::vector<int32_t> more;
  for (int32_t id : FarIds(20000)) {
    if (!m.Has(id)) more.push_back(id);
  }
  size_t next = 0;
  auto insert = [&] {
    const int32_t id = more.at(next++);
    const int32_t r = t.AppendChild(id, 0);
    if (r == 1) {
      EXPECT_EQ(m.Insert(id, 0, 1), 1);
    }
    return r;
  };
  while (hashed.Moving()) ASSERT_EQ(insert(), 1);
  while (!hashed.Moving()) ASSERT_EQ(insert(), 1);
  const size_t first = next;
  rodarove_test::FailAllocation(1, /*sticky=*/true);
  int32_t refused = 1;
  while (hashed.Moving() && refused == 1) refused = t.AppendChild(more.at(next++), 0);
  rodarove_test::StopFailing();
  for (size_t i = first; i + 1 < next; ++i) ASSERT_EQ(m.Insert(more[i], 0, 1), 1);
  if (refused == 1) {
    ASSERT_EQ(m.Insert(more[next - 1], 0, 1), 1);
  }
  EXPECT_EQ(refused, 0) << "the run moved into the new table without lengthening it";
  EXPECT_TRUE(hashed.Moving());
  ExpectLinksOf(m, t);
  while (hashed.Moving()) ASSERT_EQ(insert(), 1);
  ExpectLinksOf(m, t);
  t.Release();
}

// The hashed part grows by moving its records into a larger table a few
// buckets per insertion. A random tree against the model through several
// such growths: far IDs (hashed), IDs next to the window's (dense), and
// removals and moves, now and then with one allocation failing, and many
// removals as each growth starts. Every
// answer is checked while records are moving and after each growth, so a
// record lost or misplaced by a move, a lookup that reads the wrong table,
// or a refused edit that changed anything, shows.
TEST(MapTreeStore, GrowthInStepsKeepsEveryAnswer) {
  std::mt19937 rng(SeedFromEnvironment("growth in steps"));
  SlotTree t = NewTree();
  rodarove_test::Model m;
  ASSERT_EQ(t.SetRoot(0), m.SetRoot(0));
  const rodarove::HashedRecords& hashed = TableOf(t).Rest();
  std::vector<int32_t> nodes{0};
  int32_t dense = 1;
  int growths = 0;
  int checksWhileMoving = 0;
  int movingSteps = 0;
  bool wasMoving = false;
  auto check = [&] {
    ExpectLinksOf(m, t);
    for (int probe = 0; probe < 200; ++probe) {
      const int32_t id = probe % 2 ? static_cast<int32_t>(rng()) : nodes[rng() % nodes.size()];
      ASSERT_EQ(t.Exists(id), m.Has(id) ? 1 : 0) << id;
    }
    ASSERT_EQ(t.GetAllNodes(nullptr, nullptr, 0), static_cast<int32_t>(m.kids.size()));
  };
  for (int step = 0; step < 40000 && !::testing::Test::HasFailure(); ++step) {
    const unsigned what = rng() % 20;
    const bool failing = rng() % 40 == 0;
    if (failing) rodarove_test::FailAllocation(1 + rng() % 3);
    const int32_t parent = nodes[rng() % nodes.size()];
    int32_t r;
    if (what < 14) {
      const int32_t id = what < 12 ? static_cast<int32_t>(rng() | 0x40000000u) : dense++;
      r = t.AppendChild(id, parent);
      if (failing) rodarove_test::StopFailing();
      if (r == 1) {
        ASSERT_EQ(m.Insert(id, parent, 1), 1) << id;
        nodes.push_back(id);
      } else {
        ASSERT_TRUE(failing || m.Has(id))
            << "refused " << id << " under " << parent << " (" << m.Has(parent) << ")";
        ASSERT_EQ(t.Exists(id), m.Has(id) ? 1 : 0);
      }
    } else if (what < 17) {
      // A leaf, or a small subtree now and then, so that the tree grows.
      const size_t k = nodes.size() > 1 ? 1 + rng() % (nodes.size() - 1) : 0;
      const int32_t gone = nodes[k];
      const bool small = k != 0 && (m.kids.at(gone).empty() || rng() % 8 == 0);
      r = small ? t.RemoveNode(gone) : 0;
      if (failing) rodarove_test::StopFailing();
      if (small) {
        ASSERT_EQ(r, m.Remove(gone)) << gone;
        nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                                   [&m](int32_t id) { return !m.Has(id); }),
                    nodes.end());
      }
    } else {
      const int32_t id = nodes[rng() % nodes.size()];
      r = t.MoveAfter(id, parent);
      if (failing) rodarove_test::StopFailing();
      ASSERT_EQ(r, m.Move(3, id, parent)) << id << " after " << parent;
    }
    const bool moving = hashed.Moving();
    if (moving && !wasMoving) {
      // Half the leaves go at once, so that the new table has gaps right
      // behind the records just moved, and the moves go on past them.
      ++growths;
      movingSteps = 0;
      for (size_t k = nodes.size(); k-- > 1;) {
        if (m.kids.at(nodes[k]).empty() && rng() % 2 == 0) {
          ASSERT_EQ(t.RemoveNode(nodes[k]), m.Remove(nodes[k]));
          nodes[k] = nodes.back();
          nodes.pop_back();
        }
      }
    }
    if (moving && rng() % 2 == 0) {
      // The records moved last end the new table's last run: some of them
      // go, leaving gaps that the next move must not pass; and records
      // whose hashes lie about one step of moves ahead, which often join
      // the end of that run, past the frontier.
      const uint32_t below = hashed.MovedBelow();
      const uint32_t step = static_cast<uint32_t>(
          (uint64_t{rodarove::HashedRecords::kMoveStep} << 32) / hashed.Homes());
      std::vector<std::pair<uint32_t, int32_t>> last;  // (hash, ID) of moved nodes
      for (int32_t id : nodes) {
        const uint32_t hash = rodarove::HashedRecords::HashOf(static_cast<uint32_t>(id));
        if (hash < below && below - hash < 4 * step && id != nodes[0]) last.push_back({hash, id});
      }
      std::sort(last.rbegin(), last.rend());
      for (size_t j = 0; j < last.size() && j < 3; ++j) {
        if (!m.kids.at(last[j].second).empty()) continue;
        ASSERT_EQ(t.RemoveNode(last[j].second), m.Remove(last[j].second));
      }
      nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                                 [&m](int32_t id) { return !m.Has(id); }),
                  nodes.end());
      for (uint32_t j = 0; j < 4 && hashed.Moving(); ++j) {
        const int32_t id = IdOfHash(hashed.MovedBelow() + step + step / 4 * j);
        if (m.Has(id)) continue;
        ASSERT_EQ(t.AppendChild(id, nodes[0]), m.Insert(id, nodes[0], 1)) << id;
        nodes.push_back(id);
      }
    }
    // Checked at the first step of each growth and every 64th after it.
    if (moving && movingSteps++ % 64 == 0) {
      ++checksWhileMoving;
      check();
      ExpectProbesShort(t, "while moving");
    }
    if (wasMoving && !moving) check();
    wasMoving = moving;
  }
  check();
  EXPECT_GE(growths, 3);
  EXPECT_GE(checksWhileMoving, 3);
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

// The leaves and the nodes at a depth, from a tree that keeps more siblings
// waiting in those walks than a component holds in itself: a chain 300
// deep, each link with a leaf after it. Every answer goes into a buffer
// made beforehand (its first word the result), so that a run allocates
// nothing of its own.
class LeafAndDepthCalls {
 public:
  LeafAndDepthCalls() : buffers_(kQueries.size(), std::vector<int32_t>(kRoom + 1, -7)) {}
  void Run(SlotTree& t) {
    for (size_t q = 0; q < kQueries.size(); ++q) {
      const auto [depth, start] = kQueries[q];
      int32_t* b = buffers_[q].data();
      b[0] = depth < 0 ? t.List(kSlotGetLeaves, start, b + 1, kRoom)
                       : t.GetNodesAtDepth(depth, start, b + 1, kRoom);
    }
  }
  const std::vector<std::vector<int32_t>>& Answers() const { return buffers_; }

 private:
  static constexpr int32_t kRoom = 700;
  // {depth, start}; depth -1 asks for the leaves.
  static inline const std::vector<std::pair<int32_t, int32_t>> kQueries = {
      {-1, 0}, {-1, 2}, {-1, 101}, {-1, 400}, {1, 0},    {2, 0},
      {150, 0}, {299, 0}, {300, 0}, {301, 0}, {60, 100}, {200, 2}};
  std::vector<std::vector<int32_t>> buffers_;
};

SlotTree NewCaterpillar() {
  SlotTree t = NewTree();
  EXPECT_EQ(t.SetRoot(0), 1);
  for (int32_t level = 1; level <= 300; ++level) {
    EXPECT_EQ(t.AppendChild(2 * level, 2 * (level - 1)), 1);
    EXPECT_EQ(t.AppendChild(2 * level + 1, 2 * (level - 1)), 1);
  }
  return t;
}

TEST(MapTreeStore, LeafAndDepthWalksAnswerAlikeWithoutMemory) {
  SlotTree t = NewCaterpillar();
  LeafAndDepthCalls rich;
  rodarove_test::FailAllocation(0);
  rich.Run(t);
  EXPECT_GT(rodarove_test::StopFailing(), 0u) << "the walks took no memory";
  t.Release();
  EXPECT_EQ(rich.Answers()[0][0], 301);  // every leaf, the last link's children included
  EXPECT_EQ(rich.Answers()[8][0], 2);
  for (size_t n = 1;; ++n) {
    const bool sticky = n == 1;
    SlotTree fresh = NewCaterpillar();
    LeafAndDepthCalls calls;
    rodarove_test::FailAllocation(sticky ? 1 : n - 1, sticky);
    calls.Run(fresh);
    const size_t made = rodarove_test::StopFailing();
    fresh.Release();
    ASSERT_EQ(calls.Answers(), rich.Answers()) << (sticky ? "every allocation failing" : "one failing")
                                               << " (n=" << n << ")";
    if (!sticky && made < n - 1) break;  // ran without a failure
    ASSERT_LT(n, 64u) << "the walks allocate a few times at most";
  }
}

TEST(MapTreeStore, WalkStackIsKeptUntilClear) {
  rodarove_test::TreeSlots t = NewWideTree();
  rodarove_test::ExpectWalkMemoryKeptUntilClear(t, [&] { rodarove_test::BuildWideTree(t); });
  t.Release();
}

}  // namespace
