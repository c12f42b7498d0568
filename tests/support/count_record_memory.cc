// The stores' record memory, counted and failed with the allocations of
// alloc_failure.cc. A file of its own, so that tests which do not link the
// module's code can link the allocation counting alone.
#include <cstdlib>

#include "component/record_array.h"
#include "platform/platform.h"
#include "tests/support/alloc_failure.h"

namespace rodarove_test {

bool ShouldFail();
void CountLive(int change);

namespace {

void* Resize(void* block, size_t bytes) {
  if (ShouldFail()) return nullptr;
  void* fresh = std::realloc(block, bytes == 0 ? 1 : bytes);
  if (block == nullptr && fresh != nullptr) CountLive(1);
  return fresh;
}
void FreeBlock(void* block) {
  if (block != nullptr) CountLive(-1);
  std::free(block);
}
void* Reserve(size_t bytes) {
  if (ShouldFail()) return nullptr;
  void* at = rodarove::platform::ReserveMemory(bytes);
  if (at != nullptr) CountLive(1);
  return at;
}
bool Commit(void* at, size_t bytes) {
  return !ShouldFail() && rodarove::platform::CommitMemory(at, bytes);
}
void Release(void* at, size_t bytes) {
  CountLive(-1);
  rodarove::platform::ReleaseMemory(at, bytes);
}

}  // namespace

void CountRecordMemory() {
  rodarove::recordMemory = rodarove::RecordMemory{
      &Resize, &FreeBlock, &Reserve, &Commit, &rodarove::platform::DiscardMemory, &Release};
}

}  // namespace rodarove_test
