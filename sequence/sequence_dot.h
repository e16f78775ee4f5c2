// A sequence diagram as a graph in the DOT language, carrying what the
// sequence drawing reads from its layout: object nodes marked "zarncls"
// with the node their lifeline ends at ("zarnlast"); message edges marked
// "zarnedge" (1 for a call, 2 for a return) with "zarnfrom" and "zarnto",
// "zarnself" on a message to the sender itself and "zarnsuper" on a
// creation, call texts in "taillabel" and return texts in "headlabel".
// Every node name stands in double quotes.
//
// Laid out left to right (rankdir=LR), the rows of the diagram are one
// column of point nodes "t.0" (the objects' row) to the row where the
// lifelines end, in order from the top, and each object is a rank of its
// own, in order of first appearance: one column of rows keeps a diagram of
// a thousand messages quick to lay out, where a grid of rows by objects
// costs Graphviz minutes.  A message is a loop on its row's node, so that
// its first point lies at the row's height; an object is held at the
// height of the row it appears in by a heavy edge from there.
#pragma once

#include <string>

#include "flowgraph/box_text.h"
#include "sequence/diagram.h"

namespace sequence {

// Shown texts are cut to these many characters, the full ones kept for
// hovering.
inline constexpr size_t kLifelineColumns = 40;
inline constexpr size_t kMessageColumns = 48;

// The node name of a lifeline: "o.<n>" for the n-th, from 1.
std::string lifelineNodeName(size_t lifeline);

std::string sequenceDot(const Diagram& diagram, flowgraph::Charset charset);

}  // namespace sequence
