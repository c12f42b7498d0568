// RecordBlock and RecordArray: the growable memory of a store's records,
// which reads as zeros beyond what was written.
//
// While small (up to kSmallBytes) a block lives on the heap and grows by a
// quarter at a time with realloc. Beyond that it is a reservation of
// address space for the store's whole limit, committed as it grows, in
// steps of platform::kMemoryGranularity: the block no longer moves, and
// growing copies nothing and touches no page (the system supplies zero
// pages as records are written). Where the whole limit cannot be reserved
// (a 32-bit process has 2 GB of address space), it reserves four times
// what it needs, and moves, copying every record, when that is outgrown.
//
// Cost: Grow is constant time, beyond the copy of at most kSmallBytes and
// a system call, except that move of a 32-bit block. Nothing throws; a
// failed Grow leaves the block as it was.
#ifndef RODAROVE_COMPONENT_RECORD_ARRAY_H_
#define RODAROVE_COMPONENT_RECORD_ARRAY_H_

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Asks for the cache line at `address` ahead of its use; a hint only.
#if defined(__GNUC__) || defined(__clang__)
#define RODAROVE_PREFETCH(address) __builtin_prefetch(address)
#else
#define RODAROVE_PREFETCH(address) ((void)(address))
#endif

namespace rodarove {

// Where every block's memory comes from: the heap with std::realloc's
// contract, and the platform's reservations. The tests put functions here
// that count and fail on demand; nothing else may change them.
struct RecordMemory {
  void* (*resize)(void* block, size_t bytes);
  void (*free)(void* block);
  void* (*reserve)(size_t bytes);
  bool (*commit)(void* at, size_t bytes);
  void (*discard)(void* at, size_t bytes);
  void (*release)(void* at, size_t bytes);
};
extern RecordMemory recordMemory;

// Gives back the reservations kept for the next store (see the .cc); for
// the module's unload.
void ReleaseKeptRecordMemory();

class RecordBlock {
 public:
  // Blocks up to this size stay on the heap.
  static constexpr size_t kSmallBytes = 64 * 1024;

  // A block that never holds more than `limit` bytes.
  explicit RecordBlock(uint64_t limit) : limit_(limit) {}
  ~RecordBlock() { Release(); }
  RecordBlock(const RecordBlock&) = delete;
  RecordBlock& operator=(const RecordBlock&) = delete;

  char* data() const { return data_; }
  // Bytes usable now; at least what the last successful Grow asked for.
  size_t size() const { return size_; }

  // Makes the first `bytes` usable, those not usable before all zero.
  // False when that passes the limit or memory cannot be had: unchanged.
  bool Grow(uint64_t bytes);
  // Gives back the memory of the whole granules below `to`, the front of
  // the block, which the owner will not touch again before Release; only a
  // reservation has granules to give back. Each call gives back what lies
  // between the last call's end and its own.
  void DiscardBelow(size_t to);
  // Gives all memory back; the block is empty, and may grow again.
  void Release();
  // Empties the block as Release does, but a 64-bit process keeps a
  // reservation of the whole limit, its pages given back, to grow in again
  // without reserving anew (reserving and giving back large ranges can
  // take milliseconds); any other is given back.
  void Recycle();
  // Sets the limit of an empty (released or recycled) block.
  void SetLimit(uint64_t limit) { limit_ = limit; }

 private:
  bool MoveToReservation(uint64_t bytes);

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t reserved_ = 0;  // 0 while on the heap
  size_t discarded_ = 0;  // the front given back, a multiple of the granule
  uint64_t limit_;
};

// A RecordBlock of records of T, which must be valid as all-zero bytes.
template <typename T>
class RecordArray {
  static_assert(std::is_trivially_copyable<T>::value, "records are moved as bytes");

 public:
  explicit RecordArray(uint64_t limit) : block_(limit * sizeof(T)) {}

  T* data() const { return reinterpret_cast<T*>(block_.data()); }
  size_t count() const { return block_.size() / sizeof(T); }
  // Makes the first `count` records usable; see RecordBlock::Grow.
  bool Grow(uint64_t count) { return block_.Grow(count * sizeof(T)); }
  void DiscardBelow(size_t count) { block_.DiscardBelow(count * sizeof(T)); }
  void Release() { block_.Release(); }
  void Recycle() { block_.Recycle(); }
  void SetLimit(uint64_t limit) { block_.SetLimit(limit * sizeof(T)); }

 private:
  RecordBlock block_;
};

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_RECORD_ARRAY_H_
