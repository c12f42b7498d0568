// NodeTable: the store of component 114, every node's record found by its
// ID. Records link to each other by ID, so a walk goes from a link to the
// linked record with no translation.
//
// Two parts. The window: an array of records over one range of IDs (from
// base_ on, modulo 2^32), each record at its ID's offset, kept while the
// IDs in it fill most of it; so the IDs a host numbers densely, as most
// do, cost a lookup of one bucket and lie in the order of their IDs. The
// rest: a ProbedTable (probed_table.h), hashed with a secret, that takes
// any ID. A record for an ID outside the window widens the window when the
// window stays full enough, taking along any records of the rest it then
// covers; else it goes to the rest. When the rest must grow and all the
// IDs stored fill most of their range by then, all go into one window.
// The first record makes the window, which never narrows until Release:
// the root always lies in it.
//
// Memory: the window is one block from std::realloc (resizeNodeMemory),
// so that it widens in place where the system can (a large block grows by
// remapping its pages); widening upwards moves no record, downwards moves
// each once.
//
// Records move when others are inserted or erased: a record pointer is
// good until the next Insert or Erase. Nothing here throws; Insert is the
// only call that allocates.
#ifndef RODAROVE_MAPTREE_NODE_TABLE_H_
#define RODAROVE_MAPTREE_NODE_TABLE_H_

#include <cstddef>
#include <cstdint>

#include "maptree/probed_table.h"

namespace rodarove {

class NodeTable {
 public:
  // Where an ID's record is stored, or where a record for it would go;
  // good until the table changes.
  struct Spot {
    NodeRecord* at;
    ProbedTable::Spot probed;  // outside the window
    uint32_t id;
    bool inWindow;
    bool found;
  };

  NodeTable() = default;
  ~NodeTable();
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;

  size_t Count() const { return windowCount_ + rest_.Count(); }

  // A node's key in the store is its ID as an unsigned number.
  static uint32_t KeyOf(int32_t id) { return static_cast<uint32_t>(id); }
  static int32_t IdOf(uint32_t key) { return static_cast<int32_t>(key); }

  // The record of an ID, or null.
  NodeRecord* Find(uint32_t id) const {
    const uint32_t slot = id - base_;
    if (slot < window_) {
      NodeRecord* r = slots_ + slot;
      return r->key == id ? r : nullptr;
    }
    return rest_.Find(id);
  }
  // The record of a stored ID.
  NodeRecord& At(uint32_t id) const {
    const uint32_t slot = id - base_;
    return slot < window_ ? slots_[slot] : rest_.Read().At(id);
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
    ProbedTable::Reader rest;

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
    if (rest_.Count() == 0) return f(WindowReader{slots_, base_});
    return f(Reader{slots_, base_, static_cast<uint32_t>(window_), rest_.Read()});
  }

  Spot Locate(uint32_t id) const {
    const uint32_t slot = id - base_;
    if (slot < window_) {
      NodeRecord* r = slots_ + slot;
      return Spot{r, {}, id, true, r->key == id};
    }
    const ProbedTable::Spot s = rest_.Locate(id);
    return Spot{s.at, s, id, false, s.found};
  }

  // Stores a record for the ID of `spot`, which Locate gave for an ID not
  // stored, with nothing changed since; every link of the new record points
  // to the node itself. Other records may move. Null when memory runs
  // out: nothing changed.
  NodeRecord* Insert(const Spot& spot) {
    if (spot.inWindow) {
      const uint32_t id = spot.id;
      *spot.at = NodeRecord{id, id, id, id, id, id};
      ++windowCount_;
      return spot.at;
    }
    // An ID far from a window goes to the rest when it has room: the
    // window cannot widen that far (Widen), as its records, which lie in
    // it, would not fill enough of it.
    const uint32_t offset = spot.id - base_;
    const uint32_t up = offset - static_cast<uint32_t>(window_);
    const uint32_t down = 0u - offset;
    if ((up < down ? up : down) > window_ + kFarBeyond && window_ != 0 && !rest_.Full()) {
      return rest_.Insert(spot.probed, spot.id);
    }
    return InsertOutside(spot);
  }

  // Erases the record at r (of this table).
  void Erase(NodeRecord* r) {
    if (InWindow(r)) {
      *r = Vacant(static_cast<uint32_t>(r - slots_));
      --windowCount_;
      return;
    }
    rest_.Erase(r);
  }

  // Erases every record and gives the memory back.
  void Release();

  // The part outside the window, for the tests of its probe lengths and
  // of IDs chosen against its hash.
  const ProbedTable& Rest() const { return rest_; }

 private:
  // A window widens by at most its width and this many IDs (DenseFits).
  static constexpr size_t kFarBeyond = 66;
  // An empty slot of the window: its key is not its ID.
  NodeRecord Vacant(uint32_t slot) const { return NodeRecord{base_ + slot + 1, 0, 0, 0, 0, 0}; }
  bool InWindow(const NodeRecord* r) const {
    return reinterpret_cast<uintptr_t>(r) - reinterpret_cast<uintptr_t>(slots_) <
           window_ * sizeof(NodeRecord);
  }
  NodeRecord* InsertOutside(const Spot& spot);
  enum class Outcome { kDone, kSparse, kNoMemory };
  // Widens the window to take `id`, by a growth step at least, on the
  // nearer side, when the records already in it fill enough of the result,
  // taking in the records of the rest it then covers; unchanged when they
  // would not (kSparse), or memory runs out.
  Outcome Widen(uint32_t id);
  // Puts every record, and room for `id`, in one new window, when the IDs
  // fill enough of it; unchanged when they would not (kSparse), or memory
  // runs out.
  Outcome Gather(uint32_t id);

  NodeRecord* slots_ = nullptr;  // window_ records
  size_t window_ = 0;
  size_t windowCount_ = 0;  // records in the window
  uint32_t base_ = 0;       // the ID of the window's first slot
  ProbedTable rest_;
};

}  // namespace rodarove

#endif  // RODAROVE_MAPTREE_NODE_TABLE_H_
