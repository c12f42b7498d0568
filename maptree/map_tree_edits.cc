// The edits of MapTreeContainer: insertions, removals, moves and the
// child-list surgery they share.
#include <limits>

#include "maptree/map_tree_container.h"

namespace rodarove {

IComponent* CreateMapTreeContainer() { return CreateComponentObject<MapTreeContainer>(); }

namespace {

// Counts stay below this, so that every result and position fits.
constexpr size_t kMaxNodes = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 1;

}  // namespace

void MapTreeContainer::ReleaseStore() {
  table_.Release();
  hasRoot_ = 0;  // rootId_ keeps its old value
  walkBlocks_.Release();
}

// ------------------------------------------------------- link surgery

// A sibling link that is "none" holds the node's own key, a child link the
// parent's; Splice and Unlink take "none" for a sibling as the parent's key,
// which no sibling can have. Each changes the record before the node (the
// parent's when the node comes first) and the one after it (the parent's
// when it comes last): both are looked up whichever they are, and the link
// to change is chosen by a mask, so that no branch depends on the shape of
// the row, which follows no pattern a predictor could learn.

void MapTreeContainer::Splice(NodeRecord* n, Key k, Key pk, Key prev, Key next) {
  n->parent = pk;
  n->prev = prev == pk ? k : prev;
  n->next = next == pk ? k : next;
  NodeRecord& before = table_.At(prev);
  NodeRecord& after = table_.At(next);
  *(prev == pk ? &before.first : &before.next) = k;
  *(next == pk ? &after.last : &after.prev) = k;
}

void MapTreeContainer::Unlink(NodeRecord* n, Key k) {
  const Key pk = n->parent;
  const Key prev = n->prev;
  const Key next = n->next;
  const Key beforeKey = prev != k ? prev : pk;
  const Key afterKey = next != k ? next : pk;
  NodeRecord& before = table_.At(beforeKey);
  NodeRecord& after = table_.At(afterKey);
  *(prev != k ? &before.next : &before.first) = next != k ? next : beforeKey;
  *(next != k ? &after.prev : &after.last) = prev != k ? prev : afterKey;
  n->prev = k;
  n->next = k;
}

void MapTreeContainer::Link(NodeRecord* n, Key k, NodeRecord* dest, Key d, Place place) {
  switch (place) {
    case Place::kFirstChild:
      Splice(n, k, d, d, dest->first);
      return;
    case Place::kLastChild:
      Splice(n, k, d, dest->last, d);
      return;
    case Place::kBefore:
      Splice(n, k, dest->parent, dest->prev != d ? dest->prev : dest->parent, d);
      return;
    case Place::kAfter:
      Splice(n, k, dest->parent, d, dest->next != d ? dest->next : dest->parent);
      return;
  }
}

int32_t MapTreeContainer::EraseDescendants(Key top) {
  Key n = table_.At(top).first;
  if (n == top) return 0;
  // Post-order: a node is erased once its children are gone; its next
  // sibling and parent are read before its record goes.
  auto leftmostLeaf = [this](Key x) {
    for (Key child; (child = table_.At(x).first) != x;) x = child;
    return x;
  };
  int32_t erased = 0;
  n = leftmostLeaf(n);
  for (;;) {
    NodeRecord* r = &table_.At(n);
    const Key next = r->next;
    const Key parent = r->parent;
    table_.Erase(r);
    ++erased;
    if (next != n) {
      n = leftmostLeaf(next);
    } else if (parent != top) {
      n = parent;  // every child of parent is erased now
    } else {
      break;
    }
  }
  NodeRecord& t = table_.At(top);
  t.first = top;
  t.last = top;
  return erased;
}

bool MapTreeContainer::IsSelfOrAncestor(Key a, Key x) const {
  for (;;) {
    if (x == a) return true;
    const Key parent = table_.At(x).parent;
    if (parent == x) return false;
    x = parent;
  }
}

// -------------------------------------------------------------- slots

int32_t MapTreeContainer::SetRoot(int32_t id) {
  if (hasRoot_ != 0) return 0;
  // Without a root the table is empty.
  if (table_.Insert(table_.Locate(id)) == nullptr) return 0;
  rootId_ = id;
  hasRoot_ = 1;
  return 1;
}

int32_t MapTreeContainer::Clear() {
  ReleaseStore();
  return 1;
}

int32_t MapTreeContainer::InsertNode(int32_t newId, int32_t destId, int32_t parentId,
                                     Place place) {
  const NodeTable::Spot spot = table_.Locate(newId);
  if (spot.found) return 0;
  NodeRecord* dest = table_.Find(table_.KeyOf(destId));
  if (dest == nullptr) return 0;
  // A reference node whose parent has ID parentId also proves that
  // parentId is stored.
  if (BesideReference(place) &&
      (dest->parent == table_.KeyOf(destId) || dest->parent != table_.KeyOf(parentId))) {
    return 0;
  }
  if (table_.Count() >= kMaxNodes) return 0;
  NodeRecord* n = table_.Insert(spot);
  if (n == nullptr) return 0;
  // The insertion may have moved dest's record.
  const Key d = table_.KeyOf(destId);
  Link(n, table_.KeyOf(newId), &table_.At(d), d, place);
  return 1;
}

int32_t MapTreeContainer::AppendChild(int32_t newId, int32_t parentId) {
  return InsertNode(newId, parentId, parentId, Place::kLastChild);
}

int32_t MapTreeContainer::PrependChild(int32_t newId, int32_t parentId) {
  return InsertNode(newId, parentId, parentId, Place::kFirstChild);
}

int32_t MapTreeContainer::InsertAfter(int32_t newId, int32_t parentId, int32_t refId) {
  return InsertNode(newId, refId, parentId, Place::kAfter);
}

int32_t MapTreeContainer::InsertBefore(int32_t newId, int32_t parentId, int32_t refId) {
  return InsertNode(newId, refId, parentId, Place::kBefore);
}

int32_t MapTreeContainer::RemoveNode(int32_t id) {
  const Key k = table_.KeyOf(id);
  NodeRecord* r = table_.Find(k);
  if (r == nullptr) return -1;
  if (r->parent == k) {
    // The root: every stored node hangs below it.
    const int32_t n = static_cast<int32_t>(table_.Count());
    ReleaseStore();
    return n;
  }
  // Erasing records moves others: a node with children is looked up again.
  const int32_t below = r->first != k ? EraseDescendants(k) : 0;
  NodeRecord* n = below != 0 ? &table_.At(k) : r;
  Unlink(n, k);
  table_.Erase(n);
  return below + 1;
}

// The moves refuse, with nothing changed, a node that is not stored or is
// the root, a destination that is not stored (or, for a reference node, is
// the root), and a destination inside the moved node's subtree, the node
// itself included. So no move can make a cycle, and no refused move leaves
// a trace.

int32_t MapTreeContainer::MoveNode(int32_t id, int32_t destId, Place place) {
  const Key k = table_.KeyOf(id);
  NodeRecord* n = table_.Find(k);
  if (n == nullptr || n->parent == k) return 0;
  const Key d = table_.KeyOf(destId);
  NodeRecord* dest = table_.Find(d);
  if (dest == nullptr) return 0;
  if (BesideReference(place) && dest->parent == d) return 0;
  // Only a node with children needs the climb from the destination.
  if (n->first == k ? d == k : IsSelfOrAncestor(k, d)) return 0;
  Unlink(n, k);  // no record moves: n and dest stay good
  Link(n, k, dest, d, place);
  return 1;
}

int32_t MapTreeContainer::MoveToFirstChild(int32_t id, int32_t newParentId) {
  return MoveNode(id, newParentId, Place::kFirstChild);
}

int32_t MapTreeContainer::MoveToLastChild(int32_t id, int32_t newParentId) {
  return MoveNode(id, newParentId, Place::kLastChild);
}

int32_t MapTreeContainer::MoveBefore(int32_t id, int32_t refId) {
  return MoveNode(id, refId, Place::kBefore);
}

int32_t MapTreeContainer::MoveAfter(int32_t id, int32_t refId) {
  return MoveNode(id, refId, Place::kAfter);
}

}  // namespace rodarove
