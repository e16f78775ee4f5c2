// Lays out a graph given as typed values with Graphviz's dot engine, in
// this process, and reads the positions back from Graphviz's own graph:
// node boxes, edge curves, edge label positions and cluster boxes.  No
// DOT text is printed or parsed on the way.
//
// Sizes and positions are in inches, y pointing up, with the graph's
// bounding box starting at (0, 0).
//
// Graphviz keeps global state and is not thread-safe: call this from one
// thread of a process only.  Parallel work runs in worker processes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "errors/problem.h"

namespace graphviz {

struct LayoutPoint {
  double x = 0.0;
  double y = 0.0;
};

struct LayoutBox {
  double left = 0.0, bottom = 0.0, right = 0.0, top = 0.0;
};

enum class LayoutShape { Box, Diamond, Ellipse, Hexagon, Circle, Point };

// How a graph is ranked.  A flowchart runs top to bottom, its frames as
// clusters.  A diagram of rows runs left to right: its rows are one rank
// of point nodes, top to bottom, and each of its columns is a rank of its
// own (a sequence diagram's objects); one column of rows keeps a diagram
// of a thousand rows quick to lay out, where a grid of rows by columns
// costs Graphviz minutes.
enum class GraphKind { Flowchart, Rows };

struct GraphNode {
  double width = 1.0;  // fixed: the drawing fits its text before layout
  double height = 0.5;
  LayoutShape shape = LayoutShape::Box;
  std::optional<size_t> cluster;  // innermost cluster holding it
  // Its out-edges leave it in the order they are given (a switch's case
  // groups in the source's order), not reordered to save crossings.
  bool orderedOut = false;
  // Rows graphs only: the node's name in Graphviz's graph, its text (lines
  // joined by "\n", as Graphviz reads a label) and the node whose height
  // it is moved to once laid out, its x kept: a way to put a node at
  // another's height without an edge between them, which the dot engine
  // would route through every rank between the two.
  std::string name;
  std::string label;
  std::optional<size_t> heightOf;
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
  // How strongly it pulls its ends into line (Graphviz's weight).
  int weight = 1;
  // Rows graphs only: an edge that only orders or holds its ends, not
  // drawn; the texts at its ends, as Graphviz reads a label.
  bool invisible = false;
  std::string tailLabel;
  std::string headLabel;
};

struct GraphCluster {
  std::optional<size_t> parent;
  std::string label;  // its caption, at kClusterLabelPoints: dot keeps room for it at the top
};

inline constexpr double kEdgeLabelPoints = 9.0;
inline constexpr double kClusterLabelPoints = 9.0;

struct Graph {
  GraphKind kind = GraphKind::Flowchart;
  // Rows graphs only: the separations, in inches, and whether the labels
  // are ISO-8859-1 rather than UTF-8.
  double rankSeparation = 0.35;
  double nodeSeparation = 0.3;
  double nodeFontPoints = 14.0;
  bool latin1 = false;
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

// Where a layout file, the text Graphviz's dot program writes, puts a
// graph's nodes and the first point of its edges: in points, to the five
// significant digits such a file gives, y up.  The sequence drawing reads
// these, so that a diagram drawn from memory is the same, byte for byte,
// as the one the engine draws from the layout file of the same graph;
// only diagrams of rows carry them.
struct WrittenPositions {
  double right = 0.0, top = 0.0;  // the bounding box's upper right corner
  std::vector<LayoutPoint> centres;  // by node index
  // The height of each edge's first point: where its start arrow touches,
  // else where its end arrow does, else its first control point.
  std::vector<double> edgeStartY;
};

struct Layout {
  LayoutBox bounds;
  std::vector<LayoutBox> nodes;  // by node index
  std::vector<PlacedEdge> edges;  // by edge index
  std::vector<LayoutBox> clusters;
  WrittenPositions written;
};

// A Problem of kind Failed with Graphviz's message on one line (or why
// the graph was refused) when it cannot be laid out.
errors::Result<Layout> layOutGraph(const Graph& graph);

// The rank the dot engine gives each node of a graph (by node index), the
// first of its phases and much the cheapest on a wide graph: nodes of one
// rank stand side by side in the layout, so their widths bound its width
// from below.  A Problem of kind Failed as layOutGraph gives.
errors::Result<std::vector<int>> rankGraph(const Graph& graph);

// What layOutGraph reads of a graph, as a compact key: two graphs with
// the same key are laid out alike (node labels of flowcharts, which their
// layout does not read, left out).
std::string layoutKey(const Graph& graph);

// A flowchart graph in the DOT language, as layOutGraph hands it to
// Graphviz: for people who want to lay it out with their own tools.
std::string graphDot(const Graph& graph, const std::vector<std::string>& nodeLabels);

}  // namespace graphviz
