// ProbedTable: the records of component 114 whose IDs lie outside the dense
// window of the store (node_table.h), inline in an open-addressing table.
//
// Each record is found by the hash of its ID, ID * multiplier, a bijection
// of the 32-bit numbers, which the record holds in its key field (its links
// hold IDs, which the table never reads). Ordered linear probing: a record
// sits in the bucket its hash maps to (its home) or a later one, no empty
// bucket lies between a record and its home, and the records follow each
// other in the order of their hashes. A lookup starts at the home and steps
// over smaller hashes; a miss ends at the first larger hash or empty
// bucket. Homes spread the hashes over any number of buckets by
// multiplication, so the table can grow by a quarter at a time; a few
// buckets beyond the last home take the overflow, and the very last bucket
// stays empty, so that every probe run ends. Growth keeps the order, so it
// is one pass over the old table.
//
// The multiplier is a secret drawn once per process among the odd numbers
// whose multiples of consecutive IDs spread evenly (see the .cc), so runs of
// IDs take their own homes and random IDs behave as random, while IDs chosen
// in advance cannot aim at it. A table draws a multiplier of its own, which
// changes every hash, when its records crowd as it grows (the multiplier was
// unlucky for the IDs stored), when a new record would land far from its
// home, or when a run reaches the last bucket.
//
// Records move when others are inserted or erased: a record pointer is good
// until the next change. Nothing here throws; only Insert and Grow allocate.
#ifndef RODAROVE_MAPTREE_PROBED_TABLE_H_
#define RODAROVE_MAPTREE_PROBED_TABLE_H_

#include <cstddef>
#include <cstdint>

namespace rodarove {

// A node and its links by ID: a link holds the ID of the linked node, or the
// node's own ID when there is no such node (no node links to itself). The
// key field identifies the record where it is stored.
struct NodeRecord {
  uint32_t key;
  uint32_t parent;
  uint32_t first;  // first child
  uint32_t last;   // last child
  uint32_t next;   // next sibling
  uint32_t prev;   // previous sibling
};

// Where every block of records comes from, with std::realloc's contract (a
// null block asks for a new one; null back when the memory cannot be had,
// the block unchanged). The tests put a function here that fails on demand;
// nothing else may change it.
extern void* (*resizeNodeMemory)(void* block, size_t bytes);
NodeRecord* ResizeRecords(NodeRecord* block, size_t records);

#if defined(__GNUC__) || defined(__clang__)
#define RODAROVE_PREFETCH(address) __builtin_prefetch(address)
#else
#define RODAROVE_PREFETCH(address) ((void)(address))
#endif

class ProbedTable {
 public:
  // Where a hash is stored, or the bucket a record for it would take; good
  // until the table changes.
  struct Spot {
    NodeRecord* at;
    NodeRecord* home;
    uint32_t hash;
    bool found;
  };

  ProbedTable();
  ~ProbedTable();
  ProbedTable(const ProbedTable&) = delete;
  ProbedTable& operator=(const ProbedTable&) = delete;

  size_t Count() const { return count_; }
  bool Full() const { return count_ >= limit_; }

  // The home of a hash among `homes` homes: hashes in order, homes in order.
  static size_t HomeOf(uint32_t hash, size_t homes) {
    return static_cast<size_t>((static_cast<uint64_t>(hash) * homes) >> 32);
  }
  uint32_t HashOf(uint32_t id) const { return id * multiplier_; }
  uint32_t IdOf(uint32_t hash) const { return hash * inverse_; }

  // The record of an ID, or null. The first two buckets of the run are
  // compared without a branch that depends on them (the buckets after one
  // with a larger hash, or an empty one, hold larger hashes too), so random
  // lookups cost no mispredicted branch.
  NodeRecord* Find(uint32_t id) const {
    const uint32_t hash = HashOf(id);
    NodeRecord* r = buckets_ + HomeOf(hash, homes_);
    r += static_cast<size_t>(r[0].key < hash) + static_cast<size_t>(r[1].key < hash);
    while (r->key < hash) ++r;
    return r->key == hash && (hash != kEmptyKey || !IsEmpty(*r)) ? r : nullptr;
  }
  Spot Locate(uint32_t id) const {
    const uint32_t hash = HashOf(id);
    NodeRecord* const home = buckets_ + HomeOf(hash, homes_);
    NodeRecord* r = home;
    while (r->key < hash) ++r;
    return Spot{r, home, hash, r->key == hash && (hash != kEmptyKey || !IsEmpty(*r))};
  }

  // The lookups of a walk, which changes nothing: a copy of what they read.
  // For a walk, where each lookup waits for the one before, a branch that
  // bets on the home is quicker than Find's.
  struct Reader {
    NodeRecord* buckets;
    size_t homes;
    uint32_t multiplier;

    NodeRecord& At(uint32_t id) const {
      const uint32_t hash = id * multiplier;
      NodeRecord* r = buckets + HomeOf(hash, homes);
      while (r->key < hash) ++r;
      return *r;
    }
    void Prefetch(uint32_t id) const { RODAROVE_PREFETCH(buckets + HomeOf(id * multiplier, homes)); }
  };
  Reader Read() const { return Reader{buckets_, homes_, multiplier_}; }

  // Stores a record for the ID whose hash Locate gave in `spot`, with
  // nothing changed since, in a table with room (not Full); every link of
  // the new record points to the node itself. Other records may move.
  // Null when memory runs out: nothing changed.
  NodeRecord* Insert(const Spot& spot, uint32_t id) {
    // Most often the bucket is empty, within the homes and near its home.
    NodeRecord* const at = spot.at;
    if (at < buckets_ + homes_ && IsEmpty(*at) && at - spot.home <= kLongRun) {
      *at = NodeRecord{spot.hash, id, id, id, id, id};
      ++count_;
      return at;
    }
    return InsertSlowly(spot, id);
  }
  // More room: a quarter more homes (twice as many while small). False when
  // memory runs out: nothing changed.
  bool Grow();

  // Erases the record at r (of this table).
  void Erase(NodeRecord* r);
  // Erases every record and gives the memory back.
  void Release();

  // Calls take(record, ID) for every record, in no order, while it
  // answers true.
  template <typename F>
  void ForEach(F&& take) const {
    for (NodeRecord* r = buckets_; r != buckets_ + size_; ++r) {
      if (!IsEmpty(*r) && !take(*r, IdOf(r->key))) return;
    }
  }
  // Erases the records whose ID lies `count` or fewer IDs above `first`
  // (modulo 2^32), after calling take(record, ID) for each.
  template <typename F>
  void Extract(uint32_t first, uint64_t count, F&& take) {
    size_t kept = 0;  // the records before `kept` are placed
    for (size_t i = 0; i + 1 < size_; ++i) {
      if (IsEmpty(buckets_[i])) continue;
      const NodeRecord r = buckets_[i];
      const uint32_t id = IdOf(r.key);
      if (static_cast<uint32_t>(id - first) < count) {
        take(r, id);
        --count_;
      } else {
        Place(r, &kept);
      }
    }
    while (kept + 1 < size_) buckets_[kept++] = kEmpty;
  }

  // Probe lengths: the largest and the total distance of a record from its
  // home, for the tests.
  size_t LongestProbe() const;
  size_t TotalProbe() const;

 private:
  // An empty bucket has this key, which is not below any other, and links
  // no record can have: parent equal to next sibling (both no node, which
  // makes it a root) while the previous sibling differs (a root has none).
  static constexpr uint32_t kEmptyKey = 0xFFFFFFFFu;
  static bool IsEmpty(const NodeRecord& r) {
    return r.key == kEmptyKey && r.parent == r.next && r.next != r.prev;
  }
  static constexpr NodeRecord kEmpty = {kEmptyKey, 0, 0, 0, 0, 1};

  // A new record this far from its home makes the table draw another
  // multiplier: random IDs land beyond 60 buckets only at the highest load,
  // and rarely.
  static constexpr ptrdiff_t kLongRun = 128;

  // Puts r, of a table whose records are being placed anew in order, at
  // its home or at *next, whichever is later, emptying the buckets between.
  void Place(const NodeRecord& r, size_t* next) {
    const size_t home = HomeOf(r.key, homes_);
    while (*next < home) buckets_[(*next)++] = kEmpty;
    buckets_[(*next)++] = r;
  }
  static NodeRecord* EmptyFrom(NodeRecord* r) {
    while (!IsEmpty(*r)) ++r;
    return r;
  }
  NodeRecord* InsertSlowly(const Spot& spot, uint32_t id);
  // Builds the table anew with `homes` homes and the given multiplier, or
  // another one when that fits the records badly. False when memory runs
  // out (nothing changed then).
  bool Rebuild(size_t homes, uint32_t multiplier);
  bool Rehash(NodeRecord* to, size_t size, size_t homes, uint32_t multiplier,
              size_t* probe) const;
  void Free();

  // The process's multiplier, or (`fresh`) another one.
  static uint32_t NewMultiplier(bool fresh);

  NodeRecord* buckets_;  // homes_ + overflow + 1 buckets, or two empty ones
  size_t homes_ = 0;
  size_t size_ = 2;
  size_t limit_ = 0;  // full at this count
  size_t count_ = 0;
  uint32_t multiplier_;  // odd
  uint32_t inverse_;     // of the multiplier, modulo 2^32
};

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_PROBED_TABLE_H_
