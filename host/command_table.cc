// The commands of the language, what 'help' says about them, and the few
// words printed after a slot's or export's result.
#include "host/command_table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

namespace rodarove_host {

namespace {

// Help lines are wrapped to fit this many columns.
constexpr size_t kHelpWidth = 79;

// What a result means. Rows are tried in order; the first whose class and
// range match gives the words printed after the result (brief; none when
// null) and its line in 'help COMMAND'.
struct Meaning {
  const char* call;
  int32_t componentId;  // 0: both classes
  int64_t low;
  int64_t high;
  const char* label;  // the value as help shows it
  const char* brief;
  const char* help;
};

constexpr int64_t kMin = INT64_MIN;
constexpr int64_t kMax = INT64_MAX;

const Meaning kMeanings[] = {
    {"GetComponentID", 0, kMin, kMax, "N", nullptr, "the class: 114 (map) or 837 (array)"},
    {"GetVersion", 0, kMin, kMax, "1", nullptr, "always 1"},
    {"GetAutoFree", 0, kMin, kMax, "N", nullptr,
     "the value stored by set-auto-free (0 at first); free-map releases C "
     "when it is not 0"},
    {"SetRoot", 0, 1, 1, "1", nullptr, "done: ID is the root"},
    {"SetRoot", 114, 0, 0, "0", "refused", "refused: the tree has a root already"},
    {"SetRoot", 837, 0, 0, "0", "refused",
     "refused: the tree has a root already, or ID is 0, a node already, or "
     "178,956,000 or more (negative IDs count as more)"},
    {"IsLeaf", 0, 1, 1, "1", nullptr, "ID is a node without children"},
    {"IsLeaf", 0, 0, 0, "0", "has children, or not a node", "ID has children, or is not a node"},
    {"Exists", 0, 1, 1, "1", nullptr, "ID is a node"},
    {"Exists", 0, 0, 0, "0", "not a node", "ID is not a node"},
    {"IsChild", 0, 1, 1, "1", nullptr, "ID's parent is PARENT"},
    {"IsChild", 114, 0, 0, "0", "not its child", "ID's parent is not PARENT, or ID is not a node"},
    {"IsChild", 837, 0, 0, "0", "not its child",
     "ID's parent link does not name PARENT (837 reads the link of any ID in "
     "range: a removed node still names its old parent)"},
    {"AppendChild", 0, 1, 1, "1", nullptr, "done"},
    {"AppendChild", 114, 0, 0, "0", "refused",
     "refused: NEW is a node already, or PARENT is not a node"},
    {"AppendChild", 837, 0, 0, "0", "refused",
     "refused: NEW is 0, a node already, PARENT itself, or 178,956,000 or "
     "more; or PARENT is 0 or not below the slot count (it need not be a "
     "node), or, when PARENT has children, is not a node; or NEW would "
     "become its own ancestor (a removed node's children still name it)"},
    {"PrependChild", 0, 1, 1, "1", nullptr, "done"},
    {"PrependChild", 114, 0, 0, "0", "refused",
     "refused: NEW is a node already, or PARENT is not a node"},
    {"PrependChild", 837, 0, 0, "0", "refused",
     "refused: NEW is 0, a node already, PARENT itself, or 178,956,000 or "
     "more; or PARENT is 0 or not below the slot count (it need not be a "
     "node), or, when PARENT has children, is not a node; or NEW would "
     "become its own ancestor (a removed node's children still name it)"},
    {"InsertAfter", 0, 1, 1, "1", nullptr, "done"},
    {"InsertAfter", 0, 0, 0, "0", "refused",
     "refused: NEW is a node already, PARENT is not a node, or REF is not "
     "PARENT's child; 837 also refuses NEW 0, NEW 178,956,000 or more, "
     "and a NEW that would become its own ancestor"},
    {"InsertBefore", 0, 1, 1, "1", nullptr, "done"},
    {"InsertBefore", 0, 0, 0, "0", "refused",
     "refused: NEW is a node already, PARENT is not a node, or REF is not "
     "PARENT's child; 837 also refuses NEW 0, NEW 178,956,000 or more, "
     "and a NEW that would become its own ancestor"},
    {"Clear", 0, kMin, kMax, "1", nullptr, "always 1: the tree is empty and has no root"},
    {"RemoveNode", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"RemoveNode", 114, 1, kMax, "N", "nodes removed",
     "the number of nodes removed: ID and its whole subtree (all nodes for "
     "the root)"},
    {"RemoveNode", 837, 1, 1, "1", nullptr,
     "done: ID alone is removed; its children stay nodes that still name ID "
     "as their parent"},
    {"GetRoot", 0, 1, 1, "1", nullptr, "the root follows"},
    {"GetRoot", 0, 0, 0, "0", "no root", "the tree has no root"},
    {"GetParent", 0, 1, 1, "1", nullptr, "the parent follows"},
    {"GetParent", 114, 0, 0, "0", "no parent", "ID is the root"},
    {"GetParent", 837, 0, 0, "0", "no parent, or not a node",
     "ID has no parent, or is below the slot count but not a node"},
    {"GetParent", 0, -1, -1, "-1", "not a node", "ID is not a node (837: not below the slot count)"},
    {"GetLastChild", 0, 1, 1, "1", nullptr, "the last child follows"},
    {"GetLastChild", 114, 0, 0, "0", "no children", "ID has no children"},
    {"GetLastChild", 837, 0, 0, "0", "no children, or not a node",
     "ID has no children, or is below the slot count but not a node"},
    {"GetLastChild", 0, -1, -1, "-1", "not a node",
     "ID is not a node (837: not below the slot count)"},
    {"GetFirstChild", 0, 1, 1, "1", nullptr, "the first child follows"},
    {"GetFirstChild", 114, 0, 0, "0", "no children", "ID has no children"},
    {"GetFirstChild", 837, 0, 0, "0", "no children, or not a node",
     "ID has no children, or is below the slot count but not a node"},
    {"GetFirstChild", 0, -1, -1, "-1", "not a node",
     "ID is not a node (837: not below the slot count)"},
    {"GetPrevSibling", 0, 1, 1, "1", nullptr, "the previous sibling follows"},
    {"GetPrevSibling", 0, 0, 0, "0", "no previous sibling", "ID is a first child, or the root"},
    {"GetPrevSibling", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetNextSibling", 114, 1, 1, "1", nullptr, "the next sibling follows"},
    {"GetNextSibling", 837, 1, 1, "1", nullptr,
     "the next sibling follows; a removed node still answers from its old link"},
    {"GetNextSibling", 114, 0, 0, "0", "no next sibling", "ID is a last child, or the root"},
    {"GetNextSibling", 837, 0, 0, "0", "no next sibling",
     "ID is a last child or the root, or is not a node (837 never answers -1)"},
    {"GetNextSibling", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetPathFromRoot", 0, 1, kMax, "N", nullptr,
     "the number of nodes from the root down to ID, both included"},
    {"GetPathFromRoot", 0, 0, 0, "0", "no path: a node above was removed",
     "(837) a node above ID was removed, so no path leads down from the root"},
    {"GetPathFromRoot", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetPathToRoot", 0, 1, kMax, "N", nullptr,
     "the number of nodes from ID up to the root (837: up to the first ID "
     "above that is not a node, which is listed last)"},
    {"GetPathToRoot", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetSiblings", 0, 1, kMax, "N", nullptr, "the number of the other children of ID's parent"},
    {"GetSiblings", 0, 0, 0, "0", "no siblings", "ID is an only child, or has no parent"},
    {"GetSiblings", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetLeaves", 0, 1, kMax, "N", nullptr, "the number of leaves below ID, left to right"},
    {"GetLeaves", 0, 0, 0, "0", "a leaf: none below", "ID has no children; it never lists itself"},
    {"GetLeaves", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetAllNodes", 0, 1, kMax, "N", nullptr,
     "the number of nodes the root reaches, root included: the root, then a "
     "(node,parent) pair for each other node"},
    {"GetAllNodes", 0, 0, 0, "0", "no root", "the tree has no root"},
    {"MoveToFirstChild", 0, 1, 1, "1", nullptr, "done"},
    {"MoveToFirstChild", 0, 0, 0, "0", "refused",
     "refused: ID is not a node or is the root, NEWPARENT is not a node or "
     "lies in ID's subtree"},
    {"MoveToLastChild", 0, 1, 1, "1", nullptr, "done"},
    {"MoveToLastChild", 0, 0, 0, "0", "refused",
     "refused: ID is not a node or is the root, NEWPARENT is not a node or "
     "lies in ID's subtree"},
    {"MoveBefore", 0, 1, 1, "1", nullptr, "done"},
    {"MoveBefore", 0, 0, 0, "0", "refused",
     "refused: ID is not a node or is the root, REF is not a node, is the "
     "root, or lies in ID's subtree"},
    {"MoveAfter", 0, 1, 1, "1", nullptr, "done"},
    {"MoveAfter", 0, 0, 0, "0", "refused",
     "refused: ID is not a node or is the root, REF is not a node, is the "
     "root, or lies in ID's subtree"},
    {"GetSiblingsWithSelf", 0, 1, kMax, "N", nullptr,
     "the number of children of ID's parent, ID included; 1 for the root"},
    {"GetSiblingsWithSelf", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetDescendants", 0, 1, kMax, "N", nullptr,
     "the number of nodes below ID, as (node,parent) pairs"},
    {"GetDescendants", 0, 0, 0, "0", "no children", "ID has no children"},
    {"GetDescendants", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetNodesAtDepth", 0, 1, kMax, "N", nullptr,
     "the number of nodes DEPTH levels below ID, left to right (DEPTH 0: ID)"},
    {"GetNodesAtDepth", 0, 0, 0, "0", "none at that depth",
     "no node that deep, or DEPTH is negative"},
    {"GetNodesAtDepth", 0, -1, -1, "-1", "not a node", "ID is not a node"},
    {"GetComponentIDs", 0, kMin, kMax, "N", nullptr,
     "the number of registered classes; their IDs follow"},
    {"SetDLLRegistry", 0, kMin, kMax, "0", nullptr,
     "always 0; the path is stored, or emptied for null or a path of 260 "
     "characters or more"},
    {"PavexDllCanUnloadNow", 0, 1, 1, "1", nullptr, "no component is live: the module may go"},
    {"PavexDllCanUnloadNow", 0, 0, 0, "0", "components are live", "components are live"},
    {"PavexSetDllSafe", 0, 0, 0, "0", "Release does nothing now",
     "the value given: Release does nothing until it is set again"},
    {"PavexSetDllSafe", 0, kMin, kMax, "N", nullptr, "the value given: Release works"},
    {"AppendChildren", 0, kMin, kMax, "N", nullptr,
     "the number of IDs appended; the line says how many were refused"},
    {"Generate", 0, kMin, kMax, "N", nullptr, "the number of nodes appended below the root"},
};

// Appends text to out as lines of at most kHelpWidth columns, the first
// starting with first, the others with the indent of rest.
void Wrap(const std::string& first, const std::string& rest, const std::string& text,
          std::string* out) {
  std::string line = first;
  bool empty = true;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find(' ', i);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(i, end - i);
    i = end + 1;
    if (!empty && line.size() + 1 + word.size() > kHelpWidth) {
      *out += line + "\n";
      line = rest;
      empty = true;
    }
    if (!empty) line += ' ';
    line += word;
    empty = false;
  }
  *out += line + "\n";
}

}  // namespace

const std::vector<Interpreter::Command>& Interpreter::Commands() {
  using I = Interpreter;
  const unsigned L = kListsEntries;
  const unsigned X = kExport;
  static const std::vector<Command> commands = {
      // Components and their slots.
      {"create", "CLASS [CREATOR] [as NAME]", 1, 4, -1, "CreateComponent",
       "make a component: 114 or map, 837 or array",
       "Calls CreateComponent(CLASS, CREATOR). CLASS is 114 (or map) or 837 (or array), "
       "CREATOR any number from 0 to 4294967295 (0 when left out). Later commands name the "
       "component by NAME or by the number the host gives it. When the module makes no "
       "component (null), that is an error naming the classes the module registers; "
       "'expect null create ...' checks for it instead.",
       "> create array 5 as b\n#3 b = CreateComponent(837, 5)\n", 0, &I::Create},
      {"list", "", 0, 0, -1, "", "the components this host holds",
       "Lists the live components this host made, with their class and creator.",
       "> list\n#1 m: component 114, creator 0\n#2 a: component 837, creator 0\n", 0, &I::List},
      {"id", "C", 1, 1, 0, "GetComponentID", "slot 0: C's class", "", "> id a\na.GetComponentID() = 837\n",
       0, &I::ComponentSlot},
      {"version", "C", 1, 1, 1, "GetVersion", "slot 1: always 1", "",
       "> version m\nm.GetVersion() = 1\n", 0, &I::ComponentSlot},
      {"release", "C [FORCE]", 1, 2, 2, "Release", "slot 2: end C's life",
       "Calls Release(FORCE), which ends C's life: there is no reference count. While "
       "dll-safe is 0 (set-dll-safe), Release does nothing and C stays. When the last live "
       "component goes, the module notifies the factory module, if it finds one.",
       "> release m\nm.Release(0)\n", 0, &I::Release},
      {"auto-free", "C", 1, 1, 3, "GetAutoFree", "slot 3: C's auto-free value", "",
       "> auto-free m\nm.GetAutoFree() = 0\n", 0, &I::ComponentSlot},
      {"set-auto-free", "C VALUE", 2, 2, 4, "SetAutoFree", "slot 4: not 0 lets free-map release C",
       "Stores VALUE; free-map releases every component whose value is not 0.",
       "> set-auto-free m 1\nm.SetAutoFree(1)\n", 0, &I::ComponentSlot},
      {"set-root", "C ID", 2, 2, 5, "SetRoot", "slot 5: give an empty tree its root",
       "Makes ID the root of a tree that has none. 837 keeps one 24-byte slot for every ID "
       "up to the largest it was given (ID 1,000,000 takes 24 MB) and refuses IDs of "
       "178,956,000 or more.",
       "> set-root m 7\nm.SetRoot(7) = 0 (refused)\n", 0, &I::NodeSlot},
      {"is-leaf", "C ID", 2, 2, 6, "IsLeaf", "slot 6: is ID a node without children", "",
       "> is-leaf m 4\nm.IsLeaf(4) = 1\n", 0, &I::NodeSlot},
      {"exists", "C ID", 2, 2, 7, "Exists", "slot 7: is ID a node", "",
       "> exists a 9\na.Exists(9) = 0 (not a node)\n", 0, &I::NodeSlot},
      {"is-child", "C ID PARENT", 3, 3, 8, "IsChild", "slot 8: is PARENT ID's parent", "",
       "> is-child m 4 2\nm.IsChild(4, 2) = 1\n", 0, &I::NodeSlot},
      {"append", "C NEW PARENT", 3, 3, 9, "AppendChild", "slot 9: NEW as PARENT's last child",
       "Adds node NEW as the last child of PARENT. In 114 any 32-bit value is an ID; 837 "
       "takes IDs 1 to 178,955,999, growing its slot array to the next multiple of 1000 "
       "above NEW (24 bytes a slot), and takes a PARENT that is below the slot count but not "
       "a node.",
       "> append a 5 3\na.AppendChild(5, 3) = 1\n", 0, &I::NodeSlot},
      {"prepend", "C NEW PARENT", 3, 3, 10, "PrependChild", "slot 10: NEW as PARENT's first child",
       "Adds node NEW as the first child of PARENT. IDs as for append: 837 takes 1 to "
       "178,955,999.",
       "> prepend m 5 1\nm.PrependChild(5, 1) = 1\n", 0, &I::NodeSlot},
      {"insert-after", "C NEW PARENT REF", 4, 4, 11, "InsertAfter",
       "slot 11: NEW right after REF",
       "Adds node NEW under PARENT right after its child REF. 837 takes NEW from 1 to "
       "178,955,999.",
       "> insert-after m 5 1 2\nm.InsertAfter(5, 1, 2) = 1\n", 0, &I::NodeSlot},
      {"insert-before", "C NEW PARENT REF", 4, 4, 12, "InsertBefore",
       "slot 12: NEW right before REF",
       "Adds node NEW under PARENT right before its child REF. 837 takes NEW from 1 to "
       "178,955,999.",
       "> insert-before m 5 2 3\nm.InsertBefore(5, 2, 3) = 0 (refused)\n", 0, &I::NodeSlot},
      {"clear", "C", 1, 1, 13, "Clear", "slot 13: empty the tree",
       "Empties the tree; 837 keeps its slot array at the size it has grown to.",
       "> clear a\na.Clear() = 1\n", 0, &I::NodeSlot},
      {"remove", "C ID", 2, 2, 14, "RemoveNode", "slot 14: 114 with subtree, 837 ID alone",
       "Removes ID. 114 removes its subtree with it; 837 removes the node alone and leaves "
       "its children in place, still naming ID as their parent, so the root no longer "
       "reaches them.",
       "> remove m 2\nm.RemoveNode(2) = 2 (nodes removed)\n> remove a 2\na.RemoveNode(2) = 1\n", 0,
       &I::NodeSlot},
      {"root", "C", 1, 1, 15, "GetRoot", "slot 15: the root", "", "> root m\nm.GetRoot() = 1: 1\n",
       0, &I::GetRootSlot},
      {"parent", "C ID", 2, 2, 16, "GetParent", "slot 16: ID's parent", "",
       "> parent a 4\na.GetParent(4) = 1: 2\n> parent m 1\nm.GetParent(1) = 0 (no parent)\n", 0,
       &I::LinkSlot},
      {"last-child", "C ID", 2, 2, 17, "GetLastChild", "slot 17: ID's last child", "",
       "> last-child m 1\nm.GetLastChild(1) = 1: 3\n", 0, &I::LinkSlot},
      {"first-child", "C ID", 2, 2, 18, "GetFirstChild", "slot 18: ID's first child", "",
       "> first-child a 4\na.GetFirstChild(4) = 0 (no children, or not a node)\n", 0, &I::LinkSlot},
      {"prev-sibling", "C ID", 2, 2, 19, "GetPrevSibling", "slot 19: ID's previous sibling", "",
       "> prev-sibling m 2\nm.GetPrevSibling(2) = 0 (no previous sibling)\n", 0, &I::LinkSlot},
      {"next-sibling", "C ID", 2, 2, 20, "GetNextSibling", "slot 20: ID's next sibling", "",
       "> next-sibling m 2\nm.GetNextSibling(2) = 1: 3\n", 0, &I::LinkSlot},
      {"path-from-root", "C ID [CAP|null]", 2, 3, 21, "GetPathFromRoot",
       "slot 21: the path from the root to ID", "",
       "> path-from-root a 4\na.GetPathFromRoot(4, buffer, 3) = 3: 1 2 4\n", L, &I::ListSlot},
      {"path-to-root", "C ID [CAP|null]", 2, 3, 22, "GetPathToRoot",
       "slot 22: the path from ID to the root", "",
       "> path-to-root m 4 2\nm.GetPathToRoot(4, buffer, 2) = 3 (buffer holds 2): 4 2\n", L,
       &I::ListSlot},
      {"siblings", "C ID [CAP|null]", 2, 3, 23, "GetSiblings", "slot 23: the other children",
       "", "> siblings m 2\nm.GetSiblings(2, buffer, 1) = 1: 3\n", L, &I::ListSlot},
      {"leaves", "C ID [CAP|null]", 2, 3, 24, "GetLeaves", "slot 24: the leaves below ID", "",
       "> leaves a 1 null\na.GetLeaves(1, null, 0) = 2\n", L, &I::ListSlot},
      {"all-nodes", "C [CAP|null]", 1, 2, 25, "GetAllNodes", "slot 25: root, (node,parent) pairs",
       "Lists the root, then a (node,parent) pair for every other node the root reaches: a "
       "node, then its later siblings' walks, then its children's.",
       "> all-nodes m\nm.GetAllNodes(root, buffer, 4) = 4: root 1 (2,1) (3,1) (4,2)\n", L,
       &I::PairSlot},
      {"move-first", "C ID NEWPARENT", 3, 3, 26, "MoveToFirstChild",
       "slot 26: ID as NEWPARENT's first child", "Moves ID with its subtree.",
       "> move-first m 3 2\nm.MoveToFirstChild(3, 2) = 1\n", 0, &I::NodeSlot},
      {"move-last", "C ID NEWPARENT", 3, 3, 27, "MoveToLastChild",
       "slot 27: ID as NEWPARENT's last child", "Moves ID with its subtree.",
       "> move-last a 2 1\na.MoveToLastChild(2, 1) = 1\n", 0, &I::NodeSlot},
      {"move-before", "C ID REF", 3, 3, 28, "MoveBefore", "slot 28: ID right before REF",
       "Moves ID with its subtree under REF's parent, right before REF.",
       "> move-before m 3 2\nm.MoveBefore(3, 2) = 1\n", 0, &I::NodeSlot},
      {"move-after", "C ID REF", 3, 3, 29, "MoveAfter", "slot 29: ID right after REF",
       "Moves ID with its subtree under REF's parent, right after REF.",
       "> move-after m 1 2\nm.MoveAfter(1, 2) = 0 (refused)\n", 0, &I::NodeSlot},
      {"on-final-release", "C", 1, 1, 30, "OnFinalRelease", "slot 30: does nothing",
       "The hook Release runs; it does nothing.", "> on-final-release m\nm.OnFinalRelease()\n", 0,
       &I::NodeSlot},
      {"registry", "C [PATH|null [CAP]]", 1, 3, 31, "GetDllRegistry", "slot 31: the ini path",
       "Copies PATH, or with null the path set-registry stored, into a buffer of CAP bytes "
       "(260 when left out).",
       "> registry m\nm.GetDllRegistry(null, buffer, 260): \"\"\n", 0, &I::Registry},
      {"siblings-with-self", "C ID [CAP|null]", 2, 3, 32, "GetSiblingsWithSelf",
       "slot 32: all children of ID's parent", "",
       "> siblings-with-self a 3\na.GetSiblingsWithSelf(3, buffer, 2) = 2: 2 3\n", L, &I::ListSlot},
      {"descendants", "C ID [CAP|null]", 2, 3, 33, "GetDescendants",
       "slot 33: (node,parent) pairs below ID", "",
       "> descendants m 1 2\nm.GetDescendants(1, buffer, 2) = 3 (buffer holds 2): (2,1) (3,1)\n",
       L, &I::PairSlot},
      {"at-depth", "C DEPTH ID [CAP|null]", 3, 4, 34, "GetNodesAtDepth",
       "slot 34: the nodes DEPTH levels below", "",
       "> at-depth a 1 1\na.GetNodesAtDepth(1, 1, buffer, 2) = 2: 2 3\n", L, &I::ListSlot},
      // The module's exports.
      {"component-ids", "[CAP|null]", 0, 1, -1, "GetComponentIDs", "the classes the module makes",
       "", "> component-ids\nGetComponentIDs(ids, 16) = 2: 114 837\n", L | X, &I::ComponentIds},
      {"set-registry", "PATH|null", 1, 1, -1, "SetDLLRegistry", "the ini file naming the factory",
       "Stores the path of the ini file from which the module finds the factory module.",
       "> set-registry rodarove-host.ini\nSetDLLRegistry(\"rodarove-host.ini\") = 0 (path "
       "stored)\n",
       X, &I::SetRegistry},
      {"set-factory", "PATH|none", 1, 1, -1, "SetFactoryHandle",
       "hand over a factory library",
       "Loads the library at PATH and hands its handle to the module, which then uses it "
       "instead of looking for a factory module; none clears it.",
       "> set-factory none\nSetFactoryHandle(null) = null\n", X, &I::SetFactory},
      {"can-unload", "", 0, 0, -1, "PavexDllCanUnloadNow", "may the module be unloaded", "",
       "> can-unload\nPavexDllCanUnloadNow() = 0 (components are live)\n", X, &I::CanUnload},
      {"free-map", "", 0, 0, -1, "PavexDllFreeMap", "release every auto-free component",
       "Releases every live component whose auto-free value is not 0.",
       "> set-auto-free m 1\nm.SetAutoFree(1)\n> free-map\nPavexDllFreeMap(); releases: m\n", X,
       &I::FreeMap},
      {"set-dll-safe", "VALUE", 1, 1, -1, "PavexSetDllSafe", "0 makes every Release do nothing",
       "", "> set-dll-safe 0\nPavexSetDllSafe(0) = 0 (Release does nothing now)\n", X,
       &I::SetDllSafe},
      // Views.
      {"show", "C [DEPTH]", 1, 2, -1, "", "draw C's tree, DEPTH levels deep",
       "Draws C's tree from its root, through slots 15, 18 and 20. A node whose children are "
       "not drawn ends in '...'; a drawing longer than the list limit (see limit) ends by "
       "saying how many nodes it left out.",
       "> show m 1\ntree of m:\n1\n+-- 2 ...\n`-- 3\n(... marks nodes whose children are not "
       "drawn)\n",
       L, &I::Show},
      {"dot", "C FILE", 2, 2, -1, "", "write C's tree as a Graphviz graph", "",
       "> dot m m.dot\nwrote the tree of m to m.dot\n", 0, &I::Dot},
      // Scripts.
      {"expect", "VALUE COMMAND...", 2, kAnyNumber, -1, "", "run COMMAND; fail unless VALUE",
       "Runs COMMAND and compares its result with VALUE: a number, or null or not-null for "
       "create. When they differ, a script stops with status 1 and names the file and line "
       "('t.txt:7: error: expected 1, got 0 (not a node) from 'exists m 9''); at the prompt "
       "the error is shown and the session goes on.",
       "> expect 0 exists m 9\nm.Exists(9) = 0 (not a node)\n", L, &I::Expect},
      {"expect-list", "ENTRIES COMMAND...", 2, kAnyNumber, -1, "",
       "run COMMAND; fail unless it wrote ENTRIES",
       "Runs COMMAND and compares all the entries it wrote, also those a long line leaves "
       "out, with ENTRIES: one quoted word holding them as the line shows them, such as "
       "\"4 2 1\", \"root 1 (2,1) (3,1)\", or the one ID a lookup wrote.",
       "> expect-list \"4 2 1\" path-to-root m 4\nm.GetPathToRoot(4, buffer, 3) = 3: 4 2 1\n", L,
       &I::ExpectList},
      {"source", "FILE", 1, 1, -1, "", "run the commands of FILE here",
       "Runs the lines of FILE as if typed here; the first error stops FILE and names its "
       "line. Meanwhile ${SCRIPT_DIR} is FILE's directory.",
       "> save a a.txt\nsaved the tree of a to a.txt: 4 nodes, root 1\n> release a\n"
       "a.Release(0)\n> source a.txt\n#3 a = CreateComponent(837, 0)\na.SetRoot(1) = 1\n"
       "a.AppendChild(k, 1) for k = 2 3: 2 done, 0 refused\n"
       "a.AppendChild(k, 2) for k = 4: 1 done, 0 refused\n"
       "a.GetAllNodes(root, null, 0) = 4: root 1\n",
       0, &I::Source},
      {"save", "C FILE", 2, 2, -1, "", "write a script that rebuilds C's tree",
       "Writes a script of this language that rebuilds C's tree exactly as all-nodes reaches "
       "it: the same IDs, every node's children in the same order, then checks the count. "
       "'load FILE as NAME' runs it into a new component NAME, 'source FILE' into one named "
       "as C. Nodes the root does not reach (837 keeps the children of a removed node) are "
       "not saved.",
       "> save m m.txt\nsaved the tree of m to m.txt: 4 nodes, root 1\n", 0, &I::Save},
      {"load", "FILE as NAME", 3, 3, -1, "", "rebuild a saved tree as NAME",
       "Runs a script that save wrote, quietly, making its component under the name NAME, "
       "and says what it built. The file's own checks must hold.",
       "> save m m.txt\nsaved the tree of m to m.txt: 4 nodes, root 1\n> load m.txt as n\n"
       "#3 n: loaded m.txt, component 114, 4 nodes, root 1\n",
       0, &I::Load},
      {"generate", "C COUNT [FANOUT]", 2, 3, -1, "Generate", "build a large tree in an empty C",
       "On an empty tree: SetRoot(1), then AppendChild(k, (k-2)/FANOUT+1) for k = 2 to "
       "COUNT; FANOUT 2 (the default) makes a complete binary tree. COUNT is at most "
       "50,000,000; 837 takes 24 bytes a node. Ctrl-C stops it between calls and keeps "
       "what was built.",
       "> create array as b\n#3 b = CreateComponent(837, 0)\n> generate b 7\n"
       "b.SetRoot(1) = 1; AppendChild(k, (k-2)/2+1) for k = 2..7: 6 done, 0 refused\n",
       0, &I::Generate},
      {"append-children", "C PARENT ID...", 3, kAnyNumber, -1, "AppendChildren",
       "append each ID under PARENT, in order",
       "Calls AppendChild(ID, PARENT) for each ID in turn; save writes these lines.",
       "> append-children m 3 5 6\nm.AppendChild(k, 3) for k = 5 6: 2 done, 0 refused\n", L,
       &I::AppendChildren},
      {"time", "[N] COMMAND...", 1, kAnyNumber, -1, "", "run COMMAND N times; show the time",
       "Runs COMMAND N times (once when N is left out) and prints the time in all and per "
       "run; only the first run's output is shown. Ctrl-C stops it between runs. time "
       "cannot run quit.",
       "> time 1000 exists m 4\nm.Exists(4) = 1\ntime: 1000 runs in 0.052 ms: 0.052 us a run\n", L,
       &I::Time},
      {"limit", "[N|all]", 0, 1, -1, "", "how many entries a list shows",
       "Sets how many entries a list shows before '... and N more' (64 at first); all shows "
       "every entry. --all added to one command shows all of its entries.",
       "> limit 2\nlists show at most 2 entries\n> path-to-root m 4\nm.GetPathToRoot(4, buffer, "
       "3) = 3: 4 2 ... and 1 more (--all shows them)\n",
       0, &I::Limit},
      {"echo", "TEXT...", 0, kAnyNumber, -1, "", "print the rest of the line", "",
       "> echo hello\nhello\n", 0, &I::Echo},
      {"help", "[COMMAND]", 0, 1, -1, "", "this list, or one command in full", "", "", 0,
       &I::Help},
      {"quit", "", 0, 0, -1, "", "end the session (also: exit, Ctrl-D)", "", "", 0, &I::Quit},
      {"exit", "", 0, 0, -1, "", "", "", "", 0, &I::Quit},
  };
  return commands;
}

const Interpreter::Command* Interpreter::FindCommand(const std::string& name) {
  static const std::unordered_map<std::string, const Command*> byName = [] {
    std::unordered_map<std::string, const Command*> map;
    for (const Command& c : Commands()) map.emplace(c.name, &c);
    return map;
  }();
  auto it = byName.find(name);
  return it != byName.end() ? it->second : nullptr;
}

std::string Interpreter::BriefMeaning(const std::string& call, int32_t componentId,
                                      int64_t value) {
  for (const Meaning& m : kMeanings) {
    if (call != m.call || (m.componentId != 0 && m.componentId != componentId)) continue;
    if (value < m.low || value > m.high) continue;
    return m.brief != nullptr ? m.brief : "";
  }
  return "";
}

std::string Interpreter::HelpText() {
  std::string out =
      "Commands (C is a component's name or number; 'help COMMAND' gives the slot,\n"
      "the arguments, what each result means, and an example):\n";
  static const struct {
    const char* first;
    const char* heading;
  } kSections[] = {{"create", "Components and their slots"},
                   {"component-ids", "The module's exports"},
                   {"show", "Views"},
                   {"expect", "Scripts"}};
  for (const Command& c : Commands()) {
    if (*c.summary == '\0') continue;
    for (const auto& section : kSections) {
      if (std::strcmp(section.first, c.name) == 0) out += std::string(section.heading) + ":\n";
    }
    std::string left = "  " + c.Usage();
    if (left.size() < 36) {
      left.resize(36, ' ');
    } else {
      left += "  ";
    }
    out += left + c.summary + "\n";
  }
  out +=
      "IDs are 32-bit integers, decimal or 0x hexadecimal; 837 takes IDs 1 to\n"
      "178,955,999. CAP is a buffer's capacity; null passes no buffer; without CAP\n"
      "the host counts first and passes a buffer that fits. Lists show their first\n"
      "64 entries: add --all to a command, or see 'limit'.\n"
      "Words: \"...\" quotes a word with blanks; # starts a comment; ${EXE_DIR},\n"
      "${MODULE_DIR} and ${SCRIPT_DIR} stand for those directories, ${LIB_PREFIX}\n"
      "and ${LIB_SUFFIX} for the parts of a library's file name around its name.\n"
      "At a terminal, arrows edit and recall lines, kept between sessions; Ctrl-C\n"
      "drops the line being typed, or stops generate, time or source between calls.\n";
  return out;
}

bool Interpreter::CommandHelp(const std::string& name, std::string* text) {
  const Command* c = FindCommand(name);
  if (c == nullptr) return false;
  if (c->run == &Interpreter::Quit) c = FindCommand("quit");
  std::string out;
  std::string head = c->Usage();
  if (c->slot >= 0) {
    head += "    slot " + std::to_string(c->slot) + ", " + c->call;
  } else if ((c->flags & kExport) != 0) {
    head += "    export " + std::string(c->call);
  }
  out += head + "\n";
  std::string about = *c->details ? c->details : c->summary;
  if (!*c->details && about.compare(0, 5, "slot ") == 0) {
    // "slot 19: ID's previous sibling" says the slot twice with the head.
    about = about.substr(about.find(": ") + 2);
    about[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(about[0])));
    about += ".";
  }
  Wrap("  ", "  ", about, &out);
  bool any = false;
  for (const Meaning& m : kMeanings) {
    if (std::strcmp(m.call, c->call) != 0) continue;
    if (!any) out += "results:\n";
    any = true;
    std::string label = std::string("  ") + m.label;
    if (m.componentId != 0) label += " (" + std::to_string(m.componentId) + ")";
    label.resize(std::max<size_t>(label.size() + 2, 12), ' ');
    Wrap(label, std::string(12, ' '), m.help, &out);
  }
  if (*c->example) {
    // Every example runs where #1 m (114) and #2 a (837) hold the same tree.
    const std::string example = c->example;
    out += "example (m: class 114, a: class 837; 1 has children 2 and 3, 2 has 4):\n";
    size_t at = 0;
    while (at < example.size()) {
      size_t end = example.find('\n', at);
      std::string line = example.substr(at, end - at);
      at = end + 1;
      out += line.compare(0, 2, "> ") == 0 ? "  rodarove> " + line.substr(2) + "\n"
                                           : "  " + line + "\n";
    }
  }
  *text = out;
  return true;
}

bool Interpreter::Help(const Args& args, std::string* error) {
  if (args.empty()) {
    Print(HelpText());
    return true;
  }
  std::string text;
  if (!CommandHelp(args[0].text, &text)) {
    *error = "no command '" + ShortWord(args[0].text) + "' (try 'help')";
    return false;
  }
  Print(text);
  return true;
}

}  // namespace rodarove_host
