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

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "platform/platform.h"

namespace rodarove {

// A block of `bytes` bytes that begins with a copy of the first `used`
// bytes at `from`; null when the memory cannot be had. Out of line, so that
// the walks' Push stays small. Freed with FreeWalkBlock (null is fine).
void* NewWalkBlock(const void* from, size_t used, size_t bytes);
void FreeWalkBlock(void* block);

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
  void* Take(size_t* bytes);
  // Keeps `block` of `bytes` bytes as a spare, in place of a smaller one
  // when all places are taken; frees whichever is not kept.
  void Give(void* block, size_t bytes);
  // Frees every spare block.
  void Release();

 private:
  platform::Mutex mutex_;
  void* blocks_[kSpares] GUARDED_BY(mutex_) = {};
  size_t bytes_[kSpares] GUARDED_BY(mutex_) = {};
};

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
    if (capacity_ >= limit_) return false;
    if (heap_ == nullptr && !askedSpares_) {
      // The first time beyond the inline part: a spare block, when the
      // cache has one larger than that.
      askedSpares_ = true;
      size_t bytes = 0;
      void* spare = spares_->Take(&bytes);
      if (spare != nullptr && bytes / sizeof(T) > capacity_) {
        std::memcpy(spare, data_, size_ * sizeof(T));
        heap_ = data_ = static_cast<T*>(spare);
        capacity_ = bytes / sizeof(T);
        return true;
      }
      FreeWalkBlock(spare);
    }
    const size_t wanted = capacity_ <= limit_ / 2 ? capacity_ * 2 : limit_;
    if (wanted > static_cast<size_t>(-1) / sizeof(T)) return false;
    T* fresh = static_cast<T*>(NewWalkBlock(data_, size_ * sizeof(T), wanted * sizeof(T)));
    if (fresh == nullptr) return false;
    FreeWalkBlock(heap_);
    heap_ = fresh;
    data_ = fresh;
    capacity_ = wanted;
    return true;
  }

  T inline_[kInline];
  WalkBlockCache* spares_;
  T* heap_ = nullptr;  // null, or what data_ points to
  T* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = kInline;
  size_t limit_ = 0;
  bool askedSpares_ = false;
};

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_WALK_STACK_H_
