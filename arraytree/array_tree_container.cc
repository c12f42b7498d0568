#include "arraytree/array_tree_container.h"

namespace rodarove {

// Placeholder until the class is built.
IComponent* CreateArrayTreeContainer() { return nullptr; }

}  // namespace rodarove
