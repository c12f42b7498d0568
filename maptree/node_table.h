// NodeTable: the store of component 114, every node's record found by its
// ID. Records link to each other by ID, so a walk goes from a link to the
// linked record with no translation.
//
// Two parts. The window: records at their IDs' offsets from the first ID
// stored (base_), upwards, in a RecordArray that grows in place while the
// records in it fill half of it (seven tenths beyond 2^16 slots); so the
// IDs a host numbers densely, as most do, cost a lookup of one slot and lie
// in the order of their IDs. The rest: HashedRecords (hashed_records.h),
// which takes any ID. An ID goes to the window when its slot has memory,
// or when growing the window to it keeps the window full enough; else to
// the rest. The window holds every stored ID of its range: when it grows,
// the records of the rest that it comes to cover move into it (records
// link by ID, so nothing else changes).
//
// Costs: Find, At and Erase read one slot, or one run of the rest; Insert
// as much, plus the rest's insertion (hashed_records.h) or a growth of
// the window by at most a granule of memory (some thousand slots), with a
// lookup in the rest for each new slot while the rest holds records.
// Records of the rest move when others are inserted or erased: a record
// pointer is good until the next Insert or Erase. Nothing throws; Insert
// is the only call that allocates.
#ifndef RODAROVE_MAPTREE_NODE_TABLE_H_
#define RODAROVE_MAPTREE_NODE_TABLE_H_

#include <cstddef>
#include <cstdint>

#include "component/record_array.h"
#include "maptree/hashed_records.h"

namespace rodarove {

class NodeTable {
 public:
  // Where an ID's record is stored, or where a record for it would go;
  // good until the table changes.
  struct Spot {
    NodeRecord* at;  // the record, or a vacant window slot, or null
    uint32_t id;
    bool found;
  };

  NodeTable() = default;
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;

  size_t Count() const { return windowCount_ + rest_.Count(); }

  // A node's key in the store is its ID as an unsigned number.
  static uint32_t KeyOf(int32_t id) { return static_cast<uint32_t>(id); }
  static int32_t IdOf(uint32_t key) { return static_cast<int32_t>(key); }

  // The record of an ID, or null.
  NodeRecord* Find(uint32_t id) const {
    const uint32_t slot = id - base_;
    if (slot < windowSlots_) {
      NodeRecord* r = window_.data() + slot;
      return r->key == slot + 1 ? r : nullptr;
    }
    return rest_.Count() != 0 ? rest_.Find(id) : nullptr;
  }
  // The record of a stored ID.
  NodeRecord& At(uint32_t id) const {
    const uint32_t slot = id - base_;
    return slot < windowSlots_ ? window_.data()[slot] : rest_.At(id);
  }

  // The lookups of a walk, which changes nothing: a copy of what they read,
  // so that the walk keeps it in registers whatever it writes. While every
  // record lies in the window, the window's alone. Visit calls f with the
  // reader that fits the table.
  struct WindowReader {
    NodeRecord* slots;
    uint32_t base;

    static int32_t IdOf(uint32_t key) { return static_cast<int32_t>(key); }
    NodeRecord& At(uint32_t id) const { return slots[id - base]; }
    void Prefetch(uint32_t id) const { RODAROVE_PREFETCH(slots + (id - base)); }
  };
  struct Reader {
    NodeRecord* slots;
    uint32_t base;
    uint32_t window;
    HashedRecords::Reader rest;

    static int32_t IdOf(uint32_t key) { return static_cast<int32_t>(key); }
    NodeRecord& At(uint32_t id) const {
      const uint32_t slot = id - base;
      return slot < window ? slots[slot] : rest.At(id);
    }
    void Prefetch(uint32_t id) const {
      const uint32_t slot = id - base;
      if (slot < window) {
        RODAROVE_PREFETCH(slots + slot);
      } else {
        rest.Prefetch(id);
      }
    }
  };
  template <typename F>
  decltype(auto) Visit(F&& f) const {
    if (rest_.Count() == 0) return f(WindowReader{window_.data(), base_});
    return f(Reader{window_.data(), base_, windowSlots_, rest_.Read()});
  }

  Spot Locate(uint32_t id) const {
    const uint32_t slot = id - base_;
    if (slot < windowSlots_) {
      NodeRecord* const r = window_.data() + slot;
      return Spot{r, id, r->key == slot + 1};
    }
    NodeRecord* const stored = rest_.Count() != 0 ? rest_.Find(id) : nullptr;
    return Spot{stored, id, stored != nullptr};
  }

  // Stores a record for the ID of `spot`, which Locate gave for an ID not
  // stored, with nothing changed since; every link of the new record points
  // to the node itself. Other records may move. Null when memory runs
  // out: nothing changed.
  NodeRecord* Insert(const Spot& spot) {
    if (spot.at != nullptr) {  // a vacant slot of the window
      const uint32_t id = spot.id;
      *spot.at = NodeRecord{id - base_ + 1, id, id, id, id, id};
      ++windowCount_;
      return spot.at;
    }
    return InsertBeyond(spot.id);
  }

  // Erases the record at r (of this table).
  void Erase(NodeRecord* r) {
    if (reinterpret_cast<uintptr_t>(r) - reinterpret_cast<uintptr_t>(window_.data()) <
        static_cast<uintptr_t>(windowSlots_) * sizeof(NodeRecord)) {
      *r = NodeRecord{};
      --windowCount_;
      return;
    }
    rest_.Erase(r);
  }

  // Erases every record and gives the memory back.
  void Release();

  // The part outside the window, for the tests of its probe lengths and
  // of IDs chosen against its hash.
  const HashedRecords& Rest() const { return rest_; }

 private:
  NodeRecord* InsertBeyond(uint32_t id);

  // The widest window: 6 GB of address space, reserved once.
  static constexpr uint32_t kMaxWindow = uint32_t{1} << 28;

  RecordArray<NodeRecord> window_{kMaxWindow};
  uint32_t windowSlots_ = 0;  // slots with memory, all below the limit
  size_t windowCount_ = 0;    // records in the window
  uint32_t base_ = 0;         // the ID of the window's first slot
  HashedRecords rest_;
};

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_NODE_TABLE_H_
