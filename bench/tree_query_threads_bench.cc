// Queries on one tree from one thread and from two at once, through the
// built module: the throughput (items_per_second, over wall time) of two
// threads should be about twice that of one on two idle cores, as no query
// writes anything the tree holds. The tree: 100,000 nodes, node k under a random node
// below k, IDs 1 to 100,000, of each class (the argument).
//  - AllNodes: GetAllNodes into a buffer of every pair, a walk whose stack
//    outgrows its inline part and takes a spare block of the tree's; the
//    items are nodes listed.
//  - Mixed: GetParent, GetFirstChild, GetNextSibling, GetPathToRoot,
//    GetLeaves and GetDescendants of random nodes; the items are calls.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "rodarove/rodarove.h"

namespace {

constexpr int32_t kNodes = 100000;

ITreeComponent* g_trees[2];  // 114, 837

ITreeComponent* TreeOf(const benchmark::State& state) {
  return g_trees[state.range(0) == 114 ? 0 : 1];
}

ITreeComponent* Build(int32_t componentId) {
  ITreeComponent* t = RodaroveAsTree(CreateComponent(componentId, 0));
  if (t == nullptr) return nullptr;
  std::mt19937 rng(20261210);
  t->SetRoot(1);
  for (int32_t k = 2; k <= kNodes; ++k) {
    t->AppendChild(k, 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(k - 1)));
  }
  return t;
}

// Runs `work` on `threads` threads at once, each with its index, and waits
// for them all.
template <typename Work>
void OnThreads(int threads, const Work& work) {
  std::vector<std::thread> running;
  for (int k = 1; k < threads; ++k) running.emplace_back(work, k);
  work(0);
  for (std::thread& t : running) t.join();
}

// The arguments: the class, then the number of threads. Each thread makes
// the same calls; the rate counts the calls (or nodes) of all threads over
// the wall time, the CPU column is that of the whole process.
void AllNodes(benchmark::State& state) {
  ITreeComponent* t = TreeOf(state);
  const int threads = static_cast<int>(state.range(1));
  constexpr int kWalks = 8;
  std::vector<std::vector<NodePair>> pairs(static_cast<size_t>(threads),
                                           std::vector<NodePair>(kNodes));
  int64_t listed = 0;
  for (auto _ : state) {
    OnThreads(threads, [&](int k) {
      for (int i = 0; i < kWalks; ++i) {
        const int32_t n = t->GetAllNodes(nullptr, pairs[static_cast<size_t>(k)].data(), kNodes);
        benchmark::DoNotOptimize(n);
      }
    });
    listed += static_cast<int64_t>(threads) * kWalks * kNodes;
  }
  state.SetItemsProcessed(listed);
}
BENCHMARK(AllNodes)->ArgsProduct({{114, 837}, {1, 2}})->UseRealTime()->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void Mixed(benchmark::State& state) {
  ITreeComponent* t = TreeOf(state);
  const int threads = static_cast<int>(state.range(1));
  constexpr int kCalls = 20000;
  struct Buffers {
    std::vector<int32_t> ids = std::vector<int32_t>(kNodes);
    std::vector<NodePair> pairs = std::vector<NodePair>(kNodes);
  };
  std::vector<Buffers> buffers(static_cast<size_t>(threads));
  int64_t calls = 0;
  for (auto _ : state) {
    OnThreads(threads, [&](int k) {
      std::mt19937 rng(77 + static_cast<uint32_t>(k));
      int32_t* ids = buffers[static_cast<size_t>(k)].ids.data();
      NodePair* pairs = buffers[static_cast<size_t>(k)].pairs.data();
      int32_t sum = 0;
      for (int i = 0; i < kCalls; ++i) {
        const int32_t id = 1 + static_cast<int32_t>(rng() % kNodes);
        int32_t out = 0;
        switch (i % 8) {
          case 0: sum += t->GetParent(id, &out); break;
          case 1: sum += t->GetFirstChild(id, &out); break;
          case 2: sum += t->GetNextSibling(id, &out); break;
          case 3: sum += t->GetPathToRoot(id, ids, kNodes); break;
          case 4: sum += t->GetLeaves(id, ids, kNodes); break;
          case 5: sum += t->GetDescendants(id, pairs, kNodes); break;
          case 6: sum += t->GetNodesAtDepth(2, id, ids, kNodes); break;
          default: sum += t->Exists(id); break;
        }
        sum += out;
      }
      benchmark::DoNotOptimize(sum);
    });
    calls += static_cast<int64_t>(threads) * kCalls;
  }
  state.SetItemsProcessed(calls);
}
BENCHMARK(Mixed)->ArgsProduct({{114, 837}, {1, 2}})->UseRealTime()->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  g_trees[0] = Build(114);
  g_trees[1] = Build(837);
  if (g_trees[0] == nullptr || g_trees[1] == nullptr) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  g_trees[0]->Release(0);
  g_trees[1]->Release(0);
  return 0;
}
