// Module-wide state: the registry path, the module and factory handles, the
// DllSafe flag, ModuleLock and the frame's debugger-output routine.
#ifndef RODAROVE_MODULE_MODULE_STATE_H_
#define RODAROVE_MODULE_MODULE_STATE_H_

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace rodarove {

constexpr int kRegistryPathSize = 260;

// The ini path given by SetDLLRegistry. Written only under ModuleLock; read
// under it too (CopyRegistryPath), so a reader never sees half a write.
extern char RegistryPath[kRegistryPathSize];

// This module's own handle, stored at process attach.
extern std::atomic<platform::ModuleHandle> ModuleHandle;

// A factory module handed over by SetFactoryHandle; null when none.
extern std::atomic<platform::ModuleHandle> FactoryModuleHandle;

// 0 makes every Release a no-op. Set to 1 when ModuleLock is initialised.
extern std::atomic<int32_t> DllSafe;

// ModuleLock: recursive for its owner. LockModule initialises it on first
// use; InitModuleLock does nothing once it is initialised.
void InitModuleLock();
void LockModule();
void UnlockModule();
// Deletes the lock at process detach, if it was initialised.
void DeleteModuleLock();
bool ModuleLockInitialised();

class ModuleLockGuard {
 public:
  ModuleLockGuard() { LockModule(); }
  ~ModuleLockGuard() { UnlockModule(); }
  ModuleLockGuard(const ModuleLockGuard&) = delete;
  ModuleLockGuard& operator=(const ModuleLockGuard&) = delete;
};

// SetDLLRegistry: stores path when it is shorter than 260 characters,
// otherwise empties the stored path.
void SetRegistryPath(const char* path);

// Copies RegistryPath into out (size bytes) under ModuleLock.
void CopyRegistryPath(char* out, int size);

// printf-style message of at most 1023 characters to the debugger output;
// no line end is added.
void DebugPrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace rodarove

#endif  // RODAROVE_MODULE_MODULE_STATE_H_
