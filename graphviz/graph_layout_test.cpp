#include "graphviz/graph_layout.h"

#include <gtest/gtest.h>


#include "tests/support/dot_text/dot_text_layout.h"
#include "tests/support/test_support.h"


namespace {

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
  const std::optional<testing_support::MemoryLayout> first = testing_support::layOutDotText(graph, &error);
  ASSERT_TRUE(first) << error;
  for (int round = 0; round < 5; ++round) {
    // Other graphs between, whose names take other room on the heap.
    std::vector<std::string> kept;
    for (int k = 0; k < 50 * (round + 1); ++k) kept.push_back(std::string(16 + k % 200, 'x'));
    ASSERT_TRUE(testing_support::layOutDotText("digraph { subgraph cluster_" + std::to_string(round) + " { x" +
                                     std::to_string(round) + " } y -> z }",
                                 &error));
    const std::optional<testing_support::MemoryLayout> again = testing_support::layOutDotText(graph, &error);
    ASSERT_TRUE(again);
    for (size_t i = 0; i < first->nodeCount(); ++i)
      EXPECT_TRUE(again->nodeName(i) == first->nodeName(i) && again->nodeX(i) == first->nodeX(i) &&
                  again->nodeY(i) == first->nodeY(i))
          << "round " << round << " node " << first->nodeName(i);
  }
}

TEST(DotLayout, RefusedGraphsGiveGraphvizMessage) {
  std::string error;
  EXPECT_FALSE(testing_support::layOutDotText("digraph { a -> ", &error));
  EXPECT_NE(error.find("syntax error"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);

  error.clear();
  EXPECT_FALSE(testing_support::layOutDotText("", &error));
  EXPECT_FALSE(error.empty());

  // The context survives a refusal: the next graph lays out.
  const std::optional<testing_support::MemoryLayout> result = testing_support::layOutDotText("digraph { a -> b }", &error);
  ASSERT_TRUE(result) << error;
  EXPECT_EQ(result->nodeCount(), 2u);
  EXPECT_GT(result->nodeY(0), result->nodeY(1));
}

}  // namespace
