#include "graphviz/dot_layout.h"

#include <gtest/gtest.h>

#include "render/dot_file_layout.h"

#include "tests/support/test_support.h"

using testing_support::fixture;
using testing_support::readFile;
using testing_support::runShell;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

std::string describe(const layout::GraphLayout& layout, size_t i, bool node) {
  return (node ? "node " + layout.nodeName(i) : "edge " + std::to_string(i));
}


// The two ways a drawing reads a layout agree: the layout in memory
// reads as the dot program's layout file of the same graph does through
// the DOT front end, node by node and edge by edge.
void expectSameLayout(const layout::MemoryLayout& memory, const std::string& graph) {
  TempDir dir;
  writeFile(dir.file("in.dot"), graph);
  ASSERT_EQ(runShell("dot -Tdot '" + dir.file("in.dot") + "' > '" + dir.file("out.dot") + "'"), 0);
  const auto file = render::DotFileLayout::load(dir.file("out.dot"), dir.path().string());
  ASSERT_TRUE(file);
  EXPECT_TRUE(memory.right() == file->right() && memory.top() == file->top());
  ASSERT_EQ(memory.nodeCount(), file->nodeCount());
  ASSERT_EQ(memory.edgeCount(), file->edgeCount());
  for (size_t i = 0; i < memory.nodeCount(); ++i) {
    // Unquoted names are not looked up by name in a file: found by hand.
    std::optional<size_t> same;
    for (size_t k = 0; k < file->nodeCount() && !same; ++k)
      if (file->nodeName(k) == memory.nodeName(i)) same = k;
    ASSERT_TRUE(same) << describe(memory, i, true);
    EXPECT_TRUE(memory.nodeX(i) == file->nodeX(*same) && memory.nodeY(i) == file->nodeY(*same))
        << describe(memory, i, true);
    for (const auto& [name, value] : memory.nodes()[i].attributes) {
      if (name == "width" || name == "height") continue;  // the file has the laid-out sizes
      EXPECT_TRUE(file->nodeHas(*same, name)) << describe(memory, i, true) << " " << name;
      EXPECT_EQ(file->nodeAttribute(*same, name), value) << describe(memory, i, true) << " " << name;
    }
  }
  // Edges come in the file's order.
  for (size_t i = 0; i < memory.edgeCount(); ++i) {
    EXPECT_EQ(memory.edgeStartY(i), file->edgeStartY(i)) << describe(memory, i, false);
    for (const auto& [name, value] : memory.edges()[i].attributes) {
      EXPECT_TRUE(file->edgeHas(i, name)) << describe(memory, i, false) << " " << name;
      EXPECT_EQ(file->edgeAttribute(i, name), value) << describe(memory, i, false) << " " << name;
    }
  }
}

TEST(DotLayout, ReadsAsTheDotProgramsLayoutFile) {
  const std::string graphs[] = {
      readFile(fixture("dot/flowchart.graph.dot")),
      readFile(fixture("dot/sequence.graph.dot")),
      "digraph g { a -> b -> c; a -> c [dir=back]; subgraph cluster_1 { type=try; d -> e } c -> d }\n",
      "digraph \"m\" {\n  graph [parent=\"run\"];\n  \"b.0\" [CONCEPTID=\"start\", label=\"say \\\"hi\\\" \\\\ \\n\"];\n"
      "  \"b.-1\" [CONCEPTID=\"end\", label=\"end\"];\n  \"b.0\" -> \"b.-1\" [color=\"green\", tip=\"true\"];\n}\n",
  };
  for (const std::string& graph : graphs) {
    std::string error;
    const std::optional<layout::MemoryLayout> result = graphviz::layOut(graph, &error);
    ASSERT_TRUE(result) << error;
    expectSameLayout(*result, graph);
  }
}

// Clusters are laid out in the order the graph names them, whatever was
// laid out before in the process: the same graph gives the same layout in
// a fresh process and in one that has drawn much already.
TEST(DotLayout, SameGraphSameLayoutWhateverCameBefore) {
  std::string graph = "digraph f {\n";
  for (int i = 0; i < 12; ++i) {
    const std::string n = std::to_string(i);
    graph += "  subgraph \"cluster_b." + n + "\" { graph [type=try]; \"b." + n + "\"; \"c." + n + "\"; }\n";
    if (i > 0) graph += "  \"b." + std::to_string(i - 1) + "\" -> \"b." + n + "\";\n";
  }
  graph += "}\n";
  std::string error;
  const std::optional<layout::MemoryLayout> first = graphviz::layOut(graph, &error);
  ASSERT_TRUE(first) << error;
  expectSameLayout(*first, graph);
  for (int round = 0; round < 5; ++round) {
    // Other graphs between, whose names take other room on the heap.
    std::vector<std::string> kept;
    for (int k = 0; k < 50 * (round + 1); ++k) kept.push_back(std::string(16 + k % 200, 'x'));
    ASSERT_TRUE(graphviz::layOut("digraph { subgraph cluster_" + std::to_string(round) + " { x" +
                                     std::to_string(round) + " } y -> z }",
                                 &error));
    const std::optional<layout::MemoryLayout> again = graphviz::layOut(graph, &error);
    ASSERT_TRUE(again);
    for (size_t i = 0; i < first->nodeCount(); ++i)
      EXPECT_TRUE(again->nodeName(i) == first->nodeName(i) && again->nodeX(i) == first->nodeX(i) &&
                  again->nodeY(i) == first->nodeY(i))
          << "round " << round << " node " << first->nodeName(i);
  }
}

TEST(DotLayout, RefusedGraphsGiveGraphvizMessage) {
  std::string error;
  EXPECT_FALSE(graphviz::layOut("digraph { a -> ", &error));
  EXPECT_NE(error.find("syntax error"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);

  error.clear();
  EXPECT_FALSE(graphviz::layOut("", &error));
  EXPECT_FALSE(error.empty());

  // The context survives a refusal: the next graph lays out.
  const std::optional<layout::MemoryLayout> result = graphviz::layOut("digraph { a -> b }", &error);
  ASSERT_TRUE(result) << error;
  EXPECT_EQ(result->nodeCount(), 2u);
  EXPECT_GT(result->nodeY(0), result->nodeY(1));
}

}  // namespace
