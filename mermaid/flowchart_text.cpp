#include "mermaid/flowchart_text.h"

#include <cstdio>

#include "files/latin1.h"
#include "flowdraw/label_text.h"
#include "text/entity_text.h"

namespace mermaid {
namespace {

using cfg::EdgeKind;
using cfg::NodeKind;

// The legend's colours.  Every class sets its text colour too: the fills
// are light, and GitHub's dark theme would otherwise write light text on them.
struct ClassDef {
  const char* name;
  const char* style;
};
constexpr ClassDef kClassDefs[] = {
    {"k_start", "fill:#d5e8d4,stroke:#4f7f45,color:#222222"},
    {"k_exit", "fill:#f8cecc,stroke:#a94442,stroke-width:3px,color:#222222"},
    {"k_stmt", "fill:#dae8fc,stroke:#4a6fa5,color:#222222"},
    {"k_return", "fill:#ffe6cc,stroke:#b8691e,color:#222222"},
    {"k_throw", "fill:#f8cecc,stroke:#a94442,color:#222222"},
    {"k_jump", "fill:#e8dcf0,stroke:#7d5a94,color:#222222"},
    {"k_decision", "fill:#fff2cc,stroke:#a88418,color:#222222"},
    {"k_switch", "fill:#ffe6cc,stroke:#b8691e,color:#222222"},
    {"k_try", "fill:#f8cecc,stroke:#a94442,color:#222222"},
    {"k_sync", "fill:#d4ecec,stroke:#3f7f7f,color:#222222"},
    {"k_join", "fill:#ffffff,stroke:#555555,color:#222222"},
    {"k_folded", "fill:#dae8fc,stroke:#4a6fa5,stroke-width:2px,color:#222222"},
    {"k_offpage", "fill:#eeeeee,stroke:#555555,color:#222222"},
    {"m_added", "stroke:#1a7f37,stroke-width:3px"},
    {"m_removed", "stroke:#cf222e,stroke-width:3px,stroke-dasharray:6 4"},
    {"m_changed", "stroke:#9a6700,stroke-width:3px"},
};

const char* kindClass(NodeKind kind) {
  switch (kind) {
    case NodeKind::Start:
    case NodeKind::End: return "k_start";
    case NodeKind::Exit: return "k_exit";
    case NodeKind::Return: return "k_return";
    case NodeKind::Throw: return "k_throw";
    case NodeKind::Break:
    case NodeKind::Continue:
    case NodeKind::Yield: return "k_jump";
    case NodeKind::Decision: return "k_decision";
    case NodeKind::Switch: return "k_switch";
    case NodeKind::Try:
    case NodeKind::Catch:
    case NodeKind::Finally:
    case NodeKind::Resources: return "k_try";
    case NodeKind::Synchronized: return "k_sync";
    case NodeKind::Join: return "k_join";
    default: return "k_stmt";
  }
}

// The Mermaid shape nearest the legend's, round a quoted label.
std::string shaped(NodeKind kind, const std::string& label) {
  const std::string quoted = "\"" + label + "\"";
  switch (kind) {
    case NodeKind::Start:
    case NodeKind::End: return "([" + quoted + "])";
    case NodeKind::Exit: return "(((" + quoted + ")))";
    case NodeKind::Return: return "(" + quoted + ")";
    case NodeKind::Throw: return ">" + quoted + "]";
    case NodeKind::Break:
    case NodeKind::Continue:
    case NodeKind::Yield: return "[/" + quoted + "/]";
    case NodeKind::Decision: return "{" + quoted + "}";
    case NodeKind::Switch: return "{{" + quoted + "}}";
    case NodeKind::Try:
    case NodeKind::Catch:
    case NodeKind::Finally:
    case NodeKind::Resources:
    case NodeKind::Synchronized: return "[[" + quoted + "]]";
    case NodeKind::Join: return "((" + quoted + "))";
    default: return "[" + quoted + "]";
  }
}

std::string utf8Of(std::string_view text, bool latin1) {
  return latin1 ? files::latin1ToUtf8(text) : std::string(text);
}

// What a box shows: the text wrapped and shortened as our own drawings do.
std::string boxText(const cfg::Node& node, bool latin1) {
  if (node.kind == NodeKind::Join && node.text.empty()) return " ";
  if (node.kind == NodeKind::End) return "end";
  if (node.kind == NodeKind::Exit) return "throws";
  std::string joined;
  for (const std::string& line : flowdraw::boxLines(utf8Of(node.text, latin1), true))
    joined += (joined.empty() ? "" : "\n") + line;
  return joined.empty() ? " " : joined;
}

std::string edgeLine(const std::string& from, const std::string& to, EdgeKind kind, const std::string& label,
                     Mark mark) {
  std::string arrow = kind == EdgeKind::Exception || mark == Mark::Removed ? "-.->" : "-->";
  if (mark == Mark::Added) arrow = "==>";
  // "+ " would open a Markdown list in Mermaid's labels ("Unsupported
  // markdown: list"): a no-break space follows the sign instead, and
  // follows "+" alone, which would be an empty list item.
  const std::string sign = mark == Mark::Added     ? "+"
                           : mark == Mark::Removed ? "\xE2\x88\x92"
                           : mark == Mark::Changed ? "~"
                                                   : "";
  // An edge without a label of its own gets none: the arrow's weight or
  // dash and colour tell its change.
  const std::string text = sign.empty() || label.empty() ? label : sign + "\xC2\xA0" + label;
  if (text.empty()) return "  " + from + " " + arrow + " " + to + "\n";
  return "  " + from + " " + arrow + "|\"" + labelText(text) + "\"| " + to + "\n";
}

Mark markOf(const std::vector<std::vector<Mark>>* marks, size_t g, size_t i) {
  if (!marks || g >= marks->size() || i >= (*marks)[g].size()) return Mark::None;
  return (*marks)[g][i];
}

const char* markPrefix(Mark mark) {
  switch (mark) {
    case Mark::Added: return "+\xC2\xA0";  // not "+ ": see edgeLine
    case Mark::Removed: return "\xE2\x88\x92 ";
    case Mark::Changed: return "~ ";
    default: return "";
  }
}

size_t numberOf(const FlowMarks* marks, size_t g, size_t n) {
  if (!marks || g >= marks->numbers.size() || n >= marks->numbers[g].size()) return 0;
  return marks->numbers[g][n];
}

// The mark before a node's text, its number in it when it has one ("~1 ").
std::string markText(Mark mark, size_t number) {
  const std::string prefix = markPrefix(mark);
  if (number == 0 || prefix.empty()) return prefix;
  const size_t sign = prefix.find_first_of(" \xC2");
  return prefix.substr(0, sign) + std::to_string(number) + " ";
}

const char* markClass(Mark mark) {
  switch (mark) {
    case Mark::Added: return "m_added";
    case Mark::Removed: return "m_removed";
    case Mark::Changed: return "m_changed";
    default: return "";
  }
}

std::string idOf(size_t graph, size_t node) {
  return graph == 0 ? "n" + std::to_string(node) : "l" + std::to_string(graph) + "_n" + std::to_string(node);
}

// The definitions of the classes the diagram uses, in the legend's order,
// then a "class a,b,c name" line for each.
void appendClasses(std::string& out, const std::vector<std::pair<std::string, std::string>>& members) {
  for (const ClassDef& def : kClassDefs)
    for (const auto& [name, ids] : members)
      if (name == def.name && !ids.empty()) out += std::string("  classDef ") + def.name + " " + def.style + "\n";
  for (const auto& [name, ids] : members)
    if (!ids.empty()) out += "  class " + ids + " " + name + "\n";
}

void addMember(std::vector<std::pair<std::string, std::string>>& members, const std::string& name,
               const std::string& id) {
  for (auto& [n, ids] : members)
    if (n == name) {
      ids += (ids.empty() ? "" : ",") + id;
      return;
    }
  members.emplace_back(name, id);
}

}  // namespace

std::string labelText(std::string_view utf8) {
  // '%' too: Mermaid finds a directive ("%%{init: ...}%%") anywhere in a
  // diagram's text, and a line's "%%" starts a comment.
  return text::entityText(utf8, {"#", "<br>", "\"#<>&|`%"});
}

std::string flowchartText(const cfg::MethodFlow& flow, const FlowMarks* marks, bool latin1) {
  std::string out = "flowchart TD\n";
  std::vector<std::pair<std::string, std::string>> members;
  std::string linkStyles;
  size_t edgeIndex = 0;
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const cfg::Graph& graph = flow.graphs[g];
    const std::string indent = g == 0 ? "" : "  ";
    if (g > 0)
      out += "  subgraph l" + std::to_string(g) + "[\"" + labelText(utf8Of(graph.title, latin1)) + "\"]\n";
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      const cfg::Node& node = graph.nodes[n];
      const Mark mark = markOf(marks ? &marks->nodes : nullptr, g, n);
      const std::string id = idOf(g, n);
      const std::string label = markText(mark, numberOf(marks, g, n)) + boxText(node, latin1);
      out += indent + "  " + id + shaped(node.kind, labelText(label)) + "\n";
      addMember(members, kindClass(node.kind), id);
      if (mark != Mark::None) addMember(members, markClass(mark), id);
    }
    if (g > 0) out += "  end\n";
  }
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const cfg::Graph& graph = flow.graphs[g];
    for (size_t e = 0; e < graph.edges.size(); ++e) {
      const cfg::Edge& edge = graph.edges[e];
      const Mark mark = markOf(marks ? &marks->edges : nullptr, g, e);
      out += edgeLine(idOf(g, edge.from), idOf(g, edge.to), edge.kind, utf8Of(edge.label, latin1), mark);
      if (mark != Mark::None) {
        const char* colour = mark == Mark::Added ? "#1a7f37" : mark == Mark::Removed ? "#cf222e" : "#9a6700";
        linkStyles += "  linkStyle " + std::to_string(edgeIndex) + " stroke:" + colour + ",stroke-width:3px\n";
      }
      ++edgeIndex;
    }
  }
  appendClasses(out, members);
  return out + linkStyles;
}

namespace {

// One item of a page as a Mermaid node, its id `id`; its class goes into
// members.
std::string itemNode(const cfg::MethodFlow& flow, const flowdraw::PagePlan& plan, size_t p, size_t i,
                     const PageNames& names, bool latin1, const std::string& id,
                     std::vector<std::pair<std::string, std::string>>& members) {
  const flowdraw::Page& page = plan.pages[p];
  const cfg::Graph& graph = flow.graphs[page.graph];
  const flowdraw::PageItem& item = page.items[i];
  auto pageName = [&](std::optional<size_t> target) -> std::string {
    if (!target || *target >= names.titles.size()) return "";
    return names.titles[*target];
  };
  switch (item.kind) {
    case flowdraw::ItemKind::Node: {
      const cfg::Node& node = graph.nodes[item.node];
      addMember(members, kindClass(node.kind), id);
      return "  " + id + shaped(node.kind, labelText(boxText(node, latin1))) + "\n";
    }
    case flowdraw::ItemKind::Folded: {
      const cfg::Region& region = graph.regions[item.region];
      const std::string title = flowdraw::shortenedInMiddle(utf8Of(region.title, latin1), 60, true);
      const std::optional<size_t> target = plan.regionPage[page.graph][item.region];
      addMember(members, "k_folded", id);
      return "  " + id + "[\"" + labelText("\xE2\x96\xB8 " + title + "\n(see " + pageName(target) + ")") + "\"]\n";
    }
    case flowdraw::ItemKind::Entry:
    case flowdraw::ItemKind::Exit: {
      const cfg::Node& node = graph.nodes[item.node];
      const size_t there = plan.nodePage[page.graph][item.node];
      const std::string where = item.kind == flowdraw::ItemKind::Entry ? "from " : "to ";
      addMember(members, "k_offpage", id);
      return "  " + id + "([\"" + labelText(where + pageName(there) + "\n" + placeText(node, latin1)) + "\"])\n";
    }
  }
  return "";
}

}  // namespace

std::string placeText(const cfg::Node& node, bool latin1) {
  std::string text = node.kind == NodeKind::End    ? "end"
                     : node.kind == NodeKind::Exit ? "throws"
                                                   : flowdraw::shortenedInMiddle(
                                                         utf8Of(node.text.substr(0, node.text.find('\n')), latin1), 36, true);
  if (node.firstLine > 0) text = "L" + std::to_string(node.firstLine) + ": " + text;
  return text;
}

std::string flowchartPageText(const cfg::MethodFlow& flow, const flowdraw::PagePlan& plan, size_t p,
                              const PageNames& names, bool latin1) {
  const flowdraw::Page& page = plan.pages[p];
  std::string out = "flowchart TD\n";
  std::vector<std::pair<std::string, std::string>> members;
  for (size_t i = 0; i < page.items.size(); ++i)
    out += itemNode(flow, plan, p, i, names, latin1, "i" + std::to_string(i), members);
  for (const flowdraw::PageEdge& edge : page.edges)
    out += edgeLine("i" + std::to_string(edge.from), "i" + std::to_string(edge.to), edge.kind,
                    utf8Of(edge.label, latin1), Mark::None);
  appendClasses(out, members);
  return out;
}

std::string flowchartPartText(const cfg::MethodFlow& flow, const flowdraw::PagePlan& plan, size_t p,
                              const PageNames& names, const PageParts& parts, size_t part, bool latin1) {
  const flowdraw::Page& page = plan.pages[p];
  const cfg::Graph& graph = flow.graphs[page.graph];
  std::string out = "flowchart TD\n";
  std::vector<std::pair<std::string, std::string>> members;
  for (size_t i = 0; i < page.items.size(); ++i)
    if (parts.partOf[i] == part) out += itemNode(flow, plan, p, i, names, latin1, "i" + std::to_string(i), members);
  // An item of another part an edge crosses to stands here as a connector
  // naming that part; the page's own connectors are drawn again as they are.
  std::vector<std::string> connectors(page.items.size());
  const auto connector = [&](size_t i, bool entry) -> const std::string& {
    if (!connectors[i].empty()) return connectors[i];
    connectors[i] = "c" + std::to_string(i);
    const flowdraw::PageItem& item = page.items[i];
    if (item.kind == flowdraw::ItemKind::Entry || item.kind == flowdraw::ItemKind::Exit) {
      out += itemNode(flow, plan, p, i, names, latin1, connectors[i], members);
      return connectors[i];
    }
    const std::string where = (entry ? "from " : "to ") + parts.titles[parts.partOf[i]];
    const std::string what = item.kind == flowdraw::ItemKind::Node
                                 ? placeText(graph.nodes[item.node], latin1)
                                 : "\xE2\x96\xB8 " + flowdraw::shortenedInMiddle(
                                                          utf8Of(graph.regions[item.region].title, latin1), 36, true);
    out += "  " + connectors[i] + "([\"" + labelText(where + "\n" + what) + "\"])\n";
    addMember(members, "k_offpage", connectors[i]);
    return connectors[i];
  };
  std::string edges;
  for (const flowdraw::PageEdge& edge : page.edges) {
    const bool from = parts.partOf[edge.from] == part, to = parts.partOf[edge.to] == part;
    if (!from && !to) continue;
    const std::string a = from ? "i" + std::to_string(edge.from) : connector(edge.from, true);
    const std::string b = to ? "i" + std::to_string(edge.to) : connector(edge.to, false);
    edges += edgeLine(a, b, edge.kind, utf8Of(edge.label, latin1), Mark::None);
  }
  out += edges;
  appendClasses(out, members);
  return out;
}

bool fits(const DiagramSize& size, const DiagramSize& limits) {
  return size.characters < limits.characters && size.edges < limits.edges;
}

DiagramSize measure(std::string_view diagram) {
  DiagramSize size;
  size.characters = diagram.size();
  for (size_t at = 0; at < diagram.size();) {
    const size_t end = diagram.find('\n', at);
    const std::string_view line = diagram.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (line.find(" --> ") != std::string_view::npos || line.find(" -.->") != std::string_view::npos ||
        line.find(" ==>") != std::string_view::npos || line.find(" -->|") != std::string_view::npos)
      ++size.edges;
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return size;
}

}  // namespace mermaid
