#include "component/record_array.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace rodarove {

RecordMemory recordMemory = {&std::realloc,           &std::free,
                             &platform::ReserveMemory, &platform::CommitMemory,
                             &platform::DiscardMemory, &platform::ReleaseMemory};

namespace {

constexpr uint64_t kGranule = platform::kMemoryGranularity;

uint64_t RoundUp(uint64_t bytes) { return (bytes + kGranule - 1) / kGranule * kGranule; }

// Reservations given back with at most kKeptBytes committed are kept, up to
// kKeptCount, for the next block that reserves as much: a host that builds
// and releases trees of some thousand nodes over and over then reuses
// pages it has touched instead of taking fresh ones from the system, each
// of which costs a fault when first written. Only with the platform's own
// functions, so that the tests' counts stay exact.
constexpr size_t kKeptBytes = 1 << 20;
constexpr int kKeptCount = 4;

struct Kept {
  char* data;
  size_t reserved;
  size_t committed;
};

platform::Mutex g_keptLock;
Kept g_kept[kKeptCount] GUARDED_BY(g_keptLock) = {};

bool Keeping() { return recordMemory.reserve == &platform::ReserveMemory; }

// A kept reservation of `reserved` bytes, its committed part zeroed; null
// when none is kept.
char* TakeKept(size_t reserved, size_t* committed) {
  if (!Keeping()) return nullptr;
  Kept found = {};
  {
    platform::MutexLock lock(&g_keptLock);
    for (Kept& k : g_kept) {
      if (k.data != nullptr && k.reserved == reserved) {
        found = k;
        k = Kept{};
        break;
      }
    }
  }
  if (found.data != nullptr) std::memset(found.data, 0, found.committed);
  *committed = found.committed;
  return found.data;
}

bool Keep(char* data, size_t reserved, size_t committed) {
  if (!Keeping() || committed > kKeptBytes) return false;
  platform::MutexLock lock(&g_keptLock);
  for (Kept& k : g_kept) {
    if (k.data == nullptr) {
      k = Kept{data, reserved, committed};
      return true;
    }
  }
  return false;
}

}  // namespace

void ReleaseKeptRecordMemory() {
  platform::MutexLock lock(&g_keptLock);
  for (Kept& k : g_kept) {
    if (k.data != nullptr) recordMemory.release(k.data, k.reserved);
    k = Kept{};
  }
}

bool RecordBlock::Grow(uint64_t bytes) {
  if (bytes <= size_) return true;
  if (bytes > limit_) return false;
  if (reserved_ == 0 && bytes <= kSmallBytes) {
    uint64_t wanted = size_ + size_ / 4;
    if (wanted < bytes) wanted = bytes;
    if (wanted > kSmallBytes) wanted = kSmallBytes;
    if (wanted > limit_) wanted = limit_;
    void* block = recordMemory.resize(data_, static_cast<size_t>(wanted));
    if (block == nullptr) return false;
    data_ = static_cast<char*>(block);
    std::memset(data_ + size_, 0, static_cast<size_t>(wanted) - size_);
    size_ = static_cast<size_t>(wanted);
    return true;
  }
  if (reserved_ == 0 || bytes > reserved_) return MoveToReservation(bytes);
  // Within the reservation (a multiple of the granule): commit up to the
  // next granule.
  const uint64_t target = RoundUp(bytes);
  if (!recordMemory.commit(data_ + size_, static_cast<size_t>(target) - size_)) return false;
  size_ = static_cast<size_t>(target);
  return true;
}

bool RecordBlock::MoveToReservation(uint64_t bytes) {
  const uint64_t needed = RoundUp(bytes);
  const uint64_t whole = RoundUp(limit_);
  // The whole limit, else four times what is needed, else exactly that.
  const uint64_t tries[] = {whole, needed * 4 < whole ? needed * 4 : whole, needed};
  char* fresh = nullptr;
  size_t reserved = 0;
  size_t committed = 0;
  for (uint64_t t : tries) {
    if (t > static_cast<size_t>(-1) / 2) continue;  // more than a 32-bit process has
    reserved = static_cast<size_t>(t);
    fresh = TakeKept(reserved, &committed);
    if (fresh == nullptr) fresh = static_cast<char*>(recordMemory.reserve(reserved));
    if (fresh != nullptr) break;
  }
  if (fresh == nullptr) return false;
  if (committed < needed) {
    if (!recordMemory.commit(fresh + committed, static_cast<size_t>(needed) - committed)) {
      recordMemory.release(fresh, reserved);
      return false;
    }
    committed = static_cast<size_t>(needed);
  }
  // What was given back is not copied: the owner does not read it again.
  if (size_ > discarded_) std::memcpy(fresh + discarded_, data_ + discarded_, size_ - discarded_);
  if (reserved_ != 0) {
    recordMemory.release(data_, reserved_);
  } else {
    recordMemory.free(data_);
  }
  data_ = fresh;
  size_ = committed;
  reserved_ = reserved;
  discarded_ = 0;
  return true;
}

void RecordBlock::DiscardBelow(size_t to) {
  if (reserved_ == 0) return;
  const size_t end = static_cast<size_t>((to < size_ ? to : size_) / kGranule * kGranule);
  if (end <= discarded_) return;
  recordMemory.discard(data_ + discarded_, end - discarded_);
  discarded_ = end;
}

void RecordBlock::Recycle() {
  // A 32-bit process keeps none: its address space is scarce.
  if (sizeof(void*) < 8 || reserved_ == 0 || reserved_ < RoundUp(limit_)) {
    Release();
    return;
  }
  DiscardBelow(size_);
  size_ = 0;
  discarded_ = 0;
}

void RecordBlock::Release() {
  if (reserved_ != 0) {
    if (discarded_ != 0 || !Keep(data_, reserved_, size_)) {
      recordMemory.release(data_, reserved_);
    }
  } else if (data_ != nullptr) {
    recordMemory.free(data_);
  }
  data_ = nullptr;
  size_ = 0;
  reserved_ = 0;
  discarded_ = 0;
}

}  // namespace rodarove
