#include "maptree/map_tree_container.h"

namespace rodarove {

// Placeholder until the class is built.
IComponent* CreateMapTreeContainer() { return nullptr; }

}  // namespace rodarove
