// Lays out graphs in the DOT language with Graphviz's own library, in
// this process: the dot engine places nodes and routes edges, and the
// result is rendered to the "dot" output format, the text `dot -Tdot`
// writes (the graph with pos, width, height and bb added).
//
// Graphviz keeps global state and is not thread-safe: call these from one
// thread of a process only.  Parallel work runs in worker processes.
#pragma once

#include <string>
#include <string_view>

namespace graphviz {

struct LayoutResult {
  bool ok = false;
  std::string text;   // the laid-out graph when ok
  std::string error;  // Graphviz's message when not ok, one line
};

// Parses the graph, lays it out with the dot engine and renders it to the
// "dot" format.  A graph that does not parse or cannot be laid out gives
// ok == false and Graphviz's message.
//
// A node with the attribute ypinto="NAME" is moved, after the layout, to
// the height (y) of the node NAME, its x kept: a way to place a node at
// another's height without an edge between them, which the dot engine
// would route through every rank between the two (a graph with many such
// edges crossing many ranks takes it minutes).
LayoutResult layOut(std::string_view dotText);

}  // namespace graphviz
