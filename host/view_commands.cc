// The commands that show what the host holds: list, show, dot, and how
// much of a list they show.
#include "host/command_table.h"
#include "host/host_platform.h"
#include "host/tree_view.h"

namespace rodarove_host {

bool List(Session& s, const Args&, std::string*) {
  if (s.components().empty()) s.Print("(no components)\n");
  for (const auto& entry : s.components()) {
    const Component& c = entry.second;
    s.Print("#" + std::to_string(c.number) + (c.name.empty() ? "" : " " + c.name) + ": component " +
            std::to_string(c.componentId) + ", creator " + std::to_string(c.creatorId) + "\n");
  }
  return true;
}

bool Show(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  int32_t depth = -1;
  if (args.size() > 1) {
    if (!s.ReadInt32(args[1], "DEPTH", &depth, error)) return false;
    if (depth < 0) {
      *error = "DEPTH must not be negative";
      return false;
    }
  }
  Drawing drawing = DrawTree(c->object, depth, s.mode().showAll ? -1 : s.limit());
  s.Print("tree of " + s.Label(*c) + ":\n" + drawing.text);
  if (drawing.notDrawn > 0) {
    s.Print("... and " + std::to_string(drawing.notDrawn) +
            (drawing.notDrawn == 1 ? " more node" : " more nodes") + " (--all draws them)\n");
  }
  if (drawing.depthCut) s.Print("(... marks nodes whose children are not drawn)\n");
  return true;
}

bool Dot(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  std::string graph = DotGraph(c->object, s.Label(*c));
  std::string why;
  if (!ReplaceFileContents(args[1].text, graph, &why)) {
    *error = "cannot write '" + ShortWord(args[1].text) + "': " + why;
    return false;
  }
  s.Print("wrote the tree of " + s.Label(*c) + " to " + args[1].raw + "\n");
  return true;
}

bool Limit(Session& s, const Args& args, std::string* error) {
  if (!args.empty()) {
    int64_t n = 0;
    if (args[0].text == "all" && !args[0].quoted) {
      s.set_limit(-1);
    } else if (ParseInteger(args[0].text, &n) && n >= 0 && n <= kMaxCapacity) {
      s.set_limit(n);
    } else {
      *error = "expected a number from 0 to " + std::to_string(kMaxCapacity) +
               ", or all, for N; got '" + ShortWord(args[0].text) + "'";
      return false;
    }
  }
  const int64_t limit = s.limit();
  s.Print(limit < 0 ? std::string("lists show every entry\n")
                    : "lists show at most " + std::to_string(limit) +
                          (limit == 1 ? " entry\n" : " entries\n"));
  return true;
}

}  // namespace rodarove_host
