// A plain model of component 837 for the randomized check: the slot store,
// the edits step by step, and the queries as straightforward recursions
// over the slots. It is slow and simple on purpose; the module must give
// the same answers and write the same entries. Slots of IDs from 65,536 up
// are kept in a map, so that IDs up to the limit cost what they hold.
//
// Insertions are refused when the new node would become its own ancestor,
// so links never cycle; the walks still throw Cyclic when they come to a
// node a second time (or run longer than the slot count allows), and
// FindCycle looks for a cycle in the links themselves, for the checks that
// assert there is none.
#ifndef RODAROVE_TESTS_ARRAYTREE_ARRAY_TREE_MODEL_H_
#define RODAROVE_TESTS_ARRAYTREE_ARRAY_TREE_MODEL_H_

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rodarove/tree_container.h"

namespace rodarove_test {

class ArrayTreeModel {
 public:
  struct Cyclic {};
  struct Slot {
    int32_t used, parent, lastChild, firstChild, nextSibling, prevSibling;
  };
  static constexpr uint32_t kLimit = 178956000;

  uint32_t slot_count() const { return count_; }
  // The slot of any ID below the count (zero when never written).
  const Slot& slot(int32_t id) const { return slots_.Get(static_cast<uint32_t>(id)); }
  // Calls fn(id, slot) for every ID that may hold something, in order.
  template <typename Fn>
  void ForEachSlot(Fn fn) const {
    slots_.ForEach(fn);
  }

  // ---- store
  bool InRange(int32_t id) const { return id != 0 && static_cast<uint32_t>(id) < count_; }
  Slot* Find(int32_t id) { return InRange(id) && S(id).used ? &S(id) : nullptr; }
  bool Grow(int32_t id) {
    uint32_t u = static_cast<uint32_t>(id);
    if (u >= kLimit) return false;
    count_ = (u / 1000 + 1) * 1000;
    return true;
  }
  bool Fits(int32_t id) { return static_cast<uint32_t>(id) < count_ || Grow(id); }

  int32_t SetRoot(int32_t id) {
    if (id == 0 || !Fits(id) || hasRoot_) return 0;
    if (S(id).used) return 0;  // already a node
    rootId_ = id;
    hasRoot_ = 1;
    S(id) = Slot{};
    S(id).used = 1;
    return 1;
  }
  int32_t Clear() {
    slots_.Clear();
    hasRoot_ = 0;
    return 1;
  }
  int32_t GetRoot(int32_t* out) {
    if (!hasRoot_) return 0;
    if (out) *out = rootId_;
    return 1;
  }

  // ---- edits
  int32_t AppendChild(int32_t n, int32_t p) { return AddChild(n, p, true); }
  int32_t PrependChild(int32_t n, int32_t p) { return AddChild(n, p, false); }
  int32_t InsertAfter(int32_t n, int32_t p, int32_t r) {
    if (!InsertChecks(n, p, r)) return 0;
    Slot& ns = S(n);
    ns = Slot{1, p, 0, 0, S(r).nextSibling, r};
    S(S(r).nextSibling).prevSibling = n;  // slot 0 when r was last
    S(r).nextSibling = n;
    if (S(p).lastChild == r) S(p).lastChild = n;
    return 1;
  }
  int32_t InsertBefore(int32_t n, int32_t p, int32_t r) {
    if (!InsertChecks(n, p, r)) return 0;
    S(n) = Slot{1, p, 0, 0, r, S(r).prevSibling};
    S(S(r).prevSibling).nextSibling = n;
    S(r).prevSibling = n;
    if (S(p).firstChild == r) S(p).firstChild = n;
    return 1;
  }
  int32_t RemoveNode(int32_t id) {
    if (!Find(id)) return -1;
    Slot& s = S(id);
    if (s.prevSibling) S(s.prevSibling).nextSibling = s.nextSibling;
    if (s.nextSibling) S(s.nextSibling).prevSibling = s.prevSibling;
    if (s.parent) {
      if (S(s.parent).firstChild == id) S(s.parent).firstChild = s.nextSibling;
      if (S(s.parent).lastChild == id) S(s.parent).lastChild = s.prevSibling;
    }
    s.used = 0;
    if (id == rootId_) hasRoot_ = 0;
    return 1;
  }
  int32_t MoveToFirstChild(int32_t id, int32_t np) {
    if (!MoveAllowed(id, np, Find(np) != nullptr)) return 0;
    Detach(id);
    S(id).prevSibling = 0;
    S(id).parent = np;
    int32_t f = S(np).firstChild;
    S(id).nextSibling = f;
    if (f) S(f).prevSibling = id; else S(np).lastChild = id;
    S(np).firstChild = id;
    return 1;
  }
  int32_t MoveToLastChild(int32_t id, int32_t np) {
    if (!MoveAllowed(id, np, Find(np) != nullptr)) return 0;
    Detach(id);
    S(id).parent = np;
    S(id).nextSibling = 0;
    int32_t l = S(np).lastChild;
    if (l) {
      S(id).prevSibling = l;
      S(l).nextSibling = id;
    } else {
      S(id).prevSibling = 0;
      S(np).firstChild = id;
    }
    S(np).lastChild = id;
    return 1;
  }
  int32_t MoveBefore(int32_t id, int32_t r) {
    int32_t p = 0;
    if (!MoveAllowed(id, r, GetParent(r, &p) == 1)) return 0;
    Detach(id);
    S(id).parent = p;
    S(id).nextSibling = r;
    int32_t s = 0;
    if (GetPrevSibling(r, &s) == 1) S(s).nextSibling = id; else S(p).firstChild = id;
    S(id).prevSibling = S(r).prevSibling;
    S(r).prevSibling = id;
    return 1;
  }
  int32_t MoveAfter(int32_t id, int32_t r) {
    int32_t p = 0;
    if (!MoveAllowed(id, r, GetParent(r, &p) == 1)) return 0;
    Detach(id);
    S(id).parent = p;
    int32_t n = S(r).nextSibling;
    S(id).nextSibling = n;
    if (n) S(n).prevSibling = id;
    if (S(r).nextSibling == 0) S(p).lastChild = id;
    S(r).nextSibling = id;
    S(id).prevSibling = r;
    return 1;
  }

  // ---- structure checks over the given IDs (every ID that links can name)
  int32_t NodeCount(const std::vector<int32_t>& ids) {
    int32_t n = 0;
    for (int32_t id : ids) n += Find(id) ? 1 : 0;
    return n;
  }
  // A description of a cycle among the links of ids, or "" when there is
  // none: parent links between nodes, or the first-child links of nodes
  // with the next-sibling links of any slot (GetNextSibling reads those).
  std::string FindCycle(const std::vector<int32_t>& ids) {
    const uint64_t limit = ids.size() + 1;
    for (int32_t id : ids) {
      uint64_t steps = 0;
      for (int32_t cur = id; Find(cur); cur = S(cur).parent) {
        if (++steps > limit) return "parent links cycle through " + std::to_string(id);
      }
    }
    // Iterative depth-first search with colours: 1 on the stack, 2 done.
    std::map<int32_t, uint8_t> colour;
    for (int32_t start : ids) {
      if (!InRange(start) || colour[start] != 0) continue;
      std::vector<std::pair<int32_t, int>> stack{{start, 0}};
      colour[start] = 1;
      while (!stack.empty()) {
        auto& [x, edge] = stack.back();
        int32_t next = 0;
        if (edge == 0 && Find(x)) next = S(x).firstChild;
        if (edge == 1) next = S(x).nextSibling;
        if (edge == 2) {
          colour[x] = 2;
          stack.pop_back();
          continue;
        }
        ++edge;
        if (!InRange(next) || (edge == 1 && !Find(next))) continue;
        uint8_t& c = colour[next];
        if (c == 1) return "child and sibling links cycle through " + std::to_string(next);
        if (c == 0) {
          c = 1;
          stack.push_back({next, 0});
        }
      }
    }
    return "";
  }

  // ---- tests and single links
  int32_t IsLeaf(int32_t id) { return Find(id) && S(id).firstChild == 0 ? 1 : 0; }
  int32_t Exists(int32_t id) { return InRange(id) ? S(id).used : 0; }
  int32_t IsChild(int32_t id, int32_t p) {
    return InRange(id) && InRange(p) && S(id).parent == p ? 1 : 0;
  }
  int32_t GetParent(int32_t id, int32_t* out) { return NodeLink(id, &Slot::parent, out); }
  int32_t GetLastChild(int32_t id, int32_t* out) { return NodeLink(id, &Slot::lastChild, out); }
  int32_t GetFirstChild(int32_t id, int32_t* out) { return NodeLink(id, &Slot::firstChild, out); }
  int32_t GetPrevSibling(int32_t id, int32_t* out) {
    if (!Find(id)) return -1;
    return Answer(S(id).prevSibling, out);
  }
  int32_t GetNextSibling(int32_t id, int32_t* out) {
    if (!InRange(id)) return 0;
    return Answer(S(id).nextSibling, out);
  }

  // ---- list queries; entry k goes to buffer[k] when k < capacity.
  int32_t GetPathToRoot(int32_t id, int32_t* b, int32_t cap) {
    if (!Exists(id)) return -1;
    Begin();
    Put(b, cap, 0, id);
    int32_t n = 1;
    int32_t cur = id;
    for (;;) {
      if (!Find(cur)) break;
      Visit(cur);
      cur = S(cur).parent;
      if (cur == 0) break;
      Put(b, cap, n++, cur);
    }
    return n;
  }
  int32_t GetPathFromRoot(int32_t id, int32_t* b, int32_t cap) {
    Begin();
    return PathFromRoot(id, b, cap);
  }
  int32_t GetSiblings(int32_t id, int32_t* b, int32_t cap) {
    if (!Find(id)) return -1;
    int32_t p = S(id).parent;
    if (p == 0) return 0;
    int32_t cur = 0;
    if (GetFirstChild(p, &cur) != 1) return 0;  // parent lists nobody: as no parent
    Begin();
    int32_t listed = 0;
    if (cur != id) Put(b, cap, listed++, cur);
    for (;;) {
      if (InRange(cur)) Visit(cur);
      int32_t next = 0;
      if (GetNextSibling(cur, &next) != 1) return listed;
      cur = next;
      if (cur != id) Put(b, cap, listed++, cur);
    }
  }
  int32_t GetSiblingsWithSelf(int32_t id, int32_t* b, int32_t cap) {
    Begin();
    return SiblingsWithSelf(id, b, cap, 0);
  }
  int32_t SiblingsWithSelf(int32_t id, int32_t* b, int32_t cap, int32_t at) {
    if (!Find(id)) return -1;
    int32_t cur = 0;
    if (S(id).parent == 0 || GetFirstChild(S(id).parent, &cur) != 1) {
      Put(b, cap, at, id);
      return 1;
    }
    int32_t n = 1;
    Put(b, cap, at, cur);
    for (;;) {
      Step();
      int32_t next = 0;
      if (GetNextSibling(cur, &next) != 1) return n;
      cur = next;
      Put(b, cap, at + n++, cur);
    }
  }
  int32_t GetLeaves(int32_t id, int32_t* b, int32_t cap) {
    if (!Exists(id)) return -1;
    int32_t f = 0;
    if (GetFirstChild(id, &f) != 1) return 0;
    Begin();
    return CollectLeaves(f, b, cap, 0);
  }
  int32_t GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t cap) {
    int32_t root = 0;
    if (!GetRoot(&root)) return 0;
    if (rootOut) *rootOut = root;
    Begin();
    int32_t f = S(root).firstChild;
    return 1 + (f ? CollectPairs(f, pairs, cap, 0) : 0);
  }
  int32_t GetDescendants(int32_t id, NodePair* pairs, int32_t cap) {
    if (!Find(id)) return -1;
    if (S(id).firstChild == 0) return 0;
    Begin();
    return CollectPairs(S(id).firstChild, pairs, cap, 0);
  }
  int32_t GetNodesAtDepth(int32_t depth, int32_t id, int32_t* b, int32_t cap) {
    int32_t r = Exists(id) ? 0 : -1;
    if (depth == 0) {
      if (r != 0) return -1;
      Put(b, cap, 0, id);
      return 1;
    }
    if (depth < 0) return r;
    int32_t f = 0;
    if (GetFirstChild(id, &f) != 1) return r;
    Begin();
    return CollectAtDepth(depth, 1, f, b, cap, 0);
  }

 private:
  Slot& S(int32_t id) { return slots_.At(static_cast<uint32_t>(id)); }
  static int32_t Answer(int32_t link, int32_t* out) {
    if (link == 0) return 0;
    if (out) *out = link;
    return 1;
  }
  int32_t NodeLink(int32_t id, int32_t Slot::*link, int32_t* out) {
    if (!InRange(id)) return -1;
    if (!S(id).used) return 0;
    return Answer(S(id).*link, out);
  }
  template <typename T>
  static void Put(T* b, int32_t cap, int32_t k, T v) {
    if (b && k < cap) b[k] = v;
  }
  static void Put(int32_t* b, int32_t cap, int32_t k, int32_t v) { Put<int32_t>(b, cap, k, v); }

  void Begin() {
    steps_ = 0;
    ++generation_;
  }
  void Step() {
    if (++steps_ > 4ull * count_) throw Cyclic{};
  }
  // A node the walk comes to; twice means the links cycle.
  void Visit(int32_t id) {
    Step();
    uint32_t& mark = seen_.At(static_cast<uint32_t>(id));
    if (mark == generation_) throw Cyclic{};
    mark = generation_;
  }

  int32_t AddChild(int32_t n, int32_t p, bool last) {
    if (n == 0 || p == 0) return 0;
    if (!Fits(n)) return 0;
    if (static_cast<uint32_t>(p) >= count_) return 0;
    if (S(n).used || p == n || ClosesCycle(n, p)) return 0;
    if (S(p).firstChild != 0) {
      return last ? InsertAfter(n, p, S(p).lastChild) : InsertBefore(n, p, S(p).firstChild);
    }
    S(n) = Slot{1, p, 0, 0, 0, 0};
    S(p).firstChild = n;
    S(p).lastChild = n;
    return 1;
  }
  bool InsertChecks(int32_t n, int32_t p, int32_t r) {
    if (n == 0 || !Fits(n)) return false;
    if (static_cast<uint32_t>(p) >= count_ || static_cast<uint32_t>(r) >= count_) return false;
    if (!S(p).used || !S(r).used || S(r).parent != p) return false;
    return !S(n).used && p != n && !ClosesCycle(n, p);
  }
  // n (not a node) would become its own ancestor under p: p's parent
  // links, followed through nodes, first leave the nodes at n.
  bool ClosesCycle(int32_t n, int32_t p) {
    int32_t cur = p;
    for (uint32_t steps = 0; Find(cur); ++steps) {
      if (steps > count_) throw Cyclic{};
      cur = S(cur).parent;
    }
    return cur == n;
  }
  // The root, a node whose parent is not a node, a bad destination and a
  // destination at or below id are refused before anything changes.
  bool MoveAllowed(int32_t id, int32_t dest, bool destOk) {
    if (!Find(id) || !Find(S(id).parent)) return false;
    if (hasRoot_ && id == rootId_) return false;
    if (!destOk) return false;
    std::vector<int32_t> path;
    try {
      path.resize(static_cast<size_t>(std::max(0, GetPathToRoot(dest, nullptr, 0))));
      GetPathToRoot(dest, path.data(), static_cast<int32_t>(path.size()));
    } catch (Cyclic&) {
      return false;
    }
    for (int32_t up : path) {
      if (up == id) return false;
    }
    return true;
  }
  void Detach(int32_t id) {
    int32_t p = S(id).parent;
    int32_t s = 0;
    bool hasS = GetPrevSibling(id, &s) == 1;
    int32_t n = S(id).nextSibling;
    if (hasS) {
      S(s).nextSibling = n;
      if (n) S(n).prevSibling = s;
    } else {
      S(p).firstChild = n;
      if (n) S(n).prevSibling = 0;
    }
    if (S(p).lastChild == id) S(p).lastChild = hasS ? s : S(id).nextSibling;
  }

  int32_t PathFromRoot(int32_t id, int32_t* b, int32_t cap) {
    if (!Find(id)) return -1;
    Visit(id);
    int32_t n = S(id).parent == 0 ? 0 : PathFromRoot(S(id).parent, b, cap);
    if (n >= 0) Put(b, cap, n, id);
    return n + 1;
  }
  int32_t CollectLeaves(int32_t x, int32_t* b, int32_t cap, int32_t at) {
    if (!Find(x)) return 0;
    Visit(x);
    int32_t n;
    if (S(x).firstChild != 0) {
      n = CollectLeaves(S(x).firstChild, b, cap, at);
    } else {
      Put(b, cap, at, x);
      n = 1;
    }
    if (S(x).nextSibling != 0) n += CollectLeaves(S(x).nextSibling, b, cap, at + n);
    return n;
  }
  int32_t CollectPairs(int32_t x, NodePair* pairs, int32_t cap, int32_t at) {
    if (!Find(x)) return 0;
    Visit(x);
    if (S(x).parent == 0) return 0;
    Put(pairs, cap, at, NodePair{x, S(x).parent});
    int32_t a = S(x).nextSibling ? CollectPairs(S(x).nextSibling, pairs, cap, at + 1) : 0;
    int32_t c = S(x).firstChild ? CollectPairs(S(x).firstChild, pairs, cap, at + 1 + a) : 0;
    return 1 + a + c;
  }
  int32_t CollectAtDepth(int32_t target, int32_t level, int32_t x, int32_t* b, int32_t cap,
                         int32_t at) {
    if (!Find(x)) return 0;
    Visit(x);
    if (level == target) return SiblingsWithSelf(x, b, cap, at);
    int32_t a = S(x).firstChild ? CollectAtDepth(target, level + 1, S(x).firstChild, b, cap, at) : 0;
    int32_t c = S(x).nextSibling ? CollectAtDepth(target, level, S(x).nextSibling, b, cap, at + a)
                                 : 0;
    return a + c;
  }

  // Values by index: a vector below 65,536, a map above.
  template <typename T>
  class Sparse {
   public:
    T& At(uint32_t i) {
      if (i >= kLow) return high_[i];
      if (i >= low_.size()) low_.resize(i + 1, T{});
      return low_[i];
    }
    const T& Get(uint32_t i) const {
      static const T kZero{};
      if (i < low_.size()) return low_[i];
      auto it = high_.find(i);
      return it != high_.end() ? it->second : kZero;
    }
    void Clear() {
      low_.clear();
      high_.clear();
    }
    template <typename Fn>
    void ForEach(Fn fn) const {
      for (uint32_t i = 0; i < low_.size(); ++i) fn(i, low_[i]);
      for (const auto& [i, v] : high_) fn(i, v);
    }

   private:
    static constexpr uint32_t kLow = 65536;
    std::vector<T> low_;
    std::map<uint32_t, T> high_;
  };

  Sparse<Slot> slots_;
  uint32_t count_ = 1000;
  int32_t hasRoot_ = 0;
  int32_t rootId_ = 0;
  uint64_t steps_ = 0;
  Sparse<uint32_t> seen_;
  uint32_t generation_ = 0;
};

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_ARRAYTREE_ARRAY_TREE_MODEL_H_
