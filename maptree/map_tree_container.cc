#include "maptree/map_tree_container.h"

#include <limits>

namespace rodarove {

IComponent* CreateMapTreeContainer() { return CreateComponentObject<MapTreeContainer>(); }

namespace {

// Writes value at list position pos when the array holds that position.
inline void Put(int32_t* buffer, int32_t capacity, int32_t pos, int32_t value) {
  if (buffer != nullptr && pos < capacity) buffer[pos] = value;
}

// Counts stay below this, so that every result and position fits.
constexpr size_t kMaxNodes = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 1;

// Hash-table load limit: count * 4 <= slots * 3.
constexpr size_t kMinSlots = 16;

}  // namespace

// ---------------------------------------------------------------- store

MapTreeContainer::Index MapTreeContainer::Find(int32_t id) const {
  if (slots_.empty()) return kNone;
  const size_t mask = slots_.size() - 1;
  size_t pos = static_cast<size_t>(
      (static_cast<uint64_t>(static_cast<uint32_t>(id)) * 0x9E3779B97F4A7C15ull) >> slotShift_);
  for (;;) {
    const Slot& s = slots_[pos];
    if (s.index == kNone) return kNone;
    if (s.key == id) return s.index;
    pos = (pos + 1) & mask;
  }
}

void MapTreeContainer::Rehash(size_t slotCount) {
  std::vector<Slot> fresh(slotCount, Slot{0, kNone});  // may throw; nothing changed yet
  int shift = 64;
  for (size_t n = slotCount; n > 1; n >>= 1) --shift;
  const size_t mask = slotCount - 1;
  for (const Slot& s : slots_) {
    if (s.index == kNone) continue;
    size_t pos = static_cast<size_t>(
        (static_cast<uint64_t>(static_cast<uint32_t>(s.key)) * 0x9E3779B97F4A7C15ull) >> shift);
    while (fresh[pos].index != kNone) pos = (pos + 1) & mask;
    fresh[pos] = s;
  }
  slots_.swap(fresh);
  slotShift_ = shift;
}

bool MapTreeContainer::ReserveOne() {
  if (count_ >= kMaxNodes) return false;
  try {
    if (freeHead_ == kNone && recs_.size() == recs_.capacity()) {
      size_t grow = recs_.size() / 2;
      if (grow < 16) grow = 16;
      recs_.reserve(recs_.size() + grow);
    }
    if ((count_ + 1) * 4 > slots_.size() * 3) {
      Rehash(slots_.empty() ? kMinSlots : slots_.size() * 2);
    }
  } catch (...) {
    return false;  // out of memory: any growth that did happen changed no link
  }
  return true;
}

MapTreeContainer::Index MapTreeContainer::NewNode(int32_t id, Index parent) {
  Index i;
  if (freeHead_ != kNone) {
    i = freeHead_;
    freeHead_ = recs_[i].next;
  } else {
    i = static_cast<Index>(recs_.size());
    recs_.push_back(Rec{});  // capacity reserved: does not allocate
  }
  recs_[i] = Rec{id, parent, kNone, kNone, kNone, kNone};
  const size_t mask = slots_.size() - 1;
  size_t pos = static_cast<size_t>(
      (static_cast<uint64_t>(static_cast<uint32_t>(id)) * 0x9E3779B97F4A7C15ull) >> slotShift_);
  while (slots_[pos].index != kNone) pos = (pos + 1) & mask;
  slots_[pos] = Slot{id, i};
  ++count_;
  return i;
}

void MapTreeContainer::FreeNode(Index i) {
  const int32_t id = recs_[i].id;
  const size_t mask = slots_.size() - 1;
  size_t pos = static_cast<size_t>(
      (static_cast<uint64_t>(static_cast<uint32_t>(id)) * 0x9E3779B97F4A7C15ull) >> slotShift_);
  while (slots_[pos].key != id || slots_[pos].index == kNone) pos = (pos + 1) & mask;
  // Backward-shift deletion: pull later entries of the probe run into the
  // hole when their home position allows it, so no tombstones are needed.
  size_t hole = pos;
  size_t j = pos;
  for (;;) {
    j = (j + 1) & mask;
    if (slots_[j].index == kNone) break;
    size_t home = static_cast<size_t>(
        (static_cast<uint64_t>(static_cast<uint32_t>(slots_[j].key)) * 0x9E3779B97F4A7C15ull) >>
        slotShift_);
    if (((j - home) & mask) >= ((j - hole) & mask)) {
      slots_[hole] = slots_[j];
      hole = j;
    }
  }
  slots_[hole].index = kNone;
  recs_[i].next = freeHead_;
  freeHead_ = i;
  --count_;
}

int32_t MapTreeContainer::FreeDescendants(Index top) {
  Index n = recs_[top].firstChild;
  if (n == kNone) return 0;
  int32_t freed = 0;
  // Post-order: a node is freed once its children are gone; its next
  // sibling or parent is read before its record is reused.
  while (recs_[n].firstChild != kNone) n = recs_[n].firstChild;
  for (;;) {
    Index next = recs_[n].next;
    Index parent = recs_[n].parent;
    FreeNode(n);
    ++freed;
    if (next != kNone) {
      n = next;
      while (recs_[n].firstChild != kNone) n = recs_[n].firstChild;
      continue;
    }
    if (parent == top) break;
    n = parent;  // every child of parent is freed now
    recs_[n].firstChild = kNone;
  }
  recs_[top].firstChild = kNone;
  recs_[top].lastChild = kNone;
  return freed;
}

void MapTreeContainer::ReleaseStore() {
  std::vector<Rec>().swap(recs_);
  std::vector<Slot>().swap(slots_);
  slotShift_ = 64;
  freeHead_ = kNone;
  rootIndex_ = kNone;
  count_ = 0;
  hasRoot_ = 0;  // rootId_ keeps its old value
  rows_.Release();
}

// ------------------------------------------------------- link surgery

void MapTreeContainer::Unlink(Index i) {
  Rec& r = recs_[i];
  Rec& p = recs_[r.parent];
  if (r.prev != kNone) {
    recs_[r.prev].next = r.next;
  } else {
    p.firstChild = r.next;
  }
  if (r.next != kNone) {
    recs_[r.next].prev = r.prev;
  } else {
    p.lastChild = r.prev;
  }
  r.prev = kNone;
  r.next = kNone;
}

void MapTreeContainer::LinkFirst(Index i, Index parent) {
  Rec& r = recs_[i];
  Rec& p = recs_[parent];
  r.parent = parent;
  r.prev = kNone;
  r.next = p.firstChild;
  if (p.firstChild != kNone) {
    recs_[p.firstChild].prev = i;
  } else {
    p.lastChild = i;
  }
  p.firstChild = i;
}

void MapTreeContainer::LinkLast(Index i, Index parent) {
  Rec& r = recs_[i];
  Rec& p = recs_[parent];
  r.parent = parent;
  r.next = kNone;
  r.prev = p.lastChild;
  if (p.lastChild != kNone) {
    recs_[p.lastChild].next = i;
  } else {
    p.firstChild = i;
  }
  p.lastChild = i;
}

void MapTreeContainer::LinkBefore(Index i, Index ref) {
  Rec& r = recs_[i];
  Rec& f = recs_[ref];
  r.parent = f.parent;
  r.next = ref;
  r.prev = f.prev;
  if (f.prev != kNone) {
    recs_[f.prev].next = i;
  } else {
    recs_[f.parent].firstChild = i;
  }
  f.prev = i;
}

void MapTreeContainer::LinkAfter(Index i, Index ref) {
  Rec& r = recs_[i];
  Rec& f = recs_[ref];
  r.parent = f.parent;
  r.prev = ref;
  r.next = f.next;
  if (f.next != kNone) {
    recs_[f.next].prev = i;
  } else {
    recs_[f.parent].lastChild = i;
  }
  f.next = i;
}

bool MapTreeContainer::IsSelfOrAncestor(Index a, Index i) const {
  for (; i != kNone; i = recs_[i].parent) {
    if (i == a) return true;
  }
  return false;
}

MapTreeContainer::Index MapTreeContainer::MovableNode(int32_t id) const {
  Index i = Find(id);
  if (i == kNone || recs_[i].parent == kNone) return kNone;  // not a node, or the root
  return i;
}

// -------------------------------------------------------------- slots

int32_t MapTreeContainer::SetRoot(int32_t id) {
  if (hasRoot_ != 0) return 0;
  if (!ReserveOne()) return 0;
  rootIndex_ = NewNode(id, kNone);
  rootId_ = id;
  hasRoot_ = 1;
  return 1;
}

int32_t MapTreeContainer::Clear() {
  ReleaseStore();
  return 1;
}

int32_t MapTreeContainer::IsLeaf(int32_t id) {
  Index i = Find(id);
  return i != kNone && recs_[i].firstChild == kNone ? 1 : 0;
}

int32_t MapTreeContainer::Exists(int32_t id) { return Find(id) != kNone ? 1 : 0; }

int32_t MapTreeContainer::IsChild(int32_t id, int32_t parentId) {
  Index i = Find(id);
  if (i == kNone || recs_[i].parent == kNone) return 0;
  return recs_[recs_[i].parent].id == parentId ? 1 : 0;
}

int32_t MapTreeContainer::AppendChild(int32_t newId, int32_t parentId) {
  if (Find(newId) != kNone) return 0;
  Index p = Find(parentId);
  if (p == kNone) return 0;
  if (!ReserveOne()) return 0;
  LinkLast(NewNode(newId, p), p);
  return 1;
}

int32_t MapTreeContainer::PrependChild(int32_t newId, int32_t parentId) {
  if (Find(newId) != kNone) return 0;
  Index p = Find(parentId);
  if (p == kNone) return 0;
  if (!ReserveOne()) return 0;
  LinkFirst(NewNode(newId, p), p);
  return 1;
}

int32_t MapTreeContainer::InsertAfter(int32_t newId, int32_t parentId, int32_t refId) {
  if (Find(newId) != kNone) return 0;
  // A reference node whose parent has ID parentId also proves that parentId
  // is stored.
  Index ref = Find(refId);
  if (ref == kNone || recs_[ref].parent == kNone) return 0;
  Index p = recs_[ref].parent;
  if (recs_[p].id != parentId) return 0;
  if (!ReserveOne()) return 0;
  LinkAfter(NewNode(newId, p), ref);
  return 1;
}

int32_t MapTreeContainer::InsertBefore(int32_t newId, int32_t parentId, int32_t refId) {
  if (Find(newId) != kNone) return 0;
  // A reference node whose parent has ID parentId also proves that parentId
  // is stored.
  Index ref = Find(refId);
  if (ref == kNone || recs_[ref].parent == kNone) return 0;
  Index p = recs_[ref].parent;
  if (recs_[p].id != parentId) return 0;
  if (!ReserveOne()) return 0;
  LinkBefore(NewNode(newId, p), ref);
  return 1;
}

int32_t MapTreeContainer::RemoveNode(int32_t id) {
  Index i = Find(id);
  if (i == kNone) return -1;
  if (i == rootIndex_) {
    // Every stored node hangs below the root, so the count is the tree's.
    int32_t n = static_cast<int32_t>(count_);
    ReleaseStore();
    return n;
  }
  int32_t k = FreeDescendants(i);
  Unlink(i);
  FreeNode(i);
  return k + 1;
}

int32_t MapTreeContainer::LinkLookup(int32_t id, Index Rec::*link, int32_t* out) const {
  Index i = Find(id);
  if (i == kNone) return -1;
  Index j = recs_[i].*link;
  if (j == kNone) return 0;
  if (out != nullptr) *out = recs_[j].id;
  return 1;
}

int32_t MapTreeContainer::GetParent(int32_t id, int32_t* out) {
  return LinkLookup(id, &Rec::parent, out);
}
int32_t MapTreeContainer::GetLastChild(int32_t id, int32_t* out) {
  return LinkLookup(id, &Rec::lastChild, out);
}
int32_t MapTreeContainer::GetFirstChild(int32_t id, int32_t* out) {
  return LinkLookup(id, &Rec::firstChild, out);
}
int32_t MapTreeContainer::GetPrevSibling(int32_t id, int32_t* out) {
  return LinkLookup(id, &Rec::prev, out);
}
int32_t MapTreeContainer::GetNextSibling(int32_t id, int32_t* out) {
  return LinkLookup(id, &Rec::next, out);
}

int32_t MapTreeContainer::GetPathFromRoot(int32_t id, int32_t* buffer, int32_t capacity) {
  Index i = Find(id);
  if (i == kNone) return -1;
  int32_t length = 0;
  for (Index j = i; j != kNone; j = recs_[j].parent) ++length;
  int32_t pos = length;
  for (Index j = i; j != kNone; j = recs_[j].parent) Put(buffer, capacity, --pos, recs_[j].id);
  return length;
}

int32_t MapTreeContainer::GetPathToRoot(int32_t id, int32_t* buffer, int32_t capacity) {
  Index i = Find(id);
  if (i == kNone) return -1;
  int32_t pos = 0;
  for (Index j = i; j != kNone; j = recs_[j].parent) Put(buffer, capacity, pos++, recs_[j].id);
  return pos;
}

int32_t MapTreeContainer::WriteRow(Index first, int32_t* buffer, int32_t capacity,
                                   int32_t pos) const {
  int32_t n = 0;
  for (Index j = first; j != kNone; j = recs_[j].next) Put(buffer, capacity, pos + n++, recs_[j].id);
  return n;
}

int32_t MapTreeContainer::GetSiblings(int32_t id, int32_t* buffer, int32_t capacity) {
  Index i = Find(id);
  if (i == kNone) return -1;
  if (recs_[i].parent == kNone) return 0;
  int32_t n = 0;
  for (Index j = recs_[recs_[i].parent].firstChild; j != kNone; j = recs_[j].next) {
    if (j != i) Put(buffer, capacity, n++, recs_[j].id);
  }
  return n;
}

int32_t MapTreeContainer::GetSiblingsWithSelf(int32_t id, int32_t* buffer, int32_t capacity) {
  Index i = Find(id);
  if (i == kNone) return -1;
  if (recs_[i].parent == kNone) {
    Put(buffer, capacity, 0, id);
    return 1;
  }
  return WriteRow(recs_[recs_[i].parent].firstChild, buffer, capacity, 0);
}

int32_t MapTreeContainer::GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) {
  Index top = Find(id);
  if (top == kNone) return -1;
  Index n = recs_[top].firstChild;
  if (n == kNone) return 0;
  // Depth-first, left to right; the start node itself is never listed.
  int32_t count = 0;
  for (;;) {
    if (recs_[n].firstChild != kNone) {
      n = recs_[n].firstChild;
      continue;
    }
    Put(buffer, capacity, count++, recs_[n].id);
    while (recs_[n].next == kNone) {
      n = recs_[n].parent;
      if (n == top) return count;
    }
    n = recs_[n].next;
  }
}

int32_t MapTreeContainer::WalkPairs(Index top, NodePair* pairs, int32_t capacity) {
  const int32_t count = WalkPairsByRows(top, pairs, capacity);
  return count >= 0 ? count : WalkPairsByLinks(top, pairs, capacity);
}

// A child row comes out whole, followed by the walks below its members from
// the last member back to the first. This walk reads every record once,
// when its row is listed, and keeps the first child of each member on a
// stack, where the last member's comes out first. (The walk by links reads
// every record a second time on its way back along the row, on a large tree
// long after the record left the cache.)
int32_t MapTreeContainer::WalkPairsByRows(Index top, NodePair* pairs, int32_t capacity) {
  const int32_t room = pairs != nullptr ? capacity : 0;
  int32_t count = 0;
  rows_.Begin(count_);  // one row per node at most
  if (recs_[top].firstChild == kNone) return 0;
  if (!rows_.Push(Row{recs_[top].firstChild, recs_[top].id})) return -1;
  while (!rows_.Empty()) {
    const Row row = rows_.Pop();
    for (Index j = row.first; j != kNone;) {
      // The next sibling first: its record is the next to come from memory.
      const Rec& r = recs_[j];
      const int32_t id = r.id;
      const Index child = r.firstChild;
      j = r.next;
      if (count < room) pairs[count] = NodePair{id, row.parentId};
      ++count;
      if (child != kNone && !rows_.Push(Row{child, id})) return -1;
    }
  }
  return count;
}

int32_t MapTreeContainer::WalkPairsByLinks(Index top, NodePair* pairs, int32_t capacity) const {
  // The walk from a node lists it, then the walk from its next sibling, then
  // the walk from its first child. So a child row comes out whole, followed
  // by the walks below its members from the last member back to the first.
  // Going back uses the previous-sibling and parent links and ends on
  // returning to `top`.
  int32_t count = 0;
  auto emitRow = [&](Index first) {
    const int32_t parentId = recs_[recs_[first].parent].id;
    Index last = first;
    for (Index j = first; j != kNone; j = recs_[j].next) {
      if (pairs != nullptr && count < capacity) pairs[count] = NodePair{recs_[j].id, parentId};
      ++count;
      last = j;
    }
    return last;
  };
  if (recs_[top].firstChild == kNone) return 0;
  Index n = emitRow(recs_[top].firstChild);
  for (;;) {
    if (recs_[n].firstChild != kNone) {
      n = emitRow(recs_[n].firstChild);
      continue;
    }
    // The walks below n are done; step left, or up when n is a first child.
    while (recs_[n].prev == kNone) {
      n = recs_[n].parent;
      if (n == top) return count;
    }
    n = recs_[n].prev;
  }
}

int32_t MapTreeContainer::GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) {
  if (hasRoot_ == 0) return 0;
  if (rootOut != nullptr) *rootOut = rootId_;
  return WalkPairs(rootIndex_, pairs, capacity) + 1;
}

int32_t MapTreeContainer::GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) {
  Index i = Find(id);
  if (i == kNone) return -1;
  return WalkPairs(i, pairs, capacity);
}

int32_t MapTreeContainer::GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer,
                                          int32_t capacity) {
  Index top = Find(id);
  if (top == kNone) return -1;
  if (depth < 0) return 0;
  if (depth == 0) {
    Put(buffer, capacity, 0, id);
    return 1;
  }
  Index n = recs_[top].firstChild;
  if (n == kNone) return 0;
  if (depth == 1) return WriteRow(n, buffer, capacity, 0);
  // Pre-order over the levels above the target; each node one level above
  // it contributes its whole child row.
  int32_t count = 0;
  int32_t level = 1;
  for (;;) {
    Index child = recs_[n].firstChild;
    if (child != kNone) {
      if (level + 1 == depth) {
        count += WriteRow(child, buffer, capacity, count);
      } else {
        n = child;
        ++level;
        continue;
      }
    }
    while (recs_[n].next == kNone) {
      n = recs_[n].parent;
      --level;
      if (n == top) return count;
    }
    n = recs_[n].next;
  }
}

// The moves refuse, with nothing changed, a node that is not stored or is
// the root, a destination that is not stored (or, for a reference node, is
// the root), and a destination inside the moved node's subtree, the node
// itself included. So no move can make a cycle, and no refused move leaves
// a trace.

int32_t MapTreeContainer::MoveNode(int32_t id, int32_t destId, MovePlace place) {
  Index i = MovableNode(id);
  if (i == kNone) return 0;
  bool besideReference = place == MovePlace::kBefore || place == MovePlace::kAfter;
  Index dest = besideReference ? MovableNode(destId) : Find(destId);
  if (dest == kNone || IsSelfOrAncestor(i, dest)) return 0;
  Unlink(i);
  switch (place) {
    case MovePlace::kFirstChild: LinkFirst(i, dest); break;
    case MovePlace::kLastChild: LinkLast(i, dest); break;
    case MovePlace::kBefore: LinkBefore(i, dest); break;
    case MovePlace::kAfter: LinkAfter(i, dest); break;
  }
  return 1;
}

int32_t MapTreeContainer::MoveToFirstChild(int32_t id, int32_t newParentId) {
  return MoveNode(id, newParentId, MovePlace::kFirstChild);
}

int32_t MapTreeContainer::MoveToLastChild(int32_t id, int32_t newParentId) {
  return MoveNode(id, newParentId, MovePlace::kLastChild);
}

int32_t MapTreeContainer::MoveBefore(int32_t id, int32_t refId) {
  return MoveNode(id, refId, MovePlace::kBefore);
}

int32_t MapTreeContainer::MoveAfter(int32_t id, int32_t refId) {
  return MoveNode(id, refId, MovePlace::kAfter);
}

}  // namespace rodarove
