// A method's flowchart drawn whole: on pages that fit, every node of its
// graph on a box, every arrow naming the edges it stands for, each page
// told as a view leaving out some nodes tells it.
#include "flowdraw/drawing.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "drawing/template_file.h"
#include "tests/support/flow_graphs.h"
#include "tests/support/test_support.h"

namespace flowdraw {
namespace {

Masters shippedMasters() {
  errors::Result<drawing::TemplateContent> content =
      drawing::loadTemplateFile((testing_support::sourceDir() / "templates" / "flowdraw").string());
  EXPECT_TRUE(content) << content.problem().message;
  Masters masters;
  if (content)
    for (auto& master : content->masters) masters.push_back(std::move(master));
  return masters;
}

// The nodes drawn as boxes, by id, with the times each is drawn, and the
// edge ids the arrows name.
struct Drawn {
  std::map<std::string, int> nodes;
  std::multiset<std::string> edges;
};

Drawn drawnOf(const FlowDrawing& drawn) {
  Drawn out;
  for (const auto& page : drawn.drawing->pages)
    for (const auto& shape : page->shapes) {
      if (shape->access && !shape->access->node.empty()) ++out.nodes[shape->access->node];
      out.edges.insert(shape->edges.begin(), shape->edges.end());
    }
  return out;
}

// On one page: each node on one box, each edge on one arrow.
TEST(FlowDrawing, AWholePageDrawsEachNodeAndEdgeOnce) {
  const cfg::MethodFlow flow = testing_support::loopWithReturn();
  const errors::Result<FlowDrawing> drawn = drawMethodFlow(flow, shippedMasters(), DrawOptions{});
  ASSERT_TRUE(drawn) << drawn.problem().message;
  ASSERT_EQ(drawn->drawing->pages.size(), 1u);
  const Drawn seen = drawnOf(*drawn);
  std::map<std::string, int> everyNode;
  for (size_t n = 0; n < flow.graphs[0].nodes.size(); ++n) everyNode[cfg::nodeId(0, n)] = 1;
  EXPECT_EQ(seen.nodes, everyNode);
  std::multiset<std::string> everyEdge;
  for (size_t e = 0; e < flow.graphs[0].edges.size(); ++e) everyEdge.insert(edgeId(0, e));
  EXPECT_EQ(seen.edges, everyEdge);
  EXPECT_EQ(drawn->boxes, flow.graphs[0].nodes.size());
  EXPECT_EQ(drawn->arrows, flow.graphs[0].edges.size());

  // A view without the return tells the page with one box fewer.
  ASSERT_EQ(drawn->pages.size(), 1u);
  const std::string whole = pageDescription(flow, drawn->pages[0]);
  EXPECT_EQ(whole, drawn->drawing->pages[0]->description);
  const std::string told = pageDescription(flow, drawn->pages[0], [&](size_t, size_t node) {
    return flow.graphs[0].nodes[node].kind == cfg::NodeKind::Return;
  });
  EXPECT_NE(whole.find("; 9 boxes."), std::string::npos) << whole;
  EXPECT_NE(told.find("; 8 boxes."), std::string::npos) << told;
}

// Ten catch clauses side by side are too wide for a narrow page: the
// remedies fold them in runs until every page fits, each node still drawn
// (the end once below each return), each arrow naming real edges.
TEST(FlowDrawing, PagesTooWideAreRemediedUntilTheyFit) {
  const cfg::MethodFlow flow = testing_support::tryWithTenCatches();
  DrawOptions options;
  options.pageWidth = 10.0;
  const errors::Result<FlowDrawing> drawn = drawMethodFlow(flow, shippedMasters(), options);
  ASSERT_TRUE(drawn) << drawn.problem().message;
  EXPECT_GT(drawn->drawing->pages.size(), 1u);
  for (const auto& page : drawn->drawing->pages) EXPECT_LE(page->width, options.pageWidth) << page->name;
  const Drawn seen = drawnOf(*drawn);
  const cfg::Graph& graph = flow.graphs[0];
  for (size_t n = 0; n < graph.nodes.size(); ++n) {
    const auto found = seen.nodes.find(cfg::nodeId(0, n));
    ASSERT_NE(found, seen.nodes.end()) << graph.nodes[n].text;
    if (graph.nodes[n].kind != cfg::NodeKind::End) EXPECT_EQ(found->second, 1) << graph.nodes[n].text;
  }
  std::set<std::string> edges;
  for (size_t e = 0; e < graph.edges.size(); ++e) edges.insert(edgeId(0, e));
  for (const std::string& id : seen.edges) EXPECT_TRUE(edges.count(id)) << id;
}

}  // namespace
}  // namespace flowdraw
