// Per-operation cost of component 114 at 1e3 to 1e6 nodes. The trees are
// random recursive trees (node i hangs under a random earlier node), so they
// are shallow and of mixed width. The second argument picks the operands:
// 0 draws them from the whole tree (so large trees pay for cache misses),
// 1 from a fixed set of 256 nodes (so what remains is the algorithm: a cost
// that does not depend on the size of the tree). The flat trees compare
// random IDs with IDs chosen to collide in the hash the class once had.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "rodarove/rodarove.h"
#include "rodarove/tree_container.h"
#include "tests/maptree/colliding_ids.h"

namespace {

// One component stays alive for the whole run, so that releasing the
// measured ones never empties the module's live table.
void KeepModuleBusy() {
  static IComponent* keeper = CreateComponent(114, 0);
  (void)keeper;
}

struct Tree {
  ITreeContainer* t = nullptr;
  std::vector<int32_t> parentOf;  // parentOf[i] for node i (i >= 1)
  std::mt19937 rng{12345};

  int32_t hot = 0;  // draw operands from the first 256 nodes only

  explicit Tree(int32_t n, int32_t hotOperands = 0) : hot(hotOperands) {
    KeepModuleBusy();
    t = static_cast<ITreeContainer*>(CreateComponent(114, 0));
    t->SetRoot(0);
    parentOf.assign(static_cast<size_t>(n), -1);
    for (int32_t i = 1; i < n; ++i) {
      int32_t p = static_cast<int32_t>(rng() % static_cast<uint32_t>(i));
      parentOf[static_cast<size_t>(i)] = p;
      t->AppendChild(i, p);
    }
  }
  ~Tree() { t->Release(0); }
  int32_t Size() const { return static_cast<int32_t>(parentOf.size()); }
  uint32_t Span() const { return static_cast<uint32_t>(hot != 0 && Size() > 256 ? 256 : Size()); }
  int32_t AnyNode() { return static_cast<int32_t>(rng() % Span()); }
  int32_t AnyChild() { return 1 + static_cast<int32_t>(rng() % (Span() - 1)); }
};

constexpr int32_t kBatch = 1024;

void BM_InsertBefore(benchmark::State& state) {
  Tree tree(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  int32_t next = tree.Size();
  std::vector<int32_t> added;
  for (auto _ : state) {
    int32_t ref = tree.AnyChild();
    benchmark::DoNotOptimize(tree.t->InsertBefore(next, tree.parentOf[static_cast<size_t>(ref)], ref));
    added.push_back(next++);
    if (added.size() == kBatch) {
      state.PauseTiming();
      for (int32_t id : added) tree.t->RemoveNode(id);
      added.clear();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_RemoveNode(benchmark::State& state) {
  Tree tree(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  int32_t next = tree.Size();
  std::vector<int32_t> added;
  size_t pos = 0;
  for (auto _ : state) {
    if (pos == added.size()) {
      state.PauseTiming();
      added.clear();
      pos = 0;
      for (int32_t k = 0; k < kBatch; ++k) {
        tree.t->AppendChild(next, tree.AnyNode());
        added.push_back(next++);
      }
      // Remove in random order, so that each removal unlinks from a random
      // place of its row.
      std::shuffle(added.begin(), added.end(), tree.rng);
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(tree.t->RemoveNode(added[pos++]));
  }
  state.SetItemsProcessed(state.iterations());
}

// The moved nodes are extra leaves, moved among the original nodes, so the
// tree keeps its shape and no move is refused.
template <int kKind>
void BM_Move(benchmark::State& state) {
  Tree tree(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  std::vector<int32_t> movers;
  for (int32_t k = 0; k < kBatch; ++k) {
    int32_t id = tree.Size() + k;
    tree.t->AppendChild(id, tree.AnyNode());
    movers.push_back(id);
  }
  size_t m = 0;
  int32_t done = 0;
  for (auto _ : state) {
    int32_t id = movers[m];
    m = (m + 1) % movers.size();
    switch (kKind) {
      case 0: done += tree.t->MoveToFirstChild(id, tree.AnyNode()); break;
      case 1: done += tree.t->MoveToLastChild(id, tree.AnyNode()); break;
      case 2: done += tree.t->MoveBefore(id, tree.AnyChild()); break;
      case 3: done += tree.t->MoveAfter(id, tree.AnyChild()); break;
    }
  }
  if (done != static_cast<int32_t>(state.iterations())) state.SkipWithError("a move was refused");
  state.SetItemsProcessed(state.iterations());
}

void BM_GetPrevSibling(benchmark::State& state) {
  Tree tree(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  int32_t out = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tree.t->GetPrevSibling(tree.AnyNode(), &out));
  }
  state.SetItemsProcessed(state.iterations());
}

// Building a tree of n nodes from empty; items are nodes.
void BM_BuildTree(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    Tree tree(n);
    benchmark::DoNotOptimize(tree.t);
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// GetAllNodes over the whole tree into a buffer of every pair.
void BM_WalkAllNodes(benchmark::State& state) {
  Tree tree(static_cast<int32_t>(state.range(0)));
  std::vector<NodePair> pairs(static_cast<size_t>(tree.Size()));
  int32_t root = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tree.t->GetAllNodes(&root, pairs.data(), tree.Size()));
  }
  state.SetItemsProcessed(state.iterations() * tree.Size());
}

// n distinct IDs: random (kind 0), or colliding in the old hash (kind 1).
std::vector<int32_t> FlatIds(int32_t n, int64_t kind) {
  if (kind == 1) return rodarove_test::IdsCollidingInOldHash(static_cast<size_t>(n));
  std::mt19937 rng(99);
  std::set<int32_t> seen;
  std::vector<int32_t> ids;
  while (ids.size() < static_cast<size_t>(n)) {
    const int32_t id = static_cast<int32_t>(rng());
    if (seen.insert(id).second) ids.push_back(id);
  }
  return ids;
}

ITreeContainer* FlatTree(const std::vector<int32_t>& ids) {
  auto* t = static_cast<ITreeContainer*>(CreateComponent(114, 0));
  t->SetRoot(ids[0]);
  for (size_t i = 1; i < ids.size(); ++i) t->AppendChild(ids[i], ids[0]);
  return t;
}

// A flat tree (every node a child of the root) built from empty; items are
// nodes.
void BM_BuildFlat(benchmark::State& state) {
  KeepModuleBusy();
  const std::vector<int32_t> ids = FlatIds(static_cast<int32_t>(state.range(0)), state.range(1));
  for (auto _ : state) FlatTree(ids)->Release(0);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Exists of the nodes of a flat tree, in a random order.
void BM_ExistsFlat(benchmark::State& state) {
  KeepModuleBusy();
  std::vector<int32_t> ids = FlatIds(static_cast<int32_t>(state.range(0)), state.range(1));
  ITreeContainer* t = FlatTree(ids);
  std::shuffle(ids.begin(), ids.end(), std::mt19937(5));
  size_t i = 0;
  int32_t found = 0;
  for (auto _ : state) {
    found += t->Exists(ids[i]);
    i = i + 1 == ids.size() ? 0 : i + 1;
  }
  if (found != static_cast<int32_t>(state.iterations())) state.SkipWithError("a node was not found");
  t->Release(0);
  state.SetItemsProcessed(state.iterations());
}

#define SIZES RangeMultiplier(10)->Range(1000, 1000000)
#define SIZES_AND_OPERANDS ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})

BENCHMARK(BM_InsertBefore)->SIZES_AND_OPERANDS;
BENCHMARK(BM_RemoveNode)->SIZES_AND_OPERANDS;
BENCHMARK(BM_Move<0>)->Name("BM_MoveToFirstChild")->SIZES_AND_OPERANDS;
BENCHMARK(BM_Move<1>)->Name("BM_MoveToLastChild")->SIZES_AND_OPERANDS;
BENCHMARK(BM_Move<2>)->Name("BM_MoveBefore")->SIZES_AND_OPERANDS;
BENCHMARK(BM_Move<3>)->Name("BM_MoveAfter")->SIZES_AND_OPERANDS;
BENCHMARK(BM_GetPrevSibling)->SIZES_AND_OPERANDS;
BENCHMARK(BM_BuildTree)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildFlat)->ArgsProduct({{8192, 32768, 65536}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExistsFlat)->ArgsProduct({{8192, 32768, 65536}, {0, 1}});
BENCHMARK(BM_WalkAllNodes)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
