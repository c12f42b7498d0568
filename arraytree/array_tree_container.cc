#include "arraytree/array_tree_container.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace rodarove {

namespace {

// Entry k of a list answer is written only when it fits.
inline void Put(int32_t* buffer, int32_t capacity, int32_t k, int32_t value) {
  if (buffer != nullptr && k < capacity) buffer[k] = value;
}

inline void PutPair(NodePair* pairs, int32_t capacity, int32_t k, int32_t id, int32_t parent) {
  if (pairs != nullptr && k < capacity) {
    pairs[k].id = id;
    pairs[k].parent = parent;
  }
}

}  // namespace

IComponent* CreateArrayTreeContainer() {
  IComponent* component = CreateComponentObject<ArrayTreeContainer>();
  if (component == nullptr) return nullptr;
  auto* tree = static_cast<ArrayTreeContainer*>(static_cast<ITreeContainer*>(component));
  if (!tree->HasStore()) {
    tree->Discard();
    return nullptr;
  }
  return component;
}

ArrayTreeContainer::ArrayTreeContainer() {
  slots_ = new (std::nothrow) TreeSlot[kSlotStep]();
  capacity_ = slots_ != nullptr ? kSlotStep : 0;
}

ArrayTreeContainer::~ArrayTreeContainer() { delete[] slots_; }

// ---------------------------------------------------------------------------
// Store

bool ArrayTreeContainer::GrowSlots(int32_t id) {
  const uint32_t wanted = static_cast<uint32_t>(id);
  if (wanted >= kMaxSlotCount) return false;
  const uint32_t newCount = (wanted / kSlotStep + 1) * kSlotStep;
  if (newCount <= slotCount_) return true;
  if (newCount <= capacity_) {
    // Slots at and after slotCount_ were never written: already all zero.
    slotCount_ = newCount;
    return true;
  }
  // Grow the storage geometrically; when that much cannot be had, try the
  // exact count before refusing.
  uint32_t target = std::max(newCount, std::min(kMaxSlotCount, capacity_ * 2));
  TreeSlot* fresh = new (std::nothrow) TreeSlot[target]();
  if (fresh == nullptr && target > newCount) {
    target = newCount;
    fresh = new (std::nothrow) TreeSlot[target]();
  }
  if (fresh == nullptr) return false;
  std::memcpy(fresh, slots_, static_cast<size_t>(slotCount_) * sizeof(TreeSlot));
  delete[] slots_;
  slots_ = fresh;
  capacity_ = target;
  slotCount_ = newCount;
  return true;
}

void ArrayTreeContainer::SetLink(int32_t id, LinkKind kind, int32_t value) {
  TreeSlot& slot = SlotOf(id);
  switch (kind) {
    case kParent: slot.parent = value; break;
    case kLastChild: slot.lastChild = value; break;
    case kFirstChild: slot.firstChild = value; break;
    case kNextSibling: slot.nextSibling = value; break;
  }
}

int32_t ArrayTreeContainer::SetRoot(int32_t id) {
  if (id == 0) return 0;
  if (!MakeRoomFor(id)) return 0;
  if (hasRoot_ != 0) return 0;
  // Refilling a node's slot would leave its relatives linked to a slot that
  // no longer links back.
  if (slots_[id].used != 0) return 0;
  rootId_ = id;
  hasRoot_ = 1;
  Refill(id);
  return 1;
}

int32_t ArrayTreeContainer::Clear() {
  std::memset(slots_, 0, static_cast<size_t>(slotCount_) * sizeof(TreeSlot));
  hasRoot_ = 0;
  rows_.Release();
  return 1;
}

// ---------------------------------------------------------------------------
// Edits

bool ArrayTreeContainer::WouldCloseCycle(int32_t newId, int32_t parentId) {
  // The nodes that name newId as their parent are those listed under it,
  // and those it lost when its slot was filled anew.
  const TreeSlot& fresh = slots_[newId];
  if (fresh.firstChild == 0 && fresh.lostChildren == 0) return false;
  // Up from parentId through nodes; the first ID that is not a node ends
  // the chain. Parent links of nodes have no cycle, so this ends within
  // slotCount_ steps.
  int32_t cur = parentId;
  for (uint32_t steps = 0; steps < slotCount_; ++steps) {
    const TreeSlot* slot = FindSlot(cur);
    if (slot == nullptr) return cur == newId;
    cur = slot->parent;
  }
  return true;
}

bool ArrayTreeContainer::AcceptsChild(int32_t newId, int32_t parentId) {
  if (newId == 0 || parentId == 0) return false;
  if (!MakeRoomFor(newId)) return false;
  // The parent need only be in range; it need not be a node.
  if (static_cast<uint32_t>(parentId) >= slotCount_) return false;
  return slots_[newId].used == 0 && parentId != newId && !WouldCloseCycle(newId, parentId);
}

int32_t ArrayTreeContainer::MakeOnlyChild(int32_t newId, int32_t parentId) {
  Refill(newId).parent = parentId;
  slots_[parentId].firstChild = newId;
  slots_[parentId].lastChild = newId;
  return 1;
}

// When the parent has children, the new slot is filled by InsertAfter or
// InsertBefore only when it accepts, so a refusal leaves nothing behind.
int32_t ArrayTreeContainer::AppendChild(int32_t newId, int32_t parentId) {
  if (!AcceptsChild(newId, parentId)) return 0;
  const TreeSlot& parent = slots_[parentId];
  if (parent.firstChild != 0) return InsertAfter(newId, parentId, parent.lastChild);
  return MakeOnlyChild(newId, parentId);
}

int32_t ArrayTreeContainer::PrependChild(int32_t newId, int32_t parentId) {
  if (!AcceptsChild(newId, parentId)) return 0;
  const TreeSlot& parent = slots_[parentId];
  if (parent.firstChild != 0) return InsertBefore(newId, parentId, parent.firstChild);
  return MakeOnlyChild(newId, parentId);
}

bool ArrayTreeContainer::AcceptsInsertBeside(int32_t newId, int32_t parentId, int32_t refId) {
  if (newId == 0) return false;
  if (!MakeRoomFor(newId)) return false;
  if (static_cast<uint32_t>(parentId) >= slotCount_ ||
      static_cast<uint32_t>(refId) >= slotCount_) {
    return false;
  }
  // Slot 0 is never used, so a parent or reference of 0 is refused here.
  const TreeSlot& parent = SlotOf(parentId);
  const TreeSlot& ref = SlotOf(refId);
  if (parent.used == 0 || ref.used == 0 || ref.parent != parentId) return false;
  return slots_[newId].used == 0 && parentId != newId && !WouldCloseCycle(newId, parentId);
}

int32_t ArrayTreeContainer::InsertAfter(int32_t newId, int32_t parentId, int32_t refId) {
  if (!AcceptsInsertBeside(newId, parentId, refId)) return 0;
  TreeSlot& parent = SlotOf(parentId);
  TreeSlot& ref = SlotOf(refId);
  TreeSlot& slot = Refill(newId);
  slot.parent = parentId;
  slot.nextSibling = ref.nextSibling;
  slot.prevSibling = refId;
  if (ref.nextSibling != 0) slots_[ref.nextSibling].prevSibling = newId;
  ref.nextSibling = newId;
  if (parent.lastChild == refId) parent.lastChild = newId;
  return 1;
}

int32_t ArrayTreeContainer::InsertBefore(int32_t newId, int32_t parentId, int32_t refId) {
  if (!AcceptsInsertBeside(newId, parentId, refId)) return 0;
  TreeSlot& parent = SlotOf(parentId);
  TreeSlot& ref = SlotOf(refId);
  TreeSlot& slot = Refill(newId);
  slot.parent = parentId;
  slot.nextSibling = refId;
  slot.prevSibling = ref.prevSibling;
  if (ref.prevSibling != 0) slots_[ref.prevSibling].nextSibling = newId;
  ref.prevSibling = newId;
  if (parent.firstChild == refId) parent.firstChild = newId;
  return 1;
}

int32_t ArrayTreeContainer::RemoveNode(int32_t id) {
  TreeSlot* slot = FindSlot(id);
  if (slot == nullptr) return -1;
  if (slot->prevSibling != 0) slots_[slot->prevSibling].nextSibling = slot->nextSibling;
  if (slot->nextSibling != 0) slots_[slot->nextSibling].prevSibling = slot->prevSibling;
  if (slot->parent != 0) {
    TreeSlot& parent = slots_[slot->parent];
    if (parent.firstChild == id) parent.firstChild = slot->nextSibling;
    if (parent.lastChild == id) parent.lastChild = slot->prevSibling;
  }
  // The links stay: children keep naming id as their parent.
  slot->used = 0;
  if (id == rootId_) hasRoot_ = 0;
  return 1;
}

bool ArrayTreeContainer::IsInSubtree(int32_t dest, int32_t id) {
  int32_t cur = dest;
  for (uint32_t steps = 0; steps < slotCount_; ++steps) {
    if (cur == id) return true;
    const TreeSlot* slot = FindSlot(cur);
    if (slot == nullptr) return false;
    cur = slot->parent;
    if (cur == 0) return false;
  }
  return false;
}

bool ArrayTreeContainer::CanDetach(int32_t id) {
  const TreeSlot* slot = FindSlot(id);
  if (slot == nullptr) return false;
  if (hasRoot_ != 0 && id == rootId_) return false;
  // Refuses a node whose parent link is 0 or names an ID that is not a node.
  return FindSlot(slot->parent) != nullptr;
}

void ArrayTreeContainer::DetachNode(int32_t id) {
  TreeSlot& slot = slots_[id];
  const int32_t p = slot.parent;
  int32_t s = 0;
  const bool hasPrev = GetPrevSibling(id, &s) == 1;
  const int32_t n = slot.nextSibling;
  if (hasPrev) {
    SetLink(s, kNextSibling, n);
    if (n != 0) slots_[n].prevSibling = s;
  } else {
    SetLink(p, kFirstChild, n);
    if (n != 0) slots_[n].prevSibling = 0;
  }
  if (slots_[p].lastChild == id) SetLink(p, kLastChild, hasPrev ? s : slot.nextSibling);
}

// Every move tests its destination before it detaches, so a refused move
// changes nothing. Refused: the root, a node whose parent is not a node, a
// destination that is not a node (or, for a reference, has no parent), and
// a destination inside the moved subtree, the node itself included.

int32_t ArrayTreeContainer::MoveToFirstChild(int32_t id, int32_t newParentId) {
  if (!CanDetach(id)) return 0;
  if (FindSlot(newParentId) == nullptr) return 0;
  if (IsInSubtree(newParentId, id)) return 0;
  DetachNode(id);
  slots_[id].prevSibling = 0;
  SetLink(id, kParent, newParentId);
  const int32_t f = slots_[newParentId].firstChild;
  SetLink(id, kNextSibling, f);
  if (f != 0) {
    slots_[f].prevSibling = id;
  } else {
    SetLink(newParentId, kLastChild, id);
  }
  SetLink(newParentId, kFirstChild, id);
  return 1;
}

int32_t ArrayTreeContainer::MoveToLastChild(int32_t id, int32_t newParentId) {
  if (!CanDetach(id)) return 0;
  if (FindSlot(newParentId) == nullptr) return 0;
  if (IsInSubtree(newParentId, id)) return 0;
  DetachNode(id);
  SetLink(id, kParent, newParentId);
  SetLink(id, kNextSibling, 0);
  const int32_t l = slots_[newParentId].lastChild;
  if (l != 0) {
    slots_[id].prevSibling = l;
    SetLink(l, kNextSibling, id);
  } else {
    slots_[id].prevSibling = 0;
    SetLink(newParentId, kFirstChild, id);
  }
  SetLink(newParentId, kLastChild, id);
  return 1;
}

int32_t ArrayTreeContainer::MoveBefore(int32_t id, int32_t refId) {
  if (!CanDetach(id)) return 0;
  int32_t p = 0;
  if (GetParent(refId, &p) != 1) return 0;
  if (IsInSubtree(refId, id)) return 0;
  DetachNode(id);
  SetLink(id, kParent, p);
  SetLink(id, kNextSibling, refId);
  int32_t s = 0;
  if (GetPrevSibling(refId, &s) == 1) {
    SetLink(s, kNextSibling, id);
  } else {
    SetLink(p, kFirstChild, id);
  }
  slots_[id].prevSibling = slots_[refId].prevSibling;
  slots_[refId].prevSibling = id;
  return 1;
}

int32_t ArrayTreeContainer::MoveAfter(int32_t id, int32_t refId) {
  if (!CanDetach(id)) return 0;
  int32_t p = 0;
  if (GetParent(refId, &p) != 1) return 0;
  if (IsInSubtree(refId, id)) return 0;
  DetachNode(id);
  SetLink(id, kParent, p);
  const int32_t n = slots_[refId].nextSibling;
  SetLink(id, kNextSibling, n);
  if (n != 0) slots_[n].prevSibling = id;
  if (slots_[refId].nextSibling == 0) SetLink(p, kLastChild, id);
  SetLink(refId, kNextSibling, id);
  slots_[id].prevSibling = refId;
  return 1;
}

// ---------------------------------------------------------------------------
// Tests and single-link lookups

int32_t ArrayTreeContainer::IsLeaf(int32_t id) {
  const TreeSlot* slot = FindSlot(id);
  return slot != nullptr && slot->firstChild == 0 ? 1 : 0;
}

int32_t ArrayTreeContainer::Exists(int32_t id) {
  return InRange(id) && slots_[id].used != 0 ? 1 : 0;
}

// Reads the parent link without testing that either ID is a node.
int32_t ArrayTreeContainer::IsChild(int32_t id, int32_t parentId) {
  if (!InRange(id) || !InRange(parentId)) return 0;
  return slots_[id].parent == parentId ? 1 : 0;
}

namespace {
// 1 with the link written (when out is given), 0 for a link of 0.
inline int32_t Answer(int32_t link, int32_t* out) {
  if (link == 0) return 0;
  if (out != nullptr) *out = link;
  return 1;
}
}  // namespace

int32_t ArrayTreeContainer::GetParent(int32_t id, int32_t* out) {
  if (!InRange(id)) return -1;
  const TreeSlot& slot = slots_[id];
  return slot.used != 0 ? Answer(slot.parent, out) : 0;
}

int32_t ArrayTreeContainer::GetLastChild(int32_t id, int32_t* out) {
  if (!InRange(id)) return -1;
  const TreeSlot& slot = slots_[id];
  return slot.used != 0 ? Answer(slot.lastChild, out) : 0;
}

int32_t ArrayTreeContainer::GetFirstChild(int32_t id, int32_t* out) {
  if (!InRange(id)) return -1;
  const TreeSlot& slot = slots_[id];
  return slot.used != 0 ? Answer(slot.firstChild, out) : 0;
}

int32_t ArrayTreeContainer::GetPrevSibling(int32_t id, int32_t* out) {
  const TreeSlot* slot = FindSlot(id);
  return slot != nullptr ? Answer(slot->prevSibling, out) : -1;
}

// Never -1: reads the link of any slot in range, node or not.
int32_t ArrayTreeContainer::GetNextSibling(int32_t id, int32_t* out) {
  if (!InRange(id)) return 0;
  return Answer(slots_[id].nextSibling, out);
}

// ---------------------------------------------------------------------------
// List queries

int32_t ArrayTreeContainer::GetPathToRoot(int32_t id, int32_t* buffer, int32_t capacity) {
  if (Exists(id) == 0) return -1;
  Put(buffer, capacity, 0, id);
  int32_t count = 1;
  int32_t cur = id;
  // Up to a node without parent, or to a parent that is not a node; that
  // last ID is listed too.
  while (static_cast<uint32_t>(count) < slotCount_) {
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
    if (cur == 0 || static_cast<uint32_t>(nodes) >= slotCount_) break;
  }
  const int32_t count = brokenTop ? nodes - 1 : nodes;
  if (buffer != nullptr && capacity > 0) {
    cur = id;
    for (int32_t i = 0; i < count; ++i) {
      Put(buffer, capacity, count - 1 - i, cur);
      cur = slots_[cur].parent;
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
    if (GetNextSibling(cur, &next) != 1 || steps >= slotCount_) return count;
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
  while (static_cast<uint32_t>(count) < slotCount_) {
    int32_t next = 0;
    if (GetNextSibling(cur, &next) != 1) break;
    cur = next;
    Put(buffer, capacity, count++, cur);
  }
  return count;
}

int32_t ArrayTreeContainer::CollectPairs(int32_t x0, NodePair* pairs, int32_t capacity) {
  const int32_t count = CollectPairsByRows(x0, pairs, capacity);
  return count >= 0 ? count : CollectPairsByLinks(x0, pairs, capacity);
}

// The walk from x lists x's row from x on, then the walks from the first
// children of the row's members, last member first. So it reads every slot
// once, when its row is listed, and keeps the first child of each member on
// a stack, where the last member's comes out first. (The walk by links reads
// every slot a second time on its way back along the row, on a large tree
// long after the slot left the cache.) A node without parent, or not a
// node, ends its row; at most slotCount_ pairs are listed, so a cycle of
// links cannot keep the walk from ending.
int32_t ArrayTreeContainer::CollectPairsByRows(int32_t x0, NodePair* pairs, int32_t capacity) {
  const int32_t room = pairs != nullptr ? capacity : 0;
  int32_t count = 0;
  rows_.Begin(static_cast<size_t>(slotCount_) + 1);  // x0 and one row per pair at most
  if (!rows_.Push(x0)) return -1;
  while (!rows_.Empty()) {
    int32_t x = rows_.Pop();
    do {
      const TreeSlot* slot = FindSlot(x);
      if (slot == nullptr || slot->parent == 0) break;
      if (static_cast<uint32_t>(count) >= slotCount_) return count;
      // The next sibling first: its slot is the next to come from memory.
      const int32_t id = x;
      const int32_t child = slot->firstChild;
      x = slot->nextSibling;
      if (count < room) pairs[count] = NodePair{id, slot->parent};
      ++count;
      if (child != 0 && !rows_.Push(child)) return -1;
    } while (x != 0);
  }
  return count;
}

// The three walks below visit a binary tree whose left link is firstChild
// and whose right link is nextSibling, starting at x0, a first child. They
// keep no stack: a node reached as a next sibling names the node it came
// from in prevSibling, one reached as a first child has no previous sibling
// and names it in parent. A link to an ID that is not a node ends that
// branch. Each walk visits at most slotCount_ nodes, so a cycle of links
// cannot keep it from ending.

int32_t ArrayTreeContainer::CollectLeaves(int32_t x0, int32_t* buffer, int32_t capacity) {
  if (FindSlot(x0) == nullptr) return 0;
  int32_t count = 0;
  int32_t cur = x0;
  uint32_t visits = 0;
  uint32_t climbs = 0;
  for (;;) {
    // Visit cur: a leaf is listed, an inner node leads to its first child.
    if (++visits > slotCount_) return count;
    const TreeSlot& slot = slots_[cur];
    if (slot.firstChild == 0) {
      Put(buffer, capacity, count++, cur);
    } else if (FindSlot(slot.firstChild) != nullptr) {
      cur = slot.firstChild;
      continue;
    }
    // cur's children are done: its next sibling, or climb until a node
    // whose next sibling is still to come.
    for (;;) {
      const int32_t next = slots_[cur].nextSibling;
      if (next != 0 && FindSlot(next) != nullptr) {
        cur = next;
        break;
      }
      // cur's walk is complete.
      bool childrenDone = false;
      while (!childrenDone) {
        if (cur == x0 || ++climbs > slotCount_) return count;
        const TreeSlot& done = slots_[cur];
        if (done.prevSibling != 0) {
          cur = done.prevSibling;  // whose walk ends with cur's
        } else {
          cur = done.parent;  // whose children are now done
          childrenDone = true;
        }
      }
    }
  }
}

int32_t ArrayTreeContainer::CollectAtDepth(int32_t target, int32_t x0, int32_t* buffer,
                                           int32_t capacity) {
  if (FindSlot(x0) == nullptr) return 0;
  int32_t count = 0;
  int32_t cur = x0;
  int32_t level = 1;
  uint32_t visits = 0;
  uint32_t climbs = 0;
  for (;;) {
    if (++visits > slotCount_) return count;
    const TreeSlot& slot = slots_[cur];
    bool walkComplete = false;
    if (level == target) {
      // Reached through first children only: the whole row of cur's
      // parent, after which cur's later siblings are not visited again.
      const bool fits = buffer != nullptr && count < capacity;
      count += GetSiblingsWithSelf(cur, fits ? buffer + count : nullptr,
                                   fits ? capacity - count : 0);
      walkComplete = true;
    } else if (slot.firstChild != 0 && FindSlot(slot.firstChild) != nullptr) {
      cur = slot.firstChild;
      ++level;
      continue;
    }
    for (;;) {
      if (!walkComplete) {
        const int32_t next = slots_[cur].nextSibling;
        if (next != 0 && FindSlot(next) != nullptr) {
          cur = next;
          break;
        }
      }
      walkComplete = false;
      bool childrenDone = false;
      while (!childrenDone) {
        if (cur == x0 || ++climbs > slotCount_) return count;
        const TreeSlot& done = slots_[cur];
        if (done.prevSibling != 0) {
          cur = done.prevSibling;
        } else {
          cur = done.parent;
          --level;
          childrenDone = true;
        }
      }
    }
  }
}

int32_t ArrayTreeContainer::CollectPairsByLinks(int32_t x0, NodePair* pairs, int32_t capacity) {
  // A node without parent, or not a node, ends its branch.
  auto listed = [this](int32_t x) {
    const TreeSlot* slot = FindSlot(x);
    return slot != nullptr && slot->parent != 0;
  };
  if (!listed(x0)) return 0;
  int32_t count = 0;
  int32_t cur = x0;
  uint32_t visits = 0;
  uint32_t climbs = 0;
  for (;;) {
    // Visit cur: list it, then its next sibling's walk comes first.
    if (++visits > slotCount_) return count;
    PutPair(pairs, capacity, count++, cur, slots_[cur].parent);
    const int32_t next = slots_[cur].nextSibling;
    if (next != 0 && listed(next)) {
      cur = next;
      continue;
    }
    // cur's next-sibling walk is done: its first child's walk, or climb
    // until a node whose first child's walk is still to come.
    for (;;) {
      const int32_t child = slots_[cur].firstChild;
      if (child != 0 && listed(child)) {
        cur = child;
        break;
      }
      bool siblingsDone = false;
      while (!siblingsDone) {
        if (cur == x0 || ++climbs > slotCount_) return count;
        const TreeSlot& done = slots_[cur];
        if (done.prevSibling != 0) {
          cur = done.prevSibling;  // whose children come next
          siblingsDone = true;
        } else {
          cur = done.parent;  // whose walk ends with its children's
        }
      }
    }
  }
}

int32_t ArrayTreeContainer::GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) {
  if (Exists(id) == 0) return -1;
  int32_t first = 0;
  if (GetFirstChild(id, &first) != 1) return 0;
  return CollectLeaves(first, buffer, capacity);
}

int32_t ArrayTreeContainer::GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) {
  int32_t root = 0;
  if (GetRoot(&root) == 0) return 0;
  if (rootOut != nullptr) *rootOut = root;
  const int32_t first = slots_[root].firstChild;
  return 1 + (first != 0 ? CollectPairs(first, pairs, capacity) : 0);
}

int32_t ArrayTreeContainer::GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) {
  const TreeSlot* slot = FindSlot(id);
  if (slot == nullptr) return -1;
  if (slot->firstChild == 0) return 0;
  return CollectPairs(slot->firstChild, pairs, capacity);
}

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
  return CollectAtDepth(depth, first, buffer, capacity);
}

}  // namespace rodarove
