// A laid-out graph as the drawings read it: its bounding box, its nodes
// with their centres and its edges with the first point of their curves,
// each with the attributes it carries, in the graph's order.
//
// GraphLayout is the interface the drawings read through; it has two
// implementations.  One reads a layout file, the text Graphviz's dot
// writes, through the DOT front end (the engine's modes, which take
// layout files); the other, MemoryLayout below, holds what Graphviz's
// library left in its graph after laying it out in this process (the
// flowchart command).  Positions are in points, y pointing up.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace layout {

class GraphLayout {
 public:
  virtual ~GraphLayout() = default;

  // The upper right corner of the graph's bounding box; 0 without one.
  virtual double right() const = 0;
  virtual double top() const = 0;

  virtual size_t nodeCount() const = 0;
  virtual size_t edgeCount() const = 0;

  virtual std::string nodeName(size_t node) const = 0;
  virtual double nodeX(size_t node) const = 0;
  virtual double nodeY(size_t node) const = 0;
  // The first node of that name; nullopt when none.
  virtual std::optional<size_t> nodeNamed(const std::string& name) const = 0;

  // The height of an edge's first point: where its start arrow touches,
  // else where its end arrow does, else its first control point.
  virtual double edgeStartY(size_t edge) const = 0;

  // Whether a node or edge sets an attribute to other than its default,
  // and the value it sets (empty when it does not).
  virtual bool nodeHas(size_t node, std::string_view attribute) const = 0;
  virtual std::string nodeAttribute(size_t node, std::string_view attribute) const = 0;
  virtual bool edgeHas(size_t edge, std::string_view attribute) const = 0;
  virtual std::string edgeAttribute(size_t edge, std::string_view attribute) const = 0;
};

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

// A layout held as values.
class MemoryLayout final : public GraphLayout {
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

}  // namespace layout
