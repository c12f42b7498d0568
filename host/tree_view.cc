#include "host/tree_view.h"

#include <unordered_set>
#include <vector>

namespace rodarove_host {

namespace {

constexpr size_t kMaxIndent = 32;

struct Level {
  int32_t node;
  bool hasNext;  // node has a next sibling: its column keeps a bar
};

// Calls visit(node, levels, repeated, hidden) for every node in preorder,
// the root with an empty stack of levels above it; hidden says the node has
// children below maxDepth. The walk keeps its own stack, so a deep chain
// costs no native stack.
template <typename Visit>
void Walk(ITreeContainer* tree, int64_t maxDepth, Visit visit) {
  int32_t root = 0;
  if (tree->GetRoot(&root) != 1) return;
  std::unordered_set<int32_t> seen;
  seen.insert(root);
  std::vector<Level> levels;
  int32_t child = 0;
  const bool rootHasChild = tree->GetFirstChild(root, &child) == 1;
  visit(root, levels, false, rootHasChild && maxDepth == 0);
  if (rootHasChild && maxDepth != 0) {
    int32_t next = 0;
    levels.push_back({child, tree->GetNextSibling(child, &next) == 1});
  }
  while (!levels.empty()) {
    Level& here = levels.back();
    bool repeated = !seen.insert(here.node).second;
    if (repeated) here.hasNext = false;  // stop this sibling chain
    const bool deeper = maxDepth < 0 || static_cast<int64_t>(levels.size()) < maxDepth;
    const bool hasChild = !repeated && tree->GetFirstChild(here.node, &child) == 1;
    visit(here.node, levels, repeated, hasChild && !deeper);
    int32_t next = 0;
    if (hasChild && deeper) {
      levels.push_back({child, tree->GetNextSibling(child, &next) == 1});
      continue;
    }
    // Go on with the next sibling of the deepest level that has one.
    while (!levels.empty()) {
      Level& last = levels.back();
      if (last.hasNext && tree->GetNextSibling(last.node, &next) == 1) {
        int32_t after = 0;
        last.node = next;
        last.hasNext = tree->GetNextSibling(next, &after) == 1;
        break;
      }
      levels.pop_back();
    }
  }
}

std::string Quoted(int32_t id) { return "\"" + std::to_string(id) + "\""; }

}  // namespace

Drawing DrawTree(ITreeContainer* tree, int64_t maxDepth, int64_t maxLines) {
  Drawing drawing;
  std::string& out = drawing.text;
  int64_t lines = 0;
  Walk(tree, maxDepth,
       [&](int32_t node, const std::vector<Level>& levels, bool repeated, bool hidden) {
         if (maxLines >= 0 && lines >= maxLines) {
           ++drawing.notDrawn;
           return;
         }
         ++lines;
         // Deep lines keep only their last kMaxIndent columns, so that the
         // drawing grows with the number of nodes, not with depth squared.
         size_t from = 0;
         if (levels.size() > kMaxIndent) {
           from = levels.size() - kMaxIndent;
           out += "[depth " + std::to_string(levels.size()) + "] ";
         }
         for (size_t i = from; i + 1 < levels.size(); ++i) {
           out += levels[i].hasNext ? "|   " : "    ";
         }
         if (!levels.empty()) out += levels.back().hasNext ? "+-- " : "`-- ";
         out += std::to_string(node);
         if (repeated) out += " (seen before; not followed)";
         if (hidden) {
           out += " ...";
           drawing.depthCut = true;
         }
         out += '\n';
       });
  if (lines == 0 && drawing.notDrawn == 0) out = "(no root)\n";
  return drawing;
}

std::string DotGraph(ITreeContainer* tree, const std::string& name) {
  std::string out = "digraph \"";
  for (char c : name) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += "\" {\n  node [shape=circle];\n";
  int32_t root = 0;
  tree->GetRoot(&root);
  Walk(tree, -1, [&](int32_t node, const std::vector<Level>& levels, bool repeated, bool) {
    if (levels.empty()) {
      out += "  " + Quoted(node) + ";\n";
      return;
    }
    int32_t parent = levels.size() >= 2 ? levels[levels.size() - 2].node : root;
    out += "  " + Quoted(parent) + " -> " + Quoted(node);
    if (repeated) out += " [style=dashed]";
    out += ";\n";
  });
  out += "}\n";
  return out;
}

}  // namespace rodarove_host
