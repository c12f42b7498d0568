// Win32 side of the profile and module services used by the factory link.
#include <windows.h>
// windows.h maps GetProfileString to GetProfileStringA; ours is a plain function.
#undef GetProfileString

#include "platform/platform.h"

namespace rodarove {
namespace platform {

unsigned GetProfileString(const char* section, const char* key, const char* defaultValue,
                          char* out, unsigned size, const char* file) {
  if (out == nullptr || size == 0) return 0;
  return static_cast<unsigned>(
      ::GetPrivateProfileStringA(section, key, defaultValue, out, static_cast<DWORD>(size), file));
}

ModuleHandle LoadModule(const char* path) {
  if (path == nullptr) return nullptr;
  return reinterpret_cast<ModuleHandle>(::LoadLibraryA(path));
}

void* FindExport(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

ModuleHandle ModuleContaining(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module)) {
    return nullptr;
  }
  return reinterpret_cast<ModuleHandle>(module);
}

unsigned GetExecutablePath(char* out, unsigned size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  DWORD n = ::GetModuleFileNameA(::GetModuleHandleA(nullptr), out, static_cast<DWORD>(size));
  // A path that does not fit comes back cut, as size characters (not
  // terminated on every system): a cut path would name another file.
  if (n >= size) n = 0;
  out[n] = '\0';
  return static_cast<unsigned>(n);
}

}  // namespace platform
}  // namespace rodarove
