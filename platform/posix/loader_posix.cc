// POSIX side of the profile and module services used by the factory link.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/posix/ini_reader.h"

namespace rodarove {
namespace platform {

unsigned GetProfileString(const char* section, const char* key, const char* defaultValue,
                          char* out, unsigned size, const char* file) {
  return ReadIniString(section, key, defaultValue, out, size, file);
}

ModuleHandle LoadModule(const char* path) {
  // dlopen takes an empty name for the main program; LoadLibraryA fails.
  if (path == nullptr || path[0] == '\0') return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  void* symbol = dlsym(module, name);
  if (symbol == nullptr) return nullptr;
  // dlsym also searches the libraries the module depends on; GetProcAddress
  // looks in the module itself only, and so does this: the symbol must be
  // defined by the module's own object.
  struct link_map* own = nullptr;
  struct link_map* definer = nullptr;
  Dl_info info;
  if (dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 || own == nullptr ||
      dladdr1(symbol, &info, reinterpret_cast<void**>(&definer), RTLD_DL_LINKMAP) == 0 ||
      definer != own) {
    return nullptr;
  }
  return symbol;
}

ModuleHandle ModuleContaining(const void* address) {
  // RTLD_NOLOAD finds the loaded library without loading anything; the
  // extra reference it takes is dropped at once.
  Dl_info info;
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle;
}

unsigned GetExecutablePath(char* out, unsigned size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return 0;
  size_t len = static_cast<size_t>(n);
  if (len > size - 1) return 0;  // a cut path would name another file
  std::memcpy(out, path, len);
  out[len] = '\0';
  return static_cast<unsigned>(len);
}

}  // namespace platform
}  // namespace rodarove
