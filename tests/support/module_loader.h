// Loads the built module the way a host does and finds its seven exports.
#ifndef RODAROVE_TESTS_SUPPORT_MODULE_LOADER_H_
#define RODAROVE_TESTS_SUPPORT_MODULE_LOADER_H_

#include <cstdint>
#include <string>

#include "rodarove/rodarove.h"

namespace rodarove_test {

struct ModuleExports {
  RodaroveCreateComponentFn CreateComponent = nullptr;
  RodaroveGetComponentIDsFn GetComponentIDs = nullptr;
  RodaroveSetDLLRegistryFn SetDLLRegistry = nullptr;
  RodaroveSetFactoryHandleFn SetFactoryHandle = nullptr;
  RodarovePavexDllCanUnloadNowFn PavexDllCanUnloadNow = nullptr;
  RodarovePavexDllFreeMapFn PavexDllFreeMap = nullptr;
  RodarovePavexSetDllSafeFn PavexSetDllSafe = nullptr;
};

// The module built with the tests.
const char* BuiltModulePath();

// A path from the build system as the running system spells it: unchanged
// on POSIX; on Windows with backslashes, and a leading '/' (a host path
// under Wine) on drive Z:.
std::string NativePath(const std::string& path);

// Loads a library; global makes its symbols available to later loads (POSIX).
void* LoadLibraryAt(const std::string& path, bool global = false);
void* FindSymbol(void* library, const char* name);
void UnloadLibrary(void* library);

// Loads the module and fills all seven exports; null when any is missing.
void* LoadModule(ModuleExports* exports, const std::string& path = BuiltModulePath(),
                 bool global = false);

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_SUPPORT_MODULE_LOADER_H_
