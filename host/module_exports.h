// The seven functions the module exports, found in a loaded library.
#ifndef RODAROVE_HOST_MODULE_EXPORTS_H_
#define RODAROVE_HOST_MODULE_EXPORTS_H_

#include <cstdint>
#include <string>

#include "rodarove/tree_container.h"

namespace rodarove_host {

struct ModuleExports {
  IComponent* (*CreateComponent)(int32_t, uint32_t) = nullptr;
  int32_t (*GetComponentIDs)(int32_t*, uint32_t) = nullptr;
  int32_t (*SetDLLRegistry)(const char*) = nullptr;
  void* (*SetFactoryHandle)(void*) = nullptr;
  int32_t (*PavexDllCanUnloadNow)() = nullptr;
  void (*PavexDllFreeMap)() = nullptr;
  int32_t (*PavexSetDllSafe)(int32_t) = nullptr;
};

// Loads the module at path and finds its seven exports. Returns the
// library, or null with *error saying why.
void* LoadModule(const std::string& path, ModuleExports* exports, std::string* error);

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_MODULE_EXPORTS_H_
