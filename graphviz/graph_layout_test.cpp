#include "graphviz/graph_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

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

// Labels are sized as Pango sizes them, whether measured anew or answered
// from memory, and the DOT text is the graph laid out: a graph of labelled
// edges and a captioned cluster lays out, time after time, as a Graphviz
// of its own lays out its DOT text.
TEST(DotLayout, RememberedLabelSizesAreThoseGraphvizMeasures) {
  graphviz::Graph graph;
  graph.nodes.resize(5);
  for (graphviz::GraphNode& node : graph.nodes) node.width = 1.4, node.height = 0.4;
  graph.clusters.push_back({std::nullopt, "while (queue.isEmpty() && !stopped)"});
  graph.nodes[1].cluster = graph.nodes[2].cluster = 0;
  for (const auto& [tail, head, label] : std::vector<std::tuple<size_t, size_t, std::string>>{
           {0, 1, "yes"}, {0, 3, "no"}, {1, 2, "catch (IOException e)"}, {2, 4, "yes"}, {3, 4, "no"}}) {
    graphviz::GraphEdge edge;
    edge.tail = tail, edge.head = head, edge.label = label;
    graph.edges.push_back(edge);
  }

  GVC_t* plain = gvContext();
  Agraph_t* read = agmemread(graphviz::graphDot(graph, {}).c_str());
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(gvLayout(plain, read, "dot"), 0);
  const pointf origin = GD_bb(read).LL;
  for (int round = 0; round < 3; ++round) {
    const errors::Result<graphviz::Layout> layout = graphviz::layOutGraph(graph);
    ASSERT_TRUE(layout.ok());
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      Agnode_t* node = agnode(read, const_cast<char*>(("n" + std::to_string(n)).c_str()), 0);
      const graphviz::LayoutBox& box = layout->nodes[n];
      EXPECT_NEAR((box.left + box.right) / 2, (ND_coord(node).x - origin.x) / 72.0, 1e-9) << "node " << n;
      EXPECT_NEAR((box.bottom + box.top) / 2, (ND_coord(node).y - origin.y) / 72.0, 1e-9) << "node " << n;
    }
    for (size_t e = 0; e < graph.edges.size(); ++e) {
      Agnode_t* tail = agnode(read, const_cast<char*>(("n" + std::to_string(graph.edges[e].tail)).c_str()), 0);
      Agnode_t* head = agnode(read, const_cast<char*>(("n" + std::to_string(graph.edges[e].head)).c_str()), 0);
      const textlabel_t* label = ED_label(agedge(read, tail, head, nullptr, 0));
      ASSERT_TRUE(label != nullptr && layout->edges[e].labelCentre);
      EXPECT_NEAR(layout->edges[e].labelCentre->x, (label->pos.x - origin.x) / 72.0, 1e-9) << "edge " << e;
      EXPECT_NEAR(layout->edges[e].labelCentre->y, (label->pos.y - origin.y) / 72.0, 1e-9) << "edge " << e;
    }
  }
  gvFreeLayout(plain, read);
  agclose(read);
  gvFreeContext(plain);
}

// Ranking alone gives the rows of the whole layout, clusters, labelled
// edges and side-by-side comments included; no rank is wider than the
// layout.
TEST(DotLayout, RanksAreTheRowsOfTheLayout) {
  graphviz::Graph graph;
  graph.nodes.resize(10);
  for (size_t n = 0; n < graph.nodes.size(); ++n) graph.nodes[n].width = 0.9 + 0.25 * static_cast<double>(n % 4);
  graph.clusters.push_back({std::nullopt, "switch (kind)"});
  auto edge = [&](size_t tail, size_t head, std::string label) {
    graphviz::GraphEdge made;
    made.tail = tail, made.head = head, made.label = std::move(label);
    graph.edges.push_back(made);
    return graph.edges.size() - 1;
  };
  for (size_t arm = 1; arm <= 6; ++arm) {
    graph.nodes[arm].cluster = 0;
    edge(0, arm, "case " + std::to_string(arm));
    edge(arm, arm == 6 ? 8 : 7, "");
  }
  edge(7, 8, "");
  graph.edges[edge(9, 3, "")].sideBySide = true;  // a comment beside an arm
  graph.sameRank.push_back({9, 3});
  graph.edges[edge(8, 0, "")].back = true;

  const errors::Result<std::vector<int>> ranks = graphviz::rankGraph(graph);
  const errors::Result<graphviz::Layout> layout = graphviz::layOutGraph(graph);
  ASSERT_TRUE(ranks.ok() && layout.ok());
  ASSERT_EQ(ranks->size(), graph.nodes.size());
  std::map<int, double> rankWidth;
  for (size_t a = 0; a < graph.nodes.size(); ++a) {
    rankWidth[(*ranks)[a]] += graph.nodes[a].width;
    for (size_t b = 0; b < graph.nodes.size(); ++b) {
      const double ya = layout->nodes[a].top + layout->nodes[a].bottom, yb = layout->nodes[b].top + layout->nodes[b].bottom;
      EXPECT_EQ((*ranks)[a] == (*ranks)[b], std::abs(ya - yb) < 1e-9) << "nodes " << a << " and " << b;
    }
  }
  for (const auto& [rank, width] : rankWidth) EXPECT_LE(width, layout->bounds.right - layout->bounds.left) << rank;
  EXPECT_GT(rankWidth[(*ranks)[1]], 6.0);  // the arms side by side
}

}  // namespace
