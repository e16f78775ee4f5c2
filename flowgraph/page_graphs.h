// The pages of a method's flowchart as graphs: one for the method and one
// for each folded block.  Every block of the model is a node on exactly
// one page, and every successor is exactly one edge: an edge whose ends
// lie on different pages is drawn on the nearest page that shows both,
// where a block on a deeper page is stood for by the folded block that
// leads to it.  Blocks of try statements, catch clauses and finally
// clauses stay on their page, grouped in clusters; a try block is also a
// node, at the head of its cluster, while the blocks that only hold a
// catch or finally clause are drawn as the group of what they hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "flowgraph/method_model.h"

namespace flowgraph {

struct GraphNode {
  std::string name;                 // "b.<id>", or "c.<id>" for a comment
  size_t block = 0;                 // the model block (or the block a comment is on)
  bool isComment = false;
  std::optional<size_t> cluster;    // innermost cluster holding the node
};

struct GraphEdge {
  size_t tail = 0;     // node indexes, in the direction control passes
  size_t head = 0;
  const Successor* successor = nullptr;
  bool back = false;   // leads back up the page (a loop)
};

struct GraphCluster {
  size_t block = 0;                // the try or catch block it groups
  bool isTry = false;
  std::optional<size_t> parent;    // enclosing cluster
};

struct PageGraph {
  std::optional<size_t> foldedBlock;  // none for the method's own page
  std::optional<size_t> parentPage;
  std::vector<GraphNode> nodes;       // in flow order, container by container
  std::vector<GraphEdge> edges;
  std::vector<GraphCluster> clusters;
};

struct MethodGraphs {
  std::vector<PageGraph> pages;  // [0] the method; then folded blocks, outer before inner
};

MethodGraphs pageGraphs(const MethodModel& model);

// A block that holds a catch or finally clause and has no box of its own.
bool isGroupOnly(const Block& block);

// A block's node name; it survives a layout round trip quoted, so both
// quoted and unquoted lookups find it.
std::string nodeName(const Block& block);
std::string commentNodeName(const Block& block);

}  // namespace flowgraph
