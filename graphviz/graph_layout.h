// Lays out a graph given as typed values with Graphviz's dot engine, in
// this process, and reads the positions back from Graphviz's own graph:
// node boxes, edge curves, edge label positions and cluster boxes.  No
// DOT text is printed or parsed on the way.
//
// Sizes and positions are in inches, y pointing up, with the graph's
// bounding box starting at (0, 0).  Like layOut, call it from one thread
// of a process only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace graphviz {

struct LayoutPoint {
  double x = 0.0;
  double y = 0.0;
};

struct LayoutBox {
  double left = 0.0, bottom = 0.0, right = 0.0, top = 0.0;
};

enum class LayoutShape { Box, Diamond, Ellipse, Hexagon, Circle };

struct GraphNode {
  double width = 1.0;  // fixed: the drawing fits its text before layout
  double height = 0.5;
  LayoutShape shape = LayoutShape::Box;
  std::optional<size_t> cluster;  // innermost cluster holding it
};

struct GraphEdge {
  size_t tail = 0;
  size_t head = 0;
  // Shown beside the edge, at kEdgeLabelPoints; dot keeps room for it so
  // that labels never overlap one another or a node.
  std::string label;
  // Laid out from head to tail, so that a loop's back edge does not pull
  // its head below the body; the curve is still given from tail to head.
  bool back = false;
  // An edge that only places its ends side by side (a comment beside
  // its statement): kept out of the ranking.
  bool sideBySide = false;
  // Ranks between its ends, at least: more than one staggers the many
  // branches of one node over several rows.
  int minLength = 1;
};

struct GraphCluster {
  std::optional<size_t> parent;
  std::string label;  // its caption, at kClusterLabelPoints: dot keeps room for it at the top
};

inline constexpr double kEdgeLabelPoints = 9.0;
inline constexpr double kClusterLabelPoints = 9.0;

struct Graph {
  std::vector<GraphNode> nodes;
  std::vector<GraphEdge> edges;
  std::vector<GraphCluster> clusters;  // parents before children
  // Nodes kept on one rank, each group one rank.
  std::vector<std::vector<size_t>> sameRank;
};

struct PlacedEdge {
  // The curve from tail to head as cubic Bezier control points: 3k + 1
  // points, the first on the tail's outline, the last on the head's.
  std::vector<LayoutPoint> curve;
  std::optional<LayoutPoint> labelCentre;
};

struct Layout {
  LayoutBox bounds;
  std::vector<LayoutBox> nodes;  // by node index
  std::vector<PlacedEdge> edges;  // by edge index
  std::vector<LayoutBox> clusters;
};

// nullopt with Graphviz's message (or why it was refused) in *error.
std::optional<Layout> layOutGraph(const Graph& graph, std::string* error);

// The graph in the DOT language, as layOutGraph hands it to Graphviz: for
// people who want to lay it out with their own tools.
std::string graphDot(const Graph& graph, const std::vector<std::string>& nodeLabels);

}  // namespace graphviz
