// Draws a method's control-flow graph as a flowchart: pages as the page
// plan folds them, each laid out by Graphviz, its boxes and curves put on
// a page of the drawing host, which writes HTML, SVG or its XML format.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cfg/graph.h"
#include "errors/problem.h"
#include "flowdraw/pages.h"
#include "render/host/model.h"

namespace flowdraw {

// A source comment: shown beside the statement it belongs to, the one on
// its line or else the next one.
struct SourceComment {
  int32_t line = 0;
  std::string text;
};

struct DrawOptions {
  Fold fold = Fold::Auto;
  FoldLimits limits;
  // A laid-out page larger than this (inches) is folded further when auto
  // folds: about what a laptop screen shows of a chart read at 100%, scrolled.
  double pageWidth = 24.0;
  double pageHeight = 32.0;
  bool utf8 = true;  // the graph's texts are UTF-8, else ISO-8859-1
  std::vector<SourceComment> comments;  // the method's, in line order
  // By graph, then node or edge: drawn dashed, as a comparison shows what
  // was taken away; empty for none.
  std::vector<std::vector<bool>> struckNodes;
  std::vector<std::vector<bool>> struckEdges;
  // By graph, then node or edge: classes the page's style may hide the
  // shape by, so that one layout shows either side of a comparison; and
  // for a node, the text shown where the page hides its own (the other
  // side's text of a changed node).  Empty for none.
  std::vector<std::vector<std::string>> nodeClasses;
  std::vector<std::vector<std::string>> edgeClasses;
  std::vector<std::vector<std::string>> otherNodeTexts;
  // Views of the same layout that show a part of it (a comparison's
  // sides): each page's description is also told as the view shows it,
  // from the view's own graph (the same nodes), without the nodes it
  // leaves out.
  struct View {
    std::string name;
    const cfg::MethodFlow* flow = nullptr;
    std::function<bool(size_t graph, size_t node)> leftOut;
  };
  std::vector<View> views;
};

// The masters the drawing uses, from the flowchart template.
using Masters = std::vector<std::shared_ptr<const host::MasterDef>>;

struct FlowDrawing {
  std::unique_ptr<host::DocumentModel> drawing;
  size_t boxes = 0;   // shapes other than frames, on all pages
  size_t arrows = 0;  // connectors
};

// A problem when a page is too large to lay out or Graphviz refuses it.
errors::Result<FlowDrawing> drawMethodFlow(const cfg::MethodFlow& flow, const Masters& masters,
                                           const DrawOptions& options);

// Every page's graph in the DOT language, before layout, each after a
// "// page: TITLE" line; a problem as above.
errors::Result<std::string> methodFlowDot(const cfg::MethodFlow& flow, const DrawOptions& options);

}  // namespace flowdraw
