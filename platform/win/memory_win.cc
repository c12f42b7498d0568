// Win32 side of the store memory: VirtualAlloc's reserve and commit, which
// hands out zero pages that take memory only once they are touched.
#include <windows.h>

#include "platform/platform.h"

namespace rodarove {
namespace platform {

void* ReserveMemory(size_t bytes) {
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
}

bool CommitMemory(void* at, size_t bytes) {
  return ::VirtualAlloc(at, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void DiscardMemory(void* at, size_t bytes) { ::VirtualFree(at, bytes, MEM_DECOMMIT); }

void ReleaseMemory(void* at, size_t) { ::VirtualFree(at, 0, MEM_RELEASE); }

}  // namespace platform
}  // namespace rodarove
