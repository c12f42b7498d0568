// The component interfaces that rodarove hands out.
//
// Every object returned by CreateComponent is an IComponent, and every
// IComponent of this module is also an ITreeContainer (and an ITreeComponent,
// the class table both tree classes share). Hosts may call by slot number:
// the slot numbers below are positions in the object's table of virtual
// functions, and they are part of the module's contract.
//
// docs/reference.md gives every slot's arguments and results for both
// classes. Conventions shared by the tree slots:
//  * Predicates (6-8) answer 1 or 0.
//  * Single-link lookups (16-20) answer 1 and write *out, 0 when the node has
//    no such relative, -1 when the ID is not a node; *out is written only on
//    1. Component 837 differs for IDs it cannot hold: 16-18 answer -1 only
//    for IDs outside 1 .. slot count - 1 and 0 for one inside that is not a
//    node, and 20 never answers -1.
//  * Edits (5, 9-12, 26-29) answer 1 when done and 0 when refused.
//  * List queries (21-25, 32-34) return the full number of entries whatever
//    the buffer; entry k is written exactly when the array is not null and
//    k < capacity. A null array with capacity 0 only counts. The capacity
//    of 25 and 33 counts NodePairs, and 25 answers the number of nodes, root
//    included: the pairs of its answer plus one.
//
// A component's life ends with Release (slot 2) and nothing else: the
// pointer is dead afterwards, a second Release included. The interfaces'
// destructors are protected and not virtual, so that `delete` on one does
// not compile and the table holds the 35 slots alone.
//
// Threads. Any number of threads may call the queries (0, 1, 3, 6-8, 15-25,
// 31-34) of one component at once; each call answers what it would answer
// alone. An edit (5, 9-14, 26-29), SetAutoFree (4) or Release (2) runs
// alone on its component: no other call to it, from any thread, while it
// runs, and the host orders it after the queries before it (the slots take
// no lock). Different components are independent.
//
// The header compiles as C11 and as C++17. C++ sees the interfaces as
// classes of pure virtual functions; C sees structs whose first member,
// lpVtbl, points to the same table as a struct of function pointers in slot
// order, each taking the object first (see rodarove.h for the calling
// conventions). Both views describe one table: the checks at the end of this
// file hold every entry of the C view at its slot number, and the tests call
// the C++ view's functions through the C view.
#ifndef RODAROVE_TREE_CONTAINER_H_
#define RODAROVE_TREE_CONTAINER_H_

#include <stddef.h>
#include <stdint.h>

// RODAROVE_CALL: the exports' convention, __cdecl. RODAROVE_SLOTCALL: the
// slots', __thiscall, which is how Visual C++ calls a virtual function on
// 32-bit Windows. Both are empty where there is only one convention (x86-64,
// Linux). RODAROVE_SLOT_TABLES is 1 when the compiler can declare a pointer
// to a slot with its convention, which the C view's tables need: not so in
// Visual C/C++ on 32-bit Windows, which accepts __thiscall on member
// functions only.
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define RODAROVE_CALL __cdecl
#if defined(__GNUC__) || defined(__clang__)
#define RODAROVE_SLOTCALL __attribute__((thiscall))
#define RODAROVE_SLOT_TABLES 1
#elif defined(__cplusplus)
#define RODAROVE_SLOTCALL __thiscall
#define RODAROVE_SLOT_TABLES 0
#else
#define RODAROVE_SLOTCALL
#define RODAROVE_SLOT_TABLES 0
#endif
#else
#define RODAROVE_CALL
#define RODAROVE_SLOTCALL
#define RODAROVE_SLOT_TABLES 1
#endif

// The limits a host meets: component 837 refuses IDs from
// RODAROVE_ARRAY_ID_LIMIT on (its slots would no longer fit in 32 bits of
// bytes as one array), and a path the module stores or reads, its
// terminator included, fits in RODAROVE_PATH_SIZE characters (Windows'
// MAX_PATH): SetDLLRegistry empties the registry path for a longer one.
enum { RODAROVE_ARRAY_ID_LIMIT = 178956000, RODAROVE_PATH_SIZE = 260 };

// One entry of GetAllNodes and GetDescendants: a node and its parent.
typedef struct NodePair {
  int32_t id;
  int32_t parent;
} NodePair;

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

#ifdef __cplusplus

// Slots 0-4: what every component of the framework has.
struct IComponent {
  virtual int32_t RODAROVE_SLOTCALL GetComponentID() = 0;         // 0: 114 or 837
  virtual int32_t RODAROVE_SLOTCALL GetVersion() = 0;             // 1: always 1
  virtual void RODAROVE_SLOTCALL Release(int32_t force) = 0;      // 2: ends the component's life
  virtual int32_t RODAROVE_SLOTCALL GetAutoFree() = 0;            // 3: the stored auto-free value
  // 4: stored unchanged. Nonzero hands the component to PavexDllFreeMap,
  // which may release it on any thread: mark it when done with it.
  virtual void RODAROVE_SLOTCALL SetAutoFree(int32_t value) = 0;

 protected:
  ~IComponent() = default;
};

// Slots 5-29: the tree operations of both classes.
struct ITreeContainer : IComponent {
  // 5: 1 set; 0 refused: a root exists (837 also: 0, 178956000 or more, a node).
  virtual int32_t RODAROVE_SLOTCALL SetRoot(int32_t id) = 0;
  virtual int32_t RODAROVE_SLOTCALL IsLeaf(int32_t id) = 0;                     // 6
  virtual int32_t RODAROVE_SLOTCALL Exists(int32_t id) = 0;                     // 7
  virtual int32_t RODAROVE_SLOTCALL IsChild(int32_t id, int32_t parentId) = 0;  // 8
  virtual int32_t RODAROVE_SLOTCALL AppendChild(int32_t newId, int32_t parentId) = 0;   // 9
  virtual int32_t RODAROVE_SLOTCALL PrependChild(int32_t newId, int32_t parentId) = 0;  // 10
  virtual int32_t RODAROVE_SLOTCALL InsertAfter(int32_t newId, int32_t parentId,
                                                int32_t refId) = 0;  // 11
  virtual int32_t RODAROVE_SLOTCALL InsertBefore(int32_t newId, int32_t parentId,
                                                 int32_t refId) = 0;  // 12
  virtual int32_t RODAROVE_SLOTCALL Clear() = 0;                      // 13: always 1
  // 14: -1 not a node; else 114 returns the number of nodes removed with the
  // subtree, 837 removes the node alone and returns 1.
  virtual int32_t RODAROVE_SLOTCALL RemoveNode(int32_t id) = 0;
  virtual int32_t RODAROVE_SLOTCALL GetRoot(int32_t* out) = 0;  // 15: 1 with root, 0 none
  virtual int32_t RODAROVE_SLOTCALL GetParent(int32_t id, int32_t* out) = 0;       // 16
  virtual int32_t RODAROVE_SLOTCALL GetLastChild(int32_t id, int32_t* out) = 0;    // 17
  virtual int32_t RODAROVE_SLOTCALL GetFirstChild(int32_t id, int32_t* out) = 0;   // 18
  virtual int32_t RODAROVE_SLOTCALL GetPrevSibling(int32_t id, int32_t* out) = 0;  // 19
  virtual int32_t RODAROVE_SLOTCALL GetNextSibling(int32_t id, int32_t* out) = 0;  // 20
  // 21: path root .. id; 22: path id .. root; -1 when id is not a node. In
  // 837 a parent that is not a node ends both (22 lists it last, 21 lists
  // the nodes below the highest node of the chain).
  virtual int32_t RODAROVE_SLOTCALL GetPathFromRoot(int32_t id, int32_t* buffer,
                                                    int32_t capacity) = 0;
  virtual int32_t RODAROVE_SLOTCALL GetPathToRoot(int32_t id, int32_t* buffer,
                                                  int32_t capacity) = 0;
  // 23: the other children of id's parent; 0 for a node without parent.
  virtual int32_t RODAROVE_SLOTCALL GetSiblings(int32_t id, int32_t* buffer, int32_t capacity) = 0;
  // 24: leaves below id, left to right; id itself never listed.
  virtual int32_t RODAROVE_SLOTCALL GetLeaves(int32_t id, int32_t* buffer, int32_t capacity) = 0;
  // 25: 0 without root; else the number of nodes, root included. The root
  // goes to *rootOut (may be null), one pair for every other node: a node,
  // then its later siblings' walks, then its own children's.
  virtual int32_t RODAROVE_SLOTCALL GetAllNodes(int32_t* rootOut, NodePair* pairs,
                                                int32_t capacity) = 0;
  virtual int32_t RODAROVE_SLOTCALL MoveToFirstChild(int32_t id, int32_t newParentId) = 0;  // 26
  virtual int32_t RODAROVE_SLOTCALL MoveToLastChild(int32_t id, int32_t newParentId) = 0;   // 27
  virtual int32_t RODAROVE_SLOTCALL MoveBefore(int32_t id, int32_t refId) = 0;              // 28
  virtual int32_t RODAROVE_SLOTCALL MoveAfter(int32_t id, int32_t refId) = 0;               // 29

 protected:
  ~ITreeContainer() = default;
};

// Slots 30-34: the table that components 114 and 837 both carry beyond
// ITreeContainer.
struct ITreeComponent : ITreeContainer {
  virtual void RODAROVE_SLOTCALL OnFinalRelease() = 0;  // 30: called by Release; does nothing
  // 31: copies path (or, when path is null or empty, the module's registry
  // path) into buffer whole, or leaves buffer untouched when it does not fit.
  virtual void RODAROVE_SLOTCALL GetDllRegistry(const char* path, char* buffer,
                                                int32_t capacity) = 0;
  // 32: all children of id's parent, id among them; id alone and 1 for a
  // node without parent; -1 not a node.
  virtual int32_t RODAROVE_SLOTCALL GetSiblingsWithSelf(int32_t id, int32_t* buffer,
                                                        int32_t capacity) = 0;
  // 33: one pair for every node below id, in the walk order of slot 25.
  virtual int32_t RODAROVE_SLOTCALL GetDescendants(int32_t id, NodePair* pairs,
                                                   int32_t capacity) = 0;
  // 34: the nodes depth levels below id, grouped by parent.
  virtual int32_t RODAROVE_SLOTCALL GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer,
                                                    int32_t capacity) = 0;

 protected:
  ~ITreeComponent() = default;
};

#else  // C

typedef struct IComponent IComponent;
typedef struct ITreeContainer ITreeContainer;
typedef struct ITreeComponent ITreeComponent;

#endif  // __cplusplus

// The tree view of a component that CreateComponent made: the same object,
// with all 35 slots (every component of this module is an ITreeComponent).
// Null stays null.
#ifdef __cplusplus
inline ITreeComponent* RodaroveAsTree(IComponent* component) {
  return static_cast<ITreeComponent*>(static_cast<ITreeContainer*>(component));
}
#else
static inline ITreeComponent* RodaroveAsTree(IComponent* component) {
  return (ITreeComponent*)component;
}
#endif

#if RODAROVE_SLOT_TABLES

// The C view: one table, declared three times as each interface sees it,
// every entry taking the interface's own object first. The meaning of each
// entry is that of the C++ declaration of the same name above.
#define RODAROVE_COMPONENT_SLOTS_(Self)                                                            \
  int32_t(RODAROVE_SLOTCALL* GetComponentID)(Self* self);                                          \
  int32_t(RODAROVE_SLOTCALL* GetVersion)(Self* self);                                              \
  void(RODAROVE_SLOTCALL* Release)(Self* self, int32_t force);                                     \
  int32_t(RODAROVE_SLOTCALL* GetAutoFree)(Self* self);                                             \
  void(RODAROVE_SLOTCALL* SetAutoFree)(Self* self, int32_t value);

#define RODAROVE_TREE_CONTAINER_SLOTS_(Self)                                                       \
  int32_t(RODAROVE_SLOTCALL* SetRoot)(Self* self, int32_t id);                                     \
  int32_t(RODAROVE_SLOTCALL* IsLeaf)(Self* self, int32_t id);                                      \
  int32_t(RODAROVE_SLOTCALL* Exists)(Self* self, int32_t id);                                      \
  int32_t(RODAROVE_SLOTCALL* IsChild)(Self* self, int32_t id, int32_t parentId);                   \
  int32_t(RODAROVE_SLOTCALL* AppendChild)(Self* self, int32_t newId, int32_t parentId);            \
  int32_t(RODAROVE_SLOTCALL* PrependChild)(Self* self, int32_t newId, int32_t parentId);           \
  int32_t(RODAROVE_SLOTCALL* InsertAfter)(Self* self, int32_t newId, int32_t parentId,             \
                                          int32_t refId);                                          \
  int32_t(RODAROVE_SLOTCALL* InsertBefore)(Self* self, int32_t newId, int32_t parentId,            \
                                           int32_t refId);                                         \
  int32_t(RODAROVE_SLOTCALL* Clear)(Self* self);                                                   \
  int32_t(RODAROVE_SLOTCALL* RemoveNode)(Self* self, int32_t id);                                  \
  int32_t(RODAROVE_SLOTCALL* GetRoot)(Self* self, int32_t* out);                                   \
  int32_t(RODAROVE_SLOTCALL* GetParent)(Self* self, int32_t id, int32_t* out);                     \
  int32_t(RODAROVE_SLOTCALL* GetLastChild)(Self* self, int32_t id, int32_t* out);                  \
  int32_t(RODAROVE_SLOTCALL* GetFirstChild)(Self* self, int32_t id, int32_t* out);                 \
  int32_t(RODAROVE_SLOTCALL* GetPrevSibling)(Self* self, int32_t id, int32_t* out);                \
  int32_t(RODAROVE_SLOTCALL* GetNextSibling)(Self* self, int32_t id, int32_t* out);                \
  int32_t(RODAROVE_SLOTCALL* GetPathFromRoot)(Self* self, int32_t id, int32_t* buffer,             \
                                              int32_t capacity);                                   \
  int32_t(RODAROVE_SLOTCALL* GetPathToRoot)(Self* self, int32_t id, int32_t* buffer,               \
                                            int32_t capacity);                                     \
  int32_t(RODAROVE_SLOTCALL* GetSiblings)(Self* self, int32_t id, int32_t* buffer,                 \
                                          int32_t capacity);                                       \
  int32_t(RODAROVE_SLOTCALL* GetLeaves)(Self* self, int32_t id, int32_t* buffer,                   \
                                        int32_t capacity);                                         \
  int32_t(RODAROVE_SLOTCALL* GetAllNodes)(Self* self, int32_t* rootOut, NodePair* pairs,           \
                                          int32_t capacity);                                       \
  int32_t(RODAROVE_SLOTCALL* MoveToFirstChild)(Self* self, int32_t id, int32_t newParentId);       \
  int32_t(RODAROVE_SLOTCALL* MoveToLastChild)(Self* self, int32_t id, int32_t newParentId);        \
  int32_t(RODAROVE_SLOTCALL* MoveBefore)(Self* self, int32_t id, int32_t refId);                   \
  int32_t(RODAROVE_SLOTCALL* MoveAfter)(Self* self, int32_t id, int32_t refId);

#define RODAROVE_TREE_COMPONENT_SLOTS_(Self)                                                       \
  void(RODAROVE_SLOTCALL* OnFinalRelease)(Self* self);                                             \
  void(RODAROVE_SLOTCALL* GetDllRegistry)(Self* self, const char* path, char* buffer,              \
                                          int32_t capacity);                                       \
  int32_t(RODAROVE_SLOTCALL* GetSiblingsWithSelf)(Self* self, int32_t id, int32_t* buffer,         \
                                                  int32_t capacity);                               \
  int32_t(RODAROVE_SLOTCALL* GetDescendants)(Self* self, int32_t id, NodePair* pairs,              \
                                             int32_t capacity);                                    \
  int32_t(RODAROVE_SLOTCALL* GetNodesAtDepth)(Self* self, int32_t depth, int32_t id,               \
                                              int32_t* buffer, int32_t capacity);

// GCC warns (in C, and in C++ under -pedantic) that thiscall is meant for
// class methods; on a pointer to one it is what is meant here, and it takes
// effect.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
#endif

typedef struct IComponentVtbl {
  RODAROVE_COMPONENT_SLOTS_(IComponent)
} IComponentVtbl;

typedef struct ITreeContainerVtbl {
  RODAROVE_COMPONENT_SLOTS_(ITreeContainer)
  RODAROVE_TREE_CONTAINER_SLOTS_(ITreeContainer)
} ITreeContainerVtbl;

typedef struct ITreeComponentVtbl {
  RODAROVE_COMPONENT_SLOTS_(ITreeComponent)
  RODAROVE_TREE_CONTAINER_SLOTS_(ITreeComponent)
  RODAROVE_TREE_COMPONENT_SLOTS_(ITreeComponent)
} ITreeComponentVtbl;

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef RODAROVE_COMPONENT_SLOTS_
#undef RODAROVE_TREE_CONTAINER_SLOTS_
#undef RODAROVE_TREE_COMPONENT_SLOTS_

#ifndef __cplusplus
// A component as C sees it. The same object may be viewed as any of the
// three: the table behind lpVtbl has all 35 entries.
struct IComponent {
  const IComponentVtbl* lpVtbl;
};
struct ITreeContainer {
  const ITreeContainerVtbl* lpVtbl;
};
struct ITreeComponent {
  const ITreeComponentVtbl* lpVtbl;
};
#endif

// Every entry of the C view sits at its slot number.
#ifdef __cplusplus
#define RODAROVE_STATIC_ASSERT_(condition, message) static_assert(condition, message)
#else
#define RODAROVE_STATIC_ASSERT_(condition, message) _Static_assert(condition, message)
#endif
#define RODAROVE_CHECK_SLOT_(Vtbl, name)                                                           \
  RODAROVE_STATIC_ASSERT_(offsetof(Vtbl, name) == (size_t)kSlot##name * sizeof(void (*)(void)),    \
                          "the C view's " #Vtbl "." #name " is not at its slot")
// Each view's own entries, in each view that has them.
#define RODAROVE_CHECK_COMPONENT_SLOTS_(Vtbl)                                                      \
  RODAROVE_CHECK_SLOT_(Vtbl, GetComponentID);                                                      \
  RODAROVE_CHECK_SLOT_(Vtbl, GetVersion);                                                          \
  RODAROVE_CHECK_SLOT_(Vtbl, Release);                                                             \
  RODAROVE_CHECK_SLOT_(Vtbl, GetAutoFree);                                                         \
  RODAROVE_CHECK_SLOT_(Vtbl, SetAutoFree)
#define RODAROVE_CHECK_TREE_CONTAINER_SLOTS_(Vtbl)                                                 \
  RODAROVE_CHECK_SLOT_(Vtbl, SetRoot);                                                             \
  RODAROVE_CHECK_SLOT_(Vtbl, IsLeaf);                                                              \
  RODAROVE_CHECK_SLOT_(Vtbl, Exists);                                                              \
  RODAROVE_CHECK_SLOT_(Vtbl, IsChild);                                                             \
  RODAROVE_CHECK_SLOT_(Vtbl, AppendChild);                                                         \
  RODAROVE_CHECK_SLOT_(Vtbl, PrependChild);                                                        \
  RODAROVE_CHECK_SLOT_(Vtbl, InsertAfter);                                                         \
  RODAROVE_CHECK_SLOT_(Vtbl, InsertBefore);                                                        \
  RODAROVE_CHECK_SLOT_(Vtbl, Clear);                                                               \
  RODAROVE_CHECK_SLOT_(Vtbl, RemoveNode);                                                          \
  RODAROVE_CHECK_SLOT_(Vtbl, GetRoot);                                                             \
  RODAROVE_CHECK_SLOT_(Vtbl, GetParent);                                                           \
  RODAROVE_CHECK_SLOT_(Vtbl, GetLastChild);                                                        \
  RODAROVE_CHECK_SLOT_(Vtbl, GetFirstChild);                                                       \
  RODAROVE_CHECK_SLOT_(Vtbl, GetPrevSibling);                                                      \
  RODAROVE_CHECK_SLOT_(Vtbl, GetNextSibling);                                                      \
  RODAROVE_CHECK_SLOT_(Vtbl, GetPathFromRoot);                                                     \
  RODAROVE_CHECK_SLOT_(Vtbl, GetPathToRoot);                                                       \
  RODAROVE_CHECK_SLOT_(Vtbl, GetSiblings);                                                         \
  RODAROVE_CHECK_SLOT_(Vtbl, GetLeaves);                                                           \
  RODAROVE_CHECK_SLOT_(Vtbl, GetAllNodes);                                                         \
  RODAROVE_CHECK_SLOT_(Vtbl, MoveToFirstChild);                                                    \
  RODAROVE_CHECK_SLOT_(Vtbl, MoveToLastChild);                                                     \
  RODAROVE_CHECK_SLOT_(Vtbl, MoveBefore);                                                          \
  RODAROVE_CHECK_SLOT_(Vtbl, MoveAfter)
RODAROVE_CHECK_COMPONENT_SLOTS_(IComponentVtbl);
RODAROVE_CHECK_COMPONENT_SLOTS_(ITreeContainerVtbl);
RODAROVE_CHECK_TREE_CONTAINER_SLOTS_(ITreeContainerVtbl);
RODAROVE_CHECK_COMPONENT_SLOTS_(ITreeComponentVtbl);
RODAROVE_CHECK_TREE_CONTAINER_SLOTS_(ITreeComponentVtbl);
RODAROVE_CHECK_SLOT_(ITreeComponentVtbl, OnFinalRelease);
RODAROVE_CHECK_SLOT_(ITreeComponentVtbl, GetDllRegistry);
RODAROVE_CHECK_SLOT_(ITreeComponentVtbl, GetSiblingsWithSelf);
RODAROVE_CHECK_SLOT_(ITreeComponentVtbl, GetDescendants);
RODAROVE_CHECK_SLOT_(ITreeComponentVtbl, GetNodesAtDepth);
RODAROVE_STATIC_ASSERT_(sizeof(IComponentVtbl) == 5 * sizeof(void (*)(void)),
                        "IComponent has slots 0-4");
RODAROVE_STATIC_ASSERT_(sizeof(ITreeContainerVtbl) == 30 * sizeof(void (*)(void)),
                        "ITreeContainer has slots 0-29");
RODAROVE_STATIC_ASSERT_(sizeof(ITreeComponentVtbl) == 35 * sizeof(void (*)(void)),
                        "ITreeComponent has slots 0-34");
#undef RODAROVE_CHECK_SLOT_
#undef RODAROVE_CHECK_COMPONENT_SLOTS_
#undef RODAROVE_CHECK_TREE_CONTAINER_SLOTS_
#undef RODAROVE_STATIC_ASSERT_

#endif  // RODAROVE_SLOT_TABLES

#endif  // RODAROVE_TREE_CONTAINER_H_
