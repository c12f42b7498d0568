// MapTreeContainer, component 114: a tree over any 32-bit node IDs, kept in
// an ordered map of link records.
#ifndef RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_
#define RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_

#include <cstdint>

#include "rodarove/tree_container.h"

namespace rodarove {

constexpr int32_t kMapTreeComponentId = 114;

// The create function registered for 114: a new MapTreeContainer, or null.
IComponent* CreateMapTreeContainer();

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_MAP_TREE_CONTAINER_H_
