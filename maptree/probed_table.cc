#include "maptree/probed_table.h"

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace rodarove {

void* (*resizeNodeMemory)(void* block, size_t bytes) = &std::realloc;

NodeRecord* ResizeRecords(NodeRecord* block, size_t records) {
  if (records > static_cast<size_t>(-1) / sizeof(NodeRecord)) return nullptr;
  return static_cast<NodeRecord*>(resizeNodeMemory(block, records * sizeof(NodeRecord)));
}

namespace {

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

// Drawn once per process from the clocks and from addresses that the
// system places at random.
uint64_t ProcessSecret() {
  static const uint64_t secret = [] {
    int local = 0;
    uint64_t s = Mix64(static_cast<uint64_t>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    s = Mix64(s ^ static_cast<uint64_t>(
                      std::chrono::steady_clock::now().time_since_epoch().count()));
    s = Mix64(s ^ reinterpret_cast<uintptr_t>(&local));
    return Mix64(s ^ reinterpret_cast<uintptr_t>(&InverseOf));
  }();
  return secret;
}

// True when every partial quotient of the continued fraction of
// multiplier / 2^32 is at most 6. The hashes of n consecutive IDs then cut
// the hash range into gaps that differ by a factor of 8 at most, whatever
// n, so such runs fill the table with hardly a collision. About one odd
// number in 230 qualifies.
bool SpreadsEvenly(uint32_t multiplier) {
  uint64_t a = uint64_t{1} << 32;
  uint64_t b = multiplier;
  while (b != 0) {
    if (a / b > 6) return false;
    const uint64_t r = a % b;
    a = b;
    b = r;
  }
  return true;
}

// The buckets of a table with no memory: lookups read them, nothing writes
// them (the first growth allocates).
NodeRecord noBuckets[2] = {{0xFFFFFFFFu, 0, 0, 0, 0, 1}, {0xFFFFFFFFu, 0, 0, 0, 0, 1}};

// Full beyond this load (9/10): a small table doubles, which costs less
// work, a large one grows by a quarter, so that its load stays above 0.72
// (below 34 bytes a node). Linear probing stays short up to that load when
// the records are ordered.
constexpr size_t kMinHomes = 16;
constexpr size_t kDoublingHomes = size_t{1} << 16;
size_t LimitOf(size_t homes) { return homes / 10 * 9 + homes % 10 * 9 / 10; }
size_t Grown(size_t homes) {
  if (homes < kMinHomes) return kMinHomes;
  return homes < kDoublingHomes ? 2 * homes : homes + homes / 4;
}
// Buckets beyond the last home; at the highest load the run past the last
// home is a few dozen buckets at most.
size_t Overflow(size_t homes) { return 32 + homes / 128; }
// A table whose records lie this far from their homes on average, as it is
// built (at a load of 0.72 at most), tries other multipliers, up to three:
// random IDs average about 1.3, but now and then a multiplier is unlucky
// for the IDs stored (IDs in steps of 1,000, or on a lattice such as those
// chosen against the old hash, then average 12 to 50). Below
// kCrowdedFrom records the average says little.
constexpr size_t kCrowdedMean = 4;
constexpr size_t kCrowdedFrom = 1024;
constexpr int kCrowdedRetries = 3;

}  // namespace

uint32_t ProbedTable::NewMultiplier(bool fresh) {
  static std::atomic<uint32_t> draws{0};
  auto draw = [] {
    uint64_t s = ProcessSecret();
    uint32_t multiplier;
    do {
      s = Mix64(s ^ draws.fetch_add(1, std::memory_order_relaxed));
      multiplier = static_cast<uint32_t>(s) | 1u;
    } while (!SpreadsEvenly(multiplier));
    return multiplier;
  };
  if (fresh) return draw();
  static const uint32_t processMultiplier = draw();
  return processMultiplier;
}

ProbedTable::ProbedTable()
    : buckets_(noBuckets), multiplier_(NewMultiplier(false)), inverse_(InverseOf(multiplier_)) {}

ProbedTable::~ProbedTable() { Free(); }

void ProbedTable::Free() {
  if (buckets_ != noBuckets) std::free(buckets_);
  buckets_ = noBuckets;
}

void ProbedTable::Release() {
  Free();
  homes_ = 0;
  size_ = 2;
  limit_ = 0;
  count_ = 0;
}

NodeRecord* ProbedTable::InsertSlowly(const Spot& first, uint32_t id) {
  Spot spot = first;
  bool checkRun = true;
  for (bool again = false;; again = true) {
    // The record goes to its place, the records from there to the next
    // empty bucket moving up by one.
    NodeRecord* const last = buckets_ + size_ - 1;
    NodeRecord* const end = EmptyFrom(spot.at);
    const bool far = checkRun && spot.at - spot.home > kLongRun;
    if (end != last && !far) {
      for (NodeRecord* to = end; to != spot.at; --to) to[0] = to[-1];
      *spot.at = NodeRecord{spot.hash, id, id, id, id, id};
      ++count_;
      return spot.at;
    }
    // A run too long, or one that reaches the last bucket: another
    // multiplier, and more room as well when that did not help.
    checkRun = false;
    if (!Rebuild(again ? Grown(homes_) : homes_, NewMultiplier(true))) {
      if (end == last) return nullptr;
      continue;  // only a long run: the record goes in as it is
    }
    spot = Locate(id);
  }
}

void ProbedTable::Erase(NodeRecord* r) {
  // The records after r up to the first one at its home (or an empty
  // bucket) move back by one.
  NodeRecord* j = r + 1;
  for (; !IsEmpty(*j) && HomeOf(j->key, homes_) < static_cast<size_t>(j - buckets_); ++j) {
    j[-1] = j[0];
  }
  j[-1] = kEmpty;
  --count_;
}

bool ProbedTable::Grow() { return Rebuild(Grown(homes_), multiplier_); }

bool ProbedTable::Rebuild(size_t homes, uint32_t multiplier) {
  struct Built {
    NodeRecord* buckets;
    size_t homes;
    size_t size;
    uint32_t multiplier;
    size_t probe;  // the total distance of the records from their homes
  };
  Built best{nullptr, 0, 0, 0, 0};  // the least crowded table built so far
  for (int misfits = 0, crowded = 0;;) {
    const size_t size = homes + Overflow(homes) + 1;
    NodeRecord* fresh = ResizeRecords(nullptr, size);
    if (fresh == nullptr) break;  // out of memory: the best table, if any
    size_t probe = 0;
    if (!Rehash(fresh, size, homes, multiplier, &probe)) {
      // The records did not fit: another multiplier, and more room after a
      // few.
      std::free(fresh);
      multiplier = NewMultiplier(true);
      if (++misfits % 4 == 0) homes = Grown(homes);
      continue;
    }
    if (best.buckets == nullptr || probe < best.probe) {
      std::free(best.buckets);
      best = Built{fresh, homes, size, multiplier, probe};
    } else {
      std::free(fresh);
    }
    if (count_ < kCrowdedFrom || best.probe <= kCrowdedMean * count_ ||
        ++crowded > kCrowdedRetries) {
      break;
    }
    multiplier = NewMultiplier(true);
  }
  if (best.buckets == nullptr) return false;
  Free();
  buckets_ = best.buckets;
  homes_ = best.homes;
  size_ = best.size;
  limit_ = LimitOf(homes_);
  multiplier_ = best.multiplier;
  inverse_ = InverseOf(multiplier_);
  return true;
}

bool ProbedTable::Rehash(NodeRecord* to, size_t size, size_t homes, uint32_t multiplier,
                         size_t* probe) const {
  const size_t last = size - 1;
  const NodeRecord* const end = buckets_ + size_;
  if (multiplier == multiplier_) {
    // Same hashes: the order stays, so each record goes to its new home or
    // right after the one before it, in one pass that writes every bucket
    // once. The pass takes every bucket with the empty key for empty, and
    // copies it to the last bucket, by masks rather than branches, as such
    // buckets come at random; the one record that may have that key, the
    // largest, is placed after.
    size_t out = 0;
    size_t total = 0;
    for (const NodeRecord* r = buckets_; r != end; ++r) {
      const size_t record = static_cast<size_t>(r->key == kEmptyKey) - 1;  // all ones or 0
      const size_t home = HomeOf(r->key, homes);
      const size_t at = ((home > out ? home : out) & record) | (out & ~record);
      // The gap before the record, mostly none or one bucket: its first
      // bucket goes without a branch (to the last bucket when there is no
      // gap), the rest by a loop.
      to[at > out ? out : last] = kEmpty;
      for (size_t gap = out + 1; gap < at; ++gap) to[gap] = kEmpty;
      if (at >= last && record != 0) return false;
      to[(at & record) | (last & ~record)] = *r;
      out = ((at + 1) & record) | (out & ~record);
      total += (at - home) & record;
    }
    for (const NodeRecord* r = buckets_ + (homes_ > 0 ? homes_ - 1 : 0); r != end; ++r) {
      if (r->key != kEmptyKey || IsEmpty(*r)) continue;
      const size_t home = HomeOf(kEmptyKey, homes);
      const size_t at = home > out ? home : out;
      if (at >= last) return false;
      while (out < at) to[out++] = kEmpty;
      to[out++] = *r;
      total += at - home;
    }
    *probe += total;
    for (; out <= last; ++out) to[out] = kEmpty;
    return true;
  }
  // New hashes, each the old one times rehash; the order changes. The
  // links hold IDs and stay as they are.
  for (size_t i = 0; i <= last; ++i) to[i] = kEmpty;
  const uint32_t rehash = inverse_ * multiplier;
  for (const NodeRecord* r = buckets_; r != end; ++r) {
    if (IsEmpty(*r)) continue;
    NodeRecord moved = *r;
    moved.key = r->key * rehash;
    NodeRecord* at = to + HomeOf(moved.key, homes);
    while (at->key < moved.key) ++at;
    NodeRecord* const empty = EmptyFrom(at);
    if (empty == to + last) return false;
    for (NodeRecord* p = empty; p != at; --p) p[0] = p[-1];
    *at = moved;
  }
  for (size_t i = 0; i < last; ++i) {
    if (!IsEmpty(to[i])) *probe += i - HomeOf(to[i].key, homes);
  }
  return true;
}

size_t ProbedTable::LongestProbe() const {
  size_t longest = 0;
  for (size_t i = 0; i < size_; ++i) {
    if (IsEmpty(buckets_[i])) continue;
    const size_t d = i - HomeOf(buckets_[i].key, homes_);
    if (d > longest) longest = d;
  }
  return longest;
}

size_t ProbedTable::TotalProbe() const {
  size_t total = 0;
  for (size_t i = 0; i < size_; ++i) {
    if (!IsEmpty(buckets_[i])) total += i - HomeOf(buckets_[i].key, homes_);
  }
  return total;
}

}  // namespace rodarove
