// The queries of MapTreeContainer: single links, paths, rows and the walks
// over subtrees. None of them changes the tree; only the walks over whole
// subtrees take memory (their stack), and walk by links without it.
#include <cstdint>

#include "component/list_output.h"
#include "maptree/map_tree_container.h"

namespace rodarove {

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
  // Without an answer *out is not touched.
  const Key target = r->*link;
  WriteIf(target != k, out, table_.IdOf(target));
  return target != k ? 1 : 0;
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

bool MapTreeContainer::StepAcross(Key* n, Key top, Key NodeRecord::*sibling,
                                  int32_t* level) const {
  for (Key x = *n;;) {
    const NodeRecord& r = table_.At(x);
    if (r.*sibling != x) {
      *n = r.*sibling;
      return true;
    }
    x = r.parent;
    --*level;
    if (x == top) return false;
  }
}

// --------------------------------------------------------------- leaves

int32_t MapTreeContainer::GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) {
  const Key k = table_.KeyOf(id);
  const NodeRecord* top = table_.Find(k);
  if (top == nullptr) return -1;
  if (top->first == k) return 0;
  // Depth-first, left to right; the start node itself is never listed.
  const int32_t count =
      table_.Visit([&](const auto& t) { return LeavesByStack(t, k, buffer, capacity); });
  return count >= 0 ? count : LeavesByLinks(k, buffer, capacity);
}

// Reads every record once: on the way down the next sibling of each node
// goes on the stack, where the deepest comes out first.
template <typename Reader>
int32_t MapTreeContainer::LeavesByStack(Reader t, Key top, int32_t* buffer,
                                        int32_t capacity) {
  WalkStack<Pending, kInlinePending> pending(&walkBlocks_);
  pending.Begin(table_.Count());  // one entry per level at most
  int32_t count = 0;
  for (Key n = t.At(top).first;;) {
    const NodeRecord& r = t.At(n);
    if (r.first != n) {
      if (r.next != n && !pending.Push(Pending{r.next, 0})) return -1;
      n = r.first;
      continue;
    }
    Put(buffer, capacity, count++, t.IdOf(n));
    if (r.next != n) {
      n = r.next;
    } else if (!pending.Empty()) {
      n = pending.Pop().key;
    } else {
      return count;
    }
  }
}

// Climbs back by parent links, reading the records above each leaf again.
int32_t MapTreeContainer::LeavesByLinks(Key top, int32_t* buffer, int32_t capacity) const {
  const NodeTable& t = table_;
  int32_t count = 0;
  for (Key n = t.At(top).first;;) {
    const Key child = t.At(n).first;
    if (child != n) {
      n = child;
      continue;
    }
    Put(buffer, capacity, count++, t.IdOf(n));
    int32_t level = 0;
    if (!StepAcross(&n, top, &NodeRecord::next, &level)) return count;
  }
}

// ------------------------------------------------------ nodes at a depth

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
  if (depth == 1) return WriteRow(top->first, k, buffer, capacity, 0);
  // Pre-order over the levels above the target; each node one level above
  // it contributes its whole child row.
  const int32_t count = table_.Visit(
      [&](const auto& t) { return AtDepthByStack(t, depth, k, buffer, capacity); });
  return count >= 0 ? count : AtDepthByLinks(depth, k, buffer, capacity);
}

// Reads every record above the target level once; the next sibling of each
// node it goes down from waits on the stack with its level.
template <typename Reader>
int32_t MapTreeContainer::AtDepthByStack(Reader t, int32_t depth, Key top,
                                         int32_t* buffer, int32_t capacity) {
  WalkStack<Pending, kInlinePending> pending(&walkBlocks_);
  pending.Begin(table_.Count());
  int32_t count = 0;
  int32_t level = 1;
  for (Key n = t.At(top).first;;) {
    const NodeRecord& r = t.At(n);
    if (r.first != n) {
      if (level + 1 == depth) {
        count += WriteRow(t, r.first, n, buffer, capacity, count);
      } else {
        if (r.next != n && !pending.Push(Pending{r.next, level})) return -1;
        n = r.first;
        ++level;
        continue;
      }
    }
    if (r.next != n) {
      n = r.next;
    } else if (!pending.Empty()) {
      const Pending p = pending.Pop();
      n = p.key;
      level = p.tag;
    } else {
      return count;
    }
  }
}

int32_t MapTreeContainer::AtDepthByLinks(int32_t depth, Key top, int32_t* buffer,
                                         int32_t capacity) const {
  const NodeTable& t = table_;
  int32_t count = 0;
  int32_t level = 1;
  for (Key n = t.At(top).first;;) {
    const Key child = t.At(n).first;
    if (child != n) {
      if (level + 1 == depth) {
        count += WriteRow(child, n, buffer, capacity, count);
      } else {
        n = child;
        ++level;
        continue;
      }
    }
    if (!StepAcross(&n, top, &NodeRecord::next, &level)) return count;
  }
}

// ------------------------------------------------------------ pair walks

int32_t MapTreeContainer::WalkPairs(Key top, NodePair* pairs, int32_t capacity) {
  const int32_t count =
      table_.Visit([&](const auto& t) { return WalkPairsByStack(t, top, pairs, capacity); });
  return count >= 0 ? count : WalkPairsByLinks(top, pairs, capacity);
}

// A child row comes out whole, followed by the walks below its members from
// the last member back to the first. This walk reads every record once,
// when its row is listed, and keeps the first child of each member on the
// stack, where the last member's comes out first. (The walk by links reads
// every record a second time on its way back along the row.)
template <typename Reader>
int32_t MapTreeContainer::WalkPairsByStack(Reader t, Key top, NodePair* pairs,
                                           int32_t capacity) {
  const int32_t room = pairs != nullptr ? capacity : 0;
  int32_t count = 0;
  WalkStack<Pending, kInlinePending> pending(&walkBlocks_);
  pending.Begin(table_.Count());  // one row per node at most
  const Key first = t.At(top).first;
  if (first == top) return 0;
  if (!pending.Push(Pending{first, t.IdOf(top)})) return -1;
  while (!pending.Empty()) {
    const Pending row = pending.Pop();
    for (Key j = row.key;;) {
      const NodeRecord& r = t.At(j);
      const Key child = r.first;
      const Key next = r.next;
      const int32_t id = t.IdOf(j);
      if (count < room) pairs[count] = NodePair{id, row.tag};
      ++count;
      if (child != j) {
        // The last row pushed is the next one listed.
        t.Prefetch(child);
        if (!pending.Push(Pending{child, id})) return -1;
      }
      if (next == j) break;
      j = next;
    }
  }
  return count;
}

int32_t MapTreeContainer::WalkPairsByLinks(Key top, NodePair* pairs, int32_t capacity) const {
  const NodeTable& t = table_;
  // The walk from a node lists it, then the walk from its next sibling, then
  // the walk from its first child. Going back uses the previous-sibling and
  // parent links and ends on returning to `top`.
  int32_t count = 0;
  auto emitRow = [&](Key first) {
    const int32_t parentId = t.IdOf(t.At(first).parent);
    for (Key j = first;;) {
      if (pairs != nullptr && count < capacity) pairs[count] = NodePair{t.IdOf(j), parentId};
      ++count;
      const Key next = t.At(j).next;
      if (next == j) return j;
      j = next;
    }
  };
  const Key first = t.At(top).first;
  if (first == top) return 0;
  for (Key n = emitRow(first);;) {
    const Key child = t.At(n).first;
    if (child != n) {
      n = emitRow(child);
      continue;
    }
    // The walks below n are done; step left, or up when n is a first child.
    int32_t level = 0;
    if (!StepAcross(&n, top, &NodeRecord::prev, &level)) return count;
  }
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
