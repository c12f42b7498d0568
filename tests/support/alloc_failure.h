// Test-only replacement of the global allocation functions that can make
// the n-th allocation from now on fail, to check that an edit refuses
// cleanly when memory runs out. Linking this file replaces operator new and
// delete for the whole test executable.
#ifndef RODAROVE_TESTS_SUPPORT_ALLOC_FAILURE_H_
#define RODAROVE_TESTS_SUPPORT_ALLOC_FAILURE_H_

#include <cstddef>

namespace rodarove_test {

// From now on, allocation number n (1-based) fails, and every one after it
// too when `sticky`. n = 0 disarms.
void FailAllocation(size_t n, bool sticky = false);

// Disarms and returns how many allocations were made since the last call
// to FailAllocation or StopFailing.
size_t StopFailing();

// Allocations counted since arming (or since the last StopFailing).
size_t AllocationsSoFar();

// Blocks allocated and not freed yet, counted over the whole run: equal
// before and after a piece of work that gives back all it took.
size_t LiveBlocks();

// std::realloc, counted and failed as an allocation (a failed call leaves
// the block as it was): for the stores that take their memory that way.
void* Reallocate(void* block, size_t bytes);

// Makes the stores' record memory (rodarove::recordMemory) count and fail
// with the allocations above: a heap block or a reservation is an
// allocation and a live block until given back, and so is each commit.
// Until the end of the run; for tests that link the module's code.
void CountRecordMemory();

// Arms for the scope of the object; disarms on destruction.
class ScopedAllocationFailure {
 public:
  explicit ScopedAllocationFailure(size_t n, bool sticky = false) { FailAllocation(n, sticky); }
  ~ScopedAllocationFailure() { StopFailing(); }
  ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
  ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};

}  // namespace rodarove_test

#endif  // RODAROVE_TESTS_SUPPORT_ALLOC_FAILURE_H_
