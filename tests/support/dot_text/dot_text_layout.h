// Graphs in the DOT language read by Graphviz's own reader and laid out
// as graphviz::layOut lays out the graphs the command builds: for tests
// that need what only text can hold (clusters, a syntax error) or that
// compare a built graph with its printed text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "layout/laid_out_graph.h"

namespace testing_support {

// nullopt, with Graphviz's message on one line in *error, for a text that
// does not parse or a graph that cannot be laid out.
std::optional<layout::MemoryLayout> layOutDotText(std::string_view dotText, std::string* error);

}  // namespace testing_support
