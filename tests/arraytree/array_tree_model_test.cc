// Randomized check of component 837 against ArrayTreeModel: random edits,
// removals of inner nodes, re-insertion of removed IDs, children under IDs
// that are not nodes, growth (to the far end of the IDs) and refusals, all
// through the built library by slot number. After every edit some answers
// are compared; every so often all of them, with buffers of every kind of
// capacity. After every edit the model's links must hold no cycle, and no
// walk may list more entries than there are nodes (a path up may end at one
// ID that is not a node).
//
// A second check drives a tree made by the code linked into this program,
// so that its allocations can fail: its IDs crowd the first page and lie
// on the pages after it, which get memory of their own while the tree is
// small and are taken into the front as it grows; now and then an
// allocation along a call fails. An edit that then refuses must leave
// every answer as it was (the model is not told of it); any other answer
// must match the model's.
//
// RODAROVE_SEED fixes the seed (printed on every run); RODAROVE_MODEL_STEPS
// sets the number of operations (default 200000, a twentieth of it for the
// second check).
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "arraytree/array_tree_container.h"
#include "component/component_base.h"
#include "tests/arraytree/array_slot_tree.h"
#include "tests/arraytree/array_tree_model.h"
#include "tests/support/alloc_failure.h"

namespace {

using rodarove_test::ArraySlotTree;
using rodarove_test::ArrayTreeModel;

constexpr int32_t kSentinel = 0x5eed5eed;
constexpr int kBufferSize = 96;

uint64_t EnvOr(const char* name, uint64_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::strtoull(v, nullptr, 10) : fallback;
}

class ModelCheck {
 public:
  // strayParents: AppendChild and PrependChild also get parents that are
  // not nodes. Without, only removals leave links to IDs that are not nodes.
  // failing: the tree is made by the linked code, and its calls may meet a
  // failed allocation; the IDs also lie on the pages after the first.
  ModelCheck(uint64_t seed, int poolSize, bool strayParents, bool failing = false)
      : rng_(seed), pool_(poolSize), strayParents_(strayParents), failing_(failing) {
    if (failing_) {
      tree_ = ArraySlotTree(rodarove::CreateArrayTreeContainer());
      // Three IDs on each of pages 2 to 7, whose slots get pages of their
      // own while the tree is small; one on each of pages 8 to 10,
      // brought in once the tree has nodes enough for its front to reach
      // it, which makes the front grow over those pages.
      for (int32_t page = 2; page <= 7; ++page) {
        for (int32_t at : {0, 1, 700}) ids_.push_back(page * 1024 + at);
      }
      for (int32_t page = 10; page >= 8; --page) late_.push_back(page * 1024 + 300);
    } else {
      tree_ = rodarove_test::NewArrayTree();
    }
    for (int32_t i = 1; i <= pool_; ++i) ids_.push_back(i);
    // Steps of the slot count, and the far end of the IDs (slots that are
    // never written up to it read as empty).
    for (int32_t id : {998, 999, 1000, 1001, 1500, 1999, 2000, 2001, 2999, 3000, 4321, 178955999}) {
      ids_.push_back(id);
    }
  }
  ~ModelCheck() {
    if (tree_.object() == nullptr) return;
    if (failing_) {
      rodarove::DestroyUnrecordedComponent(static_cast<IComponent*>(tree_.object()));
    } else {
      tree_.Release();
    }
  }
  bool ok() const { return tree_.object() != nullptr; }

  // One random edit, its result compared, then a few answers compared.
  void Step(uint64_t n) {
    if (!late_.empty() && n % 64 == 0 &&
        model_.NodeCount(ids_) >= 128 * (late_.back() / 1024 + 1)) {
      ids_.push_back(late_.back());
      late_.pop_back();
    }
    Edit(n);
    if (::testing::Test::HasFailure()) return;
    std::string cycle = model_.FindCycle(ids_);
    ASSERT_EQ(cycle, "") << "after operation " << n << "\n" << Dump();
    for (int i = 0; i < 2; ++i) CompareSingles(AnyId());
    CompareList(static_cast<int>(Rand(9)), AnyId());
    if (n % (failing_ ? 2048 : 256) == 0) CompareAll();
  }

  void CompareAll() {
    int32_t a = 7, b = 7;
    ASSERT_EQ(tree_.GetRoot(&a), model_.GetRoot(&b));
    ASSERT_EQ(a, b);
    for (int32_t id : ids_) CompareSingles(id);
    for (int32_t id : {0, -1, INT32_MIN, INT32_MAX, 6000, 5999, 100000, 178955000, 178956000}) {
      CompareSingles(id);
    }
    for (size_t k = 0; k < ids_.size(); ++k) {
      // Of a large pool, some of the IDs.
      const int32_t id = failing_ ? ids_[Rand(ids_.size())] : ids_[k];
      if (failing_ && k == 64) break;
      for (int q = 0; q < 9; ++q) CompareList(q, id, kBufferSize);
    }
  }

 private:
  uint64_t Rand(uint64_t n) { return rng_() % n; }

  // Runs a call of the tree; with failing_, one call in eight meets a
  // failed allocation among its first four, if it makes that many.
  // failed_ tells whether it did.
  template <typename Call>
  int32_t OnTree(Call call) {
    failed_ = false;
    if (!failing_ || Rand(8) != 0) return call();
    const size_t n = 1 + Rand(4);
    rodarove_test::FailAllocation(n);
    const int32_t r = call();
    failed_ = rodarove_test::StopFailing() >= n;
    return r;
  }
  // Whether the model is to make the edit the tree just answered `got`:
  // not when a failed allocation refused it, which leaves everything.
  bool ModelFollows(int32_t got) const { return !(failed_ && got == 0); }

  int32_t AnyId() {
    uint64_t r = Rand(100);
    if (r < 90) return ids_[Rand(ids_.size())];
    static const int32_t kOdd[] = {0, -1, -7, INT32_MIN, INT32_MAX, 178956000, 178956001};
    return kOdd[Rand(sizeof(kOdd) / sizeof(kOdd[0]))];
  }
  // Mostly a node, when there is one.
  int32_t NodeId() {
    if (Rand(10) < 8) {
      for (int tries = 0; tries < 8; ++tries) {
        int32_t id = ids_[Rand(ids_.size())];
        if (model_.Exists(id)) return id;
      }
    }
    return AnyId();
  }
  // A node when there is one, else the root-to-be 1.
  int32_t SomeNode() {
    for (int tries = 0; tries < 16; ++tries) {
      int32_t id = ids_[Rand(ids_.size())];
      if (model_.Exists(id)) return id;
    }
    return 1;
  }
  int32_t ParentOf(int32_t id) {
    int32_t p = 0;
    if (Rand(10) < 8 && model_.InRange(id)) return model_.slot(id).parent;
    return model_.GetParent(id, &p) == 1 ? p : AnyId();
  }

  void Edit(uint64_t n) {
    uint64_t r = Rand(1000);
    // A large pool grows by insertions mostly.
    if (failing_ && r >= 300 && Rand(4) != 0) r = 30 + Rand(450);
    int32_t got = 0, want = 0;
    std::string what;
    char text[96];
    if (r < 25) {
      int32_t id = Rand(3) == 0 ? AnyId() : ids_[Rand(ids_.size())];
      std::snprintf(text, sizeof text, "SetRoot(%d)", id);
      got = OnTree([&] { return tree_.SetRoot(id); });
      want = ModelFollows(got) ? model_.SetRoot(id) : 0;
    } else if (r < 28 && (!failing_ || Rand(16) == 0)) {
      std::snprintf(text, sizeof text, "Clear()");
      got = tree_.Clear();
      want = model_.Clear();
    } else if (r < 300) {
      int32_t id = AnyId();
      int32_t p = strayParents_ ? (Rand(4) == 0 ? AnyId() : NodeId()) : SomeNode();
      bool append = Rand(2) == 0;
      std::snprintf(text, sizeof text, "%s(%d, %d)", append ? "AppendChild" : "PrependChild", id, p);
      got = OnTree([&] { return append ? tree_.AppendChild(id, p) : tree_.PrependChild(id, p); });
      want = !ModelFollows(got) ? 0 : append ? model_.AppendChild(id, p) : model_.PrependChild(id, p);
    } else if (r < 480) {
      int32_t id = AnyId();
      int32_t ref = NodeId();
      int32_t p = ParentOf(ref);
      bool after = Rand(2) == 0;
      std::snprintf(text, sizeof text, "%s(%d, %d, %d)", after ? "InsertAfter" : "InsertBefore", id,
                    p, ref);
      got = OnTree([&] { return after ? tree_.InsertAfter(id, p, ref) : tree_.InsertBefore(id, p, ref); });
      want = !ModelFollows(got)  ? 0
             : after            ? model_.InsertAfter(id, p, ref)
                                : model_.InsertBefore(id, p, ref);
    } else if (r < 640) {
      int32_t id = Rand(5) == 0 ? AnyId() : NodeId();
      std::snprintf(text, sizeof text, "RemoveNode(%d)", id);
      got = OnTree([&] { return tree_.RemoveNode(id); });
      want = model_.RemoveNode(id);
    } else {
      int32_t id = NodeId();
      int32_t dest = NodeId();
      int kind = static_cast<int>(Rand(4));
      std::snprintf(text, sizeof text, "Move slot %d (%d, %d)", kSlotMoveToFirstChild + kind, id,
                    dest);
      got = OnTree([&] { return tree_.Move(kSlotMoveToFirstChild + kind, id, dest); });
      switch (kind) {
        case 0: want = model_.MoveToFirstChild(id, dest); break;
        case 1: want = model_.MoveToLastChild(id, dest); break;
        case 2: want = model_.MoveBefore(id, dest); break;
        default: want = model_.MoveAfter(id, dest); break;
      }
    }
    what = text;
    ASSERT_EQ(got, want) << "operation " << n << ": " << what << (failed_ ? " (an allocation failed)" : "");
  }

  void CompareSingles(int32_t id) {
    ASSERT_EQ(tree_.Exists(id), model_.Exists(id)) << "Exists " << id;
    ASSERT_EQ(tree_.IsLeaf(id), model_.IsLeaf(id)) << "IsLeaf " << id;
    int32_t p = AnyId();
    ASSERT_EQ(tree_.IsChild(id, p), model_.IsChild(id, p)) << "IsChild " << id << " " << p;
    if (model_.InRange(id)) {
      int32_t parent = model_.slot(id).parent;
      ASSERT_EQ(tree_.IsChild(id, parent), model_.IsChild(id, parent));
    }
    for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
      int32_t a = kSentinel, b = kSentinel;
      int32_t want = 0;
      switch (slot) {
        case kSlotGetParent: want = model_.GetParent(id, &b); break;
        case kSlotGetLastChild: want = model_.GetLastChild(id, &b); break;
        case kSlotGetFirstChild: want = model_.GetFirstChild(id, &b); break;
        case kSlotGetPrevSibling: want = model_.GetPrevSibling(id, &b); break;
        default: want = model_.GetNextSibling(id, &b); break;
      }
      ASSERT_EQ(tree_.Link(slot, id, &a), want) << "slot " << slot << " id " << id;
      ASSERT_EQ(a, b) << "slot " << slot << " id " << id;
    }
  }

  // Query q (0-8) on id with a random capacity, or the given one.
  void CompareList(int q, int32_t id, int32_t capacity = -2) {
    if (capacity == -2) {
      static const int32_t kCaps[] = {-1, 0, 1, 2, 3, 5, 8, kBufferSize, INT32_MIN};
      capacity = kCaps[Rand(sizeof(kCaps) / sizeof(kCaps[0]))];
    }
    // A capacity larger than the buffer is fine only with no buffer at all.
    bool null = Rand(10) == 0;
    std::vector<int32_t> a(2 * kBufferSize, kSentinel), b(2 * kBufferSize, kSentinel);
    int32_t* pa = null ? nullptr : a.data();
    int32_t* pb = null ? nullptr : b.data();
    auto* qa = reinterpret_cast<NodePair*>(pa);
    auto* qb = reinterpret_cast<NodePair*>(pb);
    int32_t depth = static_cast<int32_t>(Rand(6)) - 1;
    int32_t rootA = kSentinel, rootB = kSentinel;
    int32_t got = 0, want = 0;
    bool cyclic = false;
    try {
      switch (q) {
        case 0: want = model_.GetPathFromRoot(id, pb, capacity); break;
        case 1: want = model_.GetPathToRoot(id, pb, capacity); break;
        case 2: want = model_.GetSiblings(id, pb, capacity); break;
        case 3: want = model_.GetLeaves(id, pb, capacity); break;
        case 4: want = model_.GetAllNodes(&rootB, qb, capacity); break;
        case 5: want = model_.GetSiblingsWithSelf(id, pb, capacity); break;
        case 6: want = model_.GetDescendants(id, qb, capacity); break;
        case 7: want = model_.GetNodesAtDepth(depth, id, pb, capacity); break;
        default: want = model_.GetAllNodes(nullptr, nullptr, 0); break;
      }
    } catch (ArrayTreeModel::Cyclic&) {
      cyclic = true;
    }
    got = OnTree([&] {
    switch (q) {
      case 0: return tree_.List(kSlotGetPathFromRoot, id, pa, capacity);
      case 1: return tree_.List(kSlotGetPathToRoot, id, pa, capacity);
      case 2: return tree_.List(kSlotGetSiblings, id, pa, capacity);
      case 3: return tree_.List(kSlotGetLeaves, id, pa, capacity);
      case 4: return tree_.GetAllNodes(&rootA, qa, capacity);
      case 5: return tree_.List(kSlotGetSiblingsWithSelf, id, pa, capacity);
      case 6: return tree_.GetDescendants(id, qa, capacity);
      case 7: return tree_.GetNodesAtDepth(depth, id, pa, capacity);
      default: return tree_.GetAllNodes(nullptr, nullptr, 0);
    }
    });
    ASSERT_FALSE(cyclic) << "query " << q << " id " << id << " walked a cycle\n" << Dump();
    // A path up may end at one ID that is not a node; every other list
    // holds distinct nodes.
    ASSERT_LE(got, model_.NodeCount(ids_) + (q == 1 ? 1 : 0)) << "query " << q << " id " << id;
    ASSERT_EQ(got, want) << "query " << q << " id " << id << " capacity " << capacity
                         << " depth " << depth << "\n" << Dump();
    ASSERT_EQ(rootA, rootB);
    for (size_t k = 0; k < a.size(); ++k) {
      ASSERT_EQ(a[k], b[k]) << "query " << q << " id " << id << " capacity " << capacity
                            << " depth " << depth << " entry word " << k;
    }
  }

  // The model's slots that hold anything, for a failure message.
  std::string Dump() {
    std::string text;
    char line[128];
    int32_t root = 0;
    std::snprintf(line, sizeof line, "root %d (%d)\n", model_.GetRoot(&root) ? root : 0,
                  model_.GetRoot(nullptr));
    text += line;
    model_.ForEachSlot([&](uint32_t id, const ArrayTreeModel::Slot& s) {
      if (id == 0 || id >= model_.slot_count()) return;
      if (!s.used && !s.parent && !s.firstChild && !s.lastChild && !s.nextSibling &&
          !s.prevSibling) {
        return;
      }
      std::snprintf(line, sizeof line, "%u: used %d parent %d first %d last %d prev %d next %d\n",
                    id, s.used, s.parent, s.firstChild, s.lastChild, s.prevSibling,
                    s.nextSibling);
      text += line;
    });
    return text;
  }

  std::mt19937_64 rng_;
  int pool_;
  bool strayParents_;
  bool failing_;
  bool failed_ = false;
  std::vector<int32_t> ids_;
  std::vector<int32_t> late_;  // to join ids_, the last first
  ArraySlotTree tree_;
  ArrayTreeModel model_;
};

// Runs episodes of the model check, each a fresh check over a pool drawn
// from `pools` for `length` to `length + spread` steps, until `steps`
// steps are done or one fails (naming the seed); returns the steps done.
uint64_t RunEpisodes(uint64_t seed, uint64_t steps, std::vector<int> pools, uint64_t length,
                     uint64_t spread, bool failing) {
  std::mt19937_64 episodes(seed);
  uint64_t done = 0;
  while (done < steps && !::testing::Test::HasFailure()) {
    const int pool = pools[episodes() % pools.size()];
    const uint64_t end = length + episodes() % spread;
    ModelCheck check(episodes(), pool, episodes() % 3 != 0, failing);
    EXPECT_TRUE(check.ok());
    if (!check.ok()) break;
    for (uint64_t i = 0; i < end && done < steps; ++i, ++done) {
      check.Step(done);
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "reproduce with RODAROVE_SEED=" << seed;
        return done;
      }
    }
    check.CompareAll();
  }
  return done;
}

TEST(ArrayTreeModelCheck, RandomOperationsMatchTheModel) {
  uint64_t seed = EnvOr("RODAROVE_SEED", std::random_device{}());
  uint64_t steps = EnvOr("RODAROVE_MODEL_STEPS", 200000);
  std::printf("array tree model check: RODAROVE_SEED=%" PRIu64 " RODAROVE_MODEL_STEPS=%" PRIu64
              "\n",
              seed, steps);
  std::fflush(stdout);
  // Keeps the module's live table from emptying at every episode's end.
  ArraySlotTree keeper = rodarove_test::NewArrayTree();
  ASSERT_NE(keeper.object(), nullptr);
  // Small pools crowd a few IDs (re-insertion, removed parents); larger
  // ones grow bigger trees.
  const uint64_t done = RunEpisodes(seed, steps, {6, 12, 24, 48, 80}, 500, 6000, false);
  keeper.Release();
  std::printf("operations: %" PRIu64 "\n", done);
}

// Trees of some thousand nodes over the first eleven pages, allocations
// failing now and then: growth of the front over pages of their own.
TEST(ArrayTreeModelCheck, GrowthOverPagesMatchesTheModelWhenAllocationsFail) {
  uint64_t seed = EnvOr("RODAROVE_SEED", std::random_device{}());
  uint64_t steps = EnvOr("RODAROVE_MODEL_STEPS", 200000) / 20;
  std::printf("array tree growth check: RODAROVE_SEED=%" PRIu64 " RODAROVE_MODEL_STEPS=%" PRIu64
              "\n",
              seed, steps * 20);
  std::fflush(stdout);
  rodarove_test::CountRecordMemory();
  const uint64_t done = RunEpisodes(seed, steps, {1500, 1800}, 2000, 4000, true);
  std::printf("operations: %" PRIu64 "\n", done);
}

}  // namespace
