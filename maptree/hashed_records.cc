#include "maptree/hashed_records.h"

#include <chrono>
#include <cstring>
#include <initializer_list>

namespace rodarove {

namespace {

// Full beyond this load (9/10). A table grows to twice its homes while it
// has fewer than kDoublingHomes, and by a quarter beyond, so that its load
// stays above 0.72 (below 34 bytes a node).
constexpr size_t kFirstHomes = 16;
constexpr size_t kDoublingHomes = 64;
size_t LimitOf(size_t homes) { return homes / 10 * 9 + homes % 10 * 9 / 10; }
size_t Grown(size_t homes) {
  if (homes < kFirstHomes) return kFirstHomes;
  return homes < kDoublingHomes ? 2 * homes : homes + homes / 4;
}
// A new table's buckets beyond its homes, and how far runs may lengthen it.
size_t FirstSize(size_t homes) { return homes + homes / 64 + HashedRecords::kLonger; }
constexpr uint64_t MaxSize(uint64_t homes) { return 2 * homes + 1024; }
// The least limit of a table's block, whatever its homes: a 64-bit process
// reserves that once per table (tables up to 2^28 homes), and each growth
// moves into the table moved out of the time before, in place, reserving
// and giving back no address range. A 32-bit process reserves each table
// for its own limit.
constexpr uint64_t kBlockBuckets = sizeof(void*) >= 8 ? MaxSize(uint64_t{1} << 28) : 0;

uint32_t InverseOf(uint32_t odd) {
  uint32_t inverse = odd;  // right in the lowest 3 bits; each step doubles that
  for (int i = 0; i < 4; ++i) inverse *= 2u - odd * inverse;
  return inverse;
}

uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

// Drawn once per process from the clocks and from addresses that the
// system places at random.
static HashedRecords::Secret DrawSecret() {
  int local = 0;
  uint64_t s = Mix64(
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  s = Mix64(s ^ static_cast<uint64_t>(
                    std::chrono::steady_clock::now().time_since_epoch().count()));
  s = Mix64(s ^ reinterpret_cast<uintptr_t>(&local));
  s = Mix64(s ^ reinterpret_cast<uintptr_t>(&InverseOf));
  return HashedRecords::Secret{static_cast<uint32_t>(s) | 1u, static_cast<uint32_t>(s >> 32)};
}

const HashedRecords::Secret HashedRecords::secret_ = DrawSecret();

uint32_t HashedRecords::IdOfHash(uint32_t hash) {
  uint32_t x = hash;
  x *= InverseOf(0xC2B2AE35u);
  x ^= (x >> 13) ^ (x >> 26);
  x *= InverseOf(0x85EBCA6Bu);
  x ^= x >> 16;
  return (x - secret_.offset) * InverseOf(secret_.multiplier);
}

bool HashedRecords::Lengthen(Table* t, size_t size) {
  const size_t longer = t->Size() + kLonger;
  const size_t wanted = size > longer ? size : longer;
  return wanted <= MaxSize(t->homes) && t->buckets.Grow(wanted);
}

NodeRecord* HashedRecords::Place(Table* t, NodeRecord* from, uint32_t key, uint32_t id) {
  NodeRecord* r = from;
  while (r->key > key) ++r;
  size_t at = static_cast<size_t>(r - t->buckets.data());
  // Most often the bucket is empty, and not the last.
  if (r->key == 0 && at + 2 < t->Size()) {
    *r = NodeRecord{key, id, id, id, id, id};
    if (moving_ && t == now_ && at >= frontier_) frontier_ = at + 1;
    return r;
  }
  NodeRecord* end = r;
  while (end->key != 0) ++end;
  const size_t last = static_cast<size_t>(end - t->buckets.data());
  // The last bucket stays empty, so that every run ends.
  if (last + 1 >= t->Size() && !Lengthen(t, last + 2)) return nullptr;
  r = t->buckets.data() + at;
  std::memmove(static_cast<void*>(r + 1), r, (last - at) * sizeof(NodeRecord));
  *r = NodeRecord{key, id, id, id, id, id};
  if (moving_ && t == now_ && last >= frontier_) frontier_ = last + 1;
  return r;
}

NodeRecord* HashedRecords::Insert(uint32_t id) {
  // An insertion that cannot have the memory its growth needs is refused.
  if (!moving_ && count_ >= LimitOf(now_->homes) && !StartMoving()) return nullptr;
  if (moving_ && !MoveSome()) return nullptr;
  const uint32_t hash = HashOf(id);
  const uint32_t key = ~hash;
  if (key == 0) {
    spare_ = NodeRecord{0, id, id, id, id, id};
    hasSpare_ = true;
    ++count_;
    return &spare_;
  }
  Table* t = now_;
  size_t home = moving_ ? HomeOf(hash, old_->homes) : 0;
  if (moving_ && home >= cursor_) {
    t = old_;
  } else {
    home = HomeOf(hash, now_->homes);
  }
  NodeRecord* r = Place(t, t->buckets.data() + home, key, id);
  if (r != nullptr) ++count_;
  return r;
}

void HashedRecords::Erase(NodeRecord* r) {
  --count_;
  if (r == &spare_) {
    spare_ = NodeRecord{};
    hasSpare_ = false;
    return;
  }
  Table* t = now_;
  if (moving_ && r >= old_->buckets.data() && r < old_->buckets.data() + old_->Size()) t = old_;
  // The records after r up to one at its home (or an empty bucket) move
  // back by one.
  const NodeRecord* const base = t->buckets.data();
  NodeRecord* j = r;
  for (; j[1].key != 0 && HomeOf(~j[1].key, t->homes) <= static_cast<size_t>(j - base); ++j) {
    j[0] = j[1];
  }
  *j = NodeRecord{};
  // The frontier stays one past the new table's last record.
  if (moving_ && t == now_ && static_cast<size_t>(j - base) + 1 == frontier_) {
    while (frontier_ > 0 && base[frontier_ - 1].key == 0) --frontier_;
  }
}

bool HashedRecords::StartMoving() {
  Table* fresh = old_;  // empty while nothing moves
  const size_t homes = Grown(now_->homes);
  fresh->buckets.SetLimit(MaxSize(homes) > kBlockBuckets ? MaxSize(homes) : kBlockBuckets);
  if (!fresh->buckets.Grow(FirstSize(homes))) return false;
  fresh->homes = homes;
  old_ = now_;
  now_ = fresh;
  if (old_->homes == 0) return true;  // there was no table
  moving_ = true;
  cursor_ = 0;
  frontier_ = 0;
  return true;
}

bool HashedRecords::MoveSome() {
  const NodeRecord* const from = old_->buckets.data();
  const size_t size = old_->Size();
  for (size_t budget = kMoveStep; cursor_ < size && budget > 0;) {
    if (from[cursor_].key == 0) {
      ++cursor_;
      --budget;
      continue;
    }
    // A whole run at once: the records after the cursor must have their
    // homes at or after it.
    size_t end = cursor_;
    while (from[end].key != 0) ++end;
    const size_t length = end - cursor_;
    // Each record lands at its home or right after the one before, so the
    // run ends within its length of the later of the last home and the
    // frontier.
    const size_t lastHome = HomeOf(~from[end - 1].key, now_->homes);
    const size_t room = (lastHome > frontier_ ? lastHome : frontier_) + length + 2;
    if (room > now_->Size() && !Lengthen(now_, room)) return false;
    NodeRecord* const to = now_->buckets.data();
    for (size_t i = cursor_; i < end; ++i) {
      const size_t home = HomeOf(~from[i].key, now_->homes);
      const size_t at = home > frontier_ ? home : frontier_;
      to[at] = from[i];
      frontier_ = at + 1;
    }
    cursor_ = end;
    budget -= length < budget ? length : budget;
  }
  if (cursor_ >= size) {
    FinishMoving();
  } else {
    // The old table gives back each 64 KB granule the cursor has passed,
    // so that no insertion waits for the system to drop more than a few
    // pages (in some virtual machines that costs microseconds a page).
    old_->buckets.DiscardBelow(cursor_);
  }
  return true;
}

void HashedRecords::FinishMoving() {
  old_->buckets.Recycle();
  old_->homes = 0;
  moving_ = false;
}

void HashedRecords::Release() {
  for (Table& t : tables_) {
    t.buckets.Release();
    t.homes = 0;
  }
  moving_ = false;
  count_ = 0;
  spare_ = NodeRecord{};
  hasSpare_ = false;
}

size_t HashedRecords::Displacement(size_t* longest) const {
  size_t total = 0;
  *longest = 0;
  for (const Table* t : {now_, old_}) {
    if (t == old_ && !moving_) continue;
    const size_t from = t == old_ ? cursor_ : 0;
    for (size_t i = from; i < t->Size(); ++i) {
      const uint32_t key = t->buckets.data()[i].key;
      if (key == 0) continue;
      const size_t d = i - HomeOf(~key, t->homes);
      total += d;
      if (d > *longest) *longest = d;
    }
  }
  return total;
}

}  // namespace rodarove
