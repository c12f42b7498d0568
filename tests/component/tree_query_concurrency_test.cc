// Many readers of one tree: four threads call every query slot in random
// order, with random arguments, on one tree of each class that no thread
// edits, and every answer must be the one the call gave alone before the
// threads started. The trees come through the built library and are
// driven by slot number. Component 114 holds 100,000 nodes with random
// IDs; component 837 a tree with removed parents, IDs in range that are
// not nodes and links left over in removed slots. Both have chains and
// wide rows, so that the walks outgrow their stacks' inline part and take
// blocks from the tree's spares, on several threads at once.
//
// Run under ThreadSanitizer (label concurrency) and valgrind's DRD.
// RODAROVE_SEED fixes the seed (printed on every run); RODAROVE_QUERY_SECONDS
// is how long the threads run on each tree (default 1).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <thread>
#include <unordered_set>
#include <vector>

#include "tests/support/module_loader.h"
#include "tests/support/tree_slots.h"

namespace {

using rodarove_test::TreeSlots;

constexpr int kThreads = 4;
constexpr int32_t kSentinel = 0x5eed5eed;

// One query: the slot, its ID arguments, and the array it gets: none
// (capacity -1), or one of `capacity` entries followed by sentinels.
struct Call {
  int slot;
  int32_t a;
  int32_t b;
  int32_t capacity;
  bool withOut;  // a pointer for the single answer (root, link)
};

// What a call answers, as one number: its result, the single answer and
// every word of the array up to eight beyond its capacity.
uint64_t Mix(uint64_t h, int32_t word) {
  return (h ^ static_cast<uint32_t>(word)) * 0x100000001b3ull;
}

// Pair arrays take two words per entry.
bool TakesPairs(int slot) { return slot == kSlotGetAllNodes || slot == kSlotGetDescendants; }
// The words of the array a call gets, sentinels included.
size_t WordsOf(const Call& c) {
  if (c.capacity < 0) return 0;
  const size_t entries = static_cast<size_t>(c.capacity) + 8;
  return c.slot == kSlotGetDllRegistry ? (entries + 3) / 4 : entries * (TakesPairs(c.slot) ? 2 : 1);
}

uint64_t Run(TreeSlots& t, const Call& c, std::vector<int32_t>& words) {
  const size_t n = WordsOf(c);
  std::fill(words.begin(), words.begin() + static_cast<ptrdiff_t>(n), kSentinel);
  int32_t* ids = c.capacity < 0 ? nullptr : words.data();
  NodePair* pairs = reinterpret_cast<NodePair*>(ids);
  const int32_t capacity = c.capacity < 0 ? 0 : c.capacity;
  int32_t out = kSentinel;
  int32_t* outp = c.withOut ? &out : nullptr;
  void* o = t.object();
  int32_t result = 0;
  switch (c.slot) {
    case kSlotGetComponentID:
    case kSlotGetVersion:
    case kSlotGetAutoFree:
      result = rodarove_test::CallSlot<int32_t>(o, c.slot);
      break;
    case kSlotIsLeaf:
    case kSlotExists:
      result = rodarove_test::CallSlot<int32_t>(o, c.slot, c.a);
      break;
    case kSlotIsChild:
      result = t.IsChild(c.a, c.b);
      break;
    case kSlotGetRoot:
      result = t.GetRoot(outp);
      break;
    case kSlotGetParent:
    case kSlotGetLastChild:
    case kSlotGetFirstChild:
    case kSlotGetPrevSibling:
    case kSlotGetNextSibling:
      result = t.Link(c.slot, c.a, outp);
      break;
    case kSlotGetAllNodes:
      result = t.GetAllNodes(outp, pairs, capacity);
      break;
    case kSlotGetDescendants:
      result = t.GetDescendants(c.a, pairs, capacity);
      break;
    case kSlotGetNodesAtDepth:
      result = t.GetNodesAtDepth(c.b, c.a, ids, capacity);
      break;
    case kSlotGetDllRegistry:
      // b chooses the path: none (the module's) or one of the caller's.
      rodarove_test::CallSlot<void>(o, c.slot, c.b != 0 ? "readers/path" : nullptr,
                                    reinterpret_cast<char*>(ids), capacity);
      break;
    default:  // the ID lists 21-24 and 32
      result = t.List(c.slot, c.a, ids, capacity);
      break;
  }
  uint64_t h = Mix(Mix(0xcbf29ce484222325ull, result), out);
  for (size_t i = 0; i < n; ++i) h = Mix(h, words[i]);
  return h;
}

// The IDs the calls take: nodes above all, and those the tree knows as
// not nodes.
struct IdPool {
  std::vector<int32_t> nodes;
  std::vector<int32_t> others;
  int32_t Pick(std::mt19937& rng) const {
    if (rng() % 4 != 0 || others.empty()) return nodes[rng() % nodes.size()];
    return others[rng() % others.size()];
  }
};

const int kQuerySlots[] = {kSlotGetComponentID, kSlotGetVersion, kSlotGetAutoFree,
                           kSlotIsLeaf, kSlotExists, kSlotIsChild, kSlotGetRoot,
                           kSlotGetParent, kSlotGetLastChild, kSlotGetFirstChild,
                           kSlotGetPrevSibling, kSlotGetNextSibling, kSlotGetPathFromRoot,
                           kSlotGetPathToRoot, kSlotGetSiblings, kSlotGetLeaves,
                           kSlotGetAllNodes, kSlotGetDllRegistry, kSlotGetSiblingsWithSelf,
                           kSlotGetDescendants, kSlotGetNodesAtDepth};

// `count` random calls; each array's capacity is chosen from the count the
// call answers (none, 0, a few, half, all, more than all).
std::vector<Call> RandomCalls(TreeSlots& t, const IdPool& ids, std::mt19937& rng, int count) {
  std::vector<Call> calls;
  while (static_cast<int>(calls.size()) < count) {
    Call c{kQuerySlots[rng() % (sizeof kQuerySlots / sizeof kQuerySlots[0])], ids.Pick(rng), 0,
           -1, rng() % 2 != 0};
    // The whole-tree walk from the root is the dearest call: kept rare.
    if (c.slot == kSlotGetAllNodes && rng() % 8 != 0) continue;
    if (c.slot == kSlotIsChild) {
      int32_t parent = ids.Pick(rng);
      if (rng() % 2 != 0) t.GetParent(c.a, &parent);
      c.b = parent;
    }
    if (c.slot == kSlotGetNodesAtDepth) c.b = static_cast<int32_t>(rng() % 16) - 1;
    if (c.slot == kSlotGetNodesAtDepth && rng() % 8 == 0) c.b = 40 + static_cast<int32_t>(rng() % 200);
    if (c.slot == kSlotGetDllRegistry) c.b = static_cast<int32_t>(rng() % 2);
    const bool listing = c.slot == kSlotGetAllNodes || c.slot == kSlotGetDescendants ||
                         c.slot == kSlotGetNodesAtDepth || c.slot == kSlotGetDllRegistry ||
                         (c.slot >= kSlotGetPathFromRoot && c.slot <= kSlotGetLeaves) ||
                         c.slot == kSlotGetSiblingsWithSelf;
    if (listing) {
      int32_t full = 300;  // the characters a registry path may take
      switch (c.slot) {
        case kSlotGetDllRegistry: break;
        case kSlotGetAllNodes: full = t.GetAllNodes(nullptr, nullptr, 0); break;
        case kSlotGetDescendants: full = t.GetDescendants(c.a, nullptr, 0); break;
        case kSlotGetNodesAtDepth: full = t.GetNodesAtDepth(c.b, c.a, nullptr, 0); break;
        default: full = t.List(c.slot, c.a, nullptr, 0); break;
      }
      full = std::max(full, 0);
      switch (rng() % 6) {
        case 0: c.capacity = -1; break;
        case 1: c.capacity = 0; break;
        case 2: c.capacity = static_cast<int32_t>(rng() % 8); break;
        case 3: c.capacity = full / 2; break;
        case 4: c.capacity = full; break;
        default: c.capacity = full + 3; break;
      }
    }
    calls.push_back(c);
  }
  return calls;
}

double EnvSeconds() {
  const char* s = std::getenv("RODAROVE_QUERY_SECONDS");
  return s != nullptr ? std::atof(s) : 1.0;
}

uint32_t Seed(const char* what) {
  const char* env = std::getenv("RODAROVE_SEED");
  const uint32_t seed =
      env != nullptr ? static_cast<uint32_t>(std::strtoul(env, nullptr, 10)) : std::random_device{}();
  std::printf("%s: RODAROVE_SEED=%" PRIu32 "\n", what, seed);
  return seed;
}

// Computes every call's answer alone, then runs kThreads threads that make
// the calls in random order until the time is up, and checks every answer.
void ExpectReadersAgree(TreeSlots& t, const IdPool& ids, std::mt19937& rng) {
  const std::vector<Call> calls = RandomCalls(t, ids, rng, 3000);
  size_t words = 1;
  for (const Call& c : calls) words = std::max(words, WordsOf(c));
  std::vector<uint64_t> alone;
  {
    std::vector<int32_t> buffer(words);
    for (const Call& c : calls) alone.push_back(Run(t, c, buffer));
  }
  std::atomic<int> ready{0};
  std::atomic<bool> stop{false};
  std::atomic<long> made{0};
  std::atomic<long> wrong{0};
  std::atomic<long> firstWrong{-1};
  const uint32_t base = rng();
  std::vector<std::thread> threads;
  for (int k = 0; k < kThreads; ++k) {
    threads.emplace_back([&, k] {
      std::mt19937 order(base + static_cast<uint32_t>(k));
      std::vector<int32_t> buffer(words);
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      long mine = 0;
      while (!stop.load(std::memory_order_relaxed)) {
        const size_t q = order() % calls.size();
        if (Run(t, calls[q], buffer) != alone[q]) {
          long none = -1;
          firstWrong.compare_exchange_strong(none, static_cast<long>(q));
          wrong.fetch_add(1);
        }
        ++mine;
      }
      made.fetch_add(mine);
    });
  }
  while (ready.load() < kThreads) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::duration<double>(EnvSeconds()));
  stop = true;
  for (std::thread& th : threads) th.join();
  std::printf("%ld calls on %d threads\n", made.load(), kThreads);
  EXPECT_GT(made.load(), static_cast<long>(kThreads));
  if (firstWrong.load() >= 0) {
    const Call& c = calls[static_cast<size_t>(firstWrong.load())];
    ADD_FAILURE() << wrong.load() << " answers differ from the answer alone; the first: slot "
                  << c.slot << " (" << c.a << ", " << c.b << "), capacity " << c.capacity;
  }
}

rodarove_test::ModuleExports& Module() {
  static rodarove_test::ModuleExports e;
  static void* lib = rodarove_test::LoadModule(&e);
  (void)lib;
  return e;
}

TreeSlots NewTree(int32_t componentId) {
  IComponent* c = Module().CreateComponent != nullptr ? Module().CreateComponent(componentId, 0)
                                                      : nullptr;
  return TreeSlots(c);
}

// Inserts newId under a random node, each way of inserting in turn; false
// when the tree refused it.
bool InsertSomewhere(TreeSlots& t, int32_t newId, int32_t parent, std::mt19937& rng) {
  int32_t ref = 0;
  const bool hasChild = t.GetFirstChild(parent, &ref) == 1;
  if (hasChild && rng() % 2 != 0) t.GetLastChild(parent, &ref);
  switch (rng() % 4) {
    case 0: return t.AppendChild(newId, parent) == 1;
    case 1: return t.PrependChild(newId, parent) == 1;
    case 2: return hasChild ? t.InsertAfter(newId, parent, ref) == 1 : t.AppendChild(newId, parent) == 1;
    default: return hasChild ? t.InsertBefore(newId, parent, ref) == 1 : t.PrependChild(newId, parent) == 1;
  }
}

// The parent of the next node: mostly a random node, often the last one
// (so that chains grow deep), sometimes the root (a wide row).
int32_t NextParent(const std::vector<int32_t>& nodes, std::mt19937& rng) {
  switch (rng() % 8) {
    case 0:
    case 1: return nodes.back();
    case 2: return nodes.front();
    default: return nodes[rng() % nodes.size()];
  }
}

std::vector<int32_t> AllNodes(TreeSlots& t) {
  int32_t root = 0;
  const int32_t n = t.GetAllNodes(&root, nullptr, 0);
  std::vector<NodePair> pairs(static_cast<size_t>(std::max(n - 1, 0)));
  t.GetAllNodes(&root, pairs.data(), n - 1);
  std::vector<int32_t> nodes{root};
  for (const NodePair& p : pairs) nodes.push_back(p.id);
  return nodes;
}

TEST(TreeQueryConcurrency, MapTreeOfRandomIdsAnswersEveryReaderAsAlone) {
  std::mt19937 rng(Seed("map tree readers"));
  TreeSlots t = NewTree(114);
  ASSERT_NE(t.object(), nullptr);
  std::vector<int32_t> nodes{static_cast<int32_t>(rng())};
  ASSERT_EQ(t.SetRoot(nodes[0]), 1);
  std::unordered_set<int32_t> seen{nodes[0]};
  while (nodes.size() < 100500) {
    const int32_t id = static_cast<int32_t>(rng());
    if (!seen.insert(id).second) continue;
    if (InsertSomewhere(t, id, NextParent(nodes, rng), rng)) nodes.push_back(id);
  }
  // Some moves and removals (each with its subtree), from the nodes added
  // last, which hold small subtrees.
  for (int i = 0; i < 300; ++i) {
    const int32_t id = nodes[nodes.size() - 1 - rng() % 5000];
    const int32_t dest = nodes[rng() % nodes.size()];
    if (rng() % 2 != 0) {
      t.MoveAfter(id, dest);
    } else {
      t.MoveToLastChild(id, dest);
    }
  }
  IdPool ids;
  for (int i = 0; i < 200; ++i) {
    const int32_t id = nodes[nodes.size() - 1 - rng() % 20000];
    if (t.RemoveNode(id) == 1) ids.others.push_back(id);
  }
  ids.nodes = AllNodes(t);
  ASSERT_GT(ids.nodes.size(), 99000u);
  for (int32_t id : {0, -1, 1, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max()}) {
    if (t.Exists(id) == 0) ids.others.push_back(id);
  }
  for (int i = 0; i < 100; ++i) ids.others.push_back(static_cast<int32_t>(rng()));
  ExpectReadersAgree(t, ids, rng);
  t.Release();
}

TEST(TreeQueryConcurrency, ArrayTreeWithNonNodesAnswersEveryReaderAsAlone) {
  std::mt19937 rng(Seed("array tree readers"));
  TreeSlots t = NewTree(837);
  ASSERT_NE(t.object(), nullptr);
  constexpr int32_t kRange = 150000;
  std::vector<int32_t> nodes{1 + static_cast<int32_t>(rng() % kRange)};
  ASSERT_EQ(t.SetRoot(nodes[0]), 1);
  while (nodes.size() < 100000) {
    // A few IDs far beyond the others, whose slots lie in pages of their own.
    const int32_t id = rng() % 500 == 0 ? 1000000 + static_cast<int32_t>(rng() % 4000000)
                                        : 1 + static_cast<int32_t>(rng() % kRange);
    if (InsertSomewhere(t, id, NextParent(nodes, rng), rng)) nodes.push_back(id);
  }
  for (int i = 0; i < 300; ++i) {
    const int32_t id = nodes[1 + rng() % (nodes.size() - 1)];
    const int32_t dest = nodes[rng() % nodes.size()];
    if (rng() % 2 != 0) {
      t.MoveBefore(id, dest);
    } else {
      t.MoveToFirstChild(id, dest);
    }
  }
  // Removed nodes: their children keep naming them, and their slots keep
  // their links. Some come back elsewhere, with nothing below them.
  IdPool ids;
  for (int i = 0; i < 3000; ++i) {
    const int32_t id = nodes[1 + rng() % (nodes.size() - 1)];
    if (t.RemoveNode(id) == 1) ids.others.push_back(id);
  }
  for (int i = 0; i < 500; ++i) {
    const int32_t id = ids.others[rng() % ids.others.size()];
    const int32_t parent = nodes[rng() % nodes.size()];
    t.AppendChild(id, parent);
  }
  std::sort(nodes.begin(), nodes.end());
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  for (int32_t id : nodes) {
    if (t.Exists(id) == 1) ids.nodes.push_back(id);
  }
  // In range and never nodes, then out of range.
  for (int i = 0; i < 200; ++i) {
    const int32_t id = 1 + static_cast<int32_t>(rng() % kRange);
    if (t.Exists(id) == 0) ids.others.push_back(id);
  }
  for (int32_t id : {0, -1, kRange * 40, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max()}) {
    ids.others.push_back(id);
  }
  ASSERT_GT(ids.nodes.size(), 90000u);
  ExpectReadersAgree(t, ids, rng);
  t.Release();
}

}  // namespace
