// Win32 side of the platform layer: the real API, called directly.
#include <windows.h>
// windows.h maps these names to their A/W forms; ours are plain functions.
#undef OutputDebugString

#include <cstdio>

#include "platform/platform.h"

namespace rodarove {
namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(CriticalSection::storage),
              "CriticalSection storage too small for CRITICAL_SECTION");
static_assert(alignof(CRITICAL_SECTION) <= alignof(CriticalSection),
              "CriticalSection storage under-aligned for CRITICAL_SECTION");

static CRITICAL_SECTION* AsWin32(CriticalSection* cs) {
  return reinterpret_cast<CRITICAL_SECTION*>(cs->storage);
}

void InitializeCriticalSection(CriticalSection* cs) { ::InitializeCriticalSection(AsWin32(cs)); }

// The analysis takes the annotations of these two at their word; their
// bodies are the system's lock, which it cannot see.
void EnterCriticalSection(CriticalSection* cs) NO_THREAD_SAFETY_ANALYSIS {
  ::EnterCriticalSection(AsWin32(cs));
}

void LeaveCriticalSection(CriticalSection* cs) NO_THREAD_SAFETY_ANALYSIS {
  ::LeaveCriticalSection(AsWin32(cs));
}

void DeleteCriticalSection(CriticalSection* cs) { ::DeleteCriticalSection(AsWin32(cs)); }

void OutputDebugString(const char* text) {
  if (text == nullptr) return;
  ::OutputDebugStringA(text);
}

void CloseDebugOutput() {}

// Without a debugger DebugBreak would end the process with an unhandled
// breakpoint; the module only wants to stop where someone is watching.
void DebugBreak() {
  if (::IsDebuggerPresent()) ::DebugBreak();
}

// The C runtime's own _vsnprintf (not the MinGW replacement), so that
// messages are formatted as a Windows build formats them.
int VFormat(char* buf, size_t count, const char* format, va_list args) {
  return ::_vsnprintf(buf, count, format, args);
}

}  // namespace platform
}  // namespace rodarove
