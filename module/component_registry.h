// The table of component classes this module can create.
#ifndef RODAROVE_MODULE_COMPONENT_REGISTRY_H_
#define RODAROVE_MODULE_COMPONENT_REGISTRY_H_

#include <cstdint>

#include "rodarove/tree_container.h"

namespace rodarove {

// Makes a fully constructed component, or returns null. Never throws.
using ComponentCreateFn = IComponent* (*)();

constexpr uint32_t kMaxRegisteredClasses = 512;

// Appends (componentId, create) under ModuleLock unless the table is full,
// componentId is 0 or create is null; those calls are ignored silently.
void RegisterComponentClass(int32_t componentId, ComponentCreateFn create);

// The create function of the first entry with this ID, or null.
ComponentCreateFn FindCreateFunction(int32_t componentId);

// Writes up to capacity IDs in registration order; returns the entry count.
int32_t CopyComponentIDs(int32_t* ids, uint32_t capacity);

}  // namespace rodarove

#endif  // RODAROVE_MODULE_COMPONENT_REGISTRY_H_
