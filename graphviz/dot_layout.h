// Lays out graphs in the DOT language with Graphviz's own library, in
// this process: the dot engine places nodes and routes edges, and the
// positions are read back from Graphviz's graph.
//
// Graphviz keeps global state and is not thread-safe: call these from one
// thread of a process only.  Parallel work runs in worker processes.
#pragma once

#include <optional>
#include <string>

#include "layout/laid_out_graph.h"
#include "text/dot_graph.h"

namespace graphviz {

// Builds the graph with Graphviz's calls (it lays out as its DOT text
// would), lays it out with the dot engine and reads the result from
// Graphviz's graph: nodes as they were created, edges in the order a
// layout file lists them, each with the attributes it sets.  A graph that
// cannot be laid out gives nullopt and Graphviz's message, on one line, in
// *error.
//
// A node with the attribute ypinto="NAME" is moved, after the layout, to
// the height (y) of the node NAME, its x kept: a way to place a node at
// another's height without an edge between them, which the dot engine
// would route through every rank between the two (a graph with many such
// edges crossing many ranks takes it minutes).
std::optional<layout::MemoryLayout> layOut(const text::DotGraph& graph, std::string* error);

}  // namespace graphviz
