// POSIX side of the store memory: a reservation is an inaccessible private
// mapping; committing makes pages writable (and counts them against the
// system's commit limit where it keeps one), discarding drops their
// contents and makes them inaccessible again.
#include <sys/mman.h>

#include "platform/platform.h"

namespace rodarove {
namespace platform {

void* ReserveMemory(size_t bytes) {
  void* at = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return at == MAP_FAILED ? nullptr : at;
}

bool CommitMemory(void* at, size_t bytes) {
  return ::mprotect(at, bytes, PROT_READ | PROT_WRITE) == 0;
}

void DiscardMemory(void* at, size_t bytes) {
  ::madvise(at, bytes, MADV_DONTNEED);
  ::mprotect(at, bytes, PROT_NONE);
}

void ReleaseMemory(void* at, size_t bytes) { ::munmap(at, bytes); }

}  // namespace platform
}  // namespace rodarove
