// The seven functions the module exports, found in a loaded library.
#ifndef RODAROVE_HOST_MODULE_EXPORTS_H_
#define RODAROVE_HOST_MODULE_EXPORTS_H_

#include <string>

#include "rodarove/rodarove.h"

namespace rodarove_host {

// The exports as the public header declares them, calling convention and
// all.
struct ModuleExports {
  RodaroveCreateComponentFn CreateComponent = nullptr;
  RodaroveGetComponentIDsFn GetComponentIDs = nullptr;
  RodaroveSetDLLRegistryFn SetDLLRegistry = nullptr;
  RodaroveSetFactoryHandleFn SetFactoryHandle = nullptr;
  RodarovePavexDllCanUnloadNowFn PavexDllCanUnloadNow = nullptr;
  RodarovePavexDllFreeMapFn PavexDllFreeMap = nullptr;
  RodarovePavexSetDllSafeFn PavexSetDllSafe = nullptr;
};

// Loads the module at path and finds its seven exports. Returns the
// library, or null with *error saying why.
void* LoadModule(const std::string& path, ModuleExports* exports, std::string* error);

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_MODULE_EXPORTS_H_
