// The map tree tests' view of a component driven by slot number: the slot
// calls of TreeSlots plus whole answers for comparisons.
#ifndef RODAROVE_TESTS_MAPTREE_SLOT_TREE_H_
#define RODAROVE_TESTS_MAPTREE_SLOT_TREE_H_

#include <cstdint>
#include <vector>

#include "tests/support/tree_slots.h"

namespace rodarove_test {

class SlotTree : public TreeSlots {
 public:
  explicit SlotTree(void* object) : TreeSlots(object) {}

  // Whole answers, for comparisons: the full list of an ID-list query, or
  // {-1} / the count when it does not list.
  std::vector<int32_t> ListAll(int slot, int32_t id) {
    int32_t n = List(slot, id, nullptr, 0);
    if (n <= 0) return {n};
    std::vector<int32_t> v(static_cast<size_t>(n));
    List(slot, id, v.data(), n);
    return v;
  }
  std::vector<int32_t> AtDepth(int32_t depth, int32_t id) {
    int32_t n = GetNodesAtDepth(depth, id, nullptr, 0);
    if (n <= 0) return {n};
    std::vector<int32_t> v(static_cast<size_t>(n));
    GetNodesAtDepth(depth, id, v.data(), n);
    return v;
  }
  // The pairs of GetAllNodes, preceded by the root as (root, root); empty
  // for an empty tree.
  std::vector<NodePair> AllPairs() {
    int32_t n = GetAllNodes(nullptr, nullptr, 0);
    if (n <= 0) return {};
    std::vector<NodePair> v(static_cast<size_t>(n));
    int32_t root = 0;
    GetAllNodes(&root, v.data() + 1, n - 1);
    v[0] = NodePair{root, root};
    return v;
  }
  std::vector<NodePair> Descendants(int32_t id) {
    int32_t n = GetDescendants(id, nullptr, 0);
    if (n <= 0) return {NodePair{n, n}};
    std::vector<NodePair> v(static_cast<size_t>(n));
    GetDescendants(id, v.data(), n);
    return v;
  }

};

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_MAPTREE_SLOT_TREE_H_
