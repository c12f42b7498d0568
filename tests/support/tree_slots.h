// A tree component driven the way a host drives it: every call goes through
// the object's slot table by number. The tree tests of both classes build
// their whole-answer helpers on it.
#ifndef RODAROVE_TESTS_SUPPORT_TREE_SLOTS_H_
#define RODAROVE_TESTS_SUPPORT_TREE_SLOTS_H_

#include <cstdint>
#include <ostream>

#include "rodarove/tree_container.h"
#include "tests/support/slot_call.h"

namespace rodarove_test {

class TreeSlots {
 public:
  explicit TreeSlots(void* object = nullptr) : o_(object) {}
  void* object() const { return o_; }

  int32_t ComponentId() { return CallSlot<int32_t>(o_, kSlotGetComponentID); }
  void Release() {
    CallSlot<void>(o_, kSlotRelease, int32_t{0});
    o_ = nullptr;
  }

  int32_t SetRoot(int32_t id) { return CallSlot<int32_t>(o_, kSlotSetRoot, id); }
  int32_t IsLeaf(int32_t id) { return CallSlot<int32_t>(o_, kSlotIsLeaf, id); }
  int32_t Exists(int32_t id) { return CallSlot<int32_t>(o_, kSlotExists, id); }
  int32_t IsChild(int32_t id, int32_t p) { return CallSlot<int32_t>(o_, kSlotIsChild, id, p); }
  int32_t AppendChild(int32_t n, int32_t p) { return CallSlot<int32_t>(o_, kSlotAppendChild, n, p); }
  int32_t PrependChild(int32_t n, int32_t p) {
    return CallSlot<int32_t>(o_, kSlotPrependChild, n, p);
  }
  int32_t InsertAfter(int32_t n, int32_t p, int32_t r) {
    return CallSlot<int32_t>(o_, kSlotInsertAfter, n, p, r);
  }
  int32_t InsertBefore(int32_t n, int32_t p, int32_t r) {
    return CallSlot<int32_t>(o_, kSlotInsertBefore, n, p, r);
  }
  int32_t Clear() { return CallSlot<int32_t>(o_, kSlotClear); }
  int32_t RemoveNode(int32_t id) { return CallSlot<int32_t>(o_, kSlotRemoveNode, id); }
  int32_t GetRoot(int32_t* out) { return CallSlot<int32_t>(o_, kSlotGetRoot, out); }
  // Single-link lookups by slot (16-20).
  int32_t Link(int slot, int32_t id, int32_t* out) { return CallSlot<int32_t>(o_, slot, id, out); }
  int32_t GetParent(int32_t id, int32_t* out) { return Link(kSlotGetParent, id, out); }
  int32_t GetLastChild(int32_t id, int32_t* out) { return Link(kSlotGetLastChild, id, out); }
  int32_t GetFirstChild(int32_t id, int32_t* out) { return Link(kSlotGetFirstChild, id, out); }
  int32_t GetPrevSibling(int32_t id, int32_t* out) { return Link(kSlotGetPrevSibling, id, out); }
  int32_t GetNextSibling(int32_t id, int32_t* out) { return Link(kSlotGetNextSibling, id, out); }
  // ID-list queries by slot (21-24, 32).
  int32_t List(int slot, int32_t id, int32_t* buffer, int32_t capacity) {
    return CallSlot<int32_t>(o_, slot, id, buffer, capacity);
  }
  int32_t GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) {
    return CallSlot<int32_t>(o_, kSlotGetAllNodes, rootOut, pairs, capacity);
  }
  int32_t GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) {
    return CallSlot<int32_t>(o_, kSlotGetDescendants, id, pairs, capacity);
  }
  int32_t GetNodesAtDepth(int32_t depth, int32_t id, int32_t* buffer, int32_t capacity) {
    return CallSlot<int32_t>(o_, kSlotGetNodesAtDepth, depth, id, buffer, capacity);
  }
  int32_t Move(int slot, int32_t id, int32_t dest) { return CallSlot<int32_t>(o_, slot, id, dest); }
  int32_t MoveToFirstChild(int32_t id, int32_t p) { return Move(kSlotMoveToFirstChild, id, p); }
  int32_t MoveToLastChild(int32_t id, int32_t p) { return Move(kSlotMoveToLastChild, id, p); }
  int32_t MoveBefore(int32_t id, int32_t r) { return Move(kSlotMoveBefore, id, r); }
  int32_t MoveAfter(int32_t id, int32_t r) { return Move(kSlotMoveAfter, id, r); }
 private:
  void* o_;
};

}  // namespace rodarove_test

// NodePair lives in the global namespace, so its comparison and printing
// must too, for std::vector and gtest to find them.
inline bool operator==(const NodePair& a, const NodePair& b) {
  return a.id == b.id && a.parent == b.parent;
}
inline void PrintTo(const NodePair& p, std::ostream* os) {
  *os << "(" << p.id << ", " << p.parent << ")";
}

#endif  // RODAROVE_TESTS_SUPPORT_TREE_SLOTS_H_
