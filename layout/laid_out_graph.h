// A laid-out graph as the drawings read it: its bounding box, its nodes
// with their centres and its edges with the first point of their curves,
// each with the attributes it carries, in the graph's order.
//
// GraphLayout is the interface the engine's drawings (modes 17 and 18)
// read through: render::DotFileLayout reads a layout file, the text
// Graphviz's dot writes, through the DOT front end.  The tests also read
// a layout held in memory through it (tests/support/dot_text), to check
// that the graphs the command lays out read as their layout files do.
// Positions are in points, y pointing up.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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

}  // namespace layout
