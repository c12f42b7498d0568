// The commands that use files: source runs one, save writes a tree as a
// script that rebuilds it, load runs such a script into a new component.
#include <unordered_map>

#include "host/command_table.h"
#include "host/host_platform.h"

namespace rodarove_host {

namespace {

// Children a saved line appends at most.
constexpr size_t kSavedPerLine = 32;

std::string Nodes(int64_t count) {
  return std::to_string(count) + (count == 1 ? " node" : " nodes");
}

}  // namespace

bool Source(Session& s, const Args& args, std::string* error) {
  return s.RunFile(s.mode(), args[0].text, error);
}

bool Save(Session& s, const Args& args, std::string* error) {
  Component* c = nullptr;
  if (!s.ReadComponent(args[0], &c, error)) return false;
  ITreeComponent* tree = c->object;
  int32_t root = 0;
  int32_t count = tree->GetAllNodes(nullptr, nullptr, 0);
  std::vector<NodePair> pairs(count > 1 ? static_cast<size_t>(count) - 1 : 0);
  if (count > 0) {
    count = tree->GetAllNodes(&root, pairs.data(), static_cast<int32_t>(pairs.size()));
    if (count < 1 || static_cast<size_t>(count) - 1 != pairs.size()) {
      *error = "the tree of " + s.Label(*c) + " changed its count while it was read";
      return false;
    }
  }
  const std::string name = c->name.empty() ? "tree" : c->name;
  std::string text =
      "# The tree of " + s.Label(*c) + " as save wrote it: component " +
      std::to_string(c->componentId) + ", " + Nodes(count) + ".\n" +
      "# 'load FILE as NAME' rebuilds it into a new component NAME; 'source FILE'\n" +
      "# into one named " + name + ".\n" + "create " + std::to_string(c->componentId) + " " +
      std::to_string(c->creatorId) + " as " + name + "\n";
  if (count > 0) {
    text += "set-root " + name + " " + std::to_string(root) + "\n";
    // Each parent's children in walk order, which is their order under it;
    // the parents in the order the walk first names them, which comes after
    // the line that appends the parent itself.
    std::unordered_map<int32_t, size_t> index;
    std::vector<int32_t> parents;
    std::vector<std::vector<int32_t>> children;
    for (const NodePair& pair : pairs) {
      auto it = index.emplace(pair.parent, parents.size()).first;
      if (it->second == parents.size()) {
        parents.push_back(pair.parent);
        children.emplace_back();
      }
      children[it->second].push_back(pair.id);
    }
    for (size_t p = 0; p < parents.size(); ++p) {
      const std::vector<int32_t>& kids = children[p];
      for (size_t at = 0; at < kids.size(); at += kSavedPerLine) {
        text += "append-children " + name + " " + std::to_string(parents[p]);
        for (size_t i = at; i < kids.size() && i < at + kSavedPerLine; ++i) {
          text += " " + std::to_string(kids[i]);
        }
        text += "\n";
      }
    }
  }
  text += "expect " + std::to_string(count) + " all-nodes " + name + " null\n";
  std::string why;
  if (!ReplaceFileContents(args[1].text, text, &why)) {
    *error = "cannot write '" + ShortWord(args[1].text) + "': " + why;
    return false;
  }
  s.Print("saved the tree of " + s.Label(*c) + " to " + args[1].raw + ": " + Nodes(count) +
          (count > 0 ? ", root " + std::to_string(root) : std::string()) + "\n");
  return true;
}

bool Load(Session& s, const Args& args, std::string* error) {
  const std::string& name = args[2].text;
  if (args[1].text != "as") {
    *error = "expected 'load FILE as NAME'";
    return false;
  }
  if (!IsName(name)) {
    *error = "a name begins with a letter and holds letters, digits, _ and -; got '" +
             ShortWord(name) + "'";
    return false;
  }
  if (s.FindByName(name) != nullptr) {
    *error = "a component named '" + name + "' exists already";
    return false;
  }
  if (s.mode().load != nullptr) {
    *error = "load cannot run inside a file being loaded";
    return false;
  }
  LoadTarget target;
  target.name = name;
  Mode loading = s.mode();
  loading.quiet = true;
  loading.load = &target;
  const bool ok = s.RunFile(loading, args[0].text, error);
  Component* c = s.FindByName(name);
  if (!ok) {
    if (c != nullptr) *error += " (" + name + " holds what was built before)";
    return false;
  }
  if (c == nullptr) {
    *error = "'" + ShortWord(args[0].text) + "' makes no component";
    return false;
  }
  int32_t root = 0;
  int32_t count = c->object->GetAllNodes(&root, nullptr, 0);
  s.Print("#" + std::to_string(c->number) + " " + name + ": loaded " + args[0].raw +
          ", component " + std::to_string(c->componentId) + ", " + Nodes(count) +
          (count > 0 ? ", root " + std::to_string(root) : std::string()) + "\n");
  return true;
}

}  // namespace rodarove_host
