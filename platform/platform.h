// The platform layer: the few operating-system services the module uses,
// behind one interface. platform/win implements them with the Win32 API,
// platform/posix with POSIX and the C library. Nothing outside platform/
// includes a system header of either side, and nothing in platform/ calls
// the rest of the module: it is the bottom layer.
#ifndef RODAROVE_PLATFORM_PLATFORM_H_
#define RODAROVE_PLATFORM_PLATFORM_H_

#include <cstdarg>
#include <cstddef>
#include <mutex>

#include "platform/thread_annotations.h"

namespace rodarove {
namespace platform {

// A module (DLL / shared library) handle; null means none.
using ModuleHandle = void*;

// A lock that its owner may enter again (a Win32 critical section, or a
// recursive pthread mutex). Storage only; use the functions below.
struct CAPABILITY("mutex") CriticalSection {
  alignas(16) unsigned char storage[64];
};

void InitializeCriticalSection(CriticalSection* cs);
void EnterCriticalSection(CriticalSection* cs) ACQUIRE(cs);
void LeaveCriticalSection(CriticalSection* cs) RELEASE(cs);
void DeleteCriticalSection(CriticalSection* cs);

// A lock for the data of one file, ready from static initialisation on and
// never entered twice by one thread.
class CAPABILITY("mutex") Mutex {
 public:
  // The standard library's mutex carries no annotations of its own.
  void Lock() ACQUIRE() NO_THREAD_SAFETY_ANALYSIS { mutex_.lock(); }
  void Unlock() RELEASE() NO_THREAD_SAFETY_ANALYSIS { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex* mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() RELEASE() { mutex_->Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex* mutex_;
};

// Hands one message to the debugger output, unchanged (no line end added).
// On POSIX that is standard error, or where the environment variable
// RODAROVE_DEBUG_OUTPUT says at the first message: "stderr", "none", or
// "file:PATH" (appended to; standard error when it cannot be opened).
void OutputDebugString(const char* text);
// Closes a file the debugger output went to; later messages are dropped.
// For the very end of process detach.
void CloseDebugOutput();

// Stops in a debugger when one is attached; otherwise does nothing.
void DebugBreak();

// _vsnprintf: writes at most count characters of the formatted text into buf,
// adding a terminator only when the text is shorter than count. Returns the
// number of characters written, or -1 when the text needed more than count.
int VFormat(char* buf, size_t count, const char* format, va_list args);

// --- Used by the factory link. ---

// GetPrivateProfileStringA: copies the value of key in section of the ini
// file (or defaultValue when the file, section or key is missing) into out,
// cut to size - 1 characters and terminated; returns the characters copied.
unsigned GetProfileString(const char* section, const char* key, const char* defaultValue,
                          char* out, unsigned size, const char* file);

// LoadLibraryA / GetProcAddress. A loaded module is never unloaded by the
// module. Null on failure. FindExport finds only what the module itself
// defines, not what a library it depends on does.
ModuleHandle LoadModule(const char* path);
void* FindExport(ModuleHandle module, const char* name);

// The handle of the loaded module (DLL / shared library) that holds
// address, as LoadModule of its file would return it; no reference is kept.
// Null when there is none.
ModuleHandle ModuleContaining(const void* address);

// GetModuleFileNameA(GetModuleHandleA(NULL)): the path of the host process's
// executable, terminated; returns its length, or 0 (out empty) when it is
// unknown or does not fit in size - 1 characters.
unsigned GetExecutablePath(char* out, unsigned size);

// --- Used by the stores of large trees. ---

// Address space is reserved, committed and given back in multiples of this
// many bytes (Windows' allocation granularity).
constexpr size_t kMemoryGranularity = 65536;

// Reserves `bytes` (a multiple of kMemoryGranularity) of address space that
// nothing can use until committed: costs no memory. Null when refused.
void* ReserveMemory(size_t bytes);
// Makes reserved pages usable; they read as zeros and take memory only as
// they are written. False when the system refuses the commitment.
bool CommitMemory(void* at, size_t bytes);
// Gives the memory of committed pages back; they are reserved again, to be
// committed before the next use, and then read as zeros.
void DiscardMemory(void* at, size_t bytes);
// Gives a whole reservation back, committed pages and all.
void ReleaseMemory(void* at, size_t bytes);

}  // namespace platform
}  // namespace rodarove

#endif  // RODAROVE_PLATFORM_PLATFORM_H_
