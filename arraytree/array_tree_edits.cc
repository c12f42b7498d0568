// Component 837: creation, the edits, and the two sibling relinkings they
// are built from.
#include "arraytree/array_tree_container.h"

namespace rodarove {

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

// A refused SetRoot or insertion keeps the count it grew to; one refused
// for want of memory leaves the store as it was.
int32_t ArrayTreeContainer::SetRoot(int32_t id) {
  const uint32_t countBefore = store_.count();
  if (id == 0) return 0;
  if (!MakeRoomFor(id)) return 0;
  if (hasRoot_ != 0) return 0;
  // Refilling a node's slot would leave its relatives linked to a slot that
  // no longer links back.
  if (SlotOf(id).used) return 0;
  if (!PrepareSlots(id, id, countBefore)) return 0;
  rootId_ = id;
  hasRoot_ = 1;
  Refill(Slot(id), 0);
  return 1;
}

int32_t ArrayTreeContainer::Clear() {
  store_.Clear();
  nodeCount_ = 0;
  hasRoot_ = 0;
  walkBlocks_.Release();
  return 1;
}

// ---------------------------------------------------------------------------
// Insertions and removal

// Parent links of nodes have no cycle, so this ends in fewer steps than
// there are slots.
bool ArrayTreeContainer::ClimbReaches(int32_t from, int32_t to) const {
  const SlotStore::View view(store_);
  int32_t cur = from;
  for (uint32_t steps = 0; steps < store_.count(); ++steps) {
    const TreeSlot* slot = view.FindNode(cur);
    if (slot == nullptr) return cur == to;
    cur = slot->parent;
  }
  return true;
}

// The parent keeps its first (or last) child unless that was refId.
template <bool kFront>
inline int32_t ArrayTreeContainer::LinkBeside(int32_t newId, int32_t parentId, int32_t refId,
                                              bool after, uint32_t countBefore) {
  // The parent and the reference are nodes, and so have memory.
  if (!kFront && !PrepareSlots(newId, newId, countBefore)) return 0;
  TreeSlot* const fresh = SlotIn<kFront>(newId);
  TreeSlot* const ref = Slot(refId);
  TreeSlot* const parent = SlotIn<kFront>(parentId);
  const int32_t a = after ? refId : ref->prevSibling;
  const int32_t b = after ? ref->nextSibling : refId;
  Refill(fresh, parentId);
  Splice(a, newId, fresh, b);
  if (after && parent->lastChild == refId) parent->lastChild = newId;
  if (!after && parent->firstChild == refId) parent->firstChild = newId;
  return 1;
}

// A refusal leaves nothing behind but the grown count: the new slot is
// filled only once every test passed.
int32_t ArrayTreeContainer::AddChild(int32_t newId, int32_t parentId, bool last) {
  const uint32_t countBefore = store_.count();
  if (newId == 0 || parentId == 0) return 0;
  if (!MakeRoomFor(newId)) return 0;
  // The parent need only be in range; it need not be a node.
  if (static_cast<uint32_t>(parentId) >= store_.count()) return 0;
  return store_.InFront(newId, parentId)
             ? AddChildIn<true>(newId, parentId, last, countBefore)
             : AddChildIn<false>(newId, parentId, last, countBefore);
}

template <bool kFront>
int32_t ArrayTreeContainer::AddChildIn(int32_t newId, int32_t parentId, bool last,
                                       uint32_t countBefore) {
  if (!AcceptsNew<kFront>(newId, parentId)) return 0;
  const TreeSlot& parent = *SlotIn<kFront>(parentId);
  if (parent.firstChild != 0) {
    // As InsertAfter of the last child (InsertBefore of the first) would,
    // whose tests of newId are those just made.
    const int32_t refId = last ? parent.lastChild : parent.firstChild;
    if (!BesideAccepts(parent, parentId, refId)) return 0;
    return LinkBeside<kFront>(newId, parentId, refId, last, countBefore);
  }
  // The only child; the parent's slot may never have been written.
  if (!kFront && !PrepareSlots(newId, parentId, countBefore)) return 0;
  Refill(SlotIn<kFront>(newId), parentId);
  TreeSlot* const written = SlotIn<kFront>(parentId);
  written->firstChild = newId;
  written->lastChild = newId;
  return 1;
}

int32_t ArrayTreeContainer::AppendChild(int32_t newId, int32_t parentId) {
  return AddChild(newId, parentId, true);
}

int32_t ArrayTreeContainer::PrependChild(int32_t newId, int32_t parentId) {
  return AddChild(newId, parentId, false);
}

int32_t ArrayTreeContainer::InsertBeside(int32_t newId, int32_t parentId, int32_t refId,
                                         bool after) {
  const uint32_t countBefore = store_.count();
  if (newId == 0) return 0;
  if (!MakeRoomFor(newId)) return 0;
  if (static_cast<uint32_t>(parentId) >= store_.count() ||
      static_cast<uint32_t>(refId) >= store_.count()) {
    return 0;
  }
  return store_.InFront(newId, parentId)
             ? InsertBesideIn<true>(newId, parentId, refId, after, countBefore)
             : InsertBesideIn<false>(newId, parentId, refId, after, countBefore);
}

template <bool kFront>
int32_t ArrayTreeContainer::InsertBesideIn(int32_t newId, int32_t parentId, int32_t refId,
                                           bool after, uint32_t countBefore) {
  if (!BesideAccepts(*SlotIn<kFront>(parentId), parentId, refId)) return 0;
  if (!AcceptsNew<kFront>(newId, parentId)) return 0;
  return LinkBeside<kFront>(newId, parentId, refId, after, countBefore);
}

int32_t ArrayTreeContainer::InsertAfter(int32_t newId, int32_t parentId, int32_t refId) {
  return InsertBeside(newId, parentId, refId, true);
}

int32_t ArrayTreeContainer::InsertBefore(int32_t newId, int32_t parentId, int32_t refId) {
  return InsertBeside(newId, parentId, refId, false);
}

int32_t ArrayTreeContainer::RemoveNode(int32_t id) {
  if (!InRange(id)) return -1;
  // Read only unless it is a node's.
  TreeSlot* const slot = Slot(id);
  if (!slot->used) return -1;
  const int32_t a = slot->prevSibling;
  const int32_t b = slot->nextSibling;
  const int32_t p = slot->parent;
  Unsplice(a, b);
  // Only a node at an end of its chain can be its parent's first or last
  // child: a node between two siblings leaves the parent's slot unread.
  if (p != 0 && (a == 0 || b == 0)) {
    TreeSlot* const parent = Slot(p);
    if (parent->firstChild == id) parent->firstChild = b;
    if (parent->lastChild == id) parent->lastChild = a;
  }
  // The links stay: children keep naming id as their parent.
  slot->used = false;
  --nodeCount_;
  if (id == rootId_) hasRoot_ = 0;
  return 1;
}

// ---------------------------------------------------------------------------
// Moves

inline bool ArrayTreeContainer::IsInSubtree(int32_t dest, int32_t id) const {
  const SlotStore::View view(store_);
  int32_t cur = dest;
  for (uint32_t steps = 0; steps < store_.count(); ++steps) {
    if (cur == id) return true;
    const TreeSlot* slot = view.FindNode(cur);
    if (slot == nullptr) return false;
    cur = slot->parent;
    if (cur == 0) return false;
  }
  return false;
}

inline bool ArrayTreeContainer::CanDetach(int32_t id) const {
  const TreeSlot* slot = FindSlot(id);
  if (slot == nullptr) return false;
  if (hasRoot_ != 0 && id == rootId_) return false;
  // Refuses a node whose parent link is 0 or names an ID that is not a node.
  return FindSlot(slot->parent) != nullptr;
}

// A node without previous sibling hands the parent's first child to its
// next one, whatever the parent listed first.
inline void ArrayTreeContainer::DetachNode(int32_t id, const TreeSlot& node) {
  const int32_t p = node.parent;
  const int32_t a = node.prevSibling;
  const int32_t b = node.nextSibling;
  Unsplice(a, b);
  TreeSlot* const parent = Slot(p);
  if (a == 0) parent->firstChild = b;
  if (parent->lastChild == id) parent->lastChild = a != 0 ? a : b;
}

inline void ArrayTreeContainer::Attach(int32_t id, TreeSlot* node, int32_t p, int32_t a, int32_t b) {
  node->parent = p;
  Splice(a, id, node, b);
  TreeSlot* const parent = Slot(p);
  if (a == 0) parent->firstChild = id;
  if (b == 0) parent->lastChild = id;
}

// Every move tests its destination before it detaches, so a refused move
// changes nothing. Refused: the root, a node whose parent is not a node, a
// destination that is not a node (or, for a reference, has no parent), and
// a destination inside the moved subtree, the node itself included. The
// place beside the destination is read after the node is detached.

template <Place kPlace>
int32_t ArrayTreeContainer::MoveNode(int32_t id, int32_t destId) {
  if (!CanDetach(id)) return 0;
  constexpr bool beside = BesideReference(kPlace);
  int32_t p = destId;
  if (beside ? GetParent(destId, &p) != 1 : FindSlot(destId) == nullptr) return 0;
  // Both are nodes, so their slots have memory; a move takes no other.
  TreeSlot* const node = Slot(id);
  // No node names one without children as parent unless it lost some: only
  // then is the climb from the destination needed.
  if (node->firstChild != 0 || node->lostChildren ? IsInSubtree(destId, id) : destId == id) {
    return 0;
  }
  const TreeSlot* const dest = Slot(destId);
  DetachNode(id, *node);
  switch (kPlace) {
    case Place::kFirstChild: Attach(id, node, destId, 0, dest->firstChild); break;
    case Place::kLastChild: Attach(id, node, destId, dest->lastChild, 0); break;
    case Place::kBefore: Attach(id, node, p, dest->prevSibling, destId); break;
    case Place::kAfter: Attach(id, node, p, destId, dest->nextSibling); break;
  }
  return 1;
}

int32_t ArrayTreeContainer::MoveToFirstChild(int32_t id, int32_t newParentId) {
  return MoveNode<Place::kFirstChild>(id, newParentId);
}

int32_t ArrayTreeContainer::MoveToLastChild(int32_t id, int32_t newParentId) {
  return MoveNode<Place::kLastChild>(id, newParentId);
}

int32_t ArrayTreeContainer::MoveBefore(int32_t id, int32_t refId) {
  return MoveNode<Place::kBefore>(id, refId);
}

int32_t ArrayTreeContainer::MoveAfter(int32_t id, int32_t refId) {
  return MoveNode<Place::kAfter>(id, refId);
}

}  // namespace rodarove
