// The step under layOut for a graph made with Graphviz's own calls
// (cgraph) rather than from a text::DotGraph: started in the process's one
// context, laid out and read back as layOut does it.
#pragma once

#include <graphviz/cgraph.h>

#include <functional>
#include <optional>
#include <string>

#include "layout/laid_out_graph.h"

namespace graphviz {

// make is called once Graphviz's messages are cleared, so that what it
// reports while the graph is made (a reader's syntax error) comes back in
// *error; it returns the graph, which the layout closes, or nullptr.  A
// graph that is not made or cannot be laid out gives nullopt and
// Graphviz's message on one line in *error.
std::optional<layout::MemoryLayout> layOutMadeGraph(const std::function<Agraph_t*()>& make, std::string* error);

}  // namespace graphviz
