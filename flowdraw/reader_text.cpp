#include "flowdraw/reader_text.h"

#include <algorithm>

#include "flowdraw/label_text.h"
#include "text/text_output.h"

namespace flowdraw {
namespace {

using cfg::NodeKind;

// Statements on one line of speech.
std::string joined(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "; ";
    else out += c;
  }
  return out;
}

std::string lines(const cfg::Node& node) {
  if (node.firstLine <= 0) return "";
  if (node.lastLine > node.firstLine)
    return "lines " + std::to_string(node.firstLine) + " to " + std::to_string(node.lastLine);
  return "line " + std::to_string(node.firstLine);
}

std::string count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What an edge is called where it leaves its node.
std::string edgeWord(const cfg::Edge& edge) {
  switch (edge.kind) {
    case cfg::EdgeKind::True:
    case cfg::EdgeKind::False: return edge.label.empty() ? std::string(cfg::kindName(edge.kind)) : edge.label;
    case cfg::EdgeKind::Case: return "case " + edge.label;
    case cfg::EdgeKind::Exception: return edge.label.empty() ? "exception" : "exception " + edge.label;
    case cfg::EdgeKind::Flow: break;
  }
  return "then";
}

}  // namespace

std::string nodeName(const cfg::Graph& graph, size_t node, bool utf8) {
  const cfg::Node& n = graph.nodes[node];
  switch (n.kind) {
    case NodeKind::End: return "end";
    case NodeKind::Exit: return "exit, the exception leaves the method";
    case NodeKind::Join: if (n.text.empty()) return "join"; break;
    default: break;
  }
  std::string text = shortenedInMiddle(joined(n.text), 32, utf8);
  const std::string_view kind = cfg::kindName(n.kind);
  // A break or return says what it is in its own text.
  std::string out = n.kind == NodeKind::Statement || text.rfind(kind, 0) == 0 ? text : std::string(kind) + " " + text;
  const std::string where = lines(n);
  return where.empty() ? out : out + ", " + where;
}

std::string nodeLabel(const cfg::Graph& graph, size_t node, bool utf8) {
  const cfg::Node& n = graph.nodes[node];
  std::string out(cfg::kindName(n.kind));
  if (n.kind == NodeKind::End) out += ": the method completes normally";
  else if (n.kind == NodeKind::Exit) out += ": an exception leaves the method";
  else if (!n.text.empty()) out += ": " + joined(n.text);
  if (const std::string where = lines(n); !where.empty()) out += ", " + where;
  for (const cfg::Edge& edge : graph.edges)
    if (edge.from == node) out += "; " + edgeWord(edge) + ": " + nodeName(graph, edge.to, utf8);
  return out;
}

std::string constructSummary(const cfg::Graph& graph, const std::vector<size_t>& nodes) {
  size_t decisions = 0, switches = 0, loops = 0, tries = 0, catches = 0, ways = 0;
  for (size_t node : nodes) {
    switch (graph.nodes[node].kind) {
      case NodeKind::Decision: ++decisions; break;
      case NodeKind::Switch: ++switches; break;
      case NodeKind::Try: ++tries; break;
      case NodeKind::Catch: ++catches; break;
      case NodeKind::Return:
      case NodeKind::Throw:
      case NodeKind::End: ++ways; break;
      default: break;
    }
    for (const cfg::Region& region : graph.regions)
      if (region.kind == cfg::RegionKind::LoopBody && region.head == node) ++loops;
  }
  std::vector<std::string> parts;
  if (decisions) parts.push_back(count(decisions, "decision", "decisions"));
  if (switches) parts.push_back(count(switches, "switch", "switches"));
  if (loops) parts.push_back(count(loops, "loop", "loops"));
  if (tries)
    parts.push_back((tries == 1 ? std::string("a try") : count(tries, "try", "tries")) +
                    (catches ? " with " + count(catches, "catch", "catches") : std::string()));
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : ", ") + part;
  if (out.empty()) out = "no decisions";
  return out + "; " + count(ways, "way out", "ways out");
}

std::string outlineHtml(const cfg::MethodFlow& flow, bool utf8, const BoxOf& boxOf,
                        const std::function<bool(size_t graph, size_t node)>& leftOut) {
  std::string out = "<ol>\n";
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const cfg::Graph& graph = flow.graphs[g];
    out += "<li>" + text::htmlEscaped(g == 0 ? flow.method : graph.title) + "\n<ol>\n";
    // The regions open round the current node, outermost first.
    std::vector<size_t> open;
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      if (leftOut && leftOut(g, n)) continue;
      std::vector<size_t> chain;
      for (std::optional<size_t> r = graph.nodes[n].region; r && *r != 0; r = graph.regions[*r].parent)
        chain.push_back(*r);
      std::reverse(chain.begin(), chain.end());
      size_t keep = 0;
      while (keep < open.size() && keep < chain.size() && open[keep] == chain[keep]) ++keep;
      for (size_t k = open.size(); k > keep; --k) out += "</ol></li>\n";
      open.resize(keep);
      for (size_t k = keep; k < chain.size(); ++k) {
        const cfg::Region& region = graph.regions[chain[k]];
        std::string title = region.title.empty() ? std::string(cfg::kindName(region.kind)) : region.title;
        if (region.firstLine > 0)
          title += region.lastLine > region.firstLine
                       ? ", lines " + std::to_string(region.firstLine) + " to " + std::to_string(region.lastLine)
                       : ", line " + std::to_string(region.firstLine);
        out += "<li>" + text::htmlEscaped(title) + "\n<ol>\n";
        open.push_back(chain[k]);
      }
      out += "<li data-node=\"" + cfg::nodeId(g, n) + "\"";
      if (const auto box = boxOf(g, n))
        out += " data-page=\"" + std::to_string(box->first) + "\" data-box=\"" + text::htmlEscaped(box->second) + "\"";
      out += ">" + text::htmlEscaped(nodeLabel(graph, n, utf8)) + "</li>\n";
    }
    for (size_t k = open.size(); k > 0; --k) out += "</ol></li>\n";
    out += "</ol></li>\n";
  }
  return out + "</ol>\n";
}

}  // namespace flowdraw
