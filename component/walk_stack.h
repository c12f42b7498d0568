// WalkStack: the stack of one whole-tree walk, made by the call that walks.
// It never throws: the first kInline entries live in the object itself, in
// the caller's frame, so a walk of a small tree takes no memory at all;
// beyond them, room is taken with nothrow allocations, doubling up to the
// limit of the walk, and Push answers false when it cannot be had (the
// caller then walks without the stack).
//
// The heap part of a stack comes from, and goes back to, a WalkBlockCache
// that the tree keeps: a few spare blocks under a lock, so that a walk of a
// tree already walked allocates nothing, also when several threads walk
// the same tree at once, each with its own stack. The lock is taken only
// by a walk that outgrows the inline part, once before and once after.
#ifndef RODAROVE_COMPONENT_WALK_STACK_H_
#define RODAROVE_COMPONENT_WALK_STACK_H_

#include <algorithm>
#include <cstddef>
#include <type_traits>

#include "platform/platform.h"

namespace rodarove {

// A block of `bytes` bytes that begins with a copy of the first `used`
// bytes at `from`; null when the memory cannot be had. Out of line, so that
// the walks' Push stays small. Freed with FreeWalkBlock (null is fine).
void* NewWalkBlock(const void* from, size_t used, size_t bytes) noexcept;
void FreeWalkBlock(void* block) noexcept;

// The spare blocks of one tree's walk stacks: at most kSpares, the largest
// kept. Take and Give may be called from any number of threads at once;
// Release only when no walk runs.
class WalkBlockCache {
 public:
  static constexpr int kSpares = 4;

  WalkBlockCache() = default;
  ~WalkBlockCache() { Release(); }
  WalkBlockCache(const WalkBlockCache&) = delete;
  WalkBlockCache& operator=(const WalkBlockCache&) = delete;

  // The largest spare block, taken out of the cache, with its size in
  // *bytes; null when there is none.
  void* Take(size_t* bytes) noexcept;
  // Keeps `block` of `bytes` bytes as a spare, in place of a smaller one
  // when all places are taken; frees whichever is not kept.
  void Give(void* block, size_t bytes) noexcept;
  // Frees every spare block.
  void Release() noexcept;

 private:
  platform::Mutex mutex_;
  void* blocks_[kSpares] GUARDED_BY(mutex_) = {};
  size_t bytes_[kSpares] GUARDED_BY(mutex_) = {};
};

// The room a full stack grows to (WalkStack::Grow), in bytes: a block of
// `bytes` bytes that begins with the `used` bytes at `data`, or a null
// block when it cannot grow. The first growth of a walk (no `heap` yet)
// takes the largest spare block when it is at least twice `room`; later ones,
// and one without such a spare, double the room, up to `limit`, and free
// `heap`. Out of line, with few arguments, so that the walks that push keep
// their variables in registers.
struct WalkRoom {
  void* block;
  size_t bytes;
};
WalkRoom GrowWalkRoom(WalkBlockCache* spares, void* heap, const void* data, size_t used,
                      size_t room, size_t limit) noexcept;

template <typename T, size_t kInline>
class WalkStack {
  static_assert(std::is_trivially_copyable<T>::value, "entries are copied as bytes");

 public:
  explicit WalkStack(WalkBlockCache* spares) : spares_(spares) {}
  ~WalkStack() {
    if (heap_ != nullptr) spares_->Give(heap_, capacity_ * sizeof(T));
  }
  WalkStack(const WalkStack&) = delete;
  WalkStack& operator=(const WalkStack&) = delete;

  // Empties the stack for a walk in which it never holds more than `limit`
  // entries; its room never grows beyond that.
  void Begin(size_t limit) {
    size_ = 0;
    limit_ = limit;
  }
  bool Empty() const { return size_ == 0; }
  bool Push(const T& value) {
    if (size_ == capacity_ && !Grow()) return false;
    data_[size_++] = value;
    return true;
  }
  // Only on a stack that is not empty.
  T Pop() { return data_[--size_]; }

 private:
  bool Grow() {
    constexpr size_t kMost = static_cast<size_t>(-1) / sizeof(T);
    const size_t limit = std::min(limit_, kMost);
    const WalkRoom room = GrowWalkRoom(spares_, heap_, data_, size_ * sizeof(T),
                                       capacity_ * sizeof(T), limit * sizeof(T));
    if (room.block == nullptr) return false;
    heap_ = data_ = static_cast<T*>(room.block);
    capacity_ = room.bytes / sizeof(T);
    return true;
  }

  T inline_[kInline];
  WalkBlockCache* spares_;
  T* heap_ = nullptr;  // null, or what data_ points to
  T* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = kInline;
  size_t limit_ = 0;
};

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_WALK_STACK_H_
