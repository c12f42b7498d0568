#include "maptree/node_table.h"

namespace rodarove {

namespace {

// Whether `count` records may take a window of `window` slots: half of a
// small window, seven tenths of a large one (at most 34 bytes a node, as
// in the hashed part).
bool DenseFits(uint64_t window, size_t count) {
  if (window <= (uint64_t{1} << 16)) return window <= 2 * static_cast<uint64_t>(count) + 64;
  return window * 7 <= static_cast<uint64_t>(count) * 10;
}

}  // namespace

NodeRecord* NodeTable::InsertBeyond(uint32_t id) {
  if (windowSlots_ == 0) base_ = id;  // the first record starts the window
  const uint32_t slot = id - base_;
  if (slot < kMaxWindow && DenseFits(uint64_t{slot} + 1, windowCount_ + 1)) {
    if (!window_.Grow(uint64_t{slot} + 1)) return nullptr;
    const size_t slots = window_.count();
    const uint32_t covered = windowSlots_;
    windowSlots_ = slots < kMaxWindow ? static_cast<uint32_t>(slots) : kMaxWindow;
    // The records of the rest in the new slots move in.
    for (uint32_t s = covered; s < windowSlots_ && rest_.Count() != 0; ++s) {
      NodeRecord* moved = rest_.Find(base_ + s);
      if (moved == nullptr) continue;
      window_.data()[s] = *moved;
      window_.data()[s].key = s + 1;
      ++windowCount_;
      rest_.Erase(moved);
    }
    NodeRecord* r = window_.data() + slot;
    *r = NodeRecord{slot + 1, id, id, id, id, id};
    ++windowCount_;
    return r;
  }
  return rest_.Insert(id);
}

void NodeTable::Release() {
  window_.Release();
  windowSlots_ = 0;
  windowCount_ = 0;
  base_ = 0;
  rest_.Release();
}

}  // namespace rodarove
