// A flowchart told in words, from the method's graph: what a screen reader
// says of each box, the description of a page, and the text outline of
// the method, a nested list in the order of the graph that can also be
// read, searched and copied instead of the picture.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cfg/graph.h"

namespace flowdraw {

// The node in a few words: "decision i < n, line 20", "end".
std::string nodeName(const cfg::Graph& graph, size_t node, bool utf8);

// The node's kind, its text, its lines and where each edge from it goes:
// "decision: quantities[i] <= 0, line 22; yes: continue, line 24; no:
// statement total += q, line 26".
std::string nodeLabel(const cfg::Graph& graph, size_t node, bool utf8);

// The constructs among some nodes of a graph, for a page's description:
// "3 decisions, 2 loops, a try with 1 catch; 2 ways out".
std::string constructSummary(const cfg::Graph& graph, const std::vector<size_t>& nodes);

// The method's outline as an HTML ordered list (texts escaped, in the
// graph's encoding): each graph (the method's, then its lambdas'), its
// nodes in order, nested in the constructs holding them.  boxOf tells
// the page (from 1) and shape name a node is drawn as, so that the
// outline can lead to it; none when it is not drawn.  A node `leftOut`
// says yes to is not listed (what one side of a comparison lacks).
using BoxOf = std::function<std::optional<std::pair<size_t, std::string>>(size_t graph, size_t node)>;
std::string outlineHtml(const cfg::MethodFlow& flow, bool utf8, const BoxOf& boxOf,
                        const std::function<bool(size_t graph, size_t node)>& leftOut = {});

}  // namespace flowdraw
