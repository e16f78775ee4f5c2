#include <algorithm>
#include <set>

#include "diff/reports.h"
#include "mermaid/flowchart_text.h"

namespace diff {
namespace {

mermaid::Mark markOf(Change change) {
  switch (change) {
    case Change::Added: return mermaid::Mark::Added;
    case Change::Removed: return mermaid::Mark::Removed;
    case Change::Changed: return mermaid::Mark::Changed;
    default: return mermaid::Mark::None;
  }
}

std::string mermaidOf(const MergedFlow& merged) {
  mermaid::FlowMarks marks;
  for (const auto& graph : merged.nodeChanges) {
    marks.nodes.emplace_back();
    for (Change change : graph) marks.nodes.back().push_back(markOf(change));
  }
  for (const auto& graph : merged.edgeChanges) {
    marks.edges.emplace_back();
    for (Change change : graph) marks.edges.back().push_back(markOf(change));
  }
  return mermaid::flowchartText(merged.flow, &marks);
}

// Only the nodes kept and the edges between them; the rest said in one node.
MethodDiff region(const MethodDiff& method, const std::vector<bool>& keep) {
  MethodDiff out;
  out.change = method.change;
  out.base = method.base;
  out.head = method.head;
  out.graphs = method.graphs;
  std::vector<size_t> at(method.nodes.size(), static_cast<size_t>(-1));
  size_t left = 0;
  for (size_t k = 0; k < method.nodes.size(); ++k) {
    if (!keep[k]) {
      ++left;
      continue;
    }
    at[k] = out.nodes.size();
    out.nodes.push_back(method.nodes[k]);
  }
  for (MethodDiff::GraphInfo& graph : out.graphs)
    if (graph.parentNode) graph.parentNode = at[*graph.parentNode] == static_cast<size_t>(-1) ? std::nullopt
                                                                                             : std::optional(at[*graph.parentNode]);
  for (const EdgeDiff& edge : method.edges)
    if (keep[edge.from] && keep[edge.to]) {
      EdgeDiff kept = edge;
      kept.from = at[edge.from];
      kept.to = at[edge.to];
      out.edges.push_back(kept);
    }
  // Every graph keeps a first node, as a graph starts with one.
  std::vector<bool> hasNode(out.graphs.size(), false);
  for (const NodeDiff& node : out.nodes) hasNode[node.graph] = true;
  NodeDiff note;
  note.id = "left-out";
  note.kind = cfg::NodeKind::Join;
  note.text = "\u2026 " + std::to_string(left) + " unchanged nodes not shown";
  note.graph = 0;
  if (left) out.nodes.push_back(note);
  for (size_t g = 0; g < out.graphs.size(); ++g)
    if (!hasNode[g] && !(g == 0 && left)) {
      NodeDiff empty = note;
      empty.text = "\u2026";
      empty.graph = g;
      out.nodes.push_back(empty);
    }
  return out;
}

std::string fenced(const std::string& text) { return "```mermaid\n" + text + "```\n"; }

bool fits(const std::string& text, const MarkdownLimits& limits) {
  return mermaid::fits(mermaid::measure(text), {limits.block, limits.blockEdges});
}

std::string cell(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '|') out += "\\|";
    else if (c == '\n') out += ' ';
    else out += c;
  }
  return out;
}

std::string valueText(const MethodVersion* side, int64_t Measures::*member) {
  return side && side->measures ? std::to_string((*side->measures).*member) : "\u2013";
}

std::string anchorOf(size_t index) { return "m" + std::to_string(index + 1); }

}  // namespace

std::string mergedMermaid(const MethodDiff& method, const MarkdownLimits& limits) {
  {
    const MergedFlow whole = mergedFlow(method, false);
    std::string text = mermaidOf(whole);
    if (fits(text, limits)) return text;
  }
  // Too large: the changed nodes with their neighbours, then the changed
  // nodes alone.
  for (bool neighbours : {true, false}) {
    std::vector<bool> keep(method.nodes.size(), false);
    for (size_t k = 0; k < method.nodes.size(); ++k) keep[k] = method.nodes[k].change != Change::Same;
    if (neighbours) {
      std::vector<bool> changed = keep;
      for (const EdgeDiff& edge : method.edges)
        if (changed[edge.from] || changed[edge.to] || edge.change != Change::Same) keep[edge.from] = keep[edge.to] = true;
    }
    const MethodDiff part = region(method, keep);
    const MergedFlow merged = mergedFlow(part, false);
    std::string text = mermaidOf(merged);
    if (fits(text, limits)) return text;
  }
  return {};
}

std::string diffMarkdown(const Diff& diff, const std::string& linkPrefix, const MarkdownLimits& limits) {
  std::string head = "## Control-flow changes: " + diff.base + " \u2192 " + diff.head + "\n\n";
  head += std::to_string(diff.methods.size()) + (diff.methods.size() == 1 ? " method" : " methods") +
          " listed, " + std::to_string(diff.unchanged) + " unchanged.  Marks: `+` added, `\u2212` removed (dashed), "
          "`~` changed.\n\n";
  for (const FileFailure& failure : diff.failures)
    head += "- `" + cell(failure.file) + "` (" + cell(failure.side) + ") was not compared: " + cell(failure.message) +
            "\n";
  if (!diff.failures.empty()) head += "\n";
  std::string table = "| file | method | change | CC | COG | nodes +/\u2212/~ |\n|---|---|---|---|---|---|\n";
  // The flowcharts, the largest change first.
  std::vector<size_t> order;
  for (size_t k = 0; k < diff.methods.size(); ++k)
    if (diff.methods[k].head) order.push_back(k);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return diff.methods[a].size() > diff.methods[b].size(); });
  const std::set<size_t> charted(order.begin(), order.end());
  std::vector<std::string> rows;
  for (size_t k = 0; k < diff.methods.size(); ++k) {
    const MethodDiff& method = diff.methods[k];
    const MethodVersion& shown = method.shown();
    std::string file = "`" + cell(shown.file) + "`";
    std::string name = "`" + cell(shown.className + "." + shown.signature) + "`";
    if (!linkPrefix.empty()) {
      const std::string target = linkPrefix + shown.file + "#L" + std::to_string(shown.line);
      file = "[" + file + "](" + linkPrefix + shown.file + ")";
      name = "[" + name + "](" + target + ")";
    }
    if (charted.count(k)) name += " ([chart](#" + anchorOf(k) + "))";
    std::string change(changeName(method.change));
    if (method.change == Change::Renamed) change += " from `" + cell(method.base->signature) + "`";
    rows.push_back("| " + file + " | " + name + " | " + change + " | " +
                   valueText(method.base, &Measures::complexity) + " \u2192 " +
                   valueText(method.head, &Measures::complexity) + " | " +
                   valueText(method.base, &Measures::cognitive) + " \u2192 " +
                   valueText(method.head, &Measures::cognitive) + " | " +
                   std::to_string(method.count(Change::Added)) + "/" + std::to_string(method.count(Change::Removed)) +
                   "/" + std::to_string(method.count(Change::Changed)) + " |\n");
  }
  // Room kept for the closing note of what was left out.
  const size_t reserve = 600;
  std::string out = head + table;
  size_t rowsShown = 0;
  for (const std::string& row : rows) {
    if (out.size() + row.size() + reserve > limits.comment) break;
    out += row;
    ++rowsShown;
  }
  if (rowsShown < rows.size()) {
    out += "\n" + std::to_string(rows.size() - rowsShown) +
           " more methods are left out of the table: the comment would pass GitHub's size limit.  "
           "Run `flowchart diff` with `-o OUT.json` or `-o DIR` for all.\n";
    return out;
  }
  std::vector<std::string> leftOut, tooLarge;
  for (size_t k : order) {
    const MethodDiff& method = diff.methods[k];
    const MethodVersion& shown = method.shown();
    const std::string title = shown.className + "." + shown.signature;
    const std::string chart = mergedMermaid(method, limits);
    if (chart.empty()) {
      tooLarge.push_back(title);
      continue;
    }
    std::string section = "\n<a id=\"" + anchorOf(k) + "\"></a>\n### `" + title + "` (" +
                          std::string(changeName(method.change)) + ")\n\n" + fenced(chart);
    if (out.size() + section.size() + reserve > limits.comment) {
      leftOut.push_back(title);
      continue;
    }
    out += section;
  }
  const auto listed = [](const std::vector<std::string>& names) {
    std::string text;
    for (size_t k = 0; k < names.size() && k < 5; ++k) text += (k ? ", `" : "`") + names[k] + "`";
    if (names.size() > 5) text += " and " + std::to_string(names.size() - 5) + " more";
    return text;
  };
  if (!tooLarge.empty())
    out += "\nToo large for a Mermaid block even as its changed region: " + listed(tooLarge) + ".\n";
  if (!leftOut.empty())
    out += "\n" + std::to_string(leftOut.size()) + " flowcharts left out to stay within GitHub's comment size: " +
           listed(leftOut) + ".\n";
  return out;
}

}  // namespace diff
