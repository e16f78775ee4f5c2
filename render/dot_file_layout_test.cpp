// The two forms of a laid-out graph agree: the layout Graphviz leaves in
// memory reads as the dot program's layout file of the same graph does
// through the DOT front end, node by node and edge by edge.
#include "render/dot_file_layout.h"

#include <gtest/gtest.h>

#include "tests/support/dot_text/dot_text_layout.h"
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


void expectSameLayout(const testing_support::MemoryLayout& memory, const std::string& graph) {
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

TEST(DotFileLayout, ReadsAsTheLayoutInMemory) {
  const std::string graphs[] = {
      readFile(fixture("dot/flowchart.graph.dot")),
      readFile(fixture("dot/sequence.graph.dot")),
      "digraph g { a -> b -> c; a -> c [dir=back]; subgraph cluster_1 { type=try; d -> e } c -> d }\n",
      "digraph \"m\" {\n  graph [parent=\"run\"];\n  \"b.0\" [CONCEPTID=\"start\", label=\"say \\\"hi\\\" \\\\ \\n\"];\n"
      "  \"b.-1\" [CONCEPTID=\"end\", label=\"end\"];\n  \"b.0\" -> \"b.-1\" [color=\"green\", tip=\"true\"];\n}\n",
  };
  for (const std::string& graph : graphs) {
    std::string error;
    const std::optional<testing_support::MemoryLayout> result = testing_support::layOutDotText(graph, &error);
    ASSERT_TRUE(result) << error;
    expectSameLayout(*result, graph);
  }
}

}  // namespace
