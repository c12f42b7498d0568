#include "module/state/module_state.h"

#include <cstdarg>
#include <cstring>

namespace rodarove {

platform::CriticalSection ModuleLock;
std::atomic<platform::ModuleHandle> ModuleHandle{nullptr};
std::atomic<platform::ModuleHandle> FactoryModuleHandle{nullptr};
std::atomic<int32_t> DllSafe{0};

namespace {
// Set during static initialisation, which the system loader serialises, and
// cleared at process detach: no lock of its own.
int32_t g_lockInitialised = 0;

char g_registryPath[RODAROVE_PATH_SIZE] GUARDED_BY(ModuleLock);
}  // namespace

void InitModuleLock() {
  if (g_lockInitialised != 0) return;
  platform::InitializeCriticalSection(&ModuleLock);
  g_lockInitialised = 1;
  DllSafe.store(1);
}

void LockModule() {
  if (g_lockInitialised == 0) InitModuleLock();
  platform::EnterCriticalSection(&ModuleLock);
}

void UnlockModule() { platform::LeaveCriticalSection(&ModuleLock); }

void DeleteModuleLock() {
  if (g_lockInitialised == 0) return;
  platform::DeleteCriticalSection(&ModuleLock);
  g_lockInitialised = 0;
}

bool ModuleLockInitialised() { return g_lockInitialised != 0; }

void SetRegistryPath(const char* path) {
  ModuleLockGuard lock;
  if (path != nullptr && std::strlen(path) < static_cast<size_t>(RODAROVE_PATH_SIZE)) {
    std::memcpy(g_registryPath, path, std::strlen(path) + 1);
  } else {
    g_registryPath[0] = '\0';
  }
}

void CopyRegistryPath(char* out, int size) {
  if (out == nullptr || size <= 0) return;
  ModuleLockGuard lock;
  size_t n = std::strlen(g_registryPath);
  if (n >= static_cast<size_t>(size)) n = static_cast<size_t>(size) - 1;
  std::memcpy(out, g_registryPath, n);
  out[n] = '\0';
}

bool ReleasesEnabled() { return DllSafe.load() != 0; }

void DebugPrint(const char* format, ...) {
  char buffer[1024];
  std::memset(buffer, 0, sizeof buffer);
  va_list args;
  va_start(args, format);
  platform::VFormat(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  platform::OutputDebugString(buffer);
}

}  // namespace rodarove
