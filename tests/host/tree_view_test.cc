// The host's tree drawings against a drawing made from a plain model of the
// same tree, on trees built in the real module.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/tree_view.h"
#include "tests/support/module_loader.h"

namespace rodarove_test {
namespace {

class TreeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = LoadModule(&exports_);
    ASSERT_NE(library_, nullptr);
  }
  void TearDown() override {
    if (library_ != nullptr) UnloadLibrary(library_);
  }
  ITreeContainer* Create(int32_t componentId) {
    return static_cast<ITreeContainer*>(exports_.CreateComponent(componentId, 0));
  }
  ModuleExports exports_;
  void* library_ = nullptr;
};

// Children lists by node, nodes 1..n, root 1.
using Model = std::vector<std::vector<int32_t>>;

// The drawing's lines: a node whose children lie below maxDepth ends in
// " ...".
std::vector<std::string> DrawModel(const Model& model, int64_t maxDepth) {
  auto hidden = [&](int32_t node, size_t depth) {
    return maxDepth >= 0 && static_cast<int64_t>(depth) >= maxDepth &&
           !model[static_cast<size_t>(node)].empty();
  };
  std::vector<std::string> lines = {hidden(1, 0) ? "1 ..." : "1"};
  std::vector<bool> more;  // per level above: that ancestor has a later sibling
  std::function<void(int32_t)> draw = [&](int32_t node) {
    if (maxDepth >= 0 && static_cast<int64_t>(more.size()) >= maxDepth) return;
    const std::vector<int32_t>& kids = model[static_cast<size_t>(node)];
    for (size_t i = 0; i < kids.size(); ++i) {
      bool last = i + 1 == kids.size();
      more.push_back(!last);
      size_t depth = more.size();
      size_t from = depth > 32 ? depth - 32 : 0;
      std::string line;
      if (depth > 32) line += "[depth " + std::to_string(depth) + "] ";
      for (size_t k = from; k + 1 < depth; ++k) line += more[k] ? "|   " : "    ";
      line += (last ? "`-- " : "+-- ") + std::to_string(kids[i]);
      if (hidden(kids[i], depth)) line += " ...";
      lines.push_back(line);
      draw(kids[i]);
      more.pop_back();
    }
  };
  draw(1);
  return lines;
}

std::string Text(const std::vector<std::string>& lines, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < lines.size(); ++i) out += lines[i] + "\n";
  return out;
}

std::string DotModel(const Model& model) {
  std::string out = "digraph \"t\" {\n  node [shape=circle];\n  \"1\";\n";
  // The same order as the drawing: preorder.
  std::function<void(int32_t)> walk = [&](int32_t node) {
    for (int32_t kid : model[static_cast<size_t>(node)]) {
      out += "  \"" + std::to_string(node) + "\" -> \"" + std::to_string(kid) + "\";\n";
      walk(kid);
    }
  };
  walk(1);
  return out + "}\n";
}

TEST_F(TreeViewTest, RandomTreesDrawAsTheirModel) {
  unsigned seed = std::random_device{}();
  if (const char* s = std::getenv("RODAROVE_SEED")) seed = static_cast<unsigned>(std::strtoul(s, nullptr, 10));
  int steps = 2000;
  if (const char* s = std::getenv("RODAROVE_MODEL_STEPS")) steps = std::atoi(s);
  std::printf("RODAROVE_SEED=%u RODAROVE_MODEL_STEPS=%d\n", seed, steps);
  std::mt19937 rng(seed);
  for (int32_t componentId : {114, 837}) {
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE("component " + std::to_string(componentId) + " round " +
                   std::to_string(round) + " seed " + std::to_string(seed));
      ITreeContainer* tree = Create(componentId);
      ASSERT_NE(tree, nullptr);
      Model model(2);
      ASSERT_EQ(tree->SetRoot(1), 1);
      // Shallow and bushy, or deep and thin.
      const int32_t spread = round % 2 == 0 ? 0 : 3;
      for (int32_t id = 2; id <= steps / 4 + 2; ++id) {
        int32_t parent = spread == 0 ? static_cast<int32_t>(rng() % (id - 1)) + 1
                                     : std::max<int32_t>(1, id - 1 - static_cast<int32_t>(rng() % spread));
        model.emplace_back();
        std::vector<int32_t>& kids = model[static_cast<size_t>(parent)];
        if (rng() % 2 == 0) {
          ASSERT_EQ(tree->AppendChild(id, parent), 1);
          kids.push_back(id);
        } else {
          ASSERT_EQ(tree->PrependChild(id, parent), 1);
          kids.insert(kids.begin(), id);
        }
      }
      std::vector<std::string> whole = DrawModel(model, -1);
      EXPECT_EQ(rodarove_host::DrawTree(tree, -1), Text(whole, whole.size()));
      int64_t depth = static_cast<int64_t>(rng() % 4);
      std::vector<std::string> cut = DrawModel(model, depth);
      rodarove_host::Drawing drawing = rodarove_host::DrawTree(tree, depth, -1);
      EXPECT_EQ(drawing.text, Text(cut, cut.size())) << depth;
      EXPECT_EQ(drawing.depthCut, cut.size() < whole.size()) << depth;
      EXPECT_EQ(drawing.notDrawn, 0);
      // A line limit keeps the first lines and counts the nodes left out.
      size_t lines = rng() % (cut.size() + 2);
      drawing = rodarove_host::DrawTree(tree, depth, static_cast<int64_t>(lines));
      EXPECT_EQ(drawing.text, Text(cut, lines)) << depth << " " << lines;
      EXPECT_EQ(drawing.notDrawn, static_cast<int64_t>(cut.size() - std::min(lines, cut.size())));
      EXPECT_EQ(rodarove_host::DotGraph(tree, "t"), DotModel(model));
      tree->Release(0);
    }
  }
}

TEST_F(TreeViewTest, EmptyTreeAndDeepChain) {
  ITreeContainer* tree = Create(837);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(rodarove_host::DrawTree(tree, -1), "(no root)\n");
  EXPECT_EQ(rodarove_host::DotGraph(tree, "a\"b"),
            "digraph \"a\\\"b\" {\n  node [shape=circle];\n}\n");
  // A chain far deeper than a recursive walk could go on the native stack.
  const int32_t n = 300000;
  ASSERT_EQ(tree->SetRoot(1), 1);
  for (int32_t id = 2; id <= n; ++id) ASSERT_EQ(tree->AppendChild(id, id - 1), 1);
  std::string drawn = rodarove_host::DrawTree(tree, -1);
  size_t lines = 0;
  for (char c : drawn) lines += c == '\n';
  EXPECT_EQ(lines, static_cast<size_t>(n));
  EXPECT_EQ(rodarove_host::DrawTree(tree, 2), "1\n`-- 2\n    `-- 3 ...\n");
  size_t at = drawn.find("[depth 33] ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(drawn.substr(at, drawn.find('\n', at) - at),
            "[depth 33] " + std::string(31 * 4, ' ') + "`-- 34");
  EXPECT_EQ(rodarove_host::DrawTree(tree, 0), "1 ...\n");
  tree->Release(0);
}

}  // namespace
}  // namespace rodarove_test
