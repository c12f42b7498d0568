// HashedRecords: the records of component 114 that lie outside the window
// of its store (node_table.h), inline in an open-addressing table.
//
// Hash: the ID times a secret odd multiplier, plus a secret offset, then a
// full 32-bit mixer; both secrets are drawn once per process. A bijection,
// so every ID has its own hash, and IDs chosen in advance cannot aim at a
// bucket. A bucket's key is the complement of its record's hash, so that
// zero memory reads as empty buckets; the one record whose key would be
// zero (hash 0xFFFFFFFF) is kept apart, in spare_.
//
// Ordered linear probing: a record sits at its home, (hash * homes) >> 32,
// or after it with no empty bucket between, and the records follow each
// other in the order of their hashes. A lookup starts at the home and
// steps over smaller hashes; a miss ends at a larger hash or an empty
// bucket. The last bucket of a table is always empty; a run that would
// reach it lengthens the table by kLonger buckets.
//
// Growth without a pause: at 9/10 load a table a quarter larger (twice as
// large while small) is allocated, and every later insertion first moves
// the next kMoveStep buckets of the old table (to the end of a run) into
// it, in order: their hashes are larger than any in the new table, so each
// lands at its new home or right after the new table's last record. While
// that goes on, a hash whose old home lies below the cursor is in the new
// table, any other in the old one, and lookups read the one that holds it.
// The old table's pages behind the cursor are given back as it advances,
// so both tables together take little more memory than one; its address
// range is kept, and the next growth moves into it.
//
// Costs: Find, Insert and Erase read and shift one run (a few buckets on
// average); Insert also moves at most kMoveStep buckets and a run, and may
// commit one table, whose pages the system supplies as records arrive (a
// 32-bit process reserves each table anew and gives the old one back).
// Records move when others are inserted or erased: a record pointer is
// good until the next change. Nothing throws.
#ifndef RODAROVE_MAPTREE_HASHED_RECORDS_H_
#define RODAROVE_MAPTREE_HASHED_RECORDS_H_

#include <cstddef>
#include <cstdint>

#include "component/record_array.h"

namespace rodarove {

// A node and its links by ID: a link holds the ID of the linked node, or the
// node's own ID when there is no such node (no node links to itself). The
// key field says where the record is stored; all zero is no record.
struct NodeRecord {
  uint32_t key;
  uint32_t parent;
  uint32_t first;  // first child
  uint32_t last;   // last child
  uint32_t next;   // next sibling
  uint32_t prev;   // previous sibling
};

class HashedRecords {
 public:
  static constexpr size_t kMoveStep = 64;
  static constexpr size_t kLonger = 64;

  // The process's secret parameters of the hash.
  struct Secret {
    uint32_t multiplier;  // odd
    uint32_t offset;
  };

  HashedRecords() = default;
  ~HashedRecords() { Release(); }
  HashedRecords(const HashedRecords&) = delete;
  HashedRecords& operator=(const HashedRecords&) = delete;

  size_t Count() const { return count_; }

  // (A mixer's last step, x ^ x >> 16, would change no home: the homes
  // come from the top bits.)
  static uint32_t HashOf(uint32_t id) {
    uint32_t x = id * secret_.multiplier + secret_.offset;
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    return x * 0xC2B2AE35u;
  }
  // The ID of a hash, for the tests that choose IDs by their hashes.
  static uint32_t IdOfHash(uint32_t hash);
  static size_t HomeOf(uint32_t hash, size_t homes) {
    return static_cast<size_t>((static_cast<uint64_t>(hash) * homes) >> 32);
  }

  // The lookups, as a copy of what they read, so that a walk keeps it in
  // registers whatever it writes. Good until the table changes; only while
  // it holds records (the first insertion makes a table, kept until
  // Release).
  struct Reader {
    NodeRecord* now;
    size_t nowHomes;
    NodeRecord* old;  // while moving
    size_t oldHomes;  // 0 unless moving
    size_t cursor;
    NodeRecord* spare;

    // The record of an ID, or null.
    NodeRecord* Find(uint32_t id) const {
      const uint32_t hash = HashOf(id);
      const uint32_t key = ~hash;
      if (key == 0) return spare;
      NodeRecord* r = Start(hash);
      while (r->key > key) ++r;
      return r->key == key ? r : nullptr;
    }
    // The record of a stored ID.
    NodeRecord& At(uint32_t id) const {
      const uint32_t hash = HashOf(id);
      const uint32_t key = ~hash;
      if (key == 0) return *spare;
      NodeRecord* r = Start(hash);
      while (r->key > key) ++r;
      return *r;
    }
    void Prefetch(uint32_t id) const { RODAROVE_PREFETCH(Start(HashOf(id))); }
    NodeRecord* Start(uint32_t hash) const {
      if (oldHomes != 0) {  // moving: rarely
        const size_t oldHome = HomeOf(hash, oldHomes);
        if (oldHome >= cursor) return old + oldHome;
      }
      return now + HomeOf(hash, nowHomes);
    }
  };
  Reader Read() const {
    return Reader{now_->buckets.data(),
                  now_->homes,
                  old_->buckets.data(),
                  moving_ ? old_->homes : 0,
                  moving_ ? cursor_ : 1,
                  hasSpare_ ? const_cast<NodeRecord*>(&spare_) : nullptr};
  }
  NodeRecord* Find(uint32_t id) const { return Read().Find(id); }
  NodeRecord& At(uint32_t id) const { return Read().At(id); }

  // Stores a record for an ID not stored; every link of the new record
  // points to the node itself. Other records may move. Null when memory
  // runs out: every answer stays as it was.
  NodeRecord* Insert(uint32_t id);
  // Erases the record at r (of this table).
  void Erase(NodeRecord* r);
  // Erases every record and gives the memory back.
  void Release();

  // For the tests: whether a growth is moving records, the homes of the
  // table that grows, and the total distance of the records from their
  // homes (and the largest, in *longest).
  bool Moving() const { return moving_; }
  // While moving: the hashes below this one are in the new table.
  uint32_t MovedBelow() const {
    const uint64_t first = ((uint64_t{cursor_} << 32) + old_->homes - 1) / old_->homes;
    return first > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(first);
  }
  size_t Homes() const { return now_->homes; }
  size_t Displacement(size_t* longest) const;

 private:
  struct Table {
    RecordArray<NodeRecord> buckets{0};
    size_t homes = 0;
    size_t Size() const { return buckets.count(); }
  };
  static const Secret secret_;

  // Puts a record of `key` into t, at the first bucket from `from` on
  // whose key is not larger, moving the records from there to the next
  // empty bucket up by one; null when the table cannot be lengthened.
  NodeRecord* Place(Table* t, NodeRecord* from, uint32_t key, uint32_t id);
  // Makes t hold at least `size` buckets (and kLonger more).
  bool Lengthen(Table* t, size_t size);
  // Starts moving into a larger table; false when it cannot be had.
  bool StartMoving();
  // Moves the next kMoveStep buckets (and the rest of a run); false when
  // the new table could not be lengthened for a run (none moved then).
  bool MoveSome();
  void FinishMoving();

  Table tables_[2];
  Table* now_ = &tables_[0];
  Table* old_ = &tables_[1];
  bool moving_ = false;
  size_t cursor_ = 0;     // while moving: old buckets below it are moved
  size_t frontier_ = 0;   // while moving: one past the new table's last record
  size_t count_ = 0;
  NodeRecord spare_ = {};
  bool hasSpare_ = false;
};

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_HASHED_RECORDS_H_
