#include "tests/support/module_loader.h"

#include <dlfcn.h>

namespace rodarove_test {

const char* BuiltModulePath() { return RODAROVE_LIBRARY_PATH; }

std::string NativePath(const std::string& path) { return path; }

void* LoadLibraryAt(const std::string& path, bool global) {
  return dlopen(path.c_str(), RTLD_NOW | (global ? RTLD_GLOBAL : RTLD_LOCAL));
}

void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }

void UnloadLibrary(void* library) { dlclose(library); }

template <typename Fn>
static bool Find(void* library, const char* name, Fn* out) {
  *out = reinterpret_cast<Fn>(FindSymbol(library, name));
  return *out != nullptr;
}

void* LoadModule(ModuleExports* e, const std::string& path, bool global) {
  void* library = LoadLibraryAt(path, global);
  if (library == nullptr) return nullptr;
  bool ok = Find(library, "CreateComponent", &e->CreateComponent) &&
            Find(library, "GetComponentIDs", &e->GetComponentIDs) &&
            Find(library, "SetDLLRegistry", &e->SetDLLRegistry) &&
            Find(library, "SetFactoryHandle", &e->SetFactoryHandle) &&
            Find(library, "PavexDllCanUnloadNow", &e->PavexDllCanUnloadNow) &&
            Find(library, "PavexDllFreeMap", &e->PavexDllFreeMap) &&
            Find(library, "PavexSetDllSafe", &e->PavexSetDllSafe);
  if (!ok) {
    UnloadLibrary(library);
    return nullptr;
  }
  return library;
}

}  // namespace rodarove_test
