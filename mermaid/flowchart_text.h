// A method's control-flow graph as Mermaid text, for the places people
// write (Markdown on GitHub and GitLab, wikis): one `flowchart TD` holding
// every node and edge of the graph, each lambda as a subgraph, the
// legend's colours as classes.  Texts are escaped to plain ASCII, so the
// text reads the same whatever a page's encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cfg/graph.h"
#include "flowdraw/pages.h"

namespace mermaid {

// How a node or edge changed between two versions of a method.
enum class Mark : uint8_t { None, Added, Removed, Changed };

// Optional; an empty or short vector means no marks there.
struct FlowMarks {
  std::vector<std::vector<Mark>> nodes;  // [graph][node]
  std::vector<std::vector<Mark>> edges;  // [graph][edge]
  // [graph][node]: the number a marked node goes by in a table beside the
  // diagram ("~1"); 0 or missing for none.
  std::vector<std::vector<size_t>> numbers;
};

// One `flowchart TD` of a method's whole graph.  latin1: the graph's texts
// are ISO-8859-1, else UTF-8.  With marks, a marked node says so in its
// text ("+ ", "\u2212 ", "~ ", or "~1 " with its number) and in its class, and removed nodes and edges
// are dashed: the mark never rests on colour alone.
std::string flowchartText(const cfg::MethodFlow& flow, const FlowMarks* marks = nullptr, bool latin1 = false);

// One page of a folded plan as a `flowchart TD`: its nodes, a box for each
// construct folded onto a page of its own, and the places the page is
// entered from and leaves to.  pageName names the page a folded box or a
// connector stands for, as the document's headings do.
struct PageNames {
  std::vector<std::string> titles;  // [page], plain UTF-8
};
std::string flowchartPageText(const cfg::MethodFlow& flow, const flowdraw::PagePlan& plan, size_t page,
                              const PageNames& names, bool latin1 = false);

// A page too large for one diagram with nothing left to fold, cut into
// parts of its items in their order: partOf[item] is the item's part, and
// titles[part] names each as the document's headings do.
struct PageParts {
  std::vector<size_t> partOf;       // [item of the page]
  std::vector<std::string> titles;  // [part], plain UTF-8
};
// One part of such a page: its items, the edges among them, and for each
// edge from or to another part a connector naming that part and the box
// there ("to run() (part 2 of 3)", "L14: total += 9;").
std::string flowchartPartText(const cfg::MethodFlow& flow, const flowdraw::PagePlan& plan, size_t page,
                              const PageNames& names, const PageParts& parts, size_t part, bool latin1 = false);

// Where a connector leads, as it says it: the node's line and the start of
// its first line ("L14: total += 9;"), or "end", "throws".
std::string placeText(const cfg::Node& node, bool latin1 = false);

// A text as a Mermaid quoted label: '"', '#', '<', '>', '&', '|', '`',
// '%' (a directive or comment), and every non-ASCII character as entity
// codes ("#35;"); UTF-8 in.  Newlines become line breaks.
std::string labelText(std::string_view utf8);

// The size of one Mermaid diagram, against the limits of the places that
// render it.
struct DiagramSize {
  size_t characters = 0;
  size_t edges = 0;
};
inline constexpr DiagramSize kGitHubLimits{50000, 500};
// Under the limits: Mermaid refuses a diagram that reaches either.
bool fits(const DiagramSize& size, const DiagramSize& limits = kGitHubLimits);
DiagramSize measure(std::string_view diagram);

}  // namespace mermaid
