// The reference tree: a std::vector of {parent, first, last, next, prev}
// records indexed by node ID (0 = none), edits written inline, link queries
// that do not branch on the link's value, and a walk that keeps an explicit
// stack of the sibling rows still to be listed, so that it reads every
// record once.
//
// It answers only what the comparison measures, with the results of the
// module's classes on well-formed trees: building, the link lookups and the
// pair walks. The other slots refuse (0, or -1 for a query).
#include "bench/reference_tree.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

class ReferenceTree final : public ITreeComponent {
 public:
  // Slots 0-4.
  int32_t GetComponentID() override { return 0; }
  int32_t GetVersion() override { return 1; }
  void Release(int32_t) override { delete this; }
  int32_t GetAutoFree() override { return 0; }
  void SetAutoFree(int32_t) override {}

  int32_t SetRoot(int32_t id) override {
    if (hasRoot_ || id <= 0) return 0;
    Fit(id);
    recs_[id] = Rec{};
    root_ = id;
    hasRoot_ = true;
    return 1;
  }
  int32_t IsLeaf(int32_t id) override { return IsNode(id) && recs_[id].first == 0 ? 1 : 0; }
  int32_t Exists(int32_t id) override { return IsNode(id) ? 1 : 0; }
  int32_t IsChild(int32_t id, int32_t parentId) override {
    return IsNode(id) && recs_[id].parent == parentId ? 1 : 0;
  }
  int32_t AppendChild(int32_t newId, int32_t parentId) override {
    if (newId <= 0 || IsNode(newId) || !IsNode(parentId)) return 0;
    Fit(newId);
    Rec& p = recs_[parentId];
    recs_[newId] = Rec{parentId, 0, 0, 0, p.last};
    if (p.last != 0) {
      recs_[p.last].next = newId;
    } else {
      p.first = newId;
    }
    p.last = newId;
    return 1;
  }
  int32_t PrependChild(int32_t newId, int32_t parentId) override {
    if (newId <= 0 || IsNode(newId) || !IsNode(parentId)) return 0;
    Fit(newId);
    Rec& p = recs_[parentId];
    recs_[newId] = Rec{parentId, 0, 0, p.first, 0};
    if (p.first != 0) {
      recs_[p.first].prev = newId;
    } else {
      p.last = newId;
    }
    p.first = newId;
    return 1;
  }
  int32_t InsertAfter(int32_t, int32_t, int32_t) override { return 0; }
  int32_t InsertBefore(int32_t, int32_t, int32_t) override { return 0; }
  int32_t Clear() override {
    recs_.assign(recs_.size(), Rec{});
    hasRoot_ = false;
    return 1;
  }
  int32_t RemoveNode(int32_t) override { return -1; }
  int32_t GetRoot(int32_t* out) override {
    if (!hasRoot_) return 0;
    if (out != nullptr) *out = root_;
    return 1;
  }

  // Slots 16-20: one range test, one index.
  int32_t GetParent(int32_t id, int32_t* out) override { return Link(id, &Rec::parent, out); }
  int32_t GetLastChild(int32_t id, int32_t* out) override { return Link(id, &Rec::last, out); }
  int32_t GetFirstChild(int32_t id, int32_t* out) override { return Link(id, &Rec::first, out); }
  int32_t GetPrevSibling(int32_t id, int32_t* out) override { return Link(id, &Rec::prev, out); }
  int32_t GetNextSibling(int32_t id, int32_t* out) override { return Link(id, &Rec::next, out); }

  int32_t GetPathFromRoot(int32_t, int32_t*, int32_t) override { return -1; }
  int32_t GetPathToRoot(int32_t, int32_t*, int32_t) override { return -1; }
  int32_t GetSiblings(int32_t, int32_t*, int32_t) override { return -1; }
  int32_t GetLeaves(int32_t, int32_t*, int32_t) override { return -1; }
  int32_t GetAllNodes(int32_t* rootOut, NodePair* pairs, int32_t capacity) override {
    if (!hasRoot_) return 0;
    if (rootOut != nullptr) *rootOut = root_;
    return 1 + Walk(root_, pairs, capacity);
  }
  int32_t MoveToFirstChild(int32_t, int32_t) override { return 0; }
  int32_t MoveToLastChild(int32_t, int32_t) override { return 0; }
  int32_t MoveBefore(int32_t, int32_t) override { return 0; }
  int32_t MoveAfter(int32_t, int32_t) override { return 0; }

  // Slots 30-34.
  void OnFinalRelease() override {}
  void GetDllRegistry(const char*, char* buffer, int32_t capacity) override {
    if (buffer != nullptr && capacity > 0) buffer[0] = '\0';
  }
  int32_t GetSiblingsWithSelf(int32_t, int32_t*, int32_t) override { return -1; }
  int32_t GetDescendants(int32_t id, NodePair* pairs, int32_t capacity) override {
    return IsNode(id) ? Walk(id, pairs, capacity) : -1;
  }
  int32_t GetNodesAtDepth(int32_t, int32_t, int32_t*, int32_t) override { return -1; }

 private:
  struct Rec {
    int32_t parent, first, last, next, prev;
  };

  bool InRange(int32_t id) const { return id > 0 && static_cast<size_t>(id) < recs_.size(); }
  bool IsNode(int32_t id) const {
    return InRange(id) && (recs_[id].parent != 0 || (hasRoot_ && id == root_));
  }
  void Fit(int32_t id) {
    if (static_cast<size_t>(id) >= recs_.size()) recs_.resize(static_cast<size_t>(id) + 1);
  }
  // The module's answer for every node; an ID that is in range but not a
  // node reads as one without links. Nothing here branches on the link or
  // on the range: an ID out of range reads record 0 (always there, all
  // zero), and the answer and what is written to *out are chosen by masks,
  // so random links cost no mispredicted branches. *out gets its own value
  // back when there is no answer.
  int32_t Link(int32_t id, int32_t Rec::*link, int32_t* out) const {
    const uint32_t in = InRange(id) ? 1u : 0u;
    const int32_t value = recs_[static_cast<size_t>(id) & (0u - in)].*link;
    const uint32_t set = in & static_cast<uint32_t>(value != 0);
    const int32_t mask = -static_cast<int32_t>(set);
    *out = (value & mask) | (*out & ~mask);
    return static_cast<int32_t>(set) - static_cast<int32_t>(in ^ 1u);
  }

  // Lists the nodes below top in the module's order: a whole child row,
  // then the rows below its members, last member first. The stack holds
  // the first node of every row still to be listed.
  int32_t Walk(int32_t top, NodePair* pairs, int32_t capacity) {
    int32_t count = 0;
    rows_.clear();
    if (recs_[top].first != 0) rows_.push_back(recs_[top].first);
    while (!rows_.empty()) {
      int32_t id = rows_.back();
      rows_.pop_back();
      const int32_t parent = recs_[id].parent;
      for (; id != 0; id = recs_[id].next) {
        if (pairs != nullptr && count < capacity) pairs[count] = NodePair{id, parent};
        ++count;
        if (recs_[id].first != 0) rows_.push_back(recs_[id].first);
      }
    }
    return count;
  }

  std::vector<Rec> recs_ = std::vector<Rec>(1);  // record 0: no node, no links
  std::vector<int32_t> rows_;
  int32_t root_ = 0;
  bool hasRoot_ = false;
};

}  // namespace

ITreeComponent* CreateReferenceTree() { return new ReferenceTree(); }
