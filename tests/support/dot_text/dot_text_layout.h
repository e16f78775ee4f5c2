// Graphs in the DOT language read by Graphviz's own reader, laid out in
// this process and held as values: for tests that need what only text can
// hold (clusters, a syntax error) or that compare a graph the command
// lays out with its printed text or with the layout file of that text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "layout/laid_out_graph.h"

namespace testing_support {

// Attributes that differ from their defaults, in the order the graph
// declares them.
using Attributes = std::vector<std::pair<std::string, std::string>>;

struct LaidOutNode {
  std::string name;
  double x = 0.0;
  double y = 0.0;
  Attributes attributes;
};

struct LaidOutEdge {
  double startY = 0.0;
  Attributes attributes;
};

// What Graphviz's library left in its graph after laying it out, read as
// a layout file lists it: nodes as they were made, edges in the file's
// order, positions to the file's five significant digits.
class MemoryLayout final : public layout::GraphLayout {
 public:
  MemoryLayout(double right, double top, std::vector<LaidOutNode> nodes, std::vector<LaidOutEdge> edges);

  double right() const override { return right_; }
  double top() const override { return top_; }
  size_t nodeCount() const override { return nodes_.size(); }
  size_t edgeCount() const override { return edges_.size(); }
  std::string nodeName(size_t node) const override { return nodes_[node].name; }
  double nodeX(size_t node) const override { return nodes_[node].x; }
  double nodeY(size_t node) const override { return nodes_[node].y; }
  std::optional<size_t> nodeNamed(const std::string& name) const override;
  double edgeStartY(size_t edge) const override { return edges_[edge].startY; }
  bool nodeHas(size_t node, std::string_view attribute) const override;
  std::string nodeAttribute(size_t node, std::string_view attribute) const override;
  bool edgeHas(size_t edge, std::string_view attribute) const override;
  std::string edgeAttribute(size_t edge, std::string_view attribute) const override;

  const std::vector<LaidOutNode>& nodes() const { return nodes_; }
  const std::vector<LaidOutEdge>& edges() const { return edges_; }

 private:
  double right_ = 0.0;
  double top_ = 0.0;
  std::vector<LaidOutNode> nodes_;
  std::vector<LaidOutEdge> edges_;
  std::unordered_map<std::string, size_t> firstByName_;
};

// nullopt, with Graphviz's message on one line in *error, for a text that
// does not parse or a graph that cannot be laid out.  A node with the
// attribute ypinto="NAME" is moved to the height of the node NAME once
// laid out, as the command moves a created object to its creation's row.
std::optional<MemoryLayout> layOutDotText(std::string_view dotText, std::string* error);

}  // namespace testing_support
