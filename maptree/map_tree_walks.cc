// The queries of MapTreeContainer: single links, paths, rows and the walks
// over subtrees. None of them changes the tree; only the walks over whole
// subtrees take memory (their stack), and walk by links without it.
#include <cstdint>
#include <type_traits>

#include "maptree/map_tree_container.h"

namespace rodarove {

namespace {

// Writes value at list position pos when the array holds that position.
inline void Put(int32_t* buffer, int32_t capacity, int32_t pos, int32_t value) {
  if (buffer != nullptr && pos < capacity) buffer[pos] = value;
}

// The records as the whole-tree walks see them, through a reader of the
// store. A missing link holds the node's own key; the walks take nodes as
// 64-bit numbers, so that "none" lies beyond every key.
template <typename Reader>
struct RecordLinks {
  using Node = uint64_t;
  using Record = NodeRecord;
  static constexpr Node kNone = uint64_t{1} << 32;

  const NodeRecord* Find(Node x) const { return &reader.At(static_cast<uint32_t>(x)); }
  const NodeRecord& At(Node x) const { return reader.At(static_cast<uint32_t>(x)); }
  void Prefetch(Node x) const { reader.Prefetch(static_cast<uint32_t>(x)); }
  static Node Link(Node x, uint32_t link) { return link != x ? link : kNone; }
  static Node Down(Node x, const NodeRecord& r) { return Link(x, r.first); }
  static Node Across(Node x, const NodeRecord& r) { return Link(x, r.next); }
  static Node Back(Node x, const NodeRecord& r) { return Link(x, r.prev); }
  static Node Up(Node x, const NodeRecord& r) { return Link(x, r.parent); }

  Reader reader;
};

}  // namespace

int32_t MapTreeContainer::IsLeaf(int32_t id) {
  const Key k = table_.KeyOf(id);
  const NodeRecord* r = table_.Find(k);
  return r != nullptr && r->first == k ? 1 : 0;
}

int32_t MapTreeContainer::Exists(int32_t id) {
  return table_.Find(table_.KeyOf(id)) != nullptr ? 1 : 0;
}

int32_t MapTreeContainer::IsChild(int32_t id, int32_t parentId) {
  const Key k = table_.KeyOf(id);
  const NodeRecord* r = table_.Find(k);
  return r != nullptr && r->parent != k && r->parent == table_.KeyOf(parentId) ? 1 : 0;
}

int32_t MapTreeContainer::LinkLookup(int32_t id, Key NodeRecord::*link, int32_t* out) const {
  const Key k = table_.KeyOf(id);
  const NodeRecord* r = table_.Find(k);
  if (r == nullptr) return -1;
  // No branch on the link, whose presence follows no pattern a predictor
  // could learn: without an answer the value goes to a scratch variable,
  // chosen by a mask, and *out is not touched.
  const Key target = r->*link;
  const uintptr_t linked = target != k ? 1 : 0;
  const uintptr_t useOut = 0 - (linked & (out != nullptr ? 1 : 0));
  int32_t scratch;
  int32_t* to = reinterpret_cast<int32_t*>((reinterpret_cast<uintptr_t>(out) & useOut) |
                                           (reinterpret_cast<uintptr_t>(&scratch) & ~useOut));
  *to = table_.IdOf(target);
  return static_cast<int32_t>(linked);
}

int32_t MapTreeContainer::GetParent(int32_t id, int32_t* out) {
  return LinkLookup(id, &NodeRecord::parent, out);
}
int32_t MapTreeContainer::GetLastChild(int32_t id, int32_t* out) {
  return LinkLookup(id, &NodeRecord::last, out);
}
int32_t MapTreeContainer::GetFirstChild(int32_t id, int32_t* out) {
  return LinkLookup(id, &NodeRecord::first, out);
}
int32_t MapTreeContainer::GetPrevSibling(int32_t id, int32_t* out) {
  return LinkLookup(id, &NodeRecord::prev, out);
}
int32_t MapTreeContainer::GetNextSibling(int32_t id, int32_t* out) {
  return LinkLookup(id, &NodeRecord::next, out);
}

int32_t MapTreeContainer::GetPathFromRoot(int32_t id, int32_t* buffer, int32_t capacity) {
  const Key k = table_.KeyOf(id);
  if (table_.Find(k) == nullptr) return -1;
  return table_.Visit([&](const auto& t) { return PathFromRoot(t, k, buffer, capacity); });
}

template <typename Reader>
int32_t MapTreeContainer::PathFromRoot(const Reader& t, Key k, int32_t* buffer,
                                       int32_t capacity) const {
  int32_t length = 1;
  for (Key j = k, p; (p = t.At(j).parent) != j; j = p) ++length;
  if (buffer == nullptr || capacity <= 0) return length;
  int32_t pos = length;
  for (Key j = k;;) {
    Put(buffer, capacity, --pos, t.IdOf(j));
    const Key p = t.At(j).parent;
    if (p == j) return length;
    j = p;
  }
}

int32_t MapTreeContainer::GetPathToRoot(int32_t id, int32_t* buffer, int32_t capacity) {
  const Key k = table_.KeyOf(id);
  if (table_.Find(k) == nullptr) return -1;
  return table_.Visit([&](const auto& t) { return PathToRoot(t, k, buffer, capacity); });
}

template <typename Reader>
int32_t MapTreeContainer::PathToRoot(const Reader& t, Key k, int32_t* buffer,
                                     int32_t capacity) const {
  int32_t pos = 0;
  for (Key j = k;;) {
    Put(buffer, capacity, pos++, t.IdOf(j));
    const Key p = t.At(j).parent;
    if (p == j) return pos;
    j = p;
  }
}

int32_t MapTreeContainer::WriteRow(Key first, Key skip, int32_t* buffer, int32_t capacity,
                                   int32_t pos) const {
  return table_.Visit([&](const auto& t) { return WriteRow(t, first, skip, buffer, capacity, pos); });
}

template <typename Reader>
int32_t MapTreeContainer::WriteRow(const Reader& t, Key first, Key skip, int32_t* buffer,
                                   int32_t capacity, int32_t pos) const {
  int32_t n = 0;
  for (Key j = first;;) {
    if (j != skip) Put(buffer, capacity, pos + n++, t.IdOf(j));
    const Key next = t.At(j).next;
    if (next == j) return n;
    j = next;
  }
}

int32_t MapTreeContainer::GetSiblings(int32_t id, int32_t* buffer, int32_t capacity) {
  const Key k = table_.KeyOf(id);
  const NodeRecord* r = table_.Find(k);
  if (r == nullptr) return -1;
  if (r->parent == k) return 0;
  return WriteRow(table_.At(r->parent).first, k, buffer, capacity, 0);
}

int32_t MapTreeContainer::GetSiblingsWithSelf(int32_t id, int32_t* buffer, int32_t capacity) {
  const Key k = table_.KeyOf(id);
  const NodeRecord* r = table_.Find(k);
  if (r == nullptr) return -1;
  if (r->parent == k) {
    Put(buffer, capacity, 0, id);
    return 1;
  }
  return WriteRow(table_.At(r->parent).first, r->parent, buffer, capacity, 0);
}

// ------------------------------------------------------ whole-tree walks
// Each is the walk from a first child x0 over x0, its later siblings and
// all below them (component/tree_walk.h); at most Count() nodes are
// visited.

template <WalkOrder kOrder, typename Visit>
void MapTreeContainer::WalkFrom(Key x0, Visit& visit) {
  table_.Visit([&](const auto& reader) {
    Walk<kOrder>(RecordLinks<std::decay_t<decltype(reader)>>{reader}, pending_, x0,
                 table_.Count(), visit);
    return 0;
  });
}

// Leaves come depth-first, left to right; the start is never listed.
int32_t MapTreeContainer::GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) {
  const Key k = table_.KeyOf(id);
  const NodeRecord* top = table_.Find(k);
  if (top == nullptr) return -1;
  if (top->first == k) return 0;
  struct {
    bool operator()(WalkNode x, const NodeRecord& r, int32_t) {
      if (r.first == x) Put(buffer, capacity, count++, NodeTable::IdOf(static_cast<Key>(x)));
      return true;
    }
    void reset() { count = 0; }
    int32_t* buffer;
    int32_t capacity;
    int32_t count;
  } leaves{buffer, capacity, 0};
  WalkFrom<WalkOrder::kDepthFirst>(top->first, leaves);
  return leaves.count;
}

// A node `depth` levels below id is reached through first children only,
// so it lists its whole row, after which the walk visits neither its later
// siblings nor anything below.
int32_t MapTreeContainer::GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer,
                                          int32_t capacity) {
  const Key k = table_.KeyOf(id);
  const NodeRecord* top = table_.Find(k);
  if (top == nullptr) return -1;
  if (depth < 0) return 0;
  if (depth == 0) {
    Put(buffer, capacity, 0, id);
    return 1;
  }
  if (top->first == k) return 0;
  struct {
    bool operator()(WalkNode x, const NodeRecord& r, int32_t level) {
      if (level != depth) return true;
      count += tree->WriteRow(static_cast<Key>(x), r.parent, buffer, capacity, count);
      return false;
    }
    void reset() { count = 0; }
    const MapTreeContainer* tree;
    int32_t depth;
    int32_t* buffer;
    int32_t capacity;
    int32_t count;
  } rows{this, depth, buffer, capacity, 0};
  WalkFrom<WalkOrder::kDepthFirst>(top->first, rows);
  return rows.count;
}

// The nodes below top, as (node, parent): a node comes before its later
// siblings' children and its own.
int32_t MapTreeContainer::WalkPairs(Key top, NodePair* pairs, int32_t capacity) {
  const Key first = table_.At(top).first;
  if (first == top) return 0;
  struct {
    bool operator()(WalkNode x, const NodeRecord& r, int32_t) {
      if (count < room) {
        pairs[count] = NodePair{NodeTable::IdOf(static_cast<Key>(x)), NodeTable::IdOf(r.parent)};
      }
      ++count;
      return true;
    }
    void reset() { count = 0; }
    NodePair* pairs;
    int32_t room;
    int32_t count;
  } listed{pairs, pairs != nullptr ? capacity : 0, 0};
  WalkFrom<WalkOrder::kRowsFirst>(first, listed);
  return listed.count;
}

int32_t MapTreeContainer::GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) {
  if (hasRoot_ == 0) return 0;
  if (rootOut != nullptr) *rootOut = rootId_;
  return WalkPairs(table_.KeyOf(rootId_), pairs, capacity) + 1;
}

int32_t MapTreeContainer::GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) {
  const Key k = table_.KeyOf(id);
  if (table_.Find(k) == nullptr) return -1;
  return WalkPairs(k, pairs, capacity);
}

}  // namespace rodarove
