// The module's state below its exports: ModuleLock, the registry path it
// guards, the module's and the factory module's handles, the DllSafe flag,
// and the frame's debugger-output routine.
#ifndef RODAROVE_MODULE_STATE_MODULE_STATE_H_
#define RODAROVE_MODULE_STATE_MODULE_STATE_H_

#include <atomic>
#include <cstdint>

#include "module/state/component_services.h"
#include "platform/platform.h"
#include "platform/thread_annotations.h"

namespace rodarove {

// ModuleLock: the one lock of the module's shared state, recursive for its
// owner. It guards the class registration table, the live table with what
// goes with it, and the registry path; it is held across the calls into
// components of PavexDllFreeMap and across the factory notification.
extern platform::CriticalSection ModuleLock;

// Initialises ModuleLock (once) and sets DllSafe to 1. LockModule does so
// on first use: the first use is in static initialisation, which the
// system loader serialises.
void InitModuleLock();
void LockModule() ACQUIRE(ModuleLock);
void UnlockModule() RELEASE(ModuleLock);
// Deletes the lock at process detach, if it was initialised.
void DeleteModuleLock();
bool ModuleLockInitialised();

class SCOPED_CAPABILITY ModuleLockGuard {
 public:
  ModuleLockGuard() ACQUIRE(ModuleLock) { LockModule(); }
  ~ModuleLockGuard() RELEASE() { UnlockModule(); }
  ModuleLockGuard(const ModuleLockGuard&) = delete;
  ModuleLockGuard& operator=(const ModuleLockGuard&) = delete;
};

// This module's own handle, stored at process attach.
extern std::atomic<platform::ModuleHandle> ModuleHandle;

// A factory module handed over by SetFactoryHandle; null when none.
extern std::atomic<platform::ModuleHandle> FactoryModuleHandle;

// 0 makes every Release a no-op. Set to 1 when ModuleLock is initialised.
extern std::atomic<int32_t> DllSafe;

// SetDLLRegistry: stores path when it is shorter than 260 characters,
// otherwise empties the stored path. Takes ModuleLock; CopyRegistryPath
// (component_services.h) reads it under the lock too, so that a reader
// never sees half a write.
void SetRegistryPath(const char* path);

// printf-style message of at most 1023 characters to the debugger output;
// no line end is added.
void DebugPrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace rodarove

#endif  // RODAROVE_MODULE_STATE_MODULE_STATE_H_
