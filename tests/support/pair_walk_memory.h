// Checks for the memory the pair walks (GetAllNodes, GetDescendants) may
// take, shared by the memory tests of both tree classes. They need the
// allocation-failure injector (tests/support/alloc_failure.h) linked in and
// a component made in-process, which they drive by slot number.
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

// A tree whose pair walks need more stack than a component holds in
// itself: a root row of 300 nodes, then nodes under random earlier ones,
// then every 97th node from 17 on removed (with its subtree, or alone,
// as the class removes).
inline void BuildWideTree(TreeSlots& t) {
  std::mt19937 rng(11);
  ASSERT_EQ(t.SetRoot(1), 1);
  for (int32_t id = 2; id <= 301; ++id) ASSERT_EQ(t.AppendChild(id, 1), 1);
  for (int32_t id = 302; id <= 1500; ++id) {
    const int32_t parent = 2 + static_cast<int32_t>(rng() % static_cast<uint32_t>(id - 2));
    ASSERT_EQ(rng() % 2 != 0 ? t.AppendChild(id, parent) : t.PrependChild(id, parent), 1);
  }
  for (int32_t id = 17; id <= 1500; id += 97) t.RemoveNode(id);
}

// Start nodes for the walks of a wide tree, removed ones among them.
inline std::vector<int32_t> WideTreeStarts() { return {2, 5, 17, 150, 302, 999, 1500}; }

// The counts of the pair walks from the root and from each of `starts`.
inline std::vector<int32_t> PairWalkCounts(TreeSlots& t, const std::vector<int32_t>& starts) {
  std::vector<int32_t> counts{t.GetAllNodes(nullptr, nullptr, 0)};
  for (int32_t s : starts) counts.push_back(t.GetDescendants(s, nullptr, 0));
  return counts;
}

// The pair walks from the root and from each start, each with a buffer
// that holds all pairs, one that holds half of them, one of capacity 0 and
// none. Every buffer holds eight more pairs than its capacity asks, filled
// with a sentinel that must stay beyond the written entries. The buffers
// are made beforehand, so that Run allocates nothing itself.
class PairWalkCalls {
 public:
  PairWalkCalls(const std::vector<int32_t>& starts, const std::vector<int32_t>& counts) {
    for (size_t q = 0; q < counts.size(); ++q) {
      const int32_t full = counts[q] < 0 ? 0 : counts[q];
      for (int32_t capacity : {full, full / 2, 0, -1}) {
        Call c;
        c.start = q == 0 ? 0 : starts[q - 1];
        c.all = q == 0;
        c.capacity = capacity;
        c.pairs.assign(static_cast<size_t>(full) + 8, NodePair{kSentinel, kSentinel});
        calls_.push_back(std::move(c));
      }
    }
  }

  void Run(TreeSlots& t) {
    for (Call& c : calls_) {
      NodePair* buffer = c.capacity < 0 ? nullptr : c.pairs.data();
      const int32_t room = c.capacity < 0 ? 0 : c.capacity;
      c.result = c.all ? t.GetAllNodes(&c.root, buffer, room) : t.GetDescendants(c.start, buffer, room);
    }
  }

  // Every result, root and buffer word, in call order.
  std::vector<int32_t> Answers() const {
    std::vector<int32_t> a;
    for (const Call& c : calls_) {
      a.push_back(c.result);
      a.push_back(c.root);
      for (const NodePair& p : c.pairs) {
        a.push_back(p.id);
        a.push_back(p.parent);
      }
    }
    return a;
  }

 private:
  static constexpr int32_t kSentinel = 0x5eed5eed;
  struct Call {
    int32_t start = 0;
    bool all = false;
    int32_t capacity = 0;
    std::vector<NodePair> pairs;
    int32_t result = kSentinel;
    int32_t root = kSentinel;
  };
  std::vector<Call> calls_;
};

// Builds the tree afresh with `make` (a new component) for each run, and
// checks that the pair walks answer and write exactly as they do with
// memory to spare, when every allocation fails and when each one along the
// walks fails in turn. `make` must give a tree whose walks need more than
// what the component holds in itself; `destroy` ends the component.
inline void ExpectPairWalksNeedNoMemory(const std::function<TreeSlots()>& make,
                                        const std::function<void(TreeSlots&)>& destroy,
                                        const std::vector<int32_t>& starts) {
  TreeSlots t = make();
  FailAllocation(0);
  const std::vector<int32_t> counts = PairWalkCounts(t, starts);
  EXPECT_GT(StopFailing(), 1u) << "the walks took no memory: the tree is too small to test";
  PairWalkCalls rich(starts, counts);
  rich.Run(t);
  const std::vector<int32_t> expected = rich.Answers();
  destroy(t);
  for (size_t n = 1;; ++n) {
    const bool sticky = n == 1;
    TreeSlots fresh = make();
    PairWalkCalls calls(starts, counts);
    FailAllocation(sticky ? 1 : n - 1, sticky);
    calls.Run(fresh);
    const size_t made = StopFailing();
    destroy(fresh);
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
