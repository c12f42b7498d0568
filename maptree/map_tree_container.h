// MapTreeContainer, component 114: a tree over any 32-bit node IDs (0 and
// negative values included).
//
// Store: every node has a record in a dense array; the records link to each
// other by array index (parent, first child, last child, next and previous
// sibling), and an open-addressing hash table maps node IDs to indices. So
// every single-node operation costs one hash lookup plus a few array reads,
// and the walks follow indices with no lookup at all. Freed records are
// chained on a free list through their next-sibling link and reused.
//
// Queries never recurse. The pair walks of GetAllNodes and GetDescendants
// keep a stack of sibling rows (rows_), which may take memory; when it
// cannot be had they walk by links instead, with the same answers. The
// other queries allocate nothing. Edits allocate (when at all) before they
// change any link, so an allocation that fails refuses the edit with 0 and
// leaves the tree as it was. No exception leaves a slot.
//
// Not thread-safe: a caller that shares one container serialises all calls.
#ifndef RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_
#define RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "component/component_base.h"
#include "component/walk_stack.h"
#include "rodarove/tree_container.h"

namespace rodarove {

constexpr int32_t kMapTreeComponentId = 114;

// The create function registered for 114: a new MapTreeContainer, or null.
IComponent* CreateMapTreeContainer();

class MapTreeContainer final : public ComponentBase<kMapTreeComponentId> {
 public:
  MapTreeContainer() = default;

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
  void OnFinalRelease() override {}
  int32_t GetSiblingsWithSelf(int32_t id, int32_t* buffer, int32_t capacity) override;
  int32_t GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) override;
  int32_t GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer,
                          int32_t capacity) override;

  // Number of stored nodes.
  size_t NodeCount() const { return count_; }

 protected:
  ~MapTreeContainer() override = default;

 private:
  using Index = uint32_t;
  static constexpr Index kNone = 0xFFFFFFFFu;

  // One node. Links are record indices, kNone for "no such link". A freed
  // record keeps the next free index in `next`.
  struct Rec {
    int32_t id;
    Index parent;
    Index firstChild;
    Index lastChild;
    Index next;
    Index prev;
  };

  // One hash-table slot; index kNone marks an empty slot.
  struct Slot {
    int32_t key;
    Index index;
  };

  // The record index of id, or kNone.
  Index Find(int32_t id) const;

  // Makes room for one more node (record and hash slot) without changing
  // the tree. Returns false when memory runs out or the tree is full.
  bool ReserveOne();
  // Stores id with a record of no links; ReserveOne must have succeeded.
  Index NewNode(int32_t id, Index parent);
  // Erases the record at i from the hash table and the record array.
  void FreeNode(Index i);
  // Erases every descendant of i (not i itself); returns how many.
  int32_t FreeDescendants(Index i);
  void Rehash(size_t slotCount);
  void ReleaseStore();

  // Child-list surgery on records; the caller has checked the arguments.
  void Unlink(Index i);
  void LinkFirst(Index i, Index parent);
  void LinkLast(Index i, Index parent);
  void LinkBefore(Index i, Index ref);
  void LinkAfter(Index i, Index ref);

  // True when `a` is `i` or an ancestor of `i`.
  bool IsSelfOrAncestor(Index a, Index i) const;
  // Common refusals of the moves: the index of id when it may be moved
  // (a non-root node), else kNone.
  Index MovableNode(int32_t id) const;
  // The four moves: refuses as described in the .cc, else detaches id and
  // links it as first or last child of destId, or before or after it.
  enum class MovePlace { kFirstChild, kLastChild, kBefore, kAfter };
  int32_t MoveNode(int32_t id, int32_t destId, MovePlace place);

  // Writes the row that starts at `first` (a whole child list) from list
  // position `pos` on; returns the row's length.
  int32_t WriteRow(Index first, int32_t* buffer, int32_t capacity, int32_t pos) const;
  // The pair walk below `top`; returns the number of pairs.
  int32_t WalkPairs(Index top, NodePair* pairs, int32_t capacity);
  // The two ways WalkPairs walks: by rows with rows_ (-1 when the stack
  // cannot grow, the entries written so far being those of the answer), or
  // by links without memory.
  int32_t WalkPairsByRows(Index top, NodePair* pairs, int32_t capacity);
  int32_t WalkPairsByLinks(Index top, NodePair* pairs, int32_t capacity) const;

  int32_t LinkLookup(int32_t id, Index Rec::*link, int32_t* out) const;

  std::vector<Rec> recs_;
  std::vector<Slot> slots_;  // size 0 or a power of two
  Index freeHead_ = kNone;
  Index rootIndex_ = kNone;
  size_t count_ = 0;
  int slotShift_ = 64;  // 64 - log2(slots_.size())
  // A sibling row the pair walk has still to list: its first record and
  // the ID of its parent.
  struct Row {
    Index first;
    int32_t parentId;
  };
  WalkStack<Row, 64> rows_;
};

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_
