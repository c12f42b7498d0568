// A tree object driven by slot number only, as a host that knows nothing
// but the slot table drives it, plus the loaded module that makes it.
#ifndef RODAROVE_TESTS_ARRAYTREE_ARRAY_SLOT_TREE_H_
#define RODAROVE_TESTS_ARRAYTREE_ARRAY_SLOT_TREE_H_

#include <cstdint>
#include <vector>

#include "rodarove/tree_container.h"
#include "tests/support/module_loader.h"
#include "tests/support/slot_call.h"

namespace rodarove_test {

class ArraySlotTree {
 public:
  explicit ArraySlotTree(void* object = nullptr) : o_(object) {}
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
  // Slots 16-20.
  int32_t Link(int slot, int32_t id, int32_t* out) { return CallSlot<int32_t>(o_, slot, id, out); }
  int32_t GetParent(int32_t id, int32_t* out) { return Link(kSlotGetParent, id, out); }
  int32_t GetLastChild(int32_t id, int32_t* out) { return Link(kSlotGetLastChild, id, out); }
  int32_t GetFirstChild(int32_t id, int32_t* out) { return Link(kSlotGetFirstChild, id, out); }
  int32_t GetPrevSibling(int32_t id, int32_t* out) { return Link(kSlotGetPrevSibling, id, out); }
  int32_t GetNextSibling(int32_t id, int32_t* out) { return Link(kSlotGetNextSibling, id, out); }
  // Slots 21-24 and 32.
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
  int32_t MoveBefore(int32_t id, int32_t ref) { return Move(kSlotMoveBefore, id, ref); }
  int32_t MoveAfter(int32_t id, int32_t ref) { return Move(kSlotMoveAfter, id, ref); }

  // The whole list a query answers (count first, then a buffer that fits);
  // empty for a negative answer.
  std::vector<int32_t> ListAll(int slot, int32_t id) {
    int32_t n = List(slot, id, nullptr, 0);
    if (n <= 0) return {};
    std::vector<int32_t> v(static_cast<size_t>(n));
    List(slot, id, v.data(), n);
    return v;
  }
  std::vector<int32_t> AtDepth(int32_t depth, int32_t id) {
    int32_t n = GetNodesAtDepth(depth, id, nullptr, 0);
    if (n <= 0) return {};
    std::vector<int32_t> v(static_cast<size_t>(n));
    GetNodesAtDepth(depth, id, v.data(), n);
    return v;
  }
  std::vector<NodePair> Descendants(int32_t id) {
    int32_t n = GetDescendants(id, nullptr, 0);
    if (n <= 0) return {};
    std::vector<NodePair> v(static_cast<size_t>(n));
    GetDescendants(id, v.data(), n);
    return v;
  }
  std::vector<NodePair> AllPairs(int32_t* count = nullptr) {
    int32_t n = GetAllNodes(nullptr, nullptr, 0);
    if (count != nullptr) *count = n;
    if (n <= 1) return {};
    std::vector<NodePair> v(static_cast<size_t>(n - 1));
    GetAllNodes(nullptr, v.data(), n - 1);
    return v;
  }

 private:
  void* o_;
};

// The module loaded once per test executable.
inline ModuleExports& LoadedModule() {
  static ModuleExports e;
  static void* lib = LoadModule(&e);
  (void)lib;
  return e;
}

// A new component 837 from the loaded module; null object when it failed.
inline ArraySlotTree NewArrayTree() {
  ModuleExports& e = LoadedModule();
  if (e.CreateComponent == nullptr) return ArraySlotTree(nullptr);
  return ArraySlotTree(e.CreateComponent(837, 0));
}

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_ARRAYTREE_ARRAY_SLOT_TREE_H_
