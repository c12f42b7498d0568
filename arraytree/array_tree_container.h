// ArrayTreeContainer, component 837: a tree over positive node IDs that
// index slots directly (SlotStore).
//
// Slot n holds the links of node n; 0 means "none" in every link, so slot 0
// is never a node. IDs are compared as unsigned values against the slot
// count: an ID is in range when 1 <= ID < the count. The count starts at
// 1000 and grows to the smallest multiple of 1000 above a new ID (never
// beyond RODAROVE_ARRAY_ID_LIMIT), also when the edit that brought the ID is refused;
// memory follows the slots written, not the count.
//
// RemoveNode removes one node: its slot keeps its links, its children stay
// nodes whose parent link names the removed ID. IsChild and GetNextSibling
// read links without testing that the slot is a node, so they see such
// left-over links.
//
// The parent links of nodes never form a cycle: an insertion whose new node
// would become its own ancestor is refused. The new node is never a node
// yet, so that can only happen when some node still names it as parent: a
// child it listed before it was removed, or a child given to it while it was
// not a node. Such children are listed in its slot, or were when the slot
// was filled anew (TreeSlot::lostChildren), so the check climbs only for a
// new node whose slot lists a child or carries that mark.
//
// Every ID a link names has a slot that was written, so only the new node's
// slot and, for a first child, its parent's may need memory; an edit takes
// it after its checks and before it changes a link, and one that cannot
// have it refuses with the store as it was.
//
// No query recurses or takes more steps than the slot count. The
// single-link lookups compute their answer without a branch on the slot's
// contents. The whole-tree walks (component/tree_walk.h) keep a stack of
// the branches still to come, each walk its own, which may take memory
// (kept between walks in walkBlocks_); when it cannot be had they walk by
// links instead, with the same answers. No other query allocates, and no
// query writes anything the object holds: any number may run at once, from
// any threads, while no edit, SetAutoFree or Release runs.
#ifndef RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_
#define RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_

#include <cstdint>

#include "arraytree/slot_store.h"
#include "component/component_base.h"
#include "component/list_output.h"
#include "component/tree_walk.h"
#include "component/walk_stack.h"
#include "rodarove/tree_container.h"

namespace rodarove {

constexpr int32_t kArrayTreeComponentId = 837;

// The create function registered for 837: a new ArrayTreeContainer, or null.
IComponent* CreateArrayTreeContainer();

class ArrayTreeContainer final : public ComponentBase<kArrayTreeComponentId> {
 public:
  static constexpr uint32_t kSlotStep = SlotStore::kSlotStep;

  // HasStore() is false when the store's first allocation failed.
  ArrayTreeContainer() = default;

  bool HasStore() const { return store_.ok(); }

  // Slots 5-14.
  int32_t SetRoot(int32_t id) override;
  int32_t IsLeaf(int32_t id) override;
  int32_t Exists(int32_t id) override;
  int32_t IsChild(int32_t id, int32_t parentId) override;
  int32_t AppendChild(int32_t newId, int32_t parentId) override;
  int32_t PrependChild(int32_t newId, int32_t parentId) override;
  int32_t InsertAfter(int32_t newId, int32_t parentId, int32_t refId) override;
  int32_t InsertBefore(int32_t newId, int32_t parentId, int32_t refId) override;
  int32_t Clear() override;
  int32_t RemoveNode(int32_t id) override;

  // Slots 16-29.
  int32_t GetParent(int32_t id, int32_t* out) override;
  int32_t GetLastChild(int32_t id, int32_t* out) override;
  int32_t GetFirstChild(int32_t id, int32_t* out) override;
  int32_t GetPrevSibling(int32_t id, int32_t* out) override;
  int32_t GetNextSibling(int32_t id, int32_t* out) override;
  int32_t GetPathFromRoot(int32_t id, int32_t* buffer, int32_t capacity) override;
  int32_t GetPathToRoot(int32_t id, int32_t* buffer, int32_t capacity) override;
  int32_t GetSiblings(int32_t id, int32_t* buffer, int32_t capacity) override;
  int32_t GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) override;
  int32_t GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) override;
  int32_t MoveToFirstChild(int32_t id, int32_t newParentId) override;
  int32_t MoveToLastChild(int32_t id, int32_t newParentId) override;
  int32_t MoveBefore(int32_t id, int32_t refId) override;
  int32_t MoveAfter(int32_t id, int32_t refId) override;

  // Slots 30, 32-34.
  void OnFinalRelease() override {}
  int32_t GetSiblingsWithSelf(int32_t id, int32_t* buffer, int32_t capacity) override;
  int32_t GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) override;
  int32_t GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer,
                          int32_t capacity) override;

 private:
  // ---- the store
  bool InRange(int32_t id) const { return store_.InRange(id); }
  // The slot of node `id`, or null when `id` is out of range or not a node.
  // Valid until the next edit.
  const TreeSlot* FindSlot(int32_t id) const {
    if (!InRange(id)) return nullptr;
    const TreeSlot& slot = store_.Read(static_cast<uint32_t>(id));
    return slot.used ? &slot : nullptr;
  }
  // The slot of an ID already tested to be below the count (0 included).
  const TreeSlot& SlotOf(int32_t id) const { return store_.Read(static_cast<uint32_t>(id)); }
  // The slot of an ID below the count, for an edit (SlotStore::Slot):
  // resolved once per record the edit touches, after its memory is taken.
  TreeSlot* Slot(int32_t id) { return store_.Slot(id); }
  // Slot, for an edit that knows (kFront) the slot to lie in the front:
  // then it has memory, and its address takes no test.
  template <bool kFront>
  TreeSlot* SlotIn(int32_t id) {
    return kFront ? store_.FrontSlot(id) : store_.Slot(id);
  }
  // For an edit that brings in newId: false when it cannot be held.
  bool MakeRoomFor(int32_t newId) { return store_.GrowSlots(newId); }
  // Memory for slots a and b, which an accepted edit is about to write;
  // when it cannot be had, the count goes back to `countBefore` and the
  // edit refuses.
  bool PrepareSlots(int32_t a, int32_t b, uint32_t countBefore) {
    if (store_.Prepare(a, nodeCount_ + 1) && store_.Prepare(b, nodeCount_ + 1)) return true;
    store_.UndoGrowth(countBefore);
    return false;
  }

  // ---- edits (array_tree_edits.cc)
  // The insertions test newId and the parent, which lie in range, then
  // link; the part after the tests of IDs is written once for each side of
  // SlotStore::InFront(newId, parentId), the front (kFront) taking no test
  // per slot and no memory.
  // AppendChild (last) or PrependChild.
  int32_t AddChild(int32_t newId, int32_t parentId, bool last);
  template <bool kFront>
  int32_t AddChildIn(int32_t newId, int32_t parentId, bool last, uint32_t countBefore);
  // InsertAfter (after) or InsertBefore.
  int32_t InsertBeside(int32_t newId, int32_t parentId, int32_t refId, bool after);
  template <bool kFront>
  int32_t InsertBesideIn(int32_t newId, int32_t parentId, int32_t refId, bool after,
                         uint32_t countBefore);
  // The tests of newId every insertion makes: not a node, not the parent,
  // and not above it. The nodes that name newId as their parent are those
  // listed under it, and those it lost when its slot was filled anew:
  // without either, no climb.
  template <bool kFront>
  bool AcceptsNew(int32_t newId, int32_t parentId) {
    const TreeSlot& fresh = *SlotIn<kFront>(newId);
    return !fresh.used && parentId != newId &&
           !((fresh.firstChild != 0 || fresh.lostChildren) && ClimbReaches(parentId, newId));
  }
  // The tests of the parent and the reference (both in range) when newId
  // goes beside the reference: nodes, the reference a child of the parent.
  // Slot 0 is never used, so a parent or reference of 0 is refused here.
  bool BesideAccepts(const TreeSlot& parent, int32_t parentId, int32_t refId) const {
    const TreeSlot& ref = SlotOf(refId);
    return parent.used && ref.used && ref.parent == parentId;
  }
  // Links accepted newId after (or before) refId under parentId, for an
  // edit that read the count as countBefore before it grew.
  template <bool kFront>
  int32_t LinkBeside(int32_t newId, int32_t parentId, int32_t refId, bool after,
                     uint32_t countBefore);
  // True when the parent links of nodes lead from `from` to `to`, the first
  // ID that is not a node.
  bool ClimbReaches(int32_t from, int32_t to) const;
  // Resets `slot`, not a node's, to a node without links, under parentId.
  // Children it still listed will be listed nowhere but keep naming its ID,
  // which its lostChildren mark keeps in mind.
  void Refill(TreeSlot* slot, int32_t parentId) {
    ++nodeCount_;
    const bool lost = slot->lostChildren || slot->firstChild != 0;
    *slot = TreeSlot{};
    slot->used = true;
    slot->lostChildren = lost;
    slot->parent = parentId;
  }
  // The sibling relinkings, which leave the parent's first and last child
  // to the caller, who keeps them at the ends of their chain (a slot's first
  // child has no previous sibling, its last child no next one): Splice puts
  // node x (slot xs) between a and b (either may be 0) and links them back
  // to x; Unsplice links a and b, the neighbours of a node taken out, to
  // each other.
  void Splice(int32_t a, int32_t x, TreeSlot* xs, int32_t b) {
    xs->prevSibling = a;
    xs->nextSibling = b;
    if (a != 0) Slot(a)->nextSibling = x;
    if (b != 0) Slot(b)->prevSibling = x;
  }
  void Unsplice(int32_t a, int32_t b) {
    if (a != 0) Slot(a)->nextSibling = b;
    if (b != 0) Slot(b)->prevSibling = a;
  }
  // True when `dest` is `id` or lies below it by parent links.
  bool IsInSubtree(int32_t dest, int32_t id) const;
  // The checks every move makes before it changes anything: `id` can be
  // detached (a node whose parent is a node) and is not the root.
  bool CanDetach(int32_t id) const;
  // Takes node `id` (slot `node`) out of its parent's child list; its own
  // links stay. Callers have checked CanDetach.
  void DetachNode(int32_t id, const TreeSlot& node);
  // Links detached node `id` (slot `node`) under p between a and b, ends of
  // the row when 0.
  void Attach(int32_t id, TreeSlot* node, int32_t p, int32_t a, int32_t b);
  // The four moves: id as first or last child of destId, or before or
  // after it.
  // Written once, made for each place: a host that mixes them pays no
  // branch on the place.
  template <Place kPlace>
  int32_t MoveNode(int32_t id, int32_t destId);

  // ---- queries (array_tree_queries.cc)
  // Which IDs a single-link lookup answers -1 for.
  enum MinusOne { kOutOfRange, kNotANode, kNever };
  template <int32_t TreeSlot::*kLink, MinusOne kMinusOne>
  int32_t LinkLookup(int32_t id, int32_t* out) const;
  int32_t CollectPairs(int32_t x0, NodePair* pairs, int32_t capacity);

  SlotStore store_;
  uint32_t nodeCount_ = 0;  // slots with `used` set
  // The branches a walk has still to take; the heap parts of these stacks,
  // kept from one walk to the next.
  using Rows = WalkStack<WalkBranch<int32_t>, 64>;
  WalkBlockCache walkBlocks_;
};

}  // namespace rodarove

#endif  // RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_
