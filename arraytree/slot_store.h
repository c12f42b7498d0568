// SlotStore: the slots of component 837, one TreeSlot per node ID below
// count().
//
// count() is the number of slots a host sees: it starts at 1000, grows to
// the smallest multiple of 1000 above a new ID and never passes
// kMaxSlotCount. Raising it allocates nothing: memory follows the slots
// written, in pages of kPageSlots slots.
//  - The front: one array for the pages from 0 up (2^k of them), where the
//    slots of a tree whose IDs are dense lie, read with one index.
//  - Every other page: a page gets memory of its own when an edit is about
//    to write it (Prepare), and a directory, grown as far as the last such
//    page, names it. A page without memory reads as the one shared page of
//    zeros, in read-only memory, chosen without a branch. So a far ID costs
//    one page and the directory up to it.
// When a slot beyond the front needs memory, the front doubles until it
// holds the slot, taking in the pages on its way, as long as the tree has a
// node for every 8 slots of the doubled front: rising IDs go to the front
// at amortised constant cost, and its size stays within 8 slots per node
// however a host spreads its IDs.
//
// Slot 0 is never written, so it reads as zeros in every store: a query may
// read it in place of an ID out of range without testing which. Every
// allocation is nothrow; one that fails leaves every slot as it was.
#ifndef RODAROVE_ARRAYTREE_SLOT_STORE_H_
#define RODAROVE_ARRAYTREE_SLOT_STORE_H_

#include <cstddef>
#include <cstdint>

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
  // The largest multiple of 1000 whose slots would still fit in 32 bits of
  // bytes as one array; hosts see it as the limit of the IDs.
  static constexpr uint32_t kMaxSlotCount = 178956000;
  static constexpr int kPageShift = 10;
  static constexpr uint32_t kPageSlots = 1u << kPageShift;

  // Allocates the first page of the front; ok() is false when that failed.
  SlotStore();
  ~SlotStore();
  SlotStore(const SlotStore&) = delete;
  SlotStore& operator=(const SlotStore&) = delete;

  bool ok() const { return ok_; }
  uint32_t count() const { return count_; }

  // 1 <= id < count(), without a branch.
  bool InRange(int32_t id) const { return static_cast<uint32_t>(id) - 1u < count_ - 1u; }
  // The slot of an index below count() (0 included); never allocates.
  const TreeSlot& Read(uint32_t index) const {
    if (RODAROVE_UNLIKELY(index >= frontSlots_)) return InPage(pages_, pageCount_, index);
    return front_[index];
  }
  // The slot of a node, of an ID that a link names, or of one that
  // Prepare gave memory: those slots have memory of their own.
  TreeSlot& Write(int32_t id) {
    // Slots with memory of their own were allocated writable.
    return const_cast<TreeSlot&>(Read(static_cast<uint32_t>(id)));
  }

  // Raises count() so that `id` is below it (no change when it already
  // is); false when `id` is kMaxSlotCount or more (unsigned).
  bool GrowSlots(int32_t id) {
    const uint32_t wanted = static_cast<uint32_t>(id);
    if (wanted < count_) return true;
    if (wanted >= kMaxSlotCount) return false;
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
    return (page < pageCount_ && pages_[page] != nullptr) || TakeMemory(index, nodes);
  }
  // Every slot zero again and all memory given back; count() stays.
  void Clear();

  // The store as a query that makes no edit sees it, in few enough words to
  // stay in registers through a walk: one test finds the nodes of the front.
  class View {
   public:
    explicit View(const SlotStore& s)
        : store_(&s),
          front_(s.front_),
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
  // What every page reads as until it is written: constant, so it lies in
  // read-only memory and a stray write faults instead of reaching every
  // store.
  static const TreeSlot kZeroPage[kPageSlots];
  // The slot of `index` outside the front: in its page, or in the zero
  // page when the page has no memory (beyond the directory, or null in it).
  static const TreeSlot& InPage(const TreeSlot* const* pages, uint32_t pageCount,
                                uint32_t index) {
    const uint32_t page = index >> kPageShift;
    const TreeSlot* memory = page < pageCount ? pages[page] : nullptr;
    return (memory != nullptr ? memory : kZeroPage)[index & (kPageSlots - 1)];
  }

  // The slow path of Prepare.
  bool TakeMemory(uint32_t index, uint32_t nodes);
  // Doubles the front (or makes its first page), taking in the pages of
  // the range it comes to cover: false when the memory cannot be had.
  bool GrowFront();
  // Whether the doubled front would hold at most 8 slots per node.
  bool FrontMayGrow(uint32_t nodes) const;
  // Makes the directory cover `pages` pages. It and the list of pages with
  // memory of their own share one block of pageCount_ entries each.
  bool Reserve(uint32_t pages);
  void FreeAll();

  TreeSlot* front_ = nullptr;
  // 0, or kPageSlots << k. Of a type that the int32_t links written into
  // slots cannot alias, so that an edit need not read it again after each.
  size_t frontSlots_ = 0;
  uint32_t count_ = kSlotStep;
  const TreeSlot** pages_ = nullptr;  // pageCount_ entries; null without memory
  uint32_t pageCount_ = 0;
  uint32_t* owned_ = nullptr;  // page numbers with memory of their own
  uint32_t ownedCount_ = 0;
  bool ok_ = false;
};

}  // namespace rodarove

#endif  // RODAROVE_ARRAYTREE_SLOT_STORE_H_
