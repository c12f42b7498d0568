// What the benchmarks read of their own process's memory (Linux).
#ifndef RODAROVE_BENCH_PROCESS_MEMORY_H_
#define RODAROVE_BENCH_PROCESS_MEMORY_H_

#include <malloc.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

namespace rodarove_bench {

// The resident bytes of the process (/proc/self/statm), 0 when unreadable.
inline long ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * sysconf(_SC_PAGESIZE);
}

// The heap bytes in use as glibc counts them: blocks from the heap and
// from mmap, blind to memory mapped by other means.
inline size_t HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace rodarove_bench

#endif  // RODAROVE_BENCH_PROCESS_MEMORY_H_
