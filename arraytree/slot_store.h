// SlotStore: the slots of component 837, one TreeSlot per node ID below
// count().
//
// count() is the number of slots a host sees: it starts at 1000, grows to
// the smallest multiple of 1000 above a new ID and never passes
// RODAROVE_ARRAY_ID_LIMIT. Raising it allocates nothing: memory follows the
// slots written, in pages of kPageSlots slots (24 KB).
//  - The front: one RecordArray holding pages 0 up to some page, read with
//    one index. It never moves (but in a 32-bit process) and grows one or
//    more pages at a time, copying nothing, while the tree has a node for
//    every 8 of its slots: rising IDs lie in it, and its size stays within
//    8 slots per node however a host spreads its IDs.
//  - Every page beyond the front: it gets memory of its own when an edit
//    is about to write it, and the directory (a RecordArray of page
//    pointers, as long as the last such page) names it. A page without
//    memory reads as the one shared page of zeros, in read-only memory,
//    chosen without a branch.
// When the front grows over pages that have memory of their own, it copies
// them in and gives them back, at most kPagesTakenPerCall of them per call.
//
// Costs:
//  - Read, Slot, InFront, InRange, GrowSlots, UndoGrowth and the View's
//    lookups: constant time, no allocation. A slot in the front costs one
//    test and one index; one beyond it a directory entry more.
//  - Prepare: one test when the slot has memory. Otherwise, when the nodes
//    allow, the front grows toward the slot: one commit of address space,
//    a look at the directory entries of the pages it comes to cover, and
//    a copy of at most kPagesTakenPerCall pages (96 KB). A slot the front
//    does not reach gets its page: an allocation of 24 KB, zeroed, and now
//    and then a growth of the directory, which copies at most 64 KB while
//    it is small and nothing after. No call does work in proportion to
//    the tree, except in a 32-bit process, where a growing front may have
//    to move.
//  - Clear: gives back each page of its own and both arrays; time in
//    proportion to the directory's length.
//  - Memory: 24 bytes per slot of the front and of each page with memory,
//    8 per directory entry. When it last grew, the front held at most 8
//    slots per node (or its first page).
// Nothing throws; a failed allocation leaves every slot as it was.
//
// Slot 0 is never written, so it reads as zeros in every store: a query may
// read it in place of an ID out of range without testing which.
#ifndef RODAROVE_ARRAYTREE_SLOT_STORE_H_
#define RODAROVE_ARRAYTREE_SLOT_STORE_H_

#include <cstddef>
#include <cstdint>

#include "component/record_array.h"
#include "rodarove/tree_container.h"

// Lays a branch out for its other side: the slots of a dense tree lie in
// the front.
#if defined(__GNUC__)
#define RODAROVE_UNLIKELY(condition) __builtin_expect(!!(condition), 0)
#else
#define RODAROVE_UNLIKELY(condition) (condition)
#endif

namespace rodarove {

// The links of one node. An all-zero slot is not a node and has no links;
// 0 means "none" in every link. The flags are bool rather than a character
// type, which the compiler would have to assume writes anything, down to
// the store's own fields.
struct TreeSlot {
  bool used;  // while this slot's ID is a node
  // Set once this slot was filled anew while it still listed children:
  // those children are listed nowhere since, but keep naming this ID as
  // parent. Kept across refills; only Clear resets it.
  bool lostChildren;
  int32_t parent;
  int32_t lastChild;
  int32_t firstChild;
  int32_t nextSibling;
  int32_t prevSibling;
};

class SlotStore {
 public:
  static constexpr uint32_t kSlotStep = 1000;
  // The slot count never passes RODAROVE_ARRAY_ID_LIMIT (tree_container.h),
  // the largest multiple of 1000 whose slots would still fit in 32 bits of
  // bytes as one array.
  static constexpr int kPageShift = 10;
  static constexpr uint32_t kPageSlots = 1u << kPageShift;
  static constexpr uint32_t kMaxPages = (RODAROVE_ARRAY_ID_LIMIT + kPageSlots - 1) / kPageSlots;
  // Pages of their own that one growth of the front copies in at most.
  static constexpr uint32_t kPagesTakenPerCall = 4;

  // Makes the first page of the front; ok() is false when that failed.
  SlotStore();
  ~SlotStore() { FreePages(); }
  SlotStore(const SlotStore&) = delete;
  SlotStore& operator=(const SlotStore&) = delete;

  bool ok() const { return ok_; }
  uint32_t count() const { return count_; }

  // 1 <= id < count(), without a branch.
  bool InRange(int32_t id) const { return static_cast<uint32_t>(id) - 1u < count_ - 1u; }
  // The slot of an index below count() (0 included); never allocates.
  // Inline throughout, so that a lookup makes no call.
  const TreeSlot& Read(uint32_t index) const {
    if (RODAROVE_UNLIKELY(index >= frontSlots_)) return InPage(pages_, index);
    return front_.data()[index];
  }
  // The slot of an index below count(), for an edit: writable when it is
  // the slot of a node, of an ID that a link names, or of one that Prepare
  // gave memory (those slots have memory of their own); otherwise it may be
  // the zero page, to be read only. Valid until the next Prepare, which may
  // take the slot's page into the front: an edit takes its memory first,
  // then resolves each record it touches once.
  TreeSlot* Slot(int32_t id) {
    const uint32_t index = static_cast<uint32_t>(id);
    if (RODAROVE_UNLIKELY(index >= frontSlots_)) return PageSlot(index);
    return front_.data() + index;
  }

  // Whether the slots of a and b, both below count(), lie in the front:
  // they have memory, and FrontSlot reaches them. One test.
  bool InFront(int32_t a, int32_t b) const {
    const uint32_t ua = static_cast<uint32_t>(a);
    const uint32_t ub = static_cast<uint32_t>(b);
    return (ua > ub ? ua : ub) < frontSlots_;
  }
  TreeSlot* FrontSlot(int32_t id) { return front_.data() + static_cast<uint32_t>(id); }

  // Raises count() so that `id` is below it (no change when it already
  // is); false when `id` is RODAROVE_ARRAY_ID_LIMIT or more (unsigned).
  bool GrowSlots(int32_t id) {
    const uint32_t wanted = static_cast<uint32_t>(id);
    if (wanted < count_) return true;
    if (wanted >= RODAROVE_ARRAY_ID_LIMIT) return false;
    count_ = (wanted / kSlotStep + 1) * kSlotStep;
    return true;
  }
  // Sets count() back to `count`, which an edit read before its GrowSlots,
  // when it refuses for want of memory after all.
  void UndoGrowth(uint32_t count) { count_ = count; }
  // Gives the slot of `id` (< count()) memory of its own, all zero, unless
  // it has some, for a tree that will have `nodes` nodes: false when that
  // cannot be had.
  bool Prepare(int32_t id, uint32_t nodes) {
    const uint32_t index = static_cast<uint32_t>(id);
    if (index < frontSlots_) return true;
    const uint32_t page = index >> kPageShift;
    return (page < pages_.count() && pages_.data()[page] != nullptr) || TakeMemory(page, nodes);
  }
  // Every slot zero again and all memory given back; count() stays.
  void Clear();

  // The store as a query that makes no edit sees it, in few enough words to
  // stay in registers through a walk: one test finds the nodes of the front.
  class View {
   public:
    explicit View(const SlotStore& s)
        : store_(&s),
          front_(s.front_.data()),
          frontNodes_(FrontNodes(s)) {}
    // The slot of node `id`, or null when id is out of range or not a node.
    const TreeSlot* FindNode(int32_t id) const {
      const uint32_t index = static_cast<uint32_t>(id);
      const TreeSlot* slot;
      if (RODAROVE_UNLIKELY(index - 1u >= frontNodes_)) {
        if (!store_->InRange(id)) return nullptr;
        slot = &store_->Read(index);
      } else {
        slot = &front_[index];
      }
      return slot->used ? slot : nullptr;
    }
    // The slot of an index below the count (0 included).
    const TreeSlot& Read(uint32_t index) const { return store_->Read(index); }
    // Asks for the slot of `id` ahead of a FindNode, as if it were in the
    // front: a hint, so an address outside the front does no harm.
    void Prefetch(int32_t id) const {
      RODAROVE_PREFETCH(reinterpret_cast<const void*>(
          reinterpret_cast<uintptr_t>(front_) + static_cast<uint32_t>(id) * sizeof(TreeSlot)));
    }

   private:
    // How many IDs from 1 up are in range and in the front.
    static uint32_t FrontNodes(const SlotStore& s) {
      const size_t ids = s.frontSlots_ < s.count_ ? s.frontSlots_ : s.count_;
      return ids != 0 ? static_cast<uint32_t>(ids) - 1 : 0;
    }

    const SlotStore* store_;
    const TreeSlot* front_;
    uint32_t frontNodes_;
  };

 private:
  using Directory = RecordArray<const TreeSlot*>;

  // What every page reads as until it is written: constant, so it lies in
  // read-only memory and a stray write faults instead of reaching every
  // store.
  static const TreeSlot kZeroPage[kPageSlots];
  // The slot of `index` outside the front: in its page, or in the zero
  // page when the page has no memory (beyond the directory, or null in it).
  static const TreeSlot& InPage(const Directory& pages, uint32_t index) {
    const uint32_t page = index >> kPageShift;
    const TreeSlot* memory = page < pages.count() ? pages.data()[page] : nullptr;
    return (memory != nullptr ? memory : kZeroPage)[index & (kPageSlots - 1)];
  }

  // Slot beyond the front, out of line: the edits' fast paths stay small.
  TreeSlot* PageSlot(uint32_t index);
  // The slow path of Prepare, for a page without memory.
  bool TakeMemory(uint32_t page, uint32_t nodes);
  // Grows the front toward `page`, over at most kPagesTakenPerCall pages
  // that have memory of their own; it may stop short, or not grow at all.
  void GrowFrontToward(uint32_t page);
  // Gives back every page of its own.
  void FreePages();

  RecordArray<TreeSlot> front_{static_cast<uint64_t>(kMaxPages) * kPageSlots};
  // A multiple of kPageSlots. Of a type that the int32_t links written into
  // slots cannot alias, so that an edit need not read it again after each.
  size_t frontSlots_ = 0;
  uint32_t count_ = kSlotStep;
  // Entry p names page p's memory, or is null: always null for the pages
  // of the front, non-null for exactly the pages with memory of their own.
  Directory pages_{kMaxPages};
  bool ok_ = false;
};

}  // namespace rodarove

#endif  // RODAROVE_ARRAYTREE_SLOT_STORE_H_
