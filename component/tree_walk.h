// The whole-tree walks of component 837, written over any store of linked
// records (component 114 walks its own records by hand: its store's
// readers, one per placement of the records, suit loops of their own).
// Each record names its first child (down), its next sibling (across), its
// previous sibling (back) and its parent (up). A walk
// from x0 covers x0, x0's later siblings and everything below them, in one
// of two orders:
//  - kRowsFirst: a node, then the walk from its next sibling, then the walk
//    from its first child. A sibling row comes out whole, followed by the
//    walks below its members from the last member back to the first.
//  - kDepthFirst: a node, then the walk from its first child, then the
//    walk from its next sibling: depth-first, left to right.
//
// Each order can be walked two ways, with the same visits in the same
// order: WalkByStack keeps the branches still to come on a WalkStack and
// reads every record once; it answers false, having visited only a part,
// when the stack cannot grow. WalkByLinks takes no memory: it climbs back
// by the back and up links, reading records a second time. Walk tries the
// first and falls back on the second.
//
// The store is reached through a `Links` type:
//   using Node = ...;  using Record = ...;
//   static constexpr Node kNone;           // the value of a missing link
//   const Record* Find(Node x) const;      // x's record when the walk enters x
//   const Record& At(Node x) const;        // the record of a node already entered
//   void Prefetch(Node x) const;           // a hint that x is entered soon
//   Node Down(const Record&), Across(...), Back(...), Up(...) const;
// A node that Find does not enter ends its branch, as a missing link does.
// A walk makes at most `limit` visits and `limit` steps back, so links
// that cycle cannot keep it from ending.
//
// The visitor is called as visit(x, record, level), level 1 being x0's row
// (kDepthFirst counts levels; kRowsFirst passes 0). It answers true to go
// on below x and along its row, false for neither. Walk calls reset()
// before it walks again by links.
#ifndef RODAROVE_COMPONENT_TREE_WALK_H_
#define RODAROVE_COMPONENT_TREE_WALK_H_

#include <cstddef>
#include <cstdint>

#include "component/walk_stack.h"

namespace rodarove {

enum class WalkOrder { kRowsFirst, kDepthFirst };

// A branch still to walk: its first node, and (kDepthFirst) its level.
template <typename Node>
struct WalkBranch {
  Node node;
  int32_t level;
};

template <WalkOrder kOrder, typename Links, typename Stack, typename Visit>
bool WalkByStack(const Links& links, Stack& stack, typename Links::Node x0, size_t limit,
                 Visit& visit) {
  using Node = typename Links::Node;
  constexpr bool kDepthFirst = kOrder == WalkOrder::kDepthFirst;
  stack.Begin(limit + 1);  // x0, and one branch per visit at most
  if (!stack.Push({x0, 1})) return false;
  size_t visits = 0;
  while (!stack.Empty()) {
    const WalkBranch<Node> branch = stack.Pop();
    Node x = branch.node;
    int32_t level = branch.level;
    while (x != Links::kNone) {
      const typename Links::Record* r = links.Find(x);
      if (r == nullptr) break;
      if (visits++ == limit) return true;
      // Both links first: the next record is the next to come from memory.
      const Node down = links.Down(*r);
      const Node across = links.Across(*r);
      if (!visit(x, *r, kDepthFirst ? level : 0)) break;
      if (down == Links::kNone) {
        x = across;
      } else if (kDepthFirst) {
        if (across != Links::kNone && !stack.Push({across, level})) return false;
        x = down;
        ++level;
      } else {
        // The last row pushed is the next one walked.
        links.Prefetch(down);
        if (!stack.Push({down, 0})) return false;
        x = across;
      }
    }
  }
  return true;
}

template <WalkOrder kOrder, typename Links, typename Visit>
void WalkByLinks(const Links& links, typename Links::Node x0, size_t limit, Visit& visit) {
  using Node = typename Links::Node;
  constexpr bool kDepthFirst = kOrder == WalkOrder::kDepthFirst;
  const typename Links::Record* r = links.Find(x0);
  if (r == nullptr) return;
  Node x = x0;
  int32_t level = 1;
  size_t visits = 0;
  size_t climbs = 0;
  for (;;) {
    if (visits++ == limit) return;
    // The branches of x still to come: 2 both, 1 the second, 0 none.
    int pending = visit(x, *r, kDepthFirst ? level : 0) ? 2 : 0;
    for (;;) {
      if (pending != 0) {
        const bool down = (pending == 2) == kDepthFirst;
        const Node next = down ? links.Down(*r) : links.Across(*r);
        const typename Links::Record* nr = next != Links::kNone ? links.Find(next) : nullptr;
        --pending;
        if (nr == nullptr) continue;
        x = next;
        r = nr;
        if (down) ++level;
        break;
      }
      // The walk from x is complete: back to the node x was reached from,
      // across from its previous sibling or down from its parent.
      if (x == x0 || climbs++ == limit) return;
      const Node back = links.Back(*r);
      if (back != Links::kNone) {
        x = back;
        pending = kDepthFirst ? 0 : 1;
      } else {
        x = links.Up(*r);
        --level;
        pending = kDepthFirst ? 1 : 0;
      }
      r = &links.At(x);
    }
  }
}

// Walks by stack, or by links when the stack cannot have the memory.
template <WalkOrder kOrder, typename Links, typename Stack, typename Visit>
void Walk(const Links& links, Stack& stack, typename Links::Node x0, size_t limit, Visit& visit) {
  if (WalkByStack<kOrder>(links, stack, x0, limit, visit)) return;
  visit.reset();
  WalkByLinks<kOrder>(links, x0, limit, visit);
}

}  // namespace rodarove

#endif  // RODAROVE_COMPONENT_TREE_WALK_H_
