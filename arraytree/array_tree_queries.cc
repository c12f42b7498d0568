// Component 837: the tests, the single-link lookups and the list queries.
#include "arraytree/array_tree_container.h"

#include <cstdint>

#include "component/list_output.h"

namespace rodarove {

namespace {

// The slots as the whole-tree walks see them. A walk enters nodes only, and
// the pair walks only nodes with a parent: anything else ends its branch.
template <bool kWithParent>
struct SlotLinks {
  using Node = int32_t;
  using Record = TreeSlot;
  static constexpr Node kNone = 0;

  const TreeSlot* Find(int32_t x) const {
    const TreeSlot* slot = view.FindNode(x);
    return slot != nullptr && (!kWithParent || slot->parent != 0) ? slot : nullptr;
  }
  const TreeSlot& At(int32_t x) const { return view.Read(static_cast<uint32_t>(x)); }
  void Prefetch(int32_t x) const { view.Prefetch(x); }
  static int32_t Down(const TreeSlot& s) { return s.firstChild; }
  static int32_t Across(const TreeSlot& s) { return s.nextSibling; }
  static int32_t Back(const TreeSlot& s) { return s.prevSibling; }
  static int32_t Up(const TreeSlot& s) { return s.parent; }

  SlotStore::View view;
};

}  // namespace

// ---------------------------------------------------------------------------
// Tests and single-link lookups

int32_t ArrayTreeContainer::IsLeaf(int32_t id) {
  const TreeSlot* slot = FindSlot(id);
  return slot != nullptr && slot->firstChild == 0 ? 1 : 0;
}

int32_t ArrayTreeContainer::Exists(int32_t id) { return FindSlot(id) != nullptr ? 1 : 0; }

// Reads the parent link without testing that either ID is a node.
int32_t ArrayTreeContainer::IsChild(int32_t id, int32_t parentId) {
  if (!InRange(id) || !InRange(parentId)) return 0;
  return SlotOf(id).parent == parentId ? 1 : 0;
}

// 1 with the link written to *out (when out is given), 0 for a link of 0 or
// a slot that is not a node (unless kMinusOne is kNever: that lookup reads
// any slot), -1 as kMinusOne says. Computed without a branch on the slot,
// whose links are random to a branch predictor: an ID out of range reads
// slot 0, which is all zero, and the store goes to *out or to a spare word,
// so *out is written only with an answer.
template <int32_t TreeSlot::*kLink, ArrayTreeContainer::MinusOne kMinusOne>
int32_t ArrayTreeContainer::LinkLookup(int32_t id, int32_t* out) const {
  const uint32_t in = store_.InRange(id) ? 1u : 0u;
  const TreeSlot& slot = store_.Read(static_cast<uint32_t>(id) & (0u - in));
  const uint32_t link = static_cast<uint32_t>(slot.*kLink);
  const uint32_t node = slot.used ? 1u : 0u;
  const uint32_t set = (kMinusOne == kNever ? 1u : node) & ((link | (0u - link)) >> 31);
  WriteIf(set != 0, out, static_cast<int32_t>(link));
  const uint32_t none = kMinusOne == kOutOfRange ? in ^ 1u : kMinusOne == kNotANode ? node ^ 1u : 0u;
  return static_cast<int32_t>(set) - static_cast<int32_t>(none);
}

int32_t ArrayTreeContainer::GetParent(int32_t id, int32_t* out) {
  return LinkLookup<&TreeSlot::parent, kOutOfRange>(id, out);
}

int32_t ArrayTreeContainer::GetLastChild(int32_t id, int32_t* out) {
  return LinkLookup<&TreeSlot::lastChild, kOutOfRange>(id, out);
}

int32_t ArrayTreeContainer::GetFirstChild(int32_t id, int32_t* out) {
  return LinkLookup<&TreeSlot::firstChild, kOutOfRange>(id, out);
}

int32_t ArrayTreeContainer::GetPrevSibling(int32_t id, int32_t* out) {
  return LinkLookup<&TreeSlot::prevSibling, kNotANode>(id, out);
}

// Never -1: reads the link of any slot in range, node or not.
int32_t ArrayTreeContainer::GetNextSibling(int32_t id, int32_t* out) {
  return LinkLookup<&TreeSlot::nextSibling, kNever>(id, out);
}

// ---------------------------------------------------------------------------
// Paths and siblings

int32_t ArrayTreeContainer::GetPathToRoot(int32_t id, int32_t* buffer, int32_t capacity) {
  if (Exists(id) == 0) return -1;
  Put(buffer, capacity, 0, id);
  int32_t count = 1;
  int32_t cur = id;
  // Up to a node without parent, or to a parent that is not a node; that
  // last ID is listed too.
  while (static_cast<uint32_t>(count) < store_.count()) {
    const TreeSlot* slot = FindSlot(cur);
    if (slot == nullptr) break;
    cur = slot->parent;
    if (cur == 0) break;
    Put(buffer, capacity, count++, cur);
  }
  return count;
}

int32_t ArrayTreeContainer::GetPathFromRoot(int32_t id, int32_t* buffer, int32_t capacity) {
  if (FindSlot(id) == nullptr) return -1;
  // The path is the chain of nodes above id. When it ends at a parent that
  // is not a node, the topmost node of the chain is not listed: the path
  // then starts below the break.
  int32_t nodes = 0;
  bool brokenTop = false;
  int32_t cur = id;
  for (;;) {
    const TreeSlot* slot = FindSlot(cur);
    if (slot == nullptr) {
      brokenTop = true;
      break;
    }
    ++nodes;
    cur = slot->parent;
    if (cur == 0 || static_cast<uint32_t>(nodes) >= store_.count()) break;
  }
  const int32_t count = brokenTop ? nodes - 1 : nodes;
  if (buffer != nullptr && capacity > 0) {
    cur = id;
    for (int32_t i = 0; i < count; ++i) {
      Put(buffer, capacity, count - 1 - i, cur);
      cur = SlotOf(cur).parent;
    }
  }
  return count;
}

// The chains of siblings are read as GetNextSibling reads them, from the
// parent's first child. A node whose parent lists no first child (the
// parent is no longer a node, or was brought in again) answers as one
// without parent.
int32_t ArrayTreeContainer::GetSiblings(int32_t id, int32_t* buffer, int32_t capacity) {
  const TreeSlot* slot = FindSlot(id);
  if (slot == nullptr) return -1;
  if (slot->parent == 0) return 0;
  int32_t cur = 0;
  if (GetFirstChild(slot->parent, &cur) != 1) return 0;
  int32_t count = 0;
  for (uint32_t steps = 1;; ++steps) {
    if (cur != id) Put(buffer, capacity, count++, cur);
    int32_t next = 0;
    if (GetNextSibling(cur, &next) != 1 || steps >= store_.count()) return count;
    cur = next;
  }
}

int32_t ArrayTreeContainer::GetSiblingsWithSelf(int32_t id, int32_t* buffer, int32_t capacity) {
  const TreeSlot* slot = FindSlot(id);
  if (slot == nullptr) return -1;
  int32_t cur = 0;
  if (slot->parent == 0 || GetFirstChild(slot->parent, &cur) != 1) {
    Put(buffer, capacity, 0, id);
    return 1;
  }
  Put(buffer, capacity, 0, cur);
  int32_t count = 1;
  while (static_cast<uint32_t>(count) < store_.count()) {
    int32_t next = 0;
    if (GetNextSibling(cur, &next) != 1) break;
    cur = next;
    Put(buffer, capacity, count++, cur);
  }
  return count;
}

// ---------------------------------------------------------------------------
// Whole-tree walks. Each is the walk from the start's first child x0 over
// x0, its later siblings and all below them (component/tree_walk.h); it
// visits fewer nodes than there are slots. Each keeps its own stack, so
// that walks on several threads at once do not meet.

// Leaves come depth-first, left to right; the start is never listed.
int32_t ArrayTreeContainer::GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) {
  if (Exists(id) == 0) return -1;
  int32_t first = 0;
  if (GetFirstChild(id, &first) != 1) return 0;
  struct {
    bool operator()(int32_t x, const TreeSlot& slot, int32_t) {
      if (slot.firstChild == 0) Put(buffer, capacity, count++, x);
      return true;
    }
    void reset() { count = 0; }
    int32_t* buffer;
    int32_t capacity;
    int32_t count;
  } leaves{buffer, capacity, 0};
  Rows rows(&walkBlocks_);
  Walk<WalkOrder::kDepthFirst>(SlotLinks<false>{SlotStore::View(store_)}, rows, first,
                               store_.count(), leaves);
  return leaves.count;
}

// The nodes of x0's walk with a parent, as (node, parent): a node comes
// before its later siblings' children and its own.
int32_t ArrayTreeContainer::CollectPairs(int32_t x0, NodePair* pairs, int32_t capacity) {
  struct {
    bool operator()(int32_t x, const TreeSlot& slot, int32_t) {
      if (count < room) pairs[count] = NodePair{x, slot.parent};
      ++count;
      return true;
    }
    void reset() { count = 0; }
    NodePair* pairs;
    int32_t room;
    int32_t count;
  } listed{pairs, pairs != nullptr ? capacity : 0, 0};
  Rows rows(&walkBlocks_);
  Walk<WalkOrder::kRowsFirst>(SlotLinks<true>{SlotStore::View(store_)}, rows, x0,
                              store_.count(), listed);
  return listed.count;
}

int32_t ArrayTreeContainer::GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) {
  int32_t root = 0;
  if (GetRoot(&root) == 0) return 0;
  if (rootOut != nullptr) *rootOut = root;
  const int32_t first = SlotOf(root).firstChild;
  return 1 + (first != 0 ? CollectPairs(first, pairs, capacity) : 0);
}

int32_t ArrayTreeContainer::GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) {
  const TreeSlot* slot = FindSlot(id);
  if (slot == nullptr) return -1;
  if (slot->firstChild == 0) return 0;
  return CollectPairs(slot->firstChild, pairs, capacity);
}

// A node `depth` levels below id is reached through first children only,
// so it lists its whole row (GetSiblingsWithSelf), after which the walk
// visits neither its later siblings nor anything below.
int32_t ArrayTreeContainer::GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer,
                                            int32_t capacity) {
  const int32_t none = Exists(id) == 1 ? 0 : -1;
  if (depth == 0) {
    if (none != 0) return -1;
    Put(buffer, capacity, 0, id);
    return 1;
  }
  if (depth < 0) return none;
  int32_t first = 0;
  if (GetFirstChild(id, &first) != 1) return none;
  struct {
    bool operator()(int32_t x, const TreeSlot&, int32_t level) {
      if (level != depth) return true;
      const bool fits = buffer != nullptr && count < capacity;
      count += tree->GetSiblingsWithSelf(x, fits ? buffer + count : nullptr,
                                         fits ? capacity - count : 0);
      return false;
    }
    void reset() { count = 0; }
    ArrayTreeContainer* tree;
    int32_t depth;
    int32_t* buffer;
    int32_t capacity;
    int32_t count;
  } row{this, depth, buffer, capacity, 0};
  Rows rows(&walkBlocks_);
  Walk<WalkOrder::kDepthFirst>(SlotLinks<false>{SlotStore::View(store_)}, rows, first,
                               store_.count(), row);
  return row.count;
}

}  // namespace rodarove
