// MapTreeContainer, component 114: a tree over any 32-bit node IDs (0 and
// negative values included).
//
// Store: a NodeTable (node_table.h) holds every node's record, found by
// the node's key (its ID as an unsigned number): densely numbered IDs at
// their offsets in a window, any other in a hashed table with the records
// inline. The records link to each other by key. So a query on one node
// reads one record, or one run of buckets, and a walk one record per node.
//
// Queries never recurse and write nothing the object holds. The walks over
// whole subtrees keep a stack of their own (WalkStack), which may take
// memory, kept between walks in walkBlocks_; when it cannot be had they walk
// by links instead, with the same answers. The other queries allocate
// nothing.
// Edits allocate (when at all) before they change any link, so an
// allocation that fails refuses the edit with 0 and leaves the tree as it
// was. No exception leaves a slot.
//
// Files: the edits in map_tree_edits.cc, the queries and walks in
// map_tree_walks.cc.
//
// Threads: any number of queries may run at once, from any threads; an
// edit, SetAutoFree or Release runs alone.
#ifndef RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_
#define RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_

#include <cstddef>
#include <cstdint>

#include "component/component_base.h"
#include "component/list_output.h"
#include "component/walk_stack.h"
#include "maptree/node_table.h"
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

  // The store, for the tests of its probe lengths.
  const NodeTable& Table() const { return table_; }

 protected:
  ~MapTreeContainer() override = default;

 private:
  using Key = uint32_t;  // a node's key in table_: its ID, unsigned

  // The insertions: refuse (0) when newId is stored, destId is not, a
  // reference node is the root or not a child of parentId, or memory runs
  // out; else newId goes to `place` beside destId.
  int32_t InsertNode(int32_t newId, int32_t destId, int32_t parentId, Place place);
  // The moves: refuse as described in map_tree_edits.cc, else detach id
  // and link it to `place` beside destId.
  int32_t MoveNode(int32_t id, int32_t destId, Place place);
  // Links node n (key k, in no child list) to `place` beside dest (key d).
  void Link(NodeRecord* n, Key k, NodeRecord* dest, Key d, Place place);
  // Links node n (key k, in no child list) under the node of key pk
  // between prev and next, each a key or, when there is none, pk.
  void Splice(NodeRecord* n, Key k, Key pk, Key prev, Key next);
  // Takes node n (key k, not the root) out of its parent's child list.
  void Unlink(NodeRecord* n, Key k);
  // Erases every descendant of top (not top itself); returns how many.
  int32_t EraseDescendants(Key top);
  // True when a is x or an ancestor of x (a stored key).
  bool IsSelfOrAncestor(Key a, Key x) const;

  // The answer of a single-link query: the link of id's record.
  int32_t LinkLookup(int32_t id, Key NodeRecord::*link, int32_t* out) const;
  // The walks that read the store take its reader (NodeTable::Visit), as
  // `t`, so that each is built for each placement; the walks by stack take
  // a copy, which stays in registers while they write the caller's array.
  template <typename Reader>
  int32_t PathFromRoot(const Reader& t, Key k, int32_t* buffer, int32_t capacity) const;
  template <typename Reader>
  int32_t PathToRoot(const Reader& t, Key k, int32_t* buffer, int32_t capacity) const;
  // Writes the IDs of the child row that starts at `first`, but for
  // `skip`, from list position `pos` on; returns how many there are.
  int32_t WriteRow(Key first, Key skip, int32_t* buffer, int32_t capacity, int32_t pos) const;
  template <typename Reader>
  int32_t WriteRow(const Reader& t, Key first, Key skip, int32_t* buffer, int32_t capacity,
                   int32_t pos) const;
  // For the walks by links, from node *n whose walk below is done: moves
  // *n to its sibling by `sibling` (next or previous) or to that of its
  // nearest ancestor below top that has one, taking one from *level per
  // level climbed; false when the climb reaches top.
  bool StepAcross(Key* n, Key top, Key NodeRecord::*sibling, int32_t* level) const;
  // The walks below top, each by the stack (-1 when it cannot grow, the
  // entries written so far being those of the answer) or by links without
  // memory.
  int32_t WalkPairs(Key top, NodePair* pairs, int32_t capacity);
  template <typename Reader>
  int32_t WalkPairsByStack(Reader t, Key top, NodePair* pairs, int32_t capacity);
  int32_t WalkPairsByLinks(Key top, NodePair* pairs, int32_t capacity) const;
  template <typename Reader>
  int32_t LeavesByStack(Reader t, Key top, int32_t* buffer, int32_t capacity);
  int32_t LeavesByLinks(Key top, int32_t* buffer, int32_t capacity) const;
  template <typename Reader>
  int32_t AtDepthByStack(Reader t, int32_t depth, Key top, int32_t* buffer,
                         int32_t capacity);
  int32_t AtDepthByLinks(int32_t depth, Key top, int32_t* buffer, int32_t capacity) const;

  void ReleaseStore();

  NodeTable table_;
  // What a walk has still to do: for the pair walk a child row (its first
  // node and the ID of their parent), for the leaves a next sibling, for
  // the depth walk a next sibling and its depth.
  struct Pending {
    Key key;
    int32_t tag;
  };
  static constexpr size_t kInlinePending = 64;
  // The heap parts of the walks' stacks, kept from one walk to the next.
  WalkBlockCache walkBlocks_;
};

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_
