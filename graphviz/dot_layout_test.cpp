#include "graphviz/dot_layout.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using testing_support::fixture;
using testing_support::readFile;
using testing_support::runShell;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

// What the dot program writes for the same graph.
std::string dotProgramOutput(const std::string& graph) {
  TempDir dir;
  writeFile(dir.file("in.dot"), graph);
  const int status = runShell("dot -Tdot '" + dir.file("in.dot") + "' > '" + dir.file("out.dot") + "'");
  EXPECT_EQ(status, 0);
  return readFile(dir.file("out.dot"));
}

TEST(DotLayout, WritesWhatTheDotProgramWrites) {
  const std::string graphs[] = {
      readFile(fixture("dot/flowchart.graph.dot")),
      readFile(fixture("dot/sequence.graph.dot")),
      "digraph g { a -> b -> c; a -> c [dir=back]; subgraph cluster_1 { type=try; d -> e } c -> d }\n",
      "digraph \"m\" {\n  graph [parent=\"run\"];\n  \"b.0\" [CONCEPTID=\"start\", label=\"run\"];\n"
      "  \"b.-1\" [CONCEPTID=\"end\", label=\"end\"];\n  \"b.0\" -> \"b.-1\" [color=\"green\", tip=\"true\"];\n}\n",
  };
  for (const std::string& graph : graphs) {
    const graphviz::LayoutResult result = graphviz::layOut(graph);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.text, dotProgramOutput(graph));
  }
}

// Clusters are laid out and written in the order the graph names them,
// whatever was laid out before in the process: the same graph gives the
// same bytes in a fresh process and in one that has drawn much already.
TEST(DotLayout, SameGraphSameLayoutWhateverCameBefore) {
  std::string graph = "digraph f {\n";
  for (int i = 0; i < 12; ++i) {
    const std::string n = std::to_string(i);
    graph += "  subgraph \"cluster_b." + n + "\" { graph [type=try]; \"b." + n + "\"; \"c." + n + "\"; }\n";
    if (i > 0) graph += "  \"b." + std::to_string(i - 1) + "\" -> \"b." + n + "\";\n";
  }
  graph += "}\n";
  const graphviz::LayoutResult first = graphviz::layOut(graph);
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_EQ(first.text, dotProgramOutput(graph));
  for (int round = 0; round < 5; ++round) {
    // Other graphs between, whose names take other room on the heap.
    std::vector<std::string> kept;
    for (int k = 0; k < 50 * (round + 1); ++k) kept.push_back(std::string(16 + k % 200, 'x'));
    ASSERT_TRUE(graphviz::layOut("digraph { subgraph cluster_" + std::to_string(round) + " { x" +
                                 std::to_string(round) + " } y -> z }")
                    .ok);
    EXPECT_EQ(graphviz::layOut(graph).text, first.text) << "round " << round;
  }
}

TEST(DotLayout, RefusedGraphsGiveGraphvizMessage) {
  graphviz::LayoutResult result = graphviz::layOut("digraph { a -> ");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("syntax error"), std::string::npos) << result.error;
  EXPECT_EQ(result.error.find('\n'), std::string::npos);

  result = graphviz::layOut("");
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.empty());

  // The context survives a refusal: the next graph lays out.
  result = graphviz::layOut("digraph { a -> b }");
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_NE(result.text.find("pos=\""), std::string::npos);
}

}  // namespace
