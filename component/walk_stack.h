// WalkStack: the stack a tree class keeps for its whole-tree walks. It
// never throws: the first kInline entries live in the object itself, so a
// walk of a small tree takes no memory at all; beyond them, room is taken
// with nothrow allocations, doubling up to the limit of the walk, and Push
// answers false when it cannot be had (the caller then walks without the
// stack). The heap part is kept from one walk to the next, so a walk of a
// tree already walked allocates nothing, until Release gives it back.
#ifndef RODAROVE_COMPONENT_WALK_STACK_H_
#define RODAROVE_COMPONENT_WALK_STACK_H_

#include <cstddef>
#include <type_traits>

namespace rodarove {

// A block of `bytes` bytes that begins with a copy of the first `used`
// bytes at `from`; null when the memory cannot be had. Out of line, so that
// the walks' Push stays small. Freed with FreeWalkBlock (null is fine).
void* NewWalkBlock(const void* from, size_t used, size_t bytes);
void FreeWalkBlock(void* block);

template <typename T, size_t kInline>
class WalkStack {
  static_assert(std::is_trivially_copyable<T>::value, "entries are copied as bytes");

 public:
  WalkStack() = default;
  ~WalkStack() { FreeWalkBlock(heap_); }
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

  // Gives back the heap part.
  void Release() {
    FreeWalkBlock(heap_);
    heap_ = nullptr;
    data_ = inline_;
    capacity_ = kInline;
    size_ = 0;
  }

 private:
  bool Grow() {
    if (capacity_ >= limit_) return false;
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
  T* heap_ = nullptr;  // null, or what data_ points to
  T* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = kInline;
  size_t limit_ = 0;
};

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_WALK_STACK_H_
