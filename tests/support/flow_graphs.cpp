#include "tests/support/flow_graphs.h"

namespace testing_support {

using cfg::EdgeKind;
using cfg::NodeKind;
using cfg::RegionKind;

size_t addNode(cfg::Graph& g, NodeKind kind, std::string text, int32_t line, size_t region) {
  cfg::Node n;
  n.kind = kind;
  n.text = std::move(text);
  n.firstLine = n.lastLine = line;
  if (line > 0) n.lines = {line};
  n.region = region;
  g.nodes.push_back(n);
  return g.nodes.size() - 1;
}

cfg::MethodFlow loopWithReturn() {
  cfg::Graph g;
  g.regions = {{RegionKind::Body, "run()", 1, 20, std::nullopt, std::nullopt, 6},
               {RegionKind::LoopBody, "for (int i = 0; i < n; i++)", 3, 10, 0, 1, 4},
               {RegionKind::Then, "if (done)", 5, 7, 1, 3, 2}};
  auto node = [&](NodeKind kind, std::string text, int32_t line, size_t region) {
    return addNode(g, kind, std::move(text), line, region);
  };
  const size_t start = node(NodeKind::Start, "run()", 1, 0);
  const size_t loop = node(NodeKind::Decision, "for (int i = 0; i < n; i++)", 2, 0);
  const size_t a = node(NodeKind::Statement, "a();", 4, 1);
  const size_t test = node(NodeKind::Decision, "if (done)", 5, 1);
  const size_t b = node(NodeKind::Statement, "b();", 6, 2);
  const size_t ret = node(NodeKind::Return, "return", 7, 2);
  const size_t c = node(NodeKind::Statement, "c();", 9, 1);
  const size_t after = node(NodeKind::Statement, "after();", 11, 0);
  const size_t end = node(NodeKind::End, "end", 0, 0);
  g.end = end;
  g.edges = {{start, loop}, {loop, a, EdgeKind::True, "yes"}, {a, test}, {test, b, EdgeKind::True, "yes"},
             {b, ret}, {ret, end}, {test, c, EdgeKind::False, "no"}, {c, loop, EdgeKind::Flow, "", true},
             {loop, after, EdgeKind::False, "no"}, {after, end}};
  cfg::MethodFlow flow;
  flow.method = "run";
  flow.graphs.push_back(std::move(g));
  return flow;
}

cfg::MethodFlow tryWithTenCatches() {
  cfg::Graph g;
  g.regions = {{RegionKind::Body, "run()", 1, 40, std::nullopt, std::nullopt, 22},
               {RegionKind::TryBlock, "try", 2, 40, 0, 1, 22}};
  auto node = [&](NodeKind kind, std::string text, int32_t line, size_t region) {
    return addNode(g, kind, std::move(text), line, region);
  };
  const size_t start = node(NodeKind::Start, "run()", 1, 0);
  const size_t tryNode = node(NodeKind::Try, "try", 2, 0);
  const size_t a = node(NodeKind::Statement, "a();", 3, 1);
  const size_t ret = node(NodeKind::Return, "return", 4, 1);
  g.edges = {{start, tryNode}, {tryNode, a}, {a, ret}};
  std::vector<size_t> returns = {ret};
  for (int c = 0; c < 10; ++c) {
    const int32_t line = 5 + 3 * c;
    const std::string type = "T" + std::to_string(c);
    const std::string header = c == 0 ? "catch (final T0 e)" : c == 9 ? "catch (T9 | U9 e)" : "catch (" + type + " e)";
    g.regions.push_back({RegionKind::CatchBlock, header, line, line + 2, 1, std::nullopt, 1});
    const size_t region = g.regions.size() - 1;
    const size_t caught = node(NodeKind::Catch, header, line, region);
    g.regions.back().head = caught;
    returns.push_back(node(NodeKind::Return, "return " + std::to_string(c), line + 1, region));
    g.edges.push_back({tryNode, caught, EdgeKind::Exception, c == 9 ? "T9 | U9" : type});
    g.edges.push_back({caught, returns.back()});
  }
  const size_t end = node(NodeKind::End, "end", 0, 0);
  g.end = end;
  for (size_t r : returns) g.edges.push_back({r, end});
  cfg::MethodFlow flow;
  flow.method = "run";
  flow.graphs.push_back(std::move(g));
  return flow;
}

}  // namespace testing_support
