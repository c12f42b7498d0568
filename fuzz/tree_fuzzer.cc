// Both tree classes driven by one sequence of slot calls read from the
// input. Every call goes to a component 114 and a component 837 through
// their slot tables, and to a plain model of each:
//  - every result, and every entry written, must be the model's;
//  - after every call the root and the single links of every ID used so
//    far are compared, and the array model's links must hold no cycle;
//  - every list query runs three times: counting only (no buffer, 0), with
//    a buffer of exactly the count, and with the buffer and capacity the
//    input picks (none, negative, 0, short, exact, longer). The counts
//    agree, the entries agree, and nothing is written at or past the count
//    or the capacity (guard entries around every buffer);
//  - no list is longer than the number of distinct IDs used.
// Input: a byte picks the call, a byte per ID argument picks from kIds (IDs
// near 0, negative, around the array's steps of 1000, at its limit,
// INT32_MIN/MAX), a byte picks a depth, a capacity, a buffer.
#include <climits>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "rodarove/rodarove.h"
#include "tests/arraytree/array_tree_model.h"
#include "tests/maptree/map_tree_model.h"
#include "tests/support/tree_slots.h"

// An array tree's memory follows the slots it writes, so even its largest
// IDs fit; an allocation beyond 64 MB would fail (new(nothrow) gives null and
// the insertion is refused) rather than end the run.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

namespace {

using rodarove_fuzz::Guarded;
using rodarove_test::ArrayTreeModel;
using rodarove_test::TreeSlots;

constexpr int32_t kIds[32] = {
    1,    2,    3,    4,    5,    6,    7,    8,    9,         10,        11,        12,
    13,   14,   15,   16,   0,    -1,   -2,   -7,   999,       1000,      1001,      1999,
    2000, 2001, 4321, 178955999, 178956000, 178956001, INT32_MAX, INT32_MIN};
// How many of a call's ID arguments each call uses, by call number.
constexpr int kIdArguments[31] = {1, 1, 1, 2, 2, 2, 3, 3, 0, 1, 2, 2, 2, 2, 1, 1,
                                  1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0};
constexpr int32_t kDepths[8] = {0, 1, 2, 3, 4, -1, INT32_MAX, INT32_MIN};
constexpr int32_t kSentinel = 0x5eed5eed;
const NodePair kPairSentinel{kSentinel, kSentinel};

// A list answer: the count and the entries (pairs as two entries each).
struct Listed {
  int32_t count = 0;
  std::vector<int32_t> entries;
  bool operator==(const Listed& o) const { return count == o.count && entries == o.entries; }
};

std::string Show(const Listed& l) {
  std::string s = std::to_string(l.count) + ":";
  for (int32_t e : l.entries) s += " " + std::to_string(e);
  return s;
}

// The map tree model's answers in the shape of the slots.
class MapExpect {
 public:
  int32_t SetRoot(int32_t id) { return m_.SetRoot(id); }
  int32_t AppendChild(int32_t n, int32_t p) { return m_.Insert(n, p, 1); }
  int32_t PrependChild(int32_t n, int32_t p) { return m_.Insert(n, p, 0); }
  int32_t InsertAfter(int32_t n, int32_t p, int32_t r) { return m_.InsertBy(n, p, r, true); }
  int32_t InsertBefore(int32_t n, int32_t p, int32_t r) { return m_.InsertBy(n, p, r, false); }
  int32_t Clear() { return m_.Clear(); }
  int32_t RemoveNode(int32_t id) { return m_.Remove(id); }
  int32_t Move(int slot, int32_t id, int32_t dest) {
    return m_.Move(slot - kSlotMoveToFirstChild, id, dest);
  }
  int32_t Exists(int32_t id) { return m_.Has(id) ? 1 : 0; }
  int32_t IsLeaf(int32_t id) { return m_.Has(id) && m_.kids.at(id).empty() ? 1 : 0; }
  int32_t IsChild(int32_t id, int32_t p) {
    return m_.Has(id) && m_.HasParent(id) && m_.parent.at(id) == p ? 1 : 0;
  }
  int32_t ParentLink(int32_t id) { return m_.HasParent(id) ? m_.parent.at(id) : 0; }
  int32_t GetRoot(int32_t* out) {
    if (!m_.hasRoot) return 0;
    *out = m_.root;
    return 1;
  }
  int32_t Link(int slot, int32_t id, int32_t* out) {
    if (!m_.Has(id)) return -1;
    bool found = false;
    switch (slot) {
      case kSlotGetParent:
        found = m_.HasParent(id);
        if (found) *out = m_.parent.at(id);
        break;
      case kSlotGetLastChild:
        found = !m_.kids.at(id).empty();
        if (found) *out = m_.kids.at(id).back();
        break;
      case kSlotGetFirstChild: found = m_.First(id, out); break;
      case kSlotGetPrevSibling: found = m_.Prev(id, out); break;
      default: found = m_.Next(id, out); break;
    }
    return found ? 1 : 0;
  }
  Listed List(int slot, int32_t id) {
    rodarove_test::Answer a = rodarove_test::ListAnswer(m_, slot, id);
    return {a.count, a.list};
  }
  Listed AtDepth(int32_t depth, int32_t id) {
    rodarove_test::Answer a = rodarove_test::DepthAnswer(m_, depth, id);
    return {a.count, a.list};
  }
  Listed Descendants(int32_t id) {
    if (!m_.Has(id)) return {-1, {}};
    return Pairs(id);
  }
  Listed AllNodes(int32_t* root) {
    if (!m_.hasRoot) return {0, {}};
    *root = m_.root;
    Listed l = Pairs(m_.root);
    ++l.count;
    return l;
  }
  std::string Cycle(const std::vector<int32_t>&) { return ""; }

 private:
  Listed Pairs(int32_t below) {
    std::vector<NodePair> pairs;
    int32_t first;
    if (m_.First(below, &first)) m_.Pairs(first, &pairs);
    Listed l{static_cast<int32_t>(pairs.size()), {}};
    for (const NodePair& p : pairs) l.entries.insert(l.entries.end(), {p.id, p.parent});
    return l;
  }
  rodarove_test::Model m_;
};

// The array tree model's answers in the same shape.
class ArrayExpect {
 public:
  int32_t SetRoot(int32_t id) { return m_.SetRoot(id); }
  int32_t AppendChild(int32_t n, int32_t p) { return m_.AppendChild(n, p); }
  int32_t PrependChild(int32_t n, int32_t p) { return m_.PrependChild(n, p); }
  int32_t InsertAfter(int32_t n, int32_t p, int32_t r) { return m_.InsertAfter(n, p, r); }
  int32_t InsertBefore(int32_t n, int32_t p, int32_t r) { return m_.InsertBefore(n, p, r); }
  int32_t Clear() { return m_.Clear(); }
  int32_t RemoveNode(int32_t id) { return m_.RemoveNode(id); }
  int32_t Move(int slot, int32_t id, int32_t dest) {
    switch (slot) {
      case kSlotMoveToFirstChild: return m_.MoveToFirstChild(id, dest);
      case kSlotMoveToLastChild: return m_.MoveToLastChild(id, dest);
      case kSlotMoveBefore: return m_.MoveBefore(id, dest);
      default: return m_.MoveAfter(id, dest);
    }
  }
  int32_t Exists(int32_t id) { return m_.Exists(id); }
  int32_t IsLeaf(int32_t id) { return m_.IsLeaf(id); }
  int32_t IsChild(int32_t id, int32_t p) { return m_.IsChild(id, p); }
  int32_t ParentLink(int32_t id) { return m_.InRange(id) ? m_.slot(id).parent : 0; }
  int32_t GetRoot(int32_t* out) { return m_.GetRoot(out); }
  int32_t Link(int slot, int32_t id, int32_t* out) {
    switch (slot) {
      case kSlotGetParent: return m_.GetParent(id, out);
      case kSlotGetLastChild: return m_.GetLastChild(id, out);
      case kSlotGetFirstChild: return m_.GetFirstChild(id, out);
      case kSlotGetPrevSibling: return m_.GetPrevSibling(id, out);
      default: return m_.GetNextSibling(id, out);
    }
  }
  Listed List(int slot, int32_t id) {
    return Collect([&](int32_t* b, int32_t cap) {
      switch (slot) {
        case kSlotGetPathFromRoot: return m_.GetPathFromRoot(id, b, cap);
        case kSlotGetPathToRoot: return m_.GetPathToRoot(id, b, cap);
        case kSlotGetSiblings: return m_.GetSiblings(id, b, cap);
        case kSlotGetLeaves: return m_.GetLeaves(id, b, cap);
        default: return m_.GetSiblingsWithSelf(id, b, cap);
      }
    }, 1);
  }
  Listed AtDepth(int32_t depth, int32_t id) {
    return Collect([&](int32_t* b, int32_t cap) { return m_.GetNodesAtDepth(depth, id, b, cap); },
                   1);
  }
  Listed Descendants(int32_t id) {
    return Collect([&](int32_t* b, int32_t cap) {
      return m_.GetDescendants(id, reinterpret_cast<NodePair*>(b), cap);
    }, 2);
  }
  Listed AllNodes(int32_t* root) {
    Listed l = Collect([&](int32_t* b, int32_t cap) {
      return m_.GetAllNodes(root, reinterpret_cast<NodePair*>(b), cap);
    }, 2);
    if (l.count > 0) l.entries.resize(2 * static_cast<size_t>(l.count - 1));
    return l;
  }
  std::string Cycle(const std::vector<int32_t>& ids) { return m_.FindCycle(ids); }

 private:
  // Count, then fill a buffer of that many entries of `width` words. A
  // walk of the model that meets a cycle is a failure of its own.
  template <typename Call>
  Listed Collect(Call call, size_t width) {
    try {
      Listed l;
      l.count = call(nullptr, 0);
      if (l.count > 0) {
        l.entries.assign(width * static_cast<size_t>(l.count), 0);
        call(l.entries.data(), l.count);
      }
      return l;
    } catch (ArrayTreeModel::Cyclic&) {
      FUZZ_CHECK(false, "the array model walked a cycle");
    }
  }
  ArrayTreeModel m_;
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool More() const { return p_ < end_; }
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// One decoded call, applied to both classes.
struct Call {
  int op;
  int32_t a, b, c;
  int32_t depth;
  uint8_t capacity, buffer;
};

// How the third run of a list query passes its buffer.
struct BufferChoice {
  bool present;
  int32_t capacity;
};

BufferChoice ChooseBuffer(const Call& call, int32_t entries) {
  static const int32_t kNullCaps[] = {0, 1, 5, INT32_MAX};
  switch (call.buffer % 4) {
    case 0: return {false, kNullCaps[call.capacity % 4]};
    case 1: return {true, call.capacity % 2 == 0 ? -1 : INT32_MIN};
    default: {
      const int32_t kOffsets[] = {0, -1, 1, 5, -3};
      int32_t cap = call.buffer % 4 == 2 ? call.capacity % 4
                                         : entries + kOffsets[call.capacity % 5];
      return {true, cap < 0 ? 0 : cap};
    }
  }
}

// One component and its model.
template <class Expect>
class Subject {
 public:
  Subject(const char* name, int32_t componentId) : name_(name), componentId_(componentId) {
    Create();
  }
  ~Subject() { t_.Release(); }

  void Apply(const Call& call, const std::set<int32_t>& used) {
    used_ = static_cast<int32_t>(used.size());
    const int32_t a = call.a, b = call.b, c = call.c;
    id_ = a;
    switch (call.op) {
      case 0: Same("SetRoot", t_.SetRoot(a), e_.SetRoot(a)); break;
      case 1: Same("IsLeaf", t_.IsLeaf(a), e_.IsLeaf(a)); break;
      case 2: Same("Exists", t_.Exists(a), e_.Exists(a)); break;
      case 3: Same("IsChild", t_.IsChild(a, b), e_.IsChild(a, b)); break;
      case 4: Same("AppendChild", t_.AppendChild(a, b), e_.AppendChild(a, b)); break;
      case 5: Same("PrependChild", t_.PrependChild(a, b), e_.PrependChild(a, b)); break;
      case 6: Same("InsertAfter", t_.InsertAfter(a, b, c), e_.InsertAfter(a, b, c)); break;
      case 7: Same("InsertBefore", t_.InsertBefore(a, b, c), e_.InsertBefore(a, b, c)); break;
      case 8: Same("Clear", t_.Clear(), e_.Clear()); break;
      case 9: Same("RemoveNode", t_.RemoveNode(a), e_.RemoveNode(a)); break;
      case 10: case 11: case 12: case 13:
        Same("Move", t_.Move(kSlotMoveToFirstChild + call.op - 10, a, b),
             e_.Move(kSlotMoveToFirstChild + call.op - 10, a, b));
        break;
      case 14: case 15: case 16: case 17: case 18: {
        static const int kSlots[] = {kSlotGetPathFromRoot, kSlotGetPathToRoot, kSlotGetSiblings,
                                     kSlotGetLeaves, kSlotGetSiblingsWithSelf};
        const int slot = kSlots[call.op - 14];
        Listed got = RunList<int32_t>(call, 1, kSentinel, [&](int32_t* buf, int32_t cap) {
          return t_.List(slot, a, buf, cap);
        });
        SameList("list query", slot, a, got, e_.List(slot, a));
        break;
      }
      case 19: {
        Listed got = RunList<int32_t>(call, 1, kSentinel, [&](int32_t* buf, int32_t cap) {
          return t_.GetNodesAtDepth(call.depth, a, buf, cap);
        });
        SameList("GetNodesAtDepth", call.depth, a, got, e_.AtDepth(call.depth, a));
        break;
      }
      case 20: {
        Listed got = RunList<NodePair>(call, 2, kPairSentinel, [&](NodePair* p, int32_t cap) {
          return t_.GetDescendants(a, p, cap);
        });
        SameList("GetDescendants", 0, a, got, e_.Descendants(a));
        break;
      }
      case 21: {
        int32_t root = kSentinel, expectedRoot = kSentinel;
        const bool withRoot = call.buffer % 2 == 0;
        Listed got = RunList<NodePair>(call, 2, kPairSentinel, [&](NodePair* p, int32_t cap) {
          return t_.GetAllNodes(withRoot ? &root : nullptr, p, cap);
        });
        Listed want = e_.AllNodes(&expectedRoot);
        SameList("GetAllNodes", 0, 0, got, want);
        Same("GetAllNodes root", withRoot ? root : expectedRoot, expectedRoot);
        break;
      }
      case 22: {
        int32_t out = kSentinel, expected = kSentinel;
        Same("GetRoot", t_.GetRoot(&out), e_.GetRoot(&expected));
        Same("GetRoot out", out, expected);
        break;
      }
      case 23: case 24: case 25: case 26: case 27: {
        const int slot = kSlotGetParent + call.op - 23;
        int32_t out = kSentinel, expected = kSentinel;
        Same("single link", t_.Link(slot, a, &out), e_.Link(slot, a, &expected));
        Same("single link out", out, expected);
        break;
      }
      case 28: {
        rodarove_test::CallSlot<void>(t_.object(), kSlotSetAutoFree, a);
        Same("GetAutoFree", rodarove_test::CallSlot<int32_t>(t_.object(), kSlotGetAutoFree), a);
        rodarove_test::CallSlot<void>(t_.object(), kSlotOnFinalRelease);
        break;
      }
      case 29: {
        // The registry path: a given path is copied when it fits.
        static const std::string kLong(300, 'r');
        const char* paths[] = {nullptr, "", "x.ini", kLong.c_str()};
        const char* path = paths[call.buffer % 4];
        const int32_t cap = static_cast<int32_t>(call.capacity % 8) - 1;
        Guarded<char> out(cap > 0 ? static_cast<size_t>(cap) : 0, '#');
        rodarove_test::CallSlot<void>(t_.object(), kSlotGetDllRegistry, path, out.data(), cap);
        const size_t n = cap > 0 ? static_cast<size_t>(cap) : 0;
        FUZZ_CHECK(out.UntouchedFrom(n), "%s: GetDllRegistry wrote outside %d bytes", name_, cap);
        const bool fits = path != nullptr && path[0] != '\0' && std::strlen(path) < n;
        FUZZ_CHECK(!fits || std::strcmp(out.data(), path) == 0, "%s: GetDllRegistry", name_);
        break;
      }
      default: {  // a new component in place of this one
        t_.Release();
        e_ = Expect();
        Create();
        break;
      }
    }
  }

  // The root, and every single link of every ID used, as the model has them.
  void Compare(const std::set<int32_t>& used) {
    int32_t out = kSentinel, expected = kSentinel;
    Same("GetRoot", t_.GetRoot(&out), e_.GetRoot(&expected));
    Same("GetRoot out", out, expected);
    for (int32_t id : used) {
      id_ = id;
      Same("Exists", t_.Exists(id), e_.Exists(id));
      Same("IsLeaf", t_.IsLeaf(id), e_.IsLeaf(id));
      const int32_t p = e_.ParentLink(id);
      Same("IsChild of its parent link", t_.IsChild(id, p), e_.IsChild(id, p));
      for (int slot = kSlotGetParent; slot <= kSlotGetNextSibling; ++slot) {
        out = kSentinel;
        expected = kSentinel;
        Same("single link", t_.Link(slot, id, &out), e_.Link(slot, id, &expected));
        Same("single link out", out, expected);
      }
    }
    id_ = 0;
    const std::string cycle = e_.Cycle(std::vector<int32_t>(used.begin(), used.end()));
    FUZZ_CHECK(cycle.empty(), "%s: %s", name_, cycle.c_str());
  }

 private:
  void Create() {
    t_ = TreeSlots(CreateComponent(componentId_, 0));
    FUZZ_CHECK(t_.object() != nullptr, "CreateComponent(%d) failed", componentId_);
  }

  void Same(const char* what, int64_t got, int64_t want) {
    FUZZ_CHECK(got == want, "%s: %s (ID %d) gave %lld, the model %lld", name_, what, id_,
               static_cast<long long>(got), static_cast<long long>(want));
  }
  void SameList(const char* what, int32_t arg, int32_t id, const Listed& got,
                const Listed& want) {
    FUZZ_CHECK(got == want, "%s: %s (%d, ID %d) gave %s, the model %s", name_, what, arg, id,
               Show(got).c_str(), Show(want).c_str());
  }

  // Runs a list query counting only, with an exact buffer and with the
  // input's buffer; returns the count and the entries of the exact run.
  // `width` is the number of words of an entry.
  template <typename T, typename Query>
  Listed RunList(const Call& call, size_t width, T sentinel, Query query) {
    const int32_t count = query(nullptr, 0);
    FUZZ_CHECK(count >= -1 && count <= used_, "%s: a list of %d from %d IDs used", name_, count,
               used_);
    // GetAllNodes counts the root, which is not among its pairs.
    const bool allNodes = call.op == 21;
    const int32_t entries = count <= 0 ? 0 : (allNodes ? count - 1 : count);
    const size_t n = static_cast<size_t>(entries);
    Guarded<T> exact(n, sentinel);
    FUZZ_CHECK(query(exact.data(), entries) == count, "%s: the count changed with a buffer",
               name_);
    FUZZ_CHECK(exact.UntouchedFrom(n), "%s: wrote at or past the count %d", name_, entries);

    const BufferChoice choice = ChooseBuffer(call, entries);
    const size_t size = choice.present && choice.capacity > 0 ? static_cast<size_t>(choice.capacity) : 0;
    Guarded<T> chosen(size, sentinel);
    FUZZ_CHECK(query(choice.present ? chosen.data() : nullptr, choice.capacity) == count,
               "%s: the count changed with capacity %d", name_, choice.capacity);
    const size_t written = size < n ? size : n;
    for (size_t k = 0; k < written; ++k) {
      FUZZ_CHECK(std::memcmp(&chosen[k], &exact[k], sizeof(T)) == 0,
                 "%s: entry %zu differs at capacity %d", name_, k, choice.capacity);
    }
    FUZZ_CHECK(chosen.UntouchedFrom(written), "%s: wrote past %zu entries at capacity %d",
               name_, written, choice.capacity);

    Listed l{count, {}};
    for (size_t k = 0; k < n; ++k) {
      const int32_t* words = reinterpret_cast<const int32_t*>(&exact[k]);
      l.entries.insert(l.entries.end(), words, words + width);
    }
    return l;
  }

  const char* name_;
  int32_t componentId_;
  TreeSlots t_;
  Expect e_;
  int32_t used_ = 0;
  int32_t id_ = 0;
};

// Keeps the module's live table from emptying, so that no release of a
// tree looks for the factory module.
void KeepModuleBusy() {
  static IComponent* keeper = CreateComponent(114, 0);
  FUZZ_CHECK(keeper != nullptr, "no keeper component");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KeepModuleBusy();
  Input in(data, size);
  Subject<MapExpect> map("map tree", 114);
  Subject<ArrayExpect> array("array tree", 837);
  std::set<int32_t> used;
  while (in.More()) {
    Call call{};
    call.op = in.Byte() % 31;
    call.a = kIds[in.Byte() % 32];
    call.b = kIds[in.Byte() % 32];
    call.c = kIds[in.Byte() % 32];
    call.depth = kDepths[in.Byte() % 8];
    call.capacity = in.Byte();
    call.buffer = in.Byte();
    const int32_t ids[3] = {call.a, call.b, call.c};
    used.insert(ids, ids + kIdArguments[call.op]);
    map.Apply(call, used);
    array.Apply(call, used);
    map.Compare(used);
    array.Compare(used);
  }
  return 0;
}
