// NodeTable: the store of component 114. Every node's record sits inline in
// an open-addressing table keyed by node ID, so that a lookup reads one run
// of adjacent buckets, usually within one cache line.
//
// Keys: the table maps each node ID to a key by a bijection of the 32-bit
// numbers (multiplication by an odd number), and works with keys only; the
// container turns IDs into keys on the way in and back on the way out. A
// record holds its own key and those of its linked nodes, so a walk goes
// from a link to the linked record without hashing anything.
//
// Ordered linear probing: a record sits in the bucket its key maps to (its
// home) or a later one, no empty bucket lies between a record and its home,
// and the records follow each other in the order of their keys. A lookup
// starts at the home and steps over smaller keys; a miss ends at the first
// larger key or empty bucket. Homes spread the keys over any number of
// buckets by multiplication, so the table can grow by a quarter at a time;
// a few buckets beyond the last home take the overflow, and the very last
// bucket stays empty, so that every probe run ends. Growth keeps the order,
// so it is one pass over the old table.
//
// The multiplier is a secret drawn once per process among the odd numbers
// whose multiples of consecutive IDs spread evenly (see the .cc), so runs of
// IDs take their own homes and random IDs behave as random, while IDs chosen
// in advance cannot aim at it. A table draws a multiplier of its own, which
// changes every key, when its records crowd as it grows (the multiplier was
// unlucky for the IDs stored), when a new record would land far from its
// home, or when a run reaches the last bucket.
//
// Records move when others are inserted or erased: a record pointer is good
// until the next Insert or Erase, a key until the next Insert. Nothing here
// throws; Insert is the only call that allocates.
#ifndef RODAROVE_MAPTREE_NODE_TABLE_H_
#define RODAROVE_MAPTREE_NODE_TABLE_H_

#include <cstddef>
#include <cstdint>

namespace rodarove {

// A node and its links by key: a link holds the key of the linked node, or
// the node's own key when there is no such node (no node links to itself).
struct NodeRecord {
  uint32_t key;
  uint32_t parent;
  uint32_t first;  // first child
  uint32_t last;   // last child
  uint32_t next;   // next sibling
  uint32_t prev;   // previous sibling
};

class NodeTable {
 public:
  // Where a key is stored, or the bucket a record for it would take; good
  // until the table changes.
  struct Spot {
    NodeRecord* at;
    NodeRecord* home;
    uint32_t key;
    bool found;
  };

  NodeTable();
  ~NodeTable();
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;

  size_t Count() const { return count_; }

  // The home of a key among `homes` homes: keys in order, homes in order.
  static size_t HomeOf(uint32_t key, size_t homes) {
    return static_cast<size_t>((static_cast<uint64_t>(key) * homes) >> 32);
  }

  uint32_t KeyOf(int32_t id) const { return static_cast<uint32_t>(id) * multiplier_; }
  int32_t IdOf(uint32_t key) const { return static_cast<int32_t>(key * inverse_); }

  // The record of a key, or null. Most records lie within two buckets of
  // their home: those two are compared without a branch that depends on
  // them (the buckets after one with a larger key, or an empty one, hold
  // larger keys too), so random lookups cost no mispredicted branch.
  NodeRecord* Find(uint32_t key) const {
    NodeRecord* r = buckets_ + Home(key);
    r += static_cast<size_t>(r[0].key < key) + static_cast<size_t>(r[1].key < key);
    while (r->key < key) ++r;
    return r->key == key && (key != kEmptyKey || !IsEmpty(*r)) ? r : nullptr;
  }
  // The record of a stored key. For a walk, where each lookup waits for the
  // one before, a branch that bets on the home is quicker.
  NodeRecord& At(uint32_t key) const { return Read().At(key); }

  // The lookups of a walk, which changes nothing: a copy of what they read,
  // so that the walk keeps it in registers whatever it writes.
  struct Reader {
    NodeRecord* buckets;
    size_t homes;
    uint32_t inverse;

    int32_t IdOf(uint32_t key) const { return static_cast<int32_t>(key * inverse); }
    NodeRecord& At(uint32_t key) const {
      NodeRecord* r = buckets + HomeOf(key, homes);
      while (r->key < key) ++r;
      return *r;
    }
    void Prefetch(uint32_t key) const {
#if defined(__GNUC__) || defined(__clang__)
      __builtin_prefetch(buckets + HomeOf(key, homes));
#else
      (void)key;
#endif
    }
  };
  Reader Read() const { return Reader{buckets_, homes_, inverse_}; }
  Spot Locate(uint32_t key) const {
    NodeRecord* const home = buckets_ + Home(key);
    NodeRecord* r = home;
    while (r->key < key) ++r;
    return Spot{r, home, key, r->key == key && (key != kEmptyKey || !IsEmpty(*r))};
  }

  // Stores a record for the key of `spot`, which Locate gave for a key not
  // stored, with nothing changed since; every link of the new record points
  // to the node itself. *keep, null or a record of the table, is moved
  // along with its record. Keys may change (take them anew from the IDs).
  // Null when memory runs out: nothing changed.
  NodeRecord* Insert(Spot spot, NodeRecord** keep) {
    // Most often the bucket is empty and the table has room.
    if (count_ < limit_ && IsEmpty(*spot.at) && spot.at - spot.home <= kLongRun) {
      const uint32_t k = spot.key;
      *spot.at = NodeRecord{k, k, k, k, k, k};
      ++count_;
      return spot.at;
    }
    return InsertShifting(spot, keep);
  }

  // Erases the record at r (of this table).
  void Erase(NodeRecord* r);

  // Erases every record and gives the memory back.
  void Release();

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

  // Insert when records have to move, or the table to change.
  NodeRecord* InsertShifting(Spot spot, NodeRecord** keep);

  // The process's multiplier, or (`fresh`) another one.
  static uint32_t NewMultiplier(bool fresh);

  size_t Home(uint32_t key) const { return HomeOf(key, homes_); }
  // The first empty bucket at or after r.
  static NodeRecord* EmptyFrom(NodeRecord* r) {
    while (!IsEmpty(*r)) ++r;
    return r;
  }
  // Moves every record into a table of `homes` homes keyed by `multiplier`,
  // or by another one when that fits the records badly. False when memory
  // runs out (nothing changed then).
  bool Rebuild(size_t homes, uint32_t multiplier);
  // Fills `to` (of `size` buckets, `homes` homes) with the records, keyed
  // by `multiplier`, and empty buckets, and adds the records' distances
  // from their homes to *probe; false when they do not fit before its last
  // bucket.
  bool Place(NodeRecord* to, size_t size, size_t homes, uint32_t multiplier,
             size_t* probe) const;
  void Free();

  NodeRecord* buckets_;  // homes_ + overflow + 1 buckets, or two empty ones
  size_t homes_ = 0;
  size_t size_ = 2;
  size_t limit_ = 0;  // Insert grows the table at this count
  size_t count_ = 0;
  uint32_t multiplier_;  // odd
  uint32_t inverse_;     // of the multiplier, modulo 2^32
};

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_NODE_TABLE_H_
