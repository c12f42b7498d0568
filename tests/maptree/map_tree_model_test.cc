// Randomized model check of component 114 through the built library, by slot
// number. A plain model (parent and ordered child list per node) takes the
// same random edits; after every step every query on every ID of a small
// range (0 and negative IDs included) is compared, so a refused edit that
// changed anything is caught as well. The list queries are checked against
// direct recursive transcriptions of their definitions.
//
// RODAROVE_SEED fixes the seed (printed on every run); RODAROVE_MODEL_STEPS
// sets the number of edits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/maptree/map_tree_model.h"
#include "tests/maptree/slot_tree.h"
#include "tests/support/module_loader.h"

namespace {

using rodarove_test::Answer;
using rodarove_test::DepthAnswer;
using rodarove_test::ListAnswer;
using rodarove_test::Model;
using rodarove_test::SlotTree;
using V = std::vector<int32_t>;

constexpr int32_t kLowId = -3;
constexpr int32_t kHighId = 8;  // IDs kLowId..kHighId, twelve of them
constexpr int32_t kSentinel = 0x5A5A5A5A;

// Default number of edits: a few seconds of checking, in every build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr uint64_t kDefaultSteps = 40000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr uint64_t kDefaultSteps = 40000;
#else
constexpr uint64_t kDefaultSteps = 200000;
#endif
#else
constexpr uint64_t kDefaultSteps = 200000;
#endif

uint64_t EnvOr(const char* name, uint64_t fallback) {
  const char* s = std::getenv(name);
  return s != nullptr && *s != '\0' ? std::strtoull(s, nullptr, 10) : fallback;
}

class Checker {
 public:
  Checker(SlotTree t, Model* m, std::mt19937_64* rng) : t_(t), m_(*m), rng_(*rng) {}

  // Compares everything; returns false (with a gtest failure) on the first
  // difference.
  bool CheckAll(const std::string& context) {
    context_ = &context;
    int32_t out = kSentinel;
    int32_t r = t_.GetRoot(&out);
    if (!Same("GetRoot", 0, m_.hasRoot ? 1 : 0, r)) return false;
    if (m_.hasRoot && !Same("GetRoot out", 0, m_.root, out)) return false;
    if (!m_.hasRoot && !Same("GetRoot out untouched", 0, kSentinel, out)) return false;
    if (!CheckAllNodes()) return false;
    for (int32_t id = kLowId; id <= kHighId; ++id) {
      if (!CheckId(id)) return false;
    }
    return true;
  }

 private:
  bool Same(const char* what, int32_t id, int64_t expected, int64_t actual) {
    if (expected == actual) return true;
    ADD_FAILURE() << *context_ << ": " << what << "(" << id << ") expected " << expected
                  << ", got " << actual;
    return false;
  }

  int32_t Capacity(int32_t length) {
    switch (rng_() % 6) {
      case 0: return -1;
      case 1: return 0;
      case 2: return static_cast<int32_t>(rng_() % 3);
      case 3: return std::max(0, length - 1);
      default: return length + static_cast<int32_t>(rng_() % 3);
    }
  }

  // Calls an ID-list query with a random capacity and a guarded buffer (or
  // none) and checks the count and every position of the buffer.
  template <typename Call>
  bool CheckBuffer(const char* what, int32_t id, const Answer& a, Call call) {
    const int32_t length = static_cast<int32_t>(a.list.size());
    const int32_t cap = Capacity(length);
    const bool present = rng_() % 8 != 0;
    V buf(static_cast<size_t>(std::max(cap, 0)) + 2, kSentinel);
    int32_t r = call(present ? buf.data() : nullptr, cap);
    if (!Same(what, id, a.count, r)) return false;
    for (int32_t k = 0; k < static_cast<int32_t>(buf.size()); ++k) {
      int32_t want = present && k < cap && k < length ? a.list[static_cast<size_t>(k)] : kSentinel;
      if (want != buf[static_cast<size_t>(k)]) {
        ADD_FAILURE() << *context_ << ": " << what << "(" << id << ") capacity " << cap
                      << " position " << k << " expected " << want << ", got "
                      << buf[static_cast<size_t>(k)];
        return false;
      }
    }
    return true;
  }

  template <typename Call>
  bool CheckPairs(const char* what, int32_t id, int32_t count, const std::vector<NodePair>& want,
                  Call call) {
    V flat;
    for (const NodePair& p : want) {
      flat.push_back(p.id);
      flat.push_back(p.parent);
    }
    const int32_t length = static_cast<int32_t>(want.size());
    const int32_t cap = Capacity(length);
    const bool present = rng_() % 8 != 0;
    std::vector<NodePair> buf(static_cast<size_t>(std::max(cap, 0)) + 2,
                              NodePair{kSentinel, kSentinel});
    int32_t r = call(present ? buf.data() : nullptr, cap);
    if (!Same(what, id, count, r)) return false;
    for (int32_t k = 0; k < static_cast<int32_t>(buf.size()); ++k) {
      NodePair w = present && k < cap && k < length ? want[static_cast<size_t>(k)]
                                                    : NodePair{kSentinel, kSentinel};
      const NodePair& got = buf[static_cast<size_t>(k)];
      if (!(w == got)) {
        ADD_FAILURE() << *context_ << ": " << what << "(" << id << ") capacity " << cap
                      << " position " << k << " expected (" << w.id << ", " << w.parent
                      << "), got (" << got.id << ", " << got.parent << ")";
        return false;
      }
    }
    return true;
  }

  bool CheckAllNodes() {
    std::vector<NodePair> want;
    int32_t count = 0;
    if (m_.hasRoot) {
      int32_t f;
      if (m_.First(m_.root, &f)) m_.Pairs(f, &want);
      count = static_cast<int32_t>(want.size()) + 1;
      if (!Same("node count", 0, static_cast<int64_t>(m_.kids.size()), count)) return false;
    }
    int32_t rootOut = kSentinel;
    bool withRoot = rng_() % 2 == 0;
    if (!CheckPairs("GetAllNodes", 0, count, want, [&](NodePair* p, int32_t cap) {
          return t_.GetAllNodes(withRoot ? &rootOut : nullptr, p, cap);
        })) {
      return false;
    }
    int32_t wantRoot = m_.hasRoot && withRoot ? m_.root : kSentinel;
    return Same("GetAllNodes rootOut", 0, wantRoot, rootOut);
  }

  bool CheckId(int32_t id) {
    const bool has = m_.Has(id);
    int32_t x = 0;
    if (!Same("Exists", id, has ? 1 : 0, t_.Exists(id))) return false;
    if (!Same("IsLeaf", id, has && !m_.First(id, &x) ? 1 : 0, t_.IsLeaf(id))) return false;
    int32_t p = kLowId + static_cast<int32_t>(rng_() % (kHighId - kLowId + 1));
    if (has && m_.HasParent(id) && rng_() % 2 == 0) p = m_.parent.at(id);
    bool isChild = has && m_.HasParent(id) && m_.parent.at(id) == p;
    if (!Same("IsChild", id, isChild ? 1 : 0, t_.IsChild(id, p))) return false;

    // Single links.
    for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
      int32_t want = 0;
      int32_t wantOut = kSentinel;
      if (!has) {
        want = -1;
      } else {
        bool found = false;
        switch (slot) {
          case kSlotGetParent:
            found = m_.HasParent(id);
            if (found) wantOut = m_.parent.at(id);
            break;
          case kSlotGetLastChild:
            found = !m_.kids.at(id).empty();
            if (found) wantOut = m_.kids.at(id).back();
            break;
          case kSlotGetFirstChild:
            found = m_.First(id, &wantOut);
            break;
          case kSlotGetPrevSibling:
            found = m_.Prev(id, &wantOut);
            break;
          case kSlotGetNextSibling:
            found = m_.Next(id, &wantOut);
            break;
        }
        want = found ? 1 : 0;
        if (!found) wantOut = kSentinel;
      }
      int32_t out = kSentinel;
      bool useNull = rng_() % 8 == 0;
      int32_t r = t_.Link(slot, id, useNull ? nullptr : &out);
      if (!Same("link slot", id, want, r)) return false;
      if (!useNull && !Same("link slot out", id, wantOut, out)) return false;
    }

    for (int slot : {kSlotGetPathFromRoot, kSlotGetPathToRoot, kSlotGetSiblings, kSlotGetLeaves,
                     kSlotGetSiblingsWithSelf}) {
      Answer a = ListAnswer(m_, slot, id);
      if (!CheckBuffer("list slot", id, a, [&](int32_t* b, int32_t cap) {
            return t_.List(slot, id, b, cap);
          })) {
        ADD_FAILURE() << "slot " << slot;
        return false;
      }
    }
    for (int32_t depth = -1; depth <= 4; ++depth) {
      Answer a = DepthAnswer(m_, depth, id);
      if (!CheckBuffer("GetNodesAtDepth", id, a, [&](int32_t* b, int32_t cap) {
            return t_.GetNodesAtDepth(depth, id, b, cap);
          })) {
        ADD_FAILURE() << "depth " << depth;
        return false;
      }
    }
    std::vector<NodePair> want;
    int32_t count = -1;
    if (has) {
      if (m_.First(id, &x)) m_.Pairs(x, &want);
      count = static_cast<int32_t>(want.size());
    }
    return CheckPairs("GetDescendants", id, count, want, [&](NodePair* b, int32_t cap) {
      return t_.GetDescendants(id, b, cap);
    });
  }

  SlotTree t_;
  Model& m_;
  std::mt19937_64& rng_;
  const std::string* context_ = nullptr;
};

class Driver {
 public:
  Driver(SlotTree t, uint64_t seed) : t_(t), rng_(seed), checker_(t, &m_, &rng_) {}

  int32_t AnyId() { return kLowId + static_cast<int32_t>(rng_() % (kHighId - kLowId + 1)); }
  // Usually a stored node, so that most edits are valid ones.
  int32_t SomeNode() {
    if (m_.kids.empty() || rng_() % 5 == 0) return AnyId();
    auto it = m_.kids.begin();
    std::advance(it, static_cast<ptrdiff_t>(rng_() % m_.kids.size()));
    return it->first;
  }
  int32_t SomeChildOf(int32_t p) {
    if (!m_.Has(p) || m_.kids.at(p).empty() || rng_() % 6 == 0) return SomeNode();
    const V& r = m_.kids.at(p);
    return r[rng_() % r.size()];
  }

  // One random edit on both sides; returns a description.
  std::string Step() {
    std::ostringstream d;
    int32_t want = 0;
    int32_t got = 0;
    unsigned op = static_cast<unsigned>(rng_() % 100);
    if (!m_.hasRoot && op < 60) op = 0;
    if (op < 2) {
      int32_t id = AnyId();
      d << "SetRoot(" << id << ")";
      want = m_.SetRoot(id);
      got = t_.SetRoot(id);
    } else if (op < 3) {
      d << "Clear()";
      want = m_.Clear();
      got = t_.Clear();
    } else if (op < 18) {
      int32_t n = AnyId();
      int32_t p = SomeNode();
      d << "AppendChild(" << n << ", " << p << ")";
      want = m_.Insert(n, p, 1);
      got = t_.AppendChild(n, p);
    } else if (op < 30) {
      int32_t n = AnyId();
      int32_t p = SomeNode();
      d << "PrependChild(" << n << ", " << p << ")";
      want = m_.Insert(n, p, 0);
      got = t_.PrependChild(n, p);
    } else if (op < 52) {
      bool after = op < 41;
      int32_t n = AnyId();
      int32_t p = SomeNode();
      int32_t r = SomeChildOf(p);
      d << (after ? "InsertAfter(" : "InsertBefore(") << n << ", " << p << ", " << r << ")";
      want = m_.InsertBy(n, p, r, after);
      got = after ? t_.InsertAfter(n, p, r) : t_.InsertBefore(n, p, r);
    } else if (op < 57) {
      int32_t id = SomeNode();
      if (id == m_.root && rng_() % 8 != 0) id = SomeNode();  // keep trees growing
      d << "RemoveNode(" << id << ")";
      want = m_.Remove(id);
      got = t_.RemoveNode(id);
    } else {
      static const int kSlots[4] = {kSlotMoveToFirstChild, kSlotMoveToLastChild, kSlotMoveBefore,
                                    kSlotMoveAfter};
      static const char* kNames[4] = {"MoveToFirstChild", "MoveToLastChild", "MoveBefore",
                                      "MoveAfter"};
      int kind = static_cast<int>(rng_() % 4);
      int32_t id = SomeNode();
      int32_t dest = SomeNode();
      d << kNames[kind] << "(" << id << ", " << dest << ")";
      want = m_.Move(kind, id, dest);
      got = t_.Move(kSlots[kind], id, dest);
    }
    d << " -> " << got;
    if (got > 0) ++accepted_;
    if (want != got) {
      d << " (expected " << want << ")";
      mismatch_ = true;
    }
    return d.str();
  }

  // Runs `steps` edits, checking everything after each one.
  void Run(uint64_t steps, uint64_t seed) {
    std::vector<std::string> recent;
    uint64_t nodeSum = 0;
    for (uint64_t i = 0; i < steps; ++i) {
      std::string what = Step();
      nodeSum += m_.kids.size();
      recent.push_back(what);
      if (recent.size() > 12) recent.erase(recent.begin());
      std::ostringstream ctx;
      ctx << "seed " << seed << " step " << i << " after " << what;
      if (mismatch_) {
        std::ostringstream history;
        for (const std::string& r : recent) history << "\n  " << r;
        FAIL() << ctx.str() << ": result differs; recent edits:" << history.str();
      }
      if (!checker_.CheckAll(ctx.str())) {
        std::ostringstream history;
        for (const std::string& r : recent) history << "\n  " << r;
        FAIL() << "recent edits:" << history.str();
      }
    }
    std::printf("%llu edits, %llu done, %.2f nodes on average\n",
                static_cast<unsigned long long>(steps), static_cast<unsigned long long>(accepted_),
                steps != 0 ? static_cast<double>(nodeSum) / static_cast<double>(steps) : 0.0);
  }

 private:
  SlotTree t_;
  Model m_;
  std::mt19937_64 rng_;
  Checker checker_;
  bool mismatch_ = false;
  uint64_t accepted_ = 0;
};

TEST(MapTreeModel, RandomEditsMatchTheModel) {
  rodarove_test::ModuleExports e;
  void* lib = rodarove_test::LoadModule(&e);
  ASSERT_NE(lib, nullptr);
  const uint64_t seed = EnvOr("RODAROVE_SEED", std::random_device{}());
  const uint64_t steps = EnvOr("RODAROVE_MODEL_STEPS", kDefaultSteps);
  std::printf("map tree model check: RODAROVE_SEED=%llu RODAROVE_MODEL_STEPS=%llu\n",
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(steps));
  std::fflush(stdout);
  void* o = e.CreateComponent(114, 0);
  ASSERT_NE(o, nullptr);
  SlotTree t(o);
  Driver(t, seed).Run(steps, seed);
  t.Release();
}

}  // namespace
