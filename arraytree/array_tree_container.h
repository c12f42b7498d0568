// ArrayTreeContainer, component 837: a tree over positive node IDs that
// index a flat, growing array of slots.
#ifndef RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_
#define RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_

#include <cstdint>

#include "rodarove/tree_container.h"

namespace rodarove {

constexpr int32_t kArrayTreeComponentId = 837;

// The create function registered for 837: a new ArrayTreeContainer, or null.
IComponent* CreateArrayTreeContainer();

}  // namespace rodarove

#endif  // RODAROVE_ARRAYTREE_ARRAY_TREE_CONTAINER_H_
