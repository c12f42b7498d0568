// Components 114 and 837 against the reference tree (bench/reference_tree.cc),
// all three reached through virtual calls into shared libraries, on random
// trees of 1,000 to 1,000,000 nodes (node k under a uniformly random node
// below k). Each iteration runs every contender in turn, so that a busy
// machine slows all of them alike; the counters give the time per call of
// each and its ratio to the reference, and the summary at the end lists the
// ratios (medians over the repetitions) beside their goals. Memory gives
// the resident bytes per node of each contender's built tree.
//
// Before timing, the set-up checks that every contender answers exactly as
// the reference does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include "bench/process_memory.h"
#include "bench/reference_tree.h"
#include "rodarove/rodarove.h"

namespace {

using rodarove_bench::HeapBytesInUse;
using rodarove_bench::ResidentBytes;

enum Contender { kReference, kMap, kArray, kContenders };
const char* const kNames[kContenders] = {"ref", "map", "array"};

ITreeComponent* Create(int c) {
  if (c == kReference) return CreateReferenceTree();
  IComponent* made = CreateComponent(c == kMap ? 114 : 837, 0);
  return static_cast<ITreeComponent*>(static_cast<ITreeContainer*>(made));
}

// One component stays alive for the whole run, so that releasing the
// measured ones never empties the module's live table.
IComponent* keeper = nullptr;
void KeepModuleBusy() {
  if (keeper == nullptr) keeper = CreateComponent(837, 0);
}

std::vector<int32_t> RandomParents(int32_t n) {
  std::mt19937 rng(20240611);
  std::vector<int32_t> parent(static_cast<size_t>(n) + 1, 0);
  for (int32_t k = 2; k <= n; ++k) {
    parent[k] = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(k - 1));
  }
  return parent;
}

ITreeComponent* Build(int c, const std::vector<int32_t>& parent) {
  ITreeComponent* t = Create(c);
  t->SetRoot(1);
  for (size_t k = 2; k < parent.size(); ++k) t->AppendChild(static_cast<int32_t>(k), parent[k]);
  return t;
}

// The three trees of one size, kept from one benchmark to the next.
struct Trees {
  explicit Trees(int32_t size) : n(size), parent(RandomParents(size)) {
    KeepModuleBusy();
    for (int c = 0; c < kContenders; ++c) tree[c] = Build(c, parent);
  }
  ~Trees() {
    for (ITreeComponent* t : tree) t->Release(0);
  }
  int32_t n;
  std::vector<int32_t> parent;
  ITreeComponent* tree[kContenders];
};

std::unique_ptr<Trees> current;

Trees& TreesOfSize(int32_t n) {
  if (current == nullptr || current->n != n) {
    current.reset();
    current = std::make_unique<Trees>(n);
  }
  return *current;
}

// CPU time of this thread: time the scheduler gives to other work on the
// machine is not counted (what that work does to the caches still is).
double ThreadSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Runs the contenders in turn, `rounds` times per iteration: in round r each
// makes `calls` timed calls op(c, r), after one untimed call that brings its
// data into the caches when `warm`. Reports per-call times (seconds scaled
// by `unit`) and the ratios to the reference.
template <typename Op>
void Measure(benchmark::State& state, int rounds, int calls, bool warm, double unit,
             const char* unitName, Op op) {
  double seconds[kContenders] = {};
  int64_t turn = 0;
  for (auto _ : state) {
    for (int r = 0; r < rounds; ++r, ++turn) {
      for (int k = 0; k < kContenders; ++k) {
        const int c = static_cast<int>((turn + k) % kContenders);
        if (warm) op(c, r);
        const double start = ThreadSeconds();
        for (int i = 0; i < calls; ++i) op(c, r);
        seconds[c] += ThreadSeconds() - start;
      }
    }
  }
  const double per = unit / (static_cast<double>(state.iterations()) * rounds * calls);
  for (int c = 0; c < kContenders; ++c) {
    state.counters[std::string(kNames[c]) + unitName] = seconds[c] * per;
    if (c != kReference) state.counters[std::string(kNames[c]) + "/ref"] = seconds[c] / seconds[kReference];
  }
}

// Whole-tree walks into a buffer that holds every pair: GetAllNodes, or
// GetDescendants of the root's first child (node 2).
template <bool kAllNodes>
void BM_Walk(benchmark::State& state) {
  Trees& t = TreesOfSize(static_cast<int32_t>(state.range(0)));
  std::vector<NodePair> pairs(static_cast<size_t>(t.n));
  const int32_t capacity = t.n;
  auto walk = [&](int c) {
    return kAllNodes ? t.tree[c]->GetAllNodes(nullptr, pairs.data(), capacity)
                     : t.tree[c]->GetDescendants(2, pairs.data(), capacity);
  };
  std::vector<NodePair> expected;
  for (int c = 0; c < kContenders; ++c) {
    std::fill(pairs.begin(), pairs.end(), NodePair{-1, -1});
    const int32_t count = walk(c);
    std::vector<NodePair> got(pairs.begin(), pairs.begin() + std::min(count, capacity));
    got.push_back(NodePair{count, 0});
    if (c == kReference) {
      expected = got;
    } else if (!std::equal(got.begin(), got.end(), expected.begin(), expected.end(),
                           [](NodePair a, NodePair b) { return a.id == b.id && a.parent == b.parent; })) {
      state.SkipWithError((std::string(kNames[c]) + " walks differently from the reference").c_str());
      return;
    }
  }
  const int calls = std::max(1, 200000 / t.n);
  Measure(state, 1, calls, true, 1e6, "_us", [&](int c, int) { benchmark::DoNotOptimize(walk(c)); });
}

// GetParent, GetFirstChild, GetNextSibling and GetPrevSibling of 65,536
// random nodes, taken in 16 rounds of 4,096 so that the contenders take
// turns often; the time is per lookup.
void BM_Navigate(benchmark::State& state) {
  Trees& t = TreesOfSize(static_cast<int32_t>(state.range(0)));
  constexpr int kRounds = 16;
  constexpr size_t kChunk = 4096;
  std::mt19937 rng(7);
  std::vector<int32_t> ids(kRounds * kChunk);
  for (int32_t& id : ids) id = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(t.n));
  auto lookUp = [&](int c, size_t from, size_t to) {
    ITreeComponent* tree = t.tree[c];
    int64_t sum = 0;
    for (size_t i = from; i < to; ++i) {
      const int32_t id = ids[i];
      int32_t out = 0;
      sum += tree->GetParent(id, &out) + out;
      sum += tree->GetFirstChild(id, &out) + out;
      sum += tree->GetNextSibling(id, &out) + out;
      sum += tree->GetPrevSibling(id, &out) + out;
    }
    return sum;
  };
  // Every answer, result and link, for the check.
  auto answers = [&](int c) {
    std::vector<int32_t> a;
    for (int32_t id : ids) {
      for (auto link : {&ITreeContainer::GetParent, &ITreeContainer::GetFirstChild,
                        &ITreeContainer::GetNextSibling, &ITreeContainer::GetPrevSibling}) {
        int32_t out = 0;
        a.push_back((t.tree[c]->*link)(id, &out));
        a.push_back(out);
      }
    }
    return a;
  };
  const std::vector<int32_t> expected = answers(kReference);
  for (int c = kMap; c < kContenders; ++c) {
    if (answers(c) != expected) {
      state.SkipWithError((std::string(kNames[c]) + " navigates differently from the reference").c_str());
      return;
    }
  }
  Measure(state, kRounds, 1, false, 1e9 / (4.0 * kChunk), "_ns", [&](int c, int r) {
    benchmark::DoNotOptimize(lookUp(c, r * kChunk, (r + 1) * kChunk));
  });
}

// A new component, the whole random tree appended node by node, Release.
void BM_Build(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  const std::vector<int32_t> parent = RandomParents(n);
  KeepModuleBusy();
  Measure(state, 1, 1, false, 1e3, "_ms", [&](int c, int) { Build(c, parent)->Release(0); });
}

// Edits, the reference having none: in each round both classes take the
// same 3,000 edits in turn, on trees of their own built once per size: an
// InsertBefore of a new ID (rising from n + 1) beside a random node, a
// MoveAfter of a random node after another, and a RemoveNode of a random
// node when it is a leaf. The time is per edit; array/map is the ratio.
void BM_Edits(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  const std::vector<int32_t> parent = RandomParents(n);
  KeepModuleBusy();
  ITreeComponent* trees[2] = {Build(kMap, parent), Build(kArray, parent)};
  int32_t next[2] = {n + 1, n + 1};
  constexpr int kEdits = 3000;
  std::mt19937 rng(11);
  std::vector<int32_t> operand(2 * kEdits);
  double seconds[2] = {};
  int64_t rounds = 0;
  for (auto _ : state) {
    for (int32_t& id : operand) id = 2 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n - 1));
    for (int k = 0; k < 2; ++k) {
      const int c = static_cast<int>((rounds + k) % 2);
      ITreeComponent* t = trees[c];
      int64_t done = 0;
      const double start = ThreadSeconds();
      for (int i = 0; i < kEdits; ++i) {
        const int32_t a = operand[2 * i];
        int32_t out = 0;
        switch (i % 3) {
          case 0:
            t->GetParent(a, &out);
            done += t->InsertBefore(next[c]++, out, a);
            break;
          case 1: done += t->MoveAfter(a, operand[2 * i + 1]); break;
          default:
            if (t->GetFirstChild(a, &out) == 0) done += t->RemoveNode(a);
        }
      }
      seconds[c] += ThreadSeconds() - start;
      benchmark::DoNotOptimize(done);
    }
    ++rounds;
  }
  for (ITreeComponent* t : trees) t->Release(0);
  const double per = 1e6 / (static_cast<double>(rounds) * kEdits);
  state.counters["map_us"] = seconds[0] * per;
  state.counters["array_us"] = seconds[1] * per;
  state.counters["array/map"] = seconds[1] / seconds[0];
}

// The bytes a built tree holds, per node, for every contender: the
// resident pages its building added, heap blocks and reserved memory alike
// (glibc's heap count, also given, is blind to the stores' reservations).
// The heap is trimmed before each build, so that pages freed earlier are
// not taken again unseen, and after it, so that the blocks a growing tree
// let go of count as given back.
void BM_Memory(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  const std::vector<int32_t> parent = RandomParents(n);
  KeepModuleBusy();
  double bytes[kContenders] = {};
  double heap[kContenders] = {};
  for (auto _ : state) {
    for (int c = 0; c < kContenders; ++c) {
      // The module keeps a few small reservations of released trees for
      // the next ones, their pages resident: trees built first, and kept
      // alive, take them, so that the tree measured takes fresh memory.
      ITreeComponent* earlier[4];
      for (ITreeComponent*& e : earlier) e = Build(c, parent);
      malloc_trim(0);
      const size_t heapBefore = HeapBytesInUse();
      const long before = ResidentBytes();
      ITreeComponent* t = Build(c, parent);
      malloc_trim(0);
      bytes[c] = static_cast<double>(ResidentBytes() - before) / n;
      heap[c] = static_cast<double>(HeapBytesInUse() - heapBefore) / n;
      t->Release(0);
      for (ITreeComponent* e : earlier) e->Release(0);
    }
  }
  for (int c = 0; c < kContenders; ++c) {
    state.counters[std::string(kNames[c]) + "_B"] = bytes[c];
    state.counters[std::string("heap_") + kNames[c]] = heap[c];
    if (c != kReference) state.counters[std::string(kNames[c]) + "/ref"] = bytes[c] / bytes[kReference];
  }
}

const char* const kOperations[] = {"AllNodes", "Descendants", "Navigate", "Build", "Memory",
                                   "Edits"};
const char* const kSizes[] = {"1000", "10000", "100000", "1000000"};

// Size by size, so that the trees of each size are built once.
void RegisterAll() {
  void (*const functions[])(benchmark::State&) = {BM_Walk<true>, BM_Walk<false>, BM_Navigate,
                                                  BM_Build, BM_Memory, BM_Edits};
  for (const char* size : kSizes) {
    for (size_t op = 0; op < 6; ++op) {
      auto* b = benchmark::RegisterBenchmark(kOperations[op], functions[op])
                    ->Arg(std::stoi(size))
                    ->Unit(benchmark::kMillisecond);
      if (op == 4) b->Iterations(1);
    }
  }
}

// The goal of each measured ratio: walks at most 1.5 times the reference;
// navigation at most 1.2 times in component 837 and 1.5 times in 114;
// building 114 at most 1.5 times; 114's heap bytes per node at most 1.6
// times the reference's at a million nodes; 837's edits no slower than
// 114's. The rest is for information.
double Goal(const std::string& operation, const std::string& nodes, const std::string& counter) {
  const bool map = counter == "map/ref";
  if (operation == "Edits") return counter == "array/map" ? 1.0 : 0;
  if (operation == "AllNodes" || operation == "Descendants") return 1.5;
  if (operation == "Navigate") return map ? 1.5 : 1.2;
  if (operation == "Build" && map) return 1.5;
  if (operation == "Memory" && map && nodes == "1000000") return 1.6;
  return 0;
}

// The console report, then one line per operation and size with the
// medians (or the single run's values without repetitions).
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal.
  SummaryReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}

  // The library's context lines, without its warning that it is a debug
  // build (Debian's is): every figure here is timed by this program around
  // its own calls, so the library's own speed does not enter them.
  bool ReportContext(const Context& context) override {
    std::ostringstream text;
    PrintBasicContext(&text, context);
    std::istringstream lines(text.str());
    for (std::string line; std::getline(lines, line);) {
      if (line.find("Library was built as DEBUG") == std::string::npos) {
        GetErrorStream() << line << "\n";
      }
    }
    return true;
  }

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (!median && !single) continue;
      Row& row = rows_[run.run_name.function_name + "/" + run.run_name.args];
      row.operation = run.run_name.function_name;
      row.nodes = run.run_name.args;
      row.repetitions = run.repetitions;
      for (const auto& [name, counter] : run.counters) row.values[name] = counter.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (rows_.empty()) return;
    std::printf("\nRatio to the reference (median of the repetitions; goal in brackets)\n");
    std::printf("%-12s %8s %12s %13s %13s %6s\n", "operation", "nodes", "reference", "map/ref",
                "array/ref", "reps");
    bool allMet = true;
    for (const char* operation : kOperations) {
      for (const char* nodes : kSizes) {
        auto it = rows_.find(std::string(operation) + "/" + nodes);
        if (it == rows_.end()) continue;
        const Row& row = it->second;
        // Edits have no reference: 114 stands in for it.
        const bool edits = std::string(operation) == "Edits";
        std::string reference = "-";
        for (const auto& [name, value] : row.values) {
          if (name.rfind(edits ? "map_" : "ref_", 0) == 0) {
            reference = Format(value) + " " + (name == "ref_B" ? "B/node" : name.substr(4));
          }
        }
        std::printf("%-12s %8s %12s", operation, nodes, reference.c_str());
        const char* const counters[] = {edits ? "-" : "map/ref", edits ? "array/map" : "array/ref"};
        for (const char* counter : counters) {
          auto v = row.values.find(counter);
          std::string cell = v == row.values.end() ? "-" : Format(v->second);
          const double goal = Goal(operation, nodes, counter);
          if (goal > 0 && v != row.values.end()) {
            const bool met = v->second <= goal;
            allMet = allMet && met;
            cell += " [" + Format(goal) + (met ? "]  " : "]! ");
          } else {
            cell += "        ";
          }
          std::printf(" %13s", cell.c_str());
        }
        std::printf(" %6lld\n", static_cast<long long>(row.repetitions));
      }
    }
    std::printf("Edits: 114's time per edit in the reference column, 837's over 114's in the last.\n");
    std::printf(allMet ? "Every goal met.\n" : "A goal was missed (marked !).\n");
  }

 private:
  struct Row {
    std::string operation, nodes;
    int64_t repetitions = 0;
    std::map<std::string, double> values;
  };
  static std::string Format(double v) {
    char text[32];
    std::snprintf(text, sizeof text, v < 10 ? "%.2f" : "%.1f", v);
    return text;
  }
  std::map<std::string, Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  current.reset();
  if (keeper != nullptr) keeper->Release(0);
  benchmark::Shutdown();
  return 0;
}
