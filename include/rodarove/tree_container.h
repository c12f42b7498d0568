// The component interfaces that rodarove hands out.
//
// Every object returned by CreateComponent is an IComponent, and every
// IComponent of this module is also an ITreeContainer (and an ITreeComponent,
// the class table both tree classes share). Hosts may call by slot number:
// the slot numbers below are positions in the object's table of virtual
// functions, and they are part of the module's contract.
//
// Conventions shared by the tree slots:
//  * Predicates (6-8) answer 1 or 0.
//  * Single-link lookups (16-20) answer 1 and write *out, 0 when the node has
//    no such relative, -1 when the ID is not a node; *out is written only on 1.
//  * Edits (5, 9-12, 26-29) answer 1 when done and 0 when refused.
//  * List queries (21-25, 32-34) return the full number of entries whatever
//    the buffer; entry k is written exactly when the array is not null and
//    k < capacity. A null array with capacity 0 only counts.
//
// There is no destructor in these interfaces: a component's life ends with
// Release (slot 2) and nothing else.
#ifndef RODAROVE_TREE_CONTAINER_H_
#define RODAROVE_TREE_CONTAINER_H_

#include <stdint.h>

// One entry of GetAllNodes and GetDescendants: a node and its parent.
struct NodePair {
  int32_t id;
  int32_t parent;
};

// Slot numbers of the interface below.
enum RodaroveSlot {
  kSlotGetComponentID = 0,
  kSlotGetVersion = 1,
  kSlotRelease = 2,
  kSlotGetAutoFree = 3,
  kSlotSetAutoFree = 4,
  kSlotSetRoot = 5,
  kSlotIsLeaf = 6,
  kSlotExists = 7,
  kSlotIsChild = 8,
  kSlotAppendChild = 9,
  kSlotPrependChild = 10,
  kSlotInsertAfter = 11,
  kSlotInsertBefore = 12,
  kSlotClear = 13,
  kSlotRemoveNode = 14,
  kSlotGetRoot = 15,
  kSlotGetParent = 16,
  kSlotGetLastChild = 17,
  kSlotGetFirstChild = 18,
  kSlotGetPrevSibling = 19,
  kSlotGetNextSibling = 20,
  kSlotGetPathFromRoot = 21,
  kSlotGetPathToRoot = 22,
  kSlotGetSiblings = 23,
  kSlotGetLeaves = 24,
  kSlotGetAllNodes = 25,
  kSlotMoveToFirstChild = 26,
  kSlotMoveToLastChild = 27,
  kSlotMoveBefore = 28,
  kSlotMoveAfter = 29,
  kSlotOnFinalRelease = 30,
  kSlotGetDllRegistry = 31,
  kSlotGetSiblingsWithSelf = 32,
  kSlotGetDescendants = 33,
  kSlotGetNodesAtDepth = 34
};

// Slots 0-4: what every component of the framework has.
struct IComponent {
  virtual int32_t GetComponentID() = 0;          // 0: 114 or 837
  virtual int32_t GetVersion() = 0;              // 1: always 1
  virtual void Release(int32_t force) = 0;       // 2: ends the component's life
  virtual int32_t GetAutoFree() = 0;             // 3: the stored auto-free value
  virtual void SetAutoFree(int32_t value) = 0;   // 4: stored unchanged
};

// Slots 5-29: the tree operations of both classes.
struct ITreeContainer : IComponent {
  virtual int32_t SetRoot(int32_t id) = 0;                        // 5: 1 set, 0 a root exists
  virtual int32_t IsLeaf(int32_t id) = 0;                         // 6
  virtual int32_t Exists(int32_t id) = 0;                         // 7
  virtual int32_t IsChild(int32_t id, int32_t parentId) = 0;      // 8
  virtual int32_t AppendChild(int32_t newId, int32_t parentId) = 0;   // 9
  virtual int32_t PrependChild(int32_t newId, int32_t parentId) = 0;  // 10
  virtual int32_t InsertAfter(int32_t newId, int32_t parentId, int32_t refId) = 0;   // 11
  virtual int32_t InsertBefore(int32_t newId, int32_t parentId, int32_t refId) = 0;  // 12
  virtual int32_t Clear() = 0;                                    // 13: always 1
  // 14: -1 not a node; else 114 returns the number of nodes removed with the
  // subtree, 837 removes the node alone and returns 1.
  virtual int32_t RemoveNode(int32_t id) = 0;
  virtual int32_t GetRoot(int32_t* out) = 0;                      // 15: 1 with root, 0 none
  virtual int32_t GetParent(int32_t id, int32_t* out) = 0;        // 16
  virtual int32_t GetLastChild(int32_t id, int32_t* out) = 0;     // 17
  virtual int32_t GetFirstChild(int32_t id, int32_t* out) = 0;    // 18
  virtual int32_t GetPrevSibling(int32_t id, int32_t* out) = 0;   // 19
  virtual int32_t GetNextSibling(int32_t id, int32_t* out) = 0;   // 20
  // 21: path root .. id; 22: path id .. root; -1 when id is not a node.
  virtual int32_t GetPathFromRoot(int32_t id, int32_t* buffer, int32_t capacity) = 0;
  virtual int32_t GetPathToRoot(int32_t id, int32_t* buffer, int32_t capacity) = 0;
  // 23: the other children of id's parent; 0 for a node without parent.
  virtual int32_t GetSiblings(int32_t id, int32_t* buffer, int32_t capacity) = 0;
  // 24: leaves below id, left to right; id itself never listed.
  virtual int32_t GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) = 0;
  // 25: 0 without root; else the number of nodes, root included. The root
  // goes to *rootOut (may be null), one pair for every other node: a node,
  // then its later siblings' walks, then its own children's.
  virtual int32_t GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) = 0;
  virtual int32_t MoveToFirstChild(int32_t id, int32_t newParentId) = 0;  // 26
  virtual int32_t MoveToLastChild(int32_t id, int32_t newParentId) = 0;   // 27
  virtual int32_t MoveBefore(int32_t id, int32_t refId) = 0;              // 28
  virtual int32_t MoveAfter(int32_t id, int32_t refId) = 0;               // 29
};

// Slots 30-34: the table that components 114 and 837 both carry beyond
// ITreeContainer.
struct ITreeComponent : ITreeContainer {
  virtual void OnFinalRelease() = 0;  // 30: called by Release; does nothing
  // 31: copies path (or, when path is null or empty, the module's registry
  // path) into buffer whole, or leaves buffer untouched when it does not fit.
  virtual void GetDllRegistry(const char* path, char* buffer, int32_t capacity) = 0;
  // 32: all children of id's parent, id among them; id alone and 1 for a
  // node without parent; -1 not a node.
  virtual int32_t GetSiblingsWithSelf(int32_t id, int32_t* buffer, int32_t capacity) = 0;
  // 33: one pair for every node below id, in the walk order of slot 25.
  virtual int32_t GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) = 0;
  // 34: the nodes depth levels below id, grouped by parent.
  virtual int32_t GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer,
                                  int32_t capacity) = 0;
};

#endif  // RODAROVE_TREE_CONTAINER_H_
