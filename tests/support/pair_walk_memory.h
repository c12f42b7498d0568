// Checks for the memory the whole-tree walks (GetAllNodes, GetDescendants,
// GetLeaves, GetNodesAtDepth) may take, shared by the memory tests of both
// tree classes. They need the allocation-failure injector
// (tests/support/alloc_failure.h) linked in and a component made
// in-process, which they drive by slot number.
#ifndef RODAROVE_TESTS_SUPPORT_PAIR_WALK_MEMORY_H_
#define RODAROVE_TESTS_SUPPORT_PAIR_WALK_MEMORY_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "tests/support/alloc_failure.h"
#include "tests/support/tree_slots.h"

namespace rodarove_test {

// A tree whose walks need more stack than a component holds in itself: a
// root row of 300 nodes, then nodes under random earlier ones, then every
// 97th node from 17 on removed (with its subtree, or alone, as the class
// removes). Besides, 300, the last of the root row, has 80 children with a
// child each (so its pair walk stacks 80 rows), and 299 a comb 100 levels
// deep (a spine node above a spine node and a leaf, so the depth-first
// walks stack a branch per level).
inline void BuildWideTree(TreeSlots& t) {
  std::mt19937 rng(11);
  ASSERT_EQ(t.SetRoot(1), 1);
  for (int32_t id = 2; id <= 301; ++id) ASSERT_EQ(t.AppendChild(id, 1), 1);
  for (int32_t id = 302; id <= 1500; ++id) {
    const int32_t parent = 2 + static_cast<int32_t>(rng() % static_cast<uint32_t>(id - 2));
    ASSERT_EQ(rng() % 2 != 0 ? t.AppendChild(id, parent) : t.PrependChild(id, parent), 1);
  }
  for (int32_t id = 17; id <= 1500; id += 97) t.RemoveNode(id);
  for (int32_t k = 0; k < 80; ++k) {
    ASSERT_EQ(t.AppendChild(1501 + k, 300), 1);
    ASSERT_EQ(t.AppendChild(1581 + k, 1501 + k), 1);
  }
  int32_t spine = 299;
  for (int32_t id = 1661; id < 1861; id += 2) {
    ASSERT_EQ(t.AppendChild(id, spine), 1);
    ASSERT_EQ(t.AppendChild(id + 1, spine), 1);
    spine = id;
  }
}

// Start nodes for the walks of a wide tree, removed ones among them.
inline std::vector<int32_t> WideTreeStarts() { return {2, 5, 17, 150, 299, 300, 302, 999, 1500}; }

// One walk: GetAllNodes (start 0), GetDescendants, GetLeaves, or
// GetNodesAtDepth at each of a few depths.
enum class WalkQuery { kAllNodes, kDescendants, kLeaves, kAtDepth };
struct WalkCall {
  WalkQuery query;
  int32_t start;
  int32_t depth;
};

// The walks from the root and from each start.
inline std::vector<WalkCall> WalksOf(const std::vector<int32_t>& starts) {
  std::vector<WalkCall> calls{{WalkQuery::kAllNodes, 0, 0}};
  for (int32_t s : starts) {
    calls.push_back({WalkQuery::kDescendants, s, 0});
    calls.push_back({WalkQuery::kLeaves, s, 0});
    for (int32_t depth : {1, 3, 99, 101}) calls.push_back({WalkQuery::kAtDepth, s, depth});
  }
  return calls;
}

inline int32_t RunWalk(TreeSlots& t, const WalkCall& c, int32_t* root, void* buffer,
                       int32_t capacity) {
  auto* pairs = static_cast<NodePair*>(buffer);
  auto* ids = static_cast<int32_t*>(buffer);
  switch (c.query) {
    case WalkQuery::kAllNodes: return t.GetAllNodes(root, pairs, capacity);
    case WalkQuery::kDescendants: return t.GetDescendants(c.start, pairs, capacity);
    case WalkQuery::kLeaves: return t.List(kSlotGetLeaves, c.start, ids, capacity);
    default: return t.GetNodesAtDepth(c.depth, c.start, ids, capacity);
  }
}

// The counts the walks answer.
inline std::vector<int32_t> WalkCounts(TreeSlots& t, const std::vector<WalkCall>& calls) {
  std::vector<int32_t> counts;
  for (const WalkCall& c : calls) counts.push_back(RunWalk(t, c, nullptr, nullptr, 0));
  return counts;
}

// The walks, each with a buffer that holds all entries, one that holds
// half of them, one of capacity 0 and none. Every buffer holds eight more
// entries than its capacity asks, filled with a sentinel that must stay
// beyond the written entries. The buffers are made beforehand, so that Run
// allocates nothing itself.
class PairWalkCalls {
 public:
  PairWalkCalls(const std::vector<WalkCall>& walks, const std::vector<int32_t>& counts) {
    for (size_t q = 0; q < walks.size(); ++q) {
      const int32_t full = counts[q] < 0 ? 0 : counts[q];
      for (int32_t capacity : {full, full / 2, 0, -1}) {
        Call c;
        c.walk = walks[q];
        c.capacity = capacity;
        c.words.assign(2 * (static_cast<size_t>(full) + 8), kSentinel);
        calls_.push_back(std::move(c));
      }
    }
  }

  void Run(TreeSlots& t) {
    for (Call& c : calls_) {
      void* buffer = c.capacity < 0 ? nullptr : c.words.data();
      c.result = RunWalk(t, c.walk, &c.root, buffer, c.capacity < 0 ? 0 : c.capacity);
    }
  }

  // Every result, root and buffer word, in call order.
  std::vector<int32_t> Answers() const {
    std::vector<int32_t> a;
    for (const Call& c : calls_) {
      a.push_back(c.result);
      a.push_back(c.root);
      a.insert(a.end(), c.words.begin(), c.words.end());
    }
    return a;
  }

 private:
  static constexpr int32_t kSentinel = 0x5eed5eed;
  struct Call {
    WalkCall walk;
    int32_t capacity = 0;
    std::vector<int32_t> words;  // pairs or IDs
    int32_t result = kSentinel;
    int32_t root = kSentinel;
  };
  std::vector<Call> calls_;
};

// Builds the tree afresh with `make` (a new component) for each run, and
// checks that the walks answer and write exactly as they do with memory to
// spare, when every allocation fails and when each one along the walks
// fails in turn, and that the component gives back every block it took.
// `make` must give a tree whose walks need more than what the component
// holds in itself; `destroy` ends the component.
inline void ExpectPairWalksNeedNoMemory(const std::function<TreeSlots()>& make,
                                        const std::function<void(TreeSlots&)>& destroy,
                                        const std::vector<int32_t>& starts) {
  const std::vector<WalkCall> walks = WalksOf(starts);
  TreeSlots t = make();
  FailAllocation(0);
  const std::vector<int32_t> counts = WalkCounts(t, walks);
  EXPECT_GT(StopFailing(), 1u) << "the walks took no memory: the tree is too small to test";
  PairWalkCalls rich(walks, counts);
  rich.Run(t);
  const std::vector<int32_t> expected = rich.Answers();
  destroy(t);
  for (size_t n = 1;; ++n) {
    const bool sticky = n == 1;
    PairWalkCalls calls(walks, counts);
    const size_t live = LiveBlocks();
    TreeSlots fresh = make();
    FailAllocation(sticky ? 1 : n - 1, sticky);
    calls.Run(fresh);
    const size_t made = StopFailing();
    destroy(fresh);
    ASSERT_EQ(LiveBlocks(), live) << "blocks never given back";
    if (sticky) {
      ASSERT_EQ(calls.Answers(), expected) << "every allocation failing";
    } else {
      ASSERT_EQ(calls.Answers(), expected) << "allocation " << n - 1 << " failing";
    }
    if (!sticky && made < n - 1) break;  // ran without a failure
    ASSERT_LT(n, 64u) << "the walks allocate a few times at most";
  }
}

// After a walk has taken memory, the same walk again takes none; after
// Clear and `rebuild`, which brings back the same tree, it takes memory
// again, so Clear gave the stack back.
inline void ExpectWalkMemoryKeptUntilClear(TreeSlots& t, const std::function<void()>& rebuild) {
  FailAllocation(0);
  const int32_t count = t.GetAllNodes(nullptr, nullptr, 0);
  EXPECT_GT(StopFailing(), 0u) << "the walk took no memory: the tree is too small to test";
  FailAllocation(0);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), count);
  EXPECT_EQ(StopFailing(), 0u) << "the stack was not kept";
  EXPECT_EQ(t.Clear(), 1);
  rebuild();
  FailAllocation(0);
  EXPECT_EQ(t.GetAllNodes(nullptr, nullptr, 0), count);
  EXPECT_GT(StopFailing(), 0u) << "Clear kept the stack";
}

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_SUPPORT_PAIR_WALK_MEMORY_H_
