#include "arraytree/slot_store.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace rodarove {

namespace {

constexpr uint32_t kMaxPages =
    (SlotStore::kMaxSlotCount + SlotStore::kPageSlots - 1) / SlotStore::kPageSlots;

}  // namespace

const TreeSlot SlotStore::kZeroPage[SlotStore::kPageSlots] = {};

SlotStore::SlotStore() { ok_ = GrowFront(); }

SlotStore::~SlotStore() {
  FreeAll();
  ::operator delete(pages_);
}

bool SlotStore::Reserve(uint32_t pages) {
  if (pages <= pageCount_) return true;
  // Geometric, so that rising IDs cost amortised constant time; when that
  // much cannot be had, the exact size before refusing.
  uint32_t target = std::max(pages, std::min(kMaxPages, pageCount_ * 2));
  void* block = nullptr;
  for (;;) {
    block = ::operator new(static_cast<size_t>(target) * (sizeof(TreeSlot*) + sizeof(uint32_t)),
                           std::nothrow);
    if (block != nullptr || target == pages) break;
    target = pages;
  }
  if (block == nullptr) return false;
  auto* fresh = static_cast<const TreeSlot**>(block);
  auto* owned = reinterpret_cast<uint32_t*>(fresh + target);
  if (pageCount_ != 0) std::memcpy(fresh, pages_, pageCount_ * sizeof(TreeSlot*));
  std::memset(static_cast<void*>(fresh + pageCount_), 0, (target - pageCount_) * sizeof(TreeSlot*));
  if (ownedCount_ != 0) std::memcpy(owned, owned_, ownedCount_ * sizeof(uint32_t));
  ::operator delete(pages_);
  pages_ = fresh;
  owned_ = owned;
  pageCount_ = target;
  return true;
}

bool SlotStore::FrontMayGrow(uint32_t nodes) const {
  const size_t doubled = frontSlots_ == 0 ? kPageSlots : frontSlots_ * 2;
  return doubled / 8 <= nodes;
}

bool SlotStore::GrowFront() {
  const uint32_t oldPages = static_cast<uint32_t>(frontSlots_ >> kPageShift);
  const uint32_t newPages = oldPages == 0 ? 1 : oldPages * 2;
  const size_t slots = static_cast<size_t>(newPages) << kPageShift;
  if (slots > static_cast<size_t>(-1) / sizeof(TreeSlot)) return false;
  auto* fresh = new (std::nothrow) TreeSlot[slots];
  if (fresh == nullptr) return false;
  if (frontSlots_ != 0) std::memcpy(fresh, front_, frontSlots_ * sizeof(TreeSlot));
  std::memset(static_cast<void*>(fresh + frontSlots_), 0,
              (slots - frontSlots_) * sizeof(TreeSlot));
  // The pages of the range now covered move in.
  for (uint32_t k = 0; k < ownedCount_;) {
    const uint32_t page = owned_[k];
    if (page < oldPages || page >= newPages) {
      ++k;
      continue;
    }
    std::memcpy(static_cast<void*>(fresh + (static_cast<size_t>(page) << kPageShift)),
                pages_[page], sizeof(kZeroPage));
    delete[] const_cast<TreeSlot*>(pages_[page]);
    pages_[page] = nullptr;
    owned_[k] = owned_[--ownedCount_];
  }
  delete[] front_;
  front_ = fresh;
  frontSlots_ = slots;
  return true;
}

bool SlotStore::TakeMemory(uint32_t index, uint32_t nodes) {
  const uint32_t page = index >> kPageShift;
  // The front grows over the page when the nodes allow (page 0 always
  // starts it), taking in the pages on its way.
  while (index >= frontSlots_ && (frontSlots_ == 0 ? page == 0 : FrontMayGrow(nodes))) {
    if (!GrowFront()) break;
  }
  if (index < frontSlots_) return true;
  if (!Reserve(page + 1)) return false;
  TreeSlot* fresh = new (std::nothrow) TreeSlot[kPageSlots]();
  if (fresh == nullptr) return false;
  pages_[page] = fresh;
  // Each page is listed once between clears, and the list has an entry
  // for every page of the directory.
  owned_[ownedCount_++] = page;
  return true;
}

void SlotStore::FreeAll() {
  for (uint32_t k = 0; k < ownedCount_; ++k) {
    const uint32_t page = owned_[k];
    delete[] const_cast<TreeSlot*>(pages_[page]);
    pages_[page] = nullptr;
  }
  ownedCount_ = 0;
  delete[] front_;
  front_ = nullptr;
  frontSlots_ = 0;
}

void SlotStore::Clear() {
  FreeAll();
  ::operator delete(pages_);
  pages_ = nullptr;
  owned_ = nullptr;
  pageCount_ = 0;
}

}  // namespace rodarove
