// Drawings of a component's tree, made only through its slots: the root
// (slot 15), then first child and next sibling (slots 18 and 20) from it.
#ifndef RODAROVE_HOST_TREE_VIEW_H_
#define RODAROVE_HOST_TREE_VIEW_H_

#include <cstdint>
#include <string>

#include "rodarove/tree_container.h"

namespace rodarove_host {

struct Drawing {
  std::string text;
  int64_t notDrawn = 0;   // nodes the walk reached past the line limit
  bool depthCut = false;  // some drawn node's children lie below the depth drawn
};

// An indented text tree, one node a line, from the root down to maxDepth
// levels below it (negative: no limit), in at most maxLines lines
// (negative: no limit). A node whose children are below maxDepth ends in
// " ...". A node met a second time is marked and not followed again, so
// damaged links cannot make the walk endless. Lines deeper than 32 levels
// start with "[depth N] " and show only the last 32 columns.
Drawing DrawTree(ITreeContainer* tree, int64_t maxDepth, int64_t maxLines);
inline std::string DrawTree(ITreeContainer* tree, int64_t maxDepth) {
  return DrawTree(tree, maxDepth, -1).text;
}

// The same walk as a Graphviz digraph named name.
std::string DotGraph(ITreeContainer* tree, const std::string& name);

}  // namespace rodarove_host

#endif  // RODAROVE_HOST_TREE_VIEW_H_
