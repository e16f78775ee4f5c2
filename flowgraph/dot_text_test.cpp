#include "flowgraph/dot_text.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using testing_support::fixture;
using testing_support::readFile;

namespace {

struct Drawn {
  flowgraph::MethodModel model;
  flowgraph::FlowchartDot dot;
};

Drawn drawn(const std::string& blocksXml, const std::string& source, flowgraph::Charset charset) {
  auto document = xml::Document::loadText(blocksXml);
  EXPECT_TRUE(document);
  std::string error;
  std::optional<flowgraph::MethodModel> model = flowgraph::readMethodModel(document->documentElement(), &error);
  EXPECT_TRUE(model) << error;
  const flowchart::SourceLines lines = flowchart::SourceLines::fromText(source, INT32_MAX);
  Drawn result{std::move(*model), {}};
  result.dot = flowgraph::flowchartDot(result.model, flowgraph::pageGraphs(result.model), lines, charset);
  return result;
}

// A loop with continue and break: four pages, edges that leave a folded
// block drawn from it on the page that holds it, a back edge reversed.
TEST(FlowchartDot, WritesEveryPageOfAMethod) {
  const Drawn result = drawn(readFile(fixture("flowgraph/Loops.forLoop.blocks.xml")),
                             readFile(fixture("flowchart/Loops.java")), flowgraph::Charset::Utf8);
  std::string all;
  for (const std::string& graph : result.dot.graphs) all += graph + "\n";
  EXPECT_EQ(all, readFile(fixture("flowgraph/Loops.forLoop.dot")));
  EXPECT_EQ(result.dot.foldedList(), "b.4;b.8;b.11");

  // Every block is a node once, every successor an edge once.
  size_t nodes = 0, edges = 0;
  for (const std::string& graph : result.dot.graphs) {
    for (size_t at = graph.find("[CONCEPTID="); at != std::string::npos; at = graph.find("[CONCEPTID=", at + 1))
      ++nodes;
    for (size_t at = graph.find(" -> "); at != std::string::npos; at = graph.find(" -> ", at + 1)) ++edges;
  }
  EXPECT_EQ(nodes, result.model.blocks.size());
  EXPECT_EQ(edges, result.model.successorCount());
  EXPECT_EQ(result.dot.tooltips.at("b.1"), "Line 3\n3: int s = 0;");
  EXPECT_EQ(result.dot.tooltips.at("b.2"), "Line 4\nfor(int i = 0;i < n;i++)");
}

}  // namespace
