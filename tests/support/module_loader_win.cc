// Windows side of the module loader: LoadLibraryA, GetProcAddress,
// FreeLibrary.
#include <windows.h>

#include <string>

#include "tests/support/module_loader.h"

namespace rodarove_test {

// The build system hands over host paths. Under Wine the host's root is
// drive Z:, so a path that starts with '/' becomes Z:\...; everything else is
// passed on with its slashes turned into backslashes.
std::string NativePath(const std::string& path) {
  std::string out = (!path.empty() && path[0] == '/') ? "Z:" + path : path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

const char* BuiltModulePath() {
  static const std::string path = NativePath(RODAROVE_LIBRARY_PATH);
  return path.c_str();
}

void* LoadLibraryAt(const std::string& path, bool /*global: no such thing on Windows*/) {
  return reinterpret_cast<void*>(::LoadLibraryA(NativePath(path).c_str()));
}

void* FindSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void UnloadLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

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
