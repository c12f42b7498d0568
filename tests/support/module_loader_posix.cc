// POSIX side of the module loader: dlopen, dlsym, dlclose.
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

}  // namespace rodarove_test
