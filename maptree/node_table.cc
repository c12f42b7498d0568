#include "maptree/node_table.h"

#include <cstdlib>
#include <cstring>

namespace rodarove {

namespace {

// A window starts with this many slots, and widens like a hashed table
// grows: twice as wide while small, a quarter wider beyond kDoublingWindow.
constexpr uint64_t kMinWindow = 16;
constexpr uint64_t kDoublingWindow = uint64_t{1} << 16;
uint64_t Grown(uint64_t window) {
  return window < kDoublingWindow ? 2 * window : window + window / 4;
}

// The widest window: its IDs, taken as signed offsets from any of them,
// cannot wrap, and its bytes can be counted.
constexpr uint64_t kMaxWindow =
    (uint64_t{1} << 31) < static_cast<size_t>(-1) / sizeof(NodeRecord)
        ? uint64_t{1} << 31
        : static_cast<size_t>(-1) / sizeof(NodeRecord);

// Whether `count` records take a window of `window` IDs: a small window
// when they fill half of it (or it is tiny), a larger one when they fill
// 7 tenths, about as much as a hashed table would (so at most 34 bytes a
// node).
bool DenseFits(uint64_t window, size_t count) {
  if (window > kMaxWindow) return false;
  if (window <= kDoublingWindow) return window <= 2 * static_cast<uint64_t>(count) + 64;
  return window * 7 <= static_cast<uint64_t>(count) * 10;
}

int64_t Offset(uint32_t id, uint32_t from) { return static_cast<int32_t>(id - from); }

}  // namespace

NodeTable::~NodeTable() { Release(); }

void NodeTable::Release() {
  std::free(slots_);
  slots_ = nullptr;
  window_ = 0;
  windowCount_ = 0;
  base_ = 0;
  rest_.Release();
}

NodeRecord* NodeTable::InsertOutside(const Spot& spot) {
  const uint32_t id = spot.id;
  // A failed allocation refuses the insertion.
  Outcome into = Widen(id);
  if (into == Outcome::kSparse && rest_.Full()) into = Gather(id);
  if (into == Outcome::kNoMemory) return nullptr;
  if (into == Outcome::kDone) {
    NodeRecord* r = slots_ + (id - base_);
    *r = NodeRecord{id, id, id, id, id, id};
    ++windowCount_;
    return r;
  }
  ProbedTable::Spot probed = spot.probed;
  if (rest_.Full()) {
    if (!rest_.Grow()) return nullptr;
    probed = rest_.Locate(id);
  }
  // Records of the window stay where they are.
  return rest_.Insert(probed, id);
}

NodeTable::Outcome NodeTable::Widen(uint32_t id) {
  uint64_t window = kMinWindow;
  uint64_t below = 0;  // slots added below the first
  if (window_ != 0) {
    const uint64_t offset = id - base_;
    const uint64_t up = offset + 1 - window_;
    const uint64_t down = (uint64_t{1} << 32) - offset;
    const uint64_t step = Grown(window_);
    window = window_ + (up <= down ? up : down);
    if (window < step) window = step;
    if (up > down) below = window - window_;
  }
  if (!DenseFits(window, windowCount_ + 1)) return Outcome::kSparse;
  NodeRecord* block = ResizeRecords(slots_, static_cast<size_t>(window));
  if (block == nullptr) return Outcome::kNoMemory;
  const size_t old = window_;
  const uint32_t first = window_ != 0 ? base_ - static_cast<uint32_t>(below) : id;
  if (below != 0) std::memmove(block + below, block, old * sizeof(NodeRecord));
  slots_ = block;
  base_ = first;
  window_ = static_cast<size_t>(window);
  // The new slots are vacant, or take the records of the rest for them.
  const size_t from = below != 0 ? 0 : old;
  const size_t to = below != 0 ? static_cast<size_t>(below) : window_;
  for (size_t i = from; i < to; ++i) slots_[i] = Vacant(static_cast<uint32_t>(i));
  if (rest_.Count() != 0) {
    rest_.Extract(base_ + static_cast<uint32_t>(from), to - from,
                  [this](const NodeRecord& r, uint32_t rid) {
                    NodeRecord& slot = slots_[rid - base_];
                    slot = r;
                    slot.key = rid;
                    ++windowCount_;
                  });
  }
  return Outcome::kDone;
}

NodeTable::Outcome NodeTable::Gather(uint32_t id) {
  // Every ID as an offset from the window's first; the window is there
  // (the first record made it, and it never narrows), and covers more than
  // kMinWindow IDs.
  const uint32_t anchor = base_;
  const int64_t offset = Offset(id, anchor);
  int64_t low = offset < 0 ? offset : 0;
  int64_t high = offset > static_cast<int64_t>(window_) - 1 ? offset : static_cast<int64_t>(window_) - 1;
  // Most often the IDs lie far apart, which shows after a few of them.
  const size_t count = Count();
  auto windowOf = [&] {
    const uint64_t span = static_cast<uint64_t>(high - low) + 1;
    return span + span / 8;  // room to grow upwards
  };
  if (!DenseFits(windowOf(), count + 1)) return Outcome::kSparse;
  bool fits = true;
  rest_.ForEach([&](const NodeRecord&, uint32_t rid) {
    const int64_t o = Offset(rid, anchor);
    low = o < low ? o : low;
    high = o > high ? o : high;
    fits = DenseFits(windowOf(), count + 1);
    return fits;
  });
  if (!fits) return Outcome::kSparse;
  const uint64_t window = windowOf();
  NodeRecord* block = ResizeRecords(nullptr, static_cast<size_t>(window));
  if (block == nullptr) return Outcome::kNoMemory;
  const uint32_t first = anchor + static_cast<uint32_t>(low);
  for (size_t i = 0; i < window; ++i) {
    block[i] = NodeRecord{first + static_cast<uint32_t>(i) + 1, 0, 0, 0, 0, 0};  // vacant
  }
  for (size_t i = 0; i < window_; ++i) {
    const uint32_t wid = base_ + static_cast<uint32_t>(i);
    if (slots_[i].key == wid) block[wid - first] = slots_[i];
  }
  rest_.ForEach([&](const NodeRecord& r, uint32_t rid) {
    NodeRecord& slot = block[rid - first];
    slot = r;
    slot.key = rid;
    return true;
  });
  std::free(slots_);
  rest_.Release();
  slots_ = block;
  window_ = static_cast<size_t>(window);
  windowCount_ = count;
  base_ = first;
  return Outcome::kDone;
}

}  // namespace rodarove
