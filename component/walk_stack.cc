#include "component/walk_stack.h"

#include <cstring>
#include <new>

namespace rodarove {

void* NewWalkBlock(const void* from, size_t used, size_t bytes) noexcept {
  void* block = ::operator new(bytes, std::nothrow);
  if (block != nullptr && used != 0) std::memcpy(block, from, used);
  return block;
}

void FreeWalkBlock(void* block) noexcept { ::operator delete(block); }

WalkRoom GrowWalkRoom(WalkBlockCache* spares, void* heap, const void* data, size_t used,
                      size_t room, size_t limit) noexcept {
  if (room >= limit) return WalkRoom{nullptr, 0};
  if (heap == nullptr) {
    size_t bytes = 0;
    void* spare = spares->Take(&bytes);
    // At least double, so that it holds more entries of any size.
    if (spare != nullptr && bytes / 2 >= room) {
      std::memcpy(spare, data, used);
      return WalkRoom{spare, bytes};
    }
    FreeWalkBlock(spare);
  }
  const size_t wanted = room <= limit / 2 ? room * 2 : limit;
  void* fresh = NewWalkBlock(data, used, wanted);
  if (fresh == nullptr) return WalkRoom{nullptr, 0};
  FreeWalkBlock(heap);
  return WalkRoom{fresh, wanted};
}

void* WalkBlockCache::Take(size_t* bytes) noexcept {
  platform::MutexLock lock(&mutex_);
  int best = -1;
  for (int i = 0; i < kSpares; ++i) {
    if (blocks_[i] != nullptr && (best < 0 || bytes_[i] > bytes_[best])) best = i;
  }
  if (best < 0) return nullptr;
  void* block = blocks_[best];
  *bytes = bytes_[best];
  blocks_[best] = nullptr;
  bytes_[best] = 0;
  return block;
}

void WalkBlockCache::Give(void* block, size_t bytes) noexcept {
  void* unkept = block;
  {
    platform::MutexLock lock(&mutex_);
    int place = 0;
    for (int i = 1; i < kSpares && blocks_[place] != nullptr; ++i) {
      if (blocks_[i] == nullptr || bytes_[i] < bytes_[place]) place = i;
    }
    if (blocks_[place] == nullptr || bytes_[place] < bytes) {
      unkept = blocks_[place];
      blocks_[place] = block;
      bytes_[place] = bytes;
    }
  }
  FreeWalkBlock(unkept);
}

void WalkBlockCache::Release() noexcept {
  void* blocks[kSpares];
  {
    platform::MutexLock lock(&mutex_);
    for (int i = 0; i < kSpares; ++i) {
      blocks[i] = blocks_[i];
      blocks_[i] = nullptr;
      bytes_[i] = 0;
    }
  }
  for (void* b : blocks) FreeWalkBlock(b);
}

}  // namespace rodarove
