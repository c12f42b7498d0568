// The array tree tests' view of a component driven by slot number: the slot
// calls of TreeSlots, whole answers, and the loaded module that makes it.
#ifndef RODAROVE_TESTS_ARRAYTREE_ARRAY_SLOT_TREE_H_
#define RODAROVE_TESTS_ARRAYTREE_ARRAY_SLOT_TREE_H_

#include <cstdint>
#include <vector>

#include "tests/support/module_loader.h"
#include "tests/support/tree_slots.h"

namespace rodarove_test {

class ArraySlotTree : public TreeSlots {
 public:
  using TreeSlots::TreeSlots;

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
