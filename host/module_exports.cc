#include "host/module_exports.h"

#include "host/host_platform.h"

namespace rodarove_host {

namespace {

template <typename Fn>
void Find(void* library, const char* name, Fn* out, std::string* missing) {
  *out = reinterpret_cast<Fn>(LibrarySymbol(library, name));
  if (*out == nullptr) {
    if (!missing->empty()) *missing += ", ";
    *missing += name;
  }
}

}  // namespace

void* LoadModule(const std::string& path, ModuleExports* e, std::string* error) {
  void* library = OpenLibrary(path, error);
  if (library == nullptr) return nullptr;
  std::string missing;
  Find(library, "CreateComponent", &e->CreateComponent, &missing);
  Find(library, "GetComponentIDs", &e->GetComponentIDs, &missing);
  Find(library, "SetDLLRegistry", &e->SetDLLRegistry, &missing);
  Find(library, "SetFactoryHandle", &e->SetFactoryHandle, &missing);
  Find(library, "PavexDllCanUnloadNow", &e->PavexDllCanUnloadNow, &missing);
  Find(library, "PavexDllFreeMap", &e->PavexDllFreeMap, &missing);
  Find(library, "PavexSetDllSafe", &e->PavexSetDllSafe, &missing);
  if (!missing.empty()) {
    *error = "it does not export " + missing;
    CloseLibrary(library);
    return nullptr;
  }
  return library;
}

}  // namespace rodarove_host
