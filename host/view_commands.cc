// The commands that show what the host holds: list, show, dot.
#include <fstream>

#include "host/command_table.h"
#include "host/interpreter.h"
#include "host/tree_view.h"

namespace rodarove_host {

bool Interpreter::List(const Args&, std::string*) {
  if (components_.empty()) Print("(no components)\n");
  for (const auto& entry : components_) {
    const Component& c = entry.second;
    Print("#" + std::to_string(c.number) + (c.name.empty() ? "" : " " + c.name) +
          ": component " + std::to_string(c.componentId) + ", creator " +
          std::to_string(c.creatorId) + "\n");
  }
  return true;
}

bool Interpreter::Show(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  int32_t depth = -1;
  if (args.size() > 1) {
    if (!ReadInt32(args[1], "DEPTH", &depth, error)) return false;
    if (depth < 0) {
      *error = "DEPTH must not be negative";
      return false;
    }
  }
  Drawing drawing = DrawTree(c->object, depth, showAll_ ? -1 : limit_);
  Print("tree of " + Label(*c) + ":\n" + drawing.text);
  if (drawing.notDrawn > 0) {
    Print("... and " + std::to_string(drawing.notDrawn) + " more nodes (--all draws them)\n");
  }
  if (drawing.depthCut) Print("(... marks nodes whose children are not drawn)\n");
  return true;
}

bool Interpreter::Dot(const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!ReadComponent(args[0], &c, error)) return false;
  std::string graph = DotGraph(c->object, Label(*c));
  std::ofstream file(args[1].text, std::ios::binary);
  if (!file || !file.write(graph.data(), static_cast<std::streamsize>(graph.size())) ||
      !(file.close(), file)) {
    *error = "cannot write '" + ShortWord(args[1].text) + "'";
    return false;
  }
  Print("wrote the tree of " + Label(*c) + " to " + args[1].raw + "\n");
  return true;
}

}  // namespace rodarove_host
