#include "diff/mermaid_stand_in.h"

namespace diff::mermaid_stand_in {
namespace {

// A label inside Mermaid's double quotes: quotes and the characters its
// parser or Markdown would read are written as entities, line breaks as <br>.
std::string label(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '"': out += "#quot;"; break;
      case '<': out += "#lt;"; break;
      case '>': out += "#gt;"; break;
      case '&': out += "#amp;"; break;
      case '#': out += "#35;"; break;
      case '`': out += "#96;"; break;
      case '\n': out += "<br>"; break;
      case '\r': break;
      default: out += c;
    }
  }
  return out;
}

const char* markText(Mark mark) {
  switch (mark) {
    case Mark::Added: return "+ ";
    case Mark::Removed: return "\u2212 ";
    case Mark::Changed: return "~ ";
    default: return "";
  }
}

const char* className(Mark mark) {
  switch (mark) {
    case Mark::Added: return "added";
    case Mark::Removed: return "removed";
    case Mark::Changed: return "changed";
    default: return nullptr;
  }
}

std::string shaped(cfg::NodeKind kind, const std::string& text) {
  const std::string quoted = "\"" + text + "\"";
  switch (kind) {
    case cfg::NodeKind::Start:
    case cfg::NodeKind::End: return "([" + quoted + "])";
    case cfg::NodeKind::Decision: return "{" + quoted + "}";
    case cfg::NodeKind::Switch: return "{{" + quoted + "}}";
    case cfg::NodeKind::Join: return "((" + quoted + "))";
    case cfg::NodeKind::Exit: return "[[" + quoted + "]]";
    case cfg::NodeKind::Throw:
    case cfg::NodeKind::Break:
    case cfg::NodeKind::Continue:
    case cfg::NodeKind::Yield: return ">" + quoted + "]";
    case cfg::NodeKind::Return: return "(" + quoted + ")";
    default: return "[" + quoted + "]";
  }
}

std::string id(size_t graph, size_t node) { return "g" + std::to_string(graph) + "n" + std::to_string(node); }

}  // namespace

std::string flowchartText(const cfg::MethodFlow& flow, const FlowMarks* marks) {
  const auto nodeMark = [&](size_t g, size_t n) {
    return marks && g < marks->nodes.size() && n < marks->nodes[g].size() ? marks->nodes[g][n] : Mark::None;
  };
  const auto edgeMark = [&](size_t g, size_t e) {
    return marks && g < marks->edges.size() && e < marks->edges[g].size() ? marks->edges[g][e] : Mark::None;
  };
  std::string out = "flowchart TD\n";
  std::string classes;
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const cfg::Graph& graph = flow.graphs[g];
    if (g > 0) out += "  subgraph " + id(g, 0) + "s[\"" + label(graph.title) + "\"]\n";
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      const Mark mark = nodeMark(g, n);
      out += "  " + id(g, n) + shaped(graph.nodes[n].kind, label(markText(mark) + graph.nodes[n].text)) + "\n";
      if (const char* name = className(mark)) classes += "  class " + id(g, n) + " " + name + "\n";
    }
    if (g > 0) out += "  end\n";
  }
  size_t link = 0;
  std::string linkStyles;
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const cfg::Graph& graph = flow.graphs[g];
    for (size_t e = 0; e < graph.edges.size(); ++e) {
      const cfg::Edge& edge = graph.edges[e];
      const Mark mark = edgeMark(g, e);
      std::string text = edge.kind == cfg::EdgeKind::True    ? "yes"
                         : edge.kind == cfg::EdgeKind::False ? "no"
                         : edge.label.empty() && edge.kind == cfg::EdgeKind::Exception ? "exception"
                                                                                      : edge.label;
      if (mark == Mark::Added || mark == Mark::Removed) text = markText(mark) + text;
      while (!text.empty() && text.back() == ' ') text.pop_back();
      const bool dashed = mark == Mark::Removed || edge.kind == cfg::EdgeKind::Exception;
      out += "  " + id(g, edge.from) + (dashed ? " -.->" : " -->") +
             (text.empty() ? std::string(" ") : "|\"" + label(text) + "\"| ") + id(g, edge.to) + "\n";
      if (mark == Mark::Added) linkStyles += "  linkStyle " + std::to_string(link) + " stroke:#1a7f37,stroke-width:3px\n";
      if (mark == Mark::Removed)
        linkStyles += "  linkStyle " + std::to_string(link) + " stroke:#cf222e,stroke-dasharray:6 4\n";
      ++link;
    }
    if (graph.parentGraph && graph.parentNode) {
      out += "  " + id(*graph.parentGraph, *graph.parentNode) + " -.- " + id(g, 0) + "s\n";
      ++link;
    }
  }
  if (marks) {
    out += "  classDef added fill:#dafbe1,stroke:#1a7f37,stroke-width:2px\n"
           "  classDef removed fill:#ffebe9,stroke:#cf222e,stroke-dasharray:6 4\n"
           "  classDef changed fill:#fff8c5,stroke:#9a6700,stroke-width:2px\n";
    out += classes + linkStyles;
  }
  return out;
}

}  // namespace diff::mermaid_stand_in
