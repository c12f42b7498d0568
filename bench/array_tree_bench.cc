// Component 837: building, navigating, moving and walking trees of 1,000 to
// 1,000,000 nodes, bringing in rising IDs (the growth of the slot array
// must cost the same per ID whatever the count), and far IDs, whose cost
// must follow the slots written, not the slot count.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "arraytree/array_tree_container.h"
#include "component/component_base.h"

namespace {

using rodarove::ArrayTreeContainer;

// One container for the length of a benchmark.
class Tree {
 public:
  Tree()
      : object_(rodarove::CreateArrayTreeContainer()),
        tree_(static_cast<ArrayTreeContainer*>(static_cast<ITreeContainer*>(object_))) {}
  ~Tree() { rodarove::DestroyUnrecordedComponent(object_); }
  ArrayTreeContainer* operator->() { return tree_; }

 private:
  IComponent* object_;
  ArrayTreeContainer* tree_;
};

// Nodes 1..n, each under a random earlier node: depth about log n.
void BuildRandom(Tree& t, int32_t n, uint64_t seed) {
  std::mt19937 rng(static_cast<uint32_t>(seed));
  t->SetRoot(1);
  for (int32_t id = 2; id <= n; ++id) {
    int32_t parent = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(id - 1));
    t->AppendChild(id, parent);
  }
}

void BuildChain(Tree& t, int32_t n) {
  t->SetRoot(1);
  for (int32_t id = 2; id <= n; ++id) t->AppendChild(id, id - 1);
}

void BuildWide(Tree& t, int32_t n) {
  t->SetRoot(1);
  for (int32_t id = 2; id <= n; ++id) t->AppendChild(id, 1);
}

void BM_BuildRandom(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    Tree t;
    BuildRandom(t, n, 1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BuildRandom)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

// Root 1 and a child left under a removed node (IDs above n). Insertions
// stay constant time: only an ID whose slot lists children is checked.
void StaleLink(Tree& t, int32_t n) {
  t->SetRoot(1);
  t->AppendChild(n + 1, 1);
  t->AppendChild(n + 2, n + 1);
  t->RemoveNode(n + 1);
}

// The same, and then the removed node brought in again: its child is listed
// nowhere but still names it. Only an insertion of that ID climbs to rule
// out a cycle; building the rest costs what it costs without.
void LostChild(Tree& t, int32_t n) {
  StaleLink(t, n);
  t->AppendChild(n + 1, 1);
}

template <void (*Prepare)(Tree&, int32_t), bool kChain>
void BM_Build(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    Tree t;
    Prepare(t, n);
    if (kChain) {
      BuildChain(t, n);
    } else {
      BuildRandom(t, n, 1);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
void Nothing(Tree&, int32_t) {}
BENCHMARK_TEMPLATE(BM_Build, Nothing, true)->Name("BM_BuildChain")->RangeMultiplier(10)
    ->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Build, StaleLink, true)->Name("BM_BuildChainWithStaleLink")
    ->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Build, StaleLink, false)->Name("BM_BuildRandomWithStaleLink")
    ->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Build, LostChild, false)->Name("BM_BuildRandomWithLostChild")
    ->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Build, LostChild, true)->Name("BM_BuildChainWithLostChild")
    ->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

// Rising IDs under one parent: the slot count is raised 1000 at a time.
void BM_RisingIds(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    Tree t;
    t->SetRoot(1);
    for (int32_t id = 2; id <= n; ++id) t->AppendChild(id, 1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RisingIds)->Arg(250000)->Arg(500000)->Arg(1000000)->Arg(2000000)
    ->Unit(benchmark::kMillisecond);

// The slot count raised to its limit on a new component by one refused
// insertion of the last ID.
void BM_FarGrowth(benchmark::State& state) {
  for (auto _ : state) {
    Tree t;
    benchmark::DoNotOptimize(t->AppendChild(178955999, -1));
  }
}
BENCHMARK(BM_FarGrowth)->Unit(benchmark::kMicrosecond);

// A root and a child whose ID raised the slot count to 10^6, 10^7 or 10^8,
// then Clear: it costs the slots written, not the count.
void BM_ClearTwoNodes(benchmark::State& state) {
  const int32_t slots = static_cast<int32_t>(state.range(0));
  Tree t;
  for (auto _ : state) {
    t->SetRoot(1);
    t->AppendChild(slots - 1, 1);
    benchmark::DoNotOptimize(t->Clear());
  }
}
BENCHMARK(BM_ClearTwoNodes)->Arg(1000000)->Arg(10000000)->Arg(100000000)
    ->Unit(benchmark::kMicrosecond);

void BM_Navigate(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  Tree t;
  BuildRandom(t, n, 2);
  std::mt19937 rng(3);
  int64_t sum = 0;
  for (auto _ : state) {
    int32_t id = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n));
    int32_t out = 0;
    sum += t->GetParent(id, &out) + out;
    sum += t->GetFirstChild(id, &out) + out;
    sum += t->GetNextSibling(id, &out) + out;
    sum += t->GetPrevSibling(id, &out) + out;
    sum += t->IsLeaf(id) + t->IsChild(id, out);
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_Navigate)->RangeMultiplier(10)->Range(1000, 1000000);

// An insertion and a removal in a built tree, with no memory to take: a
// leaf under a random node, removed again.
void BM_InsertRemove(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  Tree t;
  BuildRandom(t, n, 8);
  std::mt19937 rng(9);
  const int32_t leaf = n + 1;
  for (auto _ : state) {
    const int32_t parent = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n));
    benchmark::DoNotOptimize(t->AppendChild(leaf, parent));
    benchmark::DoNotOptimize(t->RemoveNode(leaf));
  }
}
BENCHMARK(BM_InsertRemove)->RangeMultiplier(10)->Range(1000, 1000000);

// Random moves under random new parents; those into the moved subtree are
// refused after a walk up from the destination.
void BM_Move(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  Tree t;
  BuildRandom(t, n, 4);
  std::mt19937 rng(5);
  int64_t moved = 0;
  for (auto _ : state) {
    int32_t id = 2 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n - 1));
    int32_t dest = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n));
    switch (rng() % 4) {
      case 0: moved += t->MoveToFirstChild(id, dest); break;
      case 1: moved += t->MoveToLastChild(id, dest); break;
      case 2: moved += t->MoveBefore(id, dest); break;
      default: moved += t->MoveAfter(id, dest); break;
    }
  }
  state.counters["moved"] = static_cast<double>(moved) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Move)->RangeMultiplier(10)->Range(1000, 1000000);

void BM_WalkAllNodes(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  Tree t;
  BuildRandom(t, n, 6);
  std::vector<NodePair> pairs(static_cast<size_t>(n));
  for (auto _ : state) {
    benchmark::DoNotOptimize(t->GetAllNodes(nullptr, pairs.data(), n));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_WalkAllNodes)->RangeMultiplier(10)->Range(1000, 1000000);

void BM_WalkLeaves(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  Tree t;
  BuildRandom(t, n, 7);
  std::vector<int32_t> buffer(static_cast<size_t>(n));
  for (auto _ : state) {
    benchmark::DoNotOptimize(t->GetLeaves(1, buffer.data(), n));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_WalkLeaves)->RangeMultiplier(10)->Range(1000, 1000000);

// The shapes a recursion would founder on: a chain and a wide root.
void BM_ChainQueries(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  Tree t;
  BuildChain(t, n);
  std::vector<int32_t> buffer(static_cast<size_t>(n));
  std::vector<NodePair> pairs(static_cast<size_t>(n));
  for (auto _ : state) {
    benchmark::DoNotOptimize(t->GetPathToRoot(n, buffer.data(), n));
    benchmark::DoNotOptimize(t->GetPathFromRoot(n, buffer.data(), n));
    benchmark::DoNotOptimize(t->GetAllNodes(nullptr, pairs.data(), n));
    benchmark::DoNotOptimize(t->GetNodesAtDepth(n - 1, 1, buffer.data(), n));
  }
  state.SetItemsProcessed(state.iterations() * n * 4);
}
BENCHMARK(BM_ChainQueries)->RangeMultiplier(10)->Range(1000, 1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_WideQueries(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  Tree t;
  BuildWide(t, n);
  std::vector<int32_t> buffer(static_cast<size_t>(n));
  std::vector<NodePair> pairs(static_cast<size_t>(n));
  for (auto _ : state) {
    benchmark::DoNotOptimize(t->GetSiblings(2, buffer.data(), n));
    benchmark::DoNotOptimize(t->GetLeaves(1, buffer.data(), n));
    benchmark::DoNotOptimize(t->GetDescendants(1, pairs.data(), n));
    benchmark::DoNotOptimize(t->GetNodesAtDepth(1, 1, buffer.data(), n));
  }
  state.SetItemsProcessed(state.iterations() * n * 4);
}
BENCHMARK(BM_WideQueries)->RangeMultiplier(10)->Range(1000, 1000000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
