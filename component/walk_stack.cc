#include "component/walk_stack.h"

#include <cstring>
#include <new>

namespace rodarove {

void* NewWalkBlock(const void* from, size_t used, size_t bytes) {
  void* block = ::operator new(bytes, std::nothrow);
  if (block != nullptr && used != 0) std::memcpy(block, from, used);
  return block;
}

void FreeWalkBlock(void* block) { ::operator delete(block); }

}  // namespace rodarove
