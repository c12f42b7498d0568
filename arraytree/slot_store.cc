#include "arraytree/slot_store.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace rodarove {

const TreeSlot SlotStore::kZeroPage[SlotStore::kPageSlots] = {};

SlotStore::SlotStore() {
  ok_ = front_.Grow(kPageSlots);
  if (ok_) frontSlots_ = kPageSlots;
}

TreeSlot* SlotStore::PageSlot(uint32_t index) {
  // Pages with memory of their own were allocated writable.
  return const_cast<TreeSlot*>(&InPage(pages_, index));
}

bool SlotStore::TakeMemory(uint32_t page, uint32_t nodes) {
  // The front may hold 8 slots per node, and page 0 always.
  const uint32_t frontPages = nodes / (kPageSlots / 8);
  if (page < frontPages || page == 0) {
    GrowFrontToward(page);
    if (page < (frontSlots_ >> kPageShift)) return true;
  }
  // A page of its own, when the front did not come to it.
  if (!pages_.Grow(page + 1)) return false;
  TreeSlot* fresh = new (std::nothrow) TreeSlot[kPageSlots]();
  if (fresh == nullptr) return false;
  pages_.data()[page] = fresh;
  return true;
}

void SlotStore::GrowFrontToward(uint32_t page) {
  const uint32_t first = static_cast<uint32_t>(frontSlots_ >> kPageShift);
  const size_t listed = pages_.count();
  const TreeSlot** entry = pages_.data();
  // The pages up to `page`, or up to the last one that may still be
  // copied in; beyond the directory no page has memory.
  uint32_t end = first;
  uint32_t taken = 0;
  while (end <= page && end < listed) {
    if (entry[end] != nullptr && taken++ == kPagesTakenPerCall) break;
    ++end;
  }
  if (end >= listed) end = std::max(end, page + 1);
  // When the memory cannot be had, the slot takes a page of its own.
  if (!front_.Grow(static_cast<size_t>(end) << kPageShift)) return;
  TreeSlot* const slots = front_.data();
  for (uint32_t p = first; p < end && p < listed; ++p) {
    if (entry[p] == nullptr) continue;
    std::memcpy(static_cast<void*>(slots + (static_cast<size_t>(p) << kPageShift)), entry[p],
                sizeof(kZeroPage));
    delete[] entry[p];
    entry[p] = nullptr;
  }
  frontSlots_ = static_cast<size_t>(end) << kPageShift;
}

void SlotStore::FreePages() {
  const TreeSlot** entry = pages_.data();
  for (size_t p = 0; p < pages_.count(); ++p) delete[] entry[p];
}

void SlotStore::Clear() {
  FreePages();
  pages_.Release();
  front_.Release();
  frontSlots_ = 0;
}

}  // namespace rodarove
