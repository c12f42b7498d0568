// ArrayTreeContainer, component 837: a tree over positive node IDs that
// index a flat, growing array of slots.
//
// Slot n holds the links of node n; 0 means "none" in every link, so slot 0
// is never a node. IDs are compared as unsigned values against slotCount_:
// an ID is in range when 1 <= ID < slotCount_. slotCount_ starts at 1000 and
// grows to the smallest multiple of 1000 above a new ID (never beyond
// kMaxSlotCount); the storage under it grows geometrically so that rising
// IDs cost amortised constant time each.
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
// No query recurses or takes more than slotCount_ steps. The pair walks of
// GetAllNodes and GetDescendants keep a stack of sibling rows (rows_), which
// may take memory; when it cannot be had they walk by links instead, with
// the same answers. The other walks follow parent and sibling links back up
// and allocate nothing. Not thread-safe: callers serialise all calls.
#ifndef RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_
#define RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_

#include <cstdint>

#include "component/component_base.h"
#include "component/walk_stack.h"
#include "rodarove/tree_container.h"

namespace rodarove {

constexpr int32_t kArrayTreeComponentId = 837;

// The create function registered for 837: a new ArrayTreeContainer, or null.
IComponent* CreateArrayTreeContainer();

// The links of one node. An all-zero slot is not a node and has no links.
struct TreeSlot {
  uint8_t used;  // 1 while this slot's ID is a node
  // 1 once this slot was filled anew while it still listed children: those
  // children are listed nowhere since, but keep naming this ID as parent.
  // Kept across refills; only Clear resets it.
  uint8_t lostChildren;
  int32_t parent;
  int32_t lastChild;
  int32_t firstChild;
  int32_t nextSibling;
  int32_t prevSibling;
};

class ArrayTreeContainer final : public ComponentBase<kArrayTreeComponentId> {
 public:
  static constexpr uint32_t kSlotStep = 1000;
  // The largest multiple of 1000 whose array of 24-byte slots still has a
  // size that fits in 32 bits.
  static constexpr uint32_t kMaxSlotCount = 178956000;

  // Allocates the first 1000 slots; HasStore() is false when that failed.
  ArrayTreeContainer();
  ~ArrayTreeContainer() override;

  bool HasStore() const { return slots_ != nullptr; }
  uint32_t slot_count() const { return slotCount_; }

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
  enum LinkKind { kParent = 1, kLastChild = 2, kFirstChild = 3, kNextSibling = 4 };

  bool InRange(int32_t id) const {
    return id != 0 && static_cast<uint32_t>(id) < slotCount_;
  }
  // The slot of node `id`, or null when `id` is out of range or not a node.
  // Valid until the next growth.
  TreeSlot* FindSlot(int32_t id) {
    return InRange(id) && slots_[id].used != 0 ? &slots_[id] : nullptr;
  }
  // Stores `value` in the link `kind` of slot `id`; callers pass IDs of
  // slots they have found or read from found slots.
  void SetLink(int32_t id, LinkKind kind, int32_t value);
  // Makes `id` (>= slotCount_) fit; false when it cannot be held or the
  // allocation fails, the store then unchanged.
  bool GrowSlots(int32_t id);
  // For an edit that brings in newId: false when it cannot be held.
  bool MakeRoomFor(int32_t newId) {
    if (static_cast<uint32_t>(newId) < slotCount_) return true;
    return GrowSlots(newId);
  }
  // True when `dest` is `id` or lies below it by parent links.
  bool IsInSubtree(int32_t dest, int32_t id);
  // The checks every move makes before it changes anything: `id` can be
  // detached (a node whose parent is a node) and is not the root.
  bool CanDetach(int32_t id);
  // Takes node `id` out of its parent's child list; its own links stay.
  // Callers have checked CanDetach.
  void DetachNode(int32_t id);
  // The tests AppendChild and PrependChild share, after growing the array
  // for newId: true when newId may become a child of parentId.
  bool AcceptsChild(int32_t newId, int32_t parentId);
  // True when newId (not a node) lies above parentId by the parent links of
  // nodes, so that linking newId under parentId would close a cycle.
  bool WouldCloseCycle(int32_t newId, int32_t parentId);
  // Resets the slot of `id` to a node without links. Children it still
  // listed will be listed nowhere but keep naming id, which its
  // lostChildren mark keeps in mind.
  TreeSlot& Refill(int32_t id) {
    TreeSlot& slot = slots_[id];
    const uint8_t lost = slot.lostChildren != 0 || slot.firstChild != 0 ? 1 : 0;
    slot = TreeSlot{};
    slot.used = 1;
    slot.lostChildren = lost;
    return slot;
  }
  // Fills newId's slot as the only child of parentId; returns 1.
  int32_t MakeOnlyChild(int32_t newId, int32_t parentId);
  // The tests InsertAfter and InsertBefore share, after growing the array
  // for newId: true when newId may go beside refId under parentId.
  bool AcceptsInsertBeside(int32_t newId, int32_t parentId, int32_t refId);
  // The slot of an ID already tested to be below slotCount_ (0 included).
  TreeSlot& SlotOf(int32_t id) { return slots_[static_cast<uint32_t>(id)]; }

  // The whole-tree walks from x: pairs (node, next sibling's walk, first
  // child's walk), leaves (first child's walk, then next sibling's), and
  // the nodes `target - level` levels below x and its later siblings.
  int32_t CollectPairs(int32_t x, NodePair* pairs, int32_t capacity);
  // The two ways CollectPairs walks: by rows with rows_ (-1 when the stack
  // cannot grow, the entries written so far being those of the answer), or
  // by links without memory.
  int32_t CollectPairsByRows(int32_t x, NodePair* pairs, int32_t capacity);
  int32_t CollectPairsByLinks(int32_t x, NodePair* pairs, int32_t capacity);
  int32_t CollectLeaves(int32_t x, int32_t* buffer, int32_t capacity);
  int32_t CollectAtDepth(int32_t target, int32_t x, int32_t* buffer, int32_t capacity);

  uint32_t slotCount_ = kSlotStep;
  uint32_t capacity_ = 0;  // slots allocated; those at and after slotCount_ stay zero
  TreeSlot* slots_ = nullptr;
  // The first node of every sibling row the pair walk has still to list.
  WalkStack<int32_t, 64> rows_;
};

}  // namespace rodarove

#endif  // RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_
