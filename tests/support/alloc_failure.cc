#include "tests/support/alloc_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace rodarove_test {

namespace {
std::atomic<size_t> g_failAt{0};
std::atomic<bool> g_sticky{false};
std::atomic<size_t> g_count{0};
std::atomic<size_t> g_live{0};

}  // namespace

// Counts one allocation; true when it must fail.
bool ShouldFail() {
  size_t failAt = g_failAt.load(std::memory_order_relaxed);
  size_t n = g_count.fetch_add(1, std::memory_order_relaxed) + 1;
  if (failAt == 0) return false;
  return n == failAt || (g_sticky.load(std::memory_order_relaxed) && n > failAt);
}

namespace {
void* Allocate(size_t size) {
  if (ShouldFail()) return nullptr;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr) g_live.fetch_add(1, std::memory_order_relaxed);
  return p;
}
}  // namespace

void FailAllocation(size_t n, bool sticky) {
  g_sticky.store(sticky);
  g_count.store(0);
  g_failAt.store(n);
}

size_t StopFailing() {
  g_failAt.store(0);
  return g_count.exchange(0);
}

size_t AllocationsSoFar() { return g_count.load(); }

size_t LiveBlocks() { return g_live.load(); }

void CountLive(int change) {
  g_live.fetch_add(static_cast<size_t>(change), std::memory_order_relaxed);
}

void Free(void* p) {
  if (p == nullptr) return;
  g_live.fetch_sub(1, std::memory_order_relaxed);
  std::free(p);
}

void* Reallocate(void* block, size_t bytes) {
  if (ShouldFail()) return nullptr;
  return std::realloc(block, bytes == 0 ? 1 : bytes);
}

}  // namespace rodarove_test

void* operator new(size_t size) {
  void* p = rodarove_test::Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t size) {
  void* p = rodarove_test::Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return rodarove_test::Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return rodarove_test::Allocate(size); }
void operator delete(void* p) noexcept { rodarove_test::Free(p); }
void operator delete[](void* p) noexcept { rodarove_test::Free(p); }
void operator delete(void* p, size_t) noexcept { rodarove_test::Free(p); }
void operator delete[](void* p, size_t) noexcept { rodarove_test::Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { rodarove_test::Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { rodarove_test::Free(p); }
