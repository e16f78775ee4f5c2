// Draws a method's control-flow graph as a flowchart: pages as the page
// plan folds them, each laid out by Graphviz, its boxes and curves put on
// a page of the drawing host, which writes HTML, SVG or its XML format.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "cfg/graph.h"
#include "errors/problem.h"
#include "flowdraw/pages.h"
#include "drawing/model.h"

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
};

// The masters the drawing uses, from the flowchart template.
using Masters = std::vector<std::shared_ptr<const drawing::Master>>;

// What a page of a drawing shows of its graph, to tell it again as a view
// of the drawing does (a comparison's side).
struct PageShows {
  std::string title;
  size_t graph = 0;
  std::vector<size_t> nodes;  // the graph's nodes drawn on it, in the page's order
  size_t folded = 0;          // constructs on pages of their own
  size_t others = 0;          // boxes that are neither: entries and exits
};

struct FlowDrawing {
  std::unique_ptr<drawing::Document> drawing;
  size_t boxes = 0;   // shapes other than frames, on all pages
  size_t arrows = 0;  // connectors
  std::vector<PageShows> pages;  // by the drawing's page
};

// An edge's id, as a connector's `edges` name them: "e3", "l1.e3" in a lambda's graph.
std::string edgeId(size_t graph, size_t edge);

// A page told in words, as its description (for a screen reader) says
// it: from the flow given (the drawing's, or a view's with the same
// nodes), leaving out the nodes the view does not show.
std::string pageDescription(const cfg::MethodFlow& flow, const PageShows& page,
                            const std::function<bool(size_t graph, size_t node)>& leftOut = {});

// A text as a box shows it: wrapped into lines, in the drawing's words.
std::string boxText(std::string_view text, bool utf8);

// A problem when a page is too large to lay out or Graphviz refuses it.
errors::Result<FlowDrawing> drawMethodFlow(const cfg::MethodFlow& flow, const Masters& masters,
                                           const DrawOptions& options);

// Every page's graph in the DOT language, before layout, each after a
// "// page: TITLE" line; a problem as above.
errors::Result<std::string> methodFlowDot(const cfg::MethodFlow& flow, const DrawOptions& options);

}  // namespace flowdraw
