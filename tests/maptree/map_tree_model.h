// A plain model of component 114 for the randomized checks: a parent and an
// ordered child list per node, edits as list operations, and the list
// queries as direct recursive transcriptions of their definitions.
#ifndef RODAROVE_TESTS_MAPTREE_MAP_TREE_MODEL_H_
#define RODAROVE_TESTS_MAPTREE_MAP_TREE_MODEL_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "rodarove/tree_container.h"

namespace rodarove_test {

// The model: an obviously correct tree.
struct Model {
  using V = std::vector<int32_t>;

  bool hasRoot = false;
  int32_t root = 0;
  std::map<int32_t, int32_t> parent;   // non-root nodes only
  std::map<int32_t, V> kids;           // every stored node

  bool Has(int32_t id) const { return kids.count(id) != 0; }
  bool HasParent(int32_t id) const { return parent.count(id) != 0; }
  const V& Row(int32_t id) const { return kids.at(parent.at(id)); }
  size_t Pos(int32_t id) const {
    const V& r = Row(id);
    return static_cast<size_t>(std::find(r.begin(), r.end(), id) - r.begin());
  }
  bool Next(int32_t id, int32_t* out) const {
    if (!HasParent(id)) return false;
    const V& r = Row(id);
    size_t p = Pos(id);
    if (p + 1 >= r.size()) return false;
    *out = r[p + 1];
    return true;
  }
  bool Prev(int32_t id, int32_t* out) const {
    if (!HasParent(id)) return false;
    size_t p = Pos(id);
    if (p == 0) return false;
    *out = Row(id)[p - 1];
    return true;
  }
  bool First(int32_t id, int32_t* out) const {
    const V& k = kids.at(id);
    if (k.empty()) return false;
    *out = k.front();
    return true;
  }
  bool InSubtree(int32_t node, int32_t top) const {  // node == top or below it
    for (;;) {
      if (node == top) return true;
      auto it = parent.find(node);
      if (it == parent.end()) return false;
      node = it->second;
    }
  }
  void Erase(int32_t id) {  // id and its subtree, unlinked from nothing
    V stack{id};
    while (!stack.empty()) {
      int32_t n = stack.back();
      stack.pop_back();
      for (int32_t c : kids[n]) stack.push_back(c);
      kids.erase(n);
      parent.erase(n);
    }
  }
  void Detach(int32_t id) {
    V& r = kids[parent[id]];
    r.erase(std::find(r.begin(), r.end(), id));
  }
  void Attach(int32_t id, int32_t p, size_t pos) {
    parent[id] = p;
    V& r = kids[p];
    r.insert(r.begin() + static_cast<ptrdiff_t>(pos), id);
  }

  // ---- edits; each returns the expected slot result.
  int32_t SetRoot(int32_t id) {
    if (hasRoot) return 0;
    hasRoot = true;
    root = id;
    kids[id];
    return 1;
  }
  int32_t Insert(int32_t newId, int32_t p, int where /*0 first, 1 last*/) {
    if (Has(newId) || !Has(p)) return 0;
    kids[newId];
    Attach(newId, p, where == 0 ? 0 : kids[p].size());
    return 1;
  }
  int32_t InsertBy(int32_t newId, int32_t p, int32_t ref, bool after) {
    if (Has(newId) || !Has(p) || !Has(ref) || !HasParent(ref) || parent[ref] != p) return 0;
    size_t pos = Pos(ref) + (after ? 1 : 0);
    kids[newId];
    Attach(newId, p, pos);
    return 1;
  }
  int32_t Clear() {
    kids.clear();
    parent.clear();
    hasRoot = false;
    return 1;
  }
  int32_t Remove(int32_t id) {
    if (!Has(id)) return -1;
    if (!HasParent(id)) {
      int32_t n = static_cast<int32_t>(kids.size());
      Clear();
      return n;
    }
    size_t before = kids.size();
    Detach(id);
    Erase(id);
    return static_cast<int32_t>(before - kids.size());
  }
  // kind: 0 first child, 1 last child, 2 before, 3 after.
  int32_t Move(int kind, int32_t id, int32_t dest) {
    if (!Has(id) || !HasParent(id) || !Has(dest)) return 0;
    if (kind >= 2 && !HasParent(dest)) return 0;
    if (InSubtree(dest, id)) return 0;
    Detach(id);
    if (kind == 0) Attach(id, dest, 0);
    if (kind == 1) Attach(id, dest, kids[dest].size());
    if (kind >= 2) Attach(id, parent[dest], Pos(dest) + (kind == 3 ? 1 : 0));
    return 1;
  }

  // ---- the list queries, transcribed recursively. Lists get -1 prepended
  // as a marker when the start ID is not a node.
  void Pairs(int32_t n, std::vector<NodePair>* out) const {
    out->push_back(NodePair{n, parent.at(n)});
    int32_t x;
    if (Next(n, &x)) Pairs(x, out);
    if (First(n, &x)) Pairs(x, out);
  }
  void Leaves(int32_t n, V* out) const {
    int32_t x;
    if (First(n, &x)) {
      Leaves(x, out);
    } else {
      out->push_back(n);
    }
    if (Next(n, &x)) Leaves(x, out);
  }
  void AtDepth(int32_t target, int32_t level, int32_t n, V* out) const {
    if (level == target) {
      const V& r = Row(n);
      out->insert(out->end(), r.begin(), r.end());
      return;
    }
    int32_t x;
    if (First(n, &x)) AtDepth(target, level + 1, x, out);
    if (Next(n, &x)) AtDepth(target, level, x, out);
  }
  void PathFromRoot(int32_t n, V* out) const {
    if (HasParent(n)) PathFromRoot(parent.at(n), out);
    out->push_back(n);
  }
};

// Expected answer of a list query: a count and (for a positive count) the
// entries.
struct Answer {
  int32_t count;
  std::vector<int32_t> list;
};

inline Answer ListAnswer(const Model& m, int slot, int32_t id) {
  if (!m.Has(id)) return {-1, {}};
  Model::V v;
  switch (slot) {
    case kSlotGetPathFromRoot:
      m.PathFromRoot(id, &v);
      break;
    case kSlotGetPathToRoot:
      m.PathFromRoot(id, &v);
      std::reverse(v.begin(), v.end());
      break;
    case kSlotGetSiblings:
      if (m.HasParent(id)) {
        for (int32_t s : m.Row(id)) {
          if (s != id) v.push_back(s);
        }
      }
      break;
    case kSlotGetSiblingsWithSelf:
      v = m.HasParent(id) ? m.Row(id) : Model::V{id};
      break;
    case kSlotGetLeaves: {
      int32_t f;
      if (m.First(id, &f)) m.Leaves(f, &v);
      break;
    }
  }
  return {static_cast<int32_t>(v.size()), v};
}

inline Answer DepthAnswer(const Model& m, int32_t depth, int32_t id) {
  if (!m.Has(id)) return {-1, {}};
  if (depth < 0) return {0, {}};
  if (depth == 0) return {1, {id}};
  Model::V v;
  int32_t f;
  if (m.First(id, &f)) m.AtDepth(depth, 1, f, &v);
  return {static_cast<int32_t>(v.size()), v};
}

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_MAPTREE_MAP_TREE_MODEL_H_
