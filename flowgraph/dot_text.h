// Writes a method's page graphs in the DOT language, carrying what the
// flowchart drawing reads from a layout: "CONCEPTID" and "label" on every
// node; "color", "tip" and "dir" on every edge; try statements as
// subgraphs with type=try; the "parent" of a folded block's page.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "flowchart/source_text.h"
#include "flowgraph/box_text.h"
#include "flowgraph/method_model.h"
#include "flowgraph/page_graphs.h"

namespace flowgraph {

struct FlowchartDot {
  // One graph per page, in the order of MethodGraphs::pages.
  std::vector<std::string> graphs;
  // The node name of each folded block's page (pages 1 on), which is also
  // the stem of its layout file and its entry in the folded list.
  std::vector<std::string> foldedNames;
  // The full text of every node, by node name, for hovering.
  std::unordered_map<std::string, std::string> tooltips;

  // The folded names separated by ";".
  std::string foldedList() const;
};

FlowchartDot flowchartDot(const MethodModel& model, const MethodGraphs& graphs,
                          const flowchart::SourceLines& source, Charset charset);

// A DOT string literal: the text in double quotes, its quotes escaped.
std::string dotQuoted(std::string_view text);
// A DOT string literal for a text Graphviz shows (a label): its quotes and
// backslashes escaped, so that the text shows as it is.
std::string dotShownText(std::string_view text);

}  // namespace flowgraph
