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

}  // namespace rodarove_test
