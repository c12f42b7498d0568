// What both sides of the module loader share: finding the seven exports.
#include "tests/support/module_loader.h"

namespace rodarove_test {

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
