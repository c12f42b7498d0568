#include "module/module_state.h"

#include <cstdarg>
#include <cstring>

namespace rodarove {

char RegistryPath[kRegistryPathSize];
std::atomic<platform::ModuleHandle> ModuleHandle{nullptr};
std::atomic<platform::ModuleHandle> FactoryModuleHandle{nullptr};
std::atomic<int32_t> DllSafe{0};

namespace {
platform::CriticalSection g_moduleLock;
// Set during static initialisation, which the system loader serialises, and
// cleared at process detach: no lock of its own.
int32_t g_lockInitialised = 0;
}  // namespace

void InitModuleLock() {
  if (g_lockInitialised != 0) return;
  platform::InitializeCriticalSection(&g_moduleLock);
  g_lockInitialised = 1;
  DllSafe.store(1);
}

void LockModule() {
  if (g_lockInitialised == 0) InitModuleLock();
  platform::EnterCriticalSection(&g_moduleLock);
}

void UnlockModule() { platform::LeaveCriticalSection(&g_moduleLock); }

void DeleteModuleLock() {
  if (g_lockInitialised == 0) return;
  platform::DeleteCriticalSection(&g_moduleLock);
  g_lockInitialised = 0;
}

bool ModuleLockInitialised() { return g_lockInitialised != 0; }

void SetRegistryPath(const char* path) {
  ModuleLockGuard lock;
  if (path != nullptr && std::strlen(path) < static_cast<size_t>(kRegistryPathSize)) {
    std::memcpy(RegistryPath, path, std::strlen(path) + 1);
  } else {
    RegistryPath[0] = '\0';
  }
}

void CopyRegistryPath(char* out, int size) {
  if (out == nullptr || size <= 0) return;
  ModuleLockGuard lock;
  size_t n = std::strlen(RegistryPath);
  if (n >= static_cast<size_t>(size)) n = static_cast<size_t>(size) - 1;
  std::memcpy(out, RegistryPath, n);
  out[n] = '\0';
}

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
