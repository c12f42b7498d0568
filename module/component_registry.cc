#include "module/component_registry.h"

#include "module/state/module_state.h"

namespace rodarove {

namespace {

struct RegistryEntry {
  int32_t componentId;
  ComponentCreateFn create;
};

// Zero-initialised static storage: usable before any constructor has run.
struct ComponentRegistry {
  RegistryEntry entries[kMaxRegisteredClasses];
  uint32_t count;
};

ComponentRegistry g_registry GUARDED_BY(ModuleLock);

}  // namespace

void RegisterComponentClass(int32_t componentId, ComponentCreateFn create) {
  ModuleLockGuard lock;
  if (g_registry.count >= kMaxRegisteredClasses || componentId == 0 || create == nullptr) return;
  g_registry.entries[g_registry.count++] = RegistryEntry{componentId, create};
}

ComponentCreateFn FindCreateFunction(int32_t componentId) {
  ModuleLockGuard lock;
  for (uint32_t i = 0; i < g_registry.count; ++i) {
    if (g_registry.entries[i].componentId == componentId) return g_registry.entries[i].create;
  }
  return nullptr;
}

int32_t CopyComponentIDs(int32_t* ids, uint32_t capacity) {
  ModuleLockGuard lock;
  if (ids != nullptr) {
    for (uint32_t i = 0; i < g_registry.count && i < capacity; ++i) {
      ids[i] = g_registry.entries[i].componentId;
    }
  }
  return static_cast<int32_t>(g_registry.count);
}

}  // namespace rodarove
