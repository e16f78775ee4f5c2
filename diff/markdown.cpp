#include <algorithm>
#include <cctype>
#include <set>

#include "diff/reports.h"
#include "mermaid/flowchart_text.h"
#include "text/text_output.h"

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

// Text as a code span, in which nothing is Markdown (CommonMark): fenced
// by a run of backticks longer than any the text holds, a space inside
// each fence where the text starts or ends with a backtick, or with a
// space at both ends (one of each is taken off); a table's '|' escaped.
std::string codeSpan(const std::string& text) {
  const std::string inside = cell(text);
  size_t longest = 0, run = 0;
  for (char c : inside) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  const bool blanks = !inside.empty() && inside.front() == ' ' && inside.back() == ' ' &&
                      inside.find_first_not_of(' ') != std::string::npos;
  const bool padded = !inside.empty() && (inside.front() == '`' || inside.back() == '`' || blanks);
  const std::string fence(longest + 1, '`');
  return padded ? fence + " " + inside + " " + fence : fence + inside + fence;
}

// A file's name in a code span, quoted as messages quote it when it holds
// a control character.
std::string fileSpan(const std::string& file) { return codeSpan(text::quotedName(file)); }

// Text in a line of Markdown, taken as it is: the ASCII punctuation that
// could start emphasis, a link, an image, HTML, a code span or a strike
// escaped with a backslash, a table's '|' too.
std::string plainText(const std::string& text) {
  std::string out;
  for (char c : cell(text)) {
    if (std::string_view("\\`*_[]<>!~#&").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

// The bytes percent-encoded, but those kept.
template <typename Kept>
std::string percentEncoded(std::string_view text, Kept kept) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (kept(byte)) out += c;
    else out.append(1, '%').append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
  }
  return out;
}

// A link's destination: the prefix given, with what would end a
// destination encoded (blanks, control characters, angle brackets and
// parentheses), then the path with every byte but letters, digits, "-._~"
// and '/' encoded.
std::string linkTo(std::string_view prefix, std::string_view path) {
  return percentEncoded(prefix, [](unsigned char byte) {
           return byte > 0x20 && byte < 0x7F && std::string_view("<>()").find(char(byte)) == std::string_view::npos;
         }) +
         percentEncoded(path, [](unsigned char byte) {
           return (byte < 0x80 && std::isalnum(byte)) || std::string_view("-._~/").find(char(byte)) != std::string_view::npos;
         });
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
  const auto sideName = [](const std::string& side) {
    return plainText(text::shortened(text::quotedName(side), 200, text::Charset::Utf8));
  };
  std::string head = "## Control-flow changes: " + sideName(diff.base) + " \u2192 " + sideName(diff.head) + "\n\n";
  head += std::to_string(diff.methods.size()) + (diff.methods.size() == 1 ? " method" : " methods") +
          " listed, " + std::to_string(diff.unchanged) + " unchanged.  Marks: `+` added, `\u2212` removed (dashed), "
          "`~` changed.\n\n";
  // The files not compared take at most half the comment; the rest are counted.
  size_t failuresShown = 0;
  for (const FileFailure& failure : diff.failures) {
    const std::string line = "- " + fileSpan(failure.file) + " (" + sideName(failure.side) +
                             ") was not compared: " + plainText(failure.message) + "\n";
    if (head.size() + line.size() > limits.comment / 2) break;
    head += line;
    ++failuresShown;
  }
  if (failuresShown < diff.failures.size())
    head += "- \u2026 and " + std::to_string(diff.failures.size() - failuresShown) +
            " more files not compared: `-o OUT.json` lists them all.\n";
  if (!diff.failures.empty()) head += "\n";
  // Code hidden behind Unicode escapes, before anything else is read; the
  // first places only, within the comment's limit.
  constexpr size_t kHiddenShown = 20;
  std::string hidden;
  size_t hiddenPlaces = 0;
  for (const MethodDiff& method : diff.methods)
    if (method.head)
      for (const java::HiddenCode& code : method.head->hiddenCode) {
        if (++hiddenPlaces > kHiddenShown) continue;
        const std::string place = text::quotedName(method.head->file) + ":" + std::to_string(code.line) + ":" +
                                  std::to_string(code.column);
        hidden += "- " + codeSpan(place) + " " + codeSpan(method.head->className + "." + method.head->signature) +
                  ": " + codeSpan(code.message()) + "\n";
      }
  if (hiddenPlaces > kHiddenShown)
    hidden += "- \u2026 and " + std::to_string(hiddenPlaces - kHiddenShown) +
              " more places: `-o OUT.json` lists them all.\n";
  if (!hidden.empty())
    head += "**Unicode escapes hide code.** javac reads them before anything else, so what it compiles is not what "
            "the source seems to say; the flowcharts show what it compiles.\n\n" + hidden + "\n";
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
    std::string file = fileSpan(shown.file);
    std::string name = codeSpan(shown.className + "." + shown.signature);
    if (!linkPrefix.empty()) {
      const std::string target = linkTo(linkPrefix, shown.file);
      file = "[" + file + "](" + target + ")";
      name = "[" + name + "](" + target + "#L" + std::to_string(shown.line) + ")";
    }
    if (charted.count(k)) name += " ([chart](#" + anchorOf(k) + "))";
    std::string change(changeName(method.change));
    if (method.change == Change::Renamed) change += " from " + codeSpan(method.base->signature);
    if (method.head && !method.head->hiddenCode.empty()) change += ", hidden code at " + hiddenLines(*method.head);
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
  const auto titleOf = [&](size_t k) {
    const MethodVersion& shown = diff.methods[k].shown();
    return shown.className + "." + shown.signature;
  };
  // By their place in order: the charts too large for a block, those left
  // out for the comment's size, and those written, where each begins.
  std::vector<size_t> tooLarge, leftOut;
  std::vector<std::pair<size_t, size_t>> written;
  for (size_t at = 0; at < order.size(); ++at) {
    const size_t k = order[at];
    const MethodDiff& method = diff.methods[k];
    const std::string chart = mergedMermaid(method, limits);
    if (chart.empty()) {
      tooLarge.push_back(at);
      continue;
    }
    std::string section = "\n<a id=\"" + anchorOf(k) + "\"></a>\n### " + codeSpan(titleOf(k)) + " (" +
                          std::string(changeName(method.change)) + ")\n\n" + fenced(chart);
    if (out.size() + section.size() + reserve > limits.comment) {
      leftOut.push_back(at);
      continue;
    }
    written.emplace_back(at, out.size());
    out += section;
  }
  // The closing notes, naming up to five charts each (or only counting
  // them, where even that would pass the limit).
  const auto notes = [&](bool named) {
    const auto listed = [&](const std::vector<size_t>& places) {
      std::string text;
      for (size_t n = 0; n < places.size() && n < 5; ++n)
        text += (n ? ", " : "") + codeSpan(text::shortened(titleOf(order[places[n]]), 200, text::Charset::Utf8));
      if (places.size() > 5) text += " and " + std::to_string(places.size() - 5) + " more";
      return text;
    };
    std::string text;
    if (!tooLarge.empty())
      text += named ? "\nToo large for a Mermaid block even as its changed region: " + listed(tooLarge) + ".\n"
                    : "\n" + std::to_string(tooLarge.size()) + " flowcharts too large for a Mermaid block.\n";
    if (!leftOut.empty())
      text += "\n" + std::to_string(leftOut.size()) + " flowcharts left out to stay within GitHub's comment size" +
              (named ? ": " + listed(leftOut) : std::string()) + ".\n";
    return text;
  };
  std::string closing = notes(true);
  while (out.size() + closing.size() > limits.comment && !written.empty()) {
    out.resize(written.back().second);
    leftOut.insert(std::lower_bound(leftOut.begin(), leftOut.end(), written.back().first), written.back().first);
    written.pop_back();
    closing = notes(true);
  }
  if (out.size() + closing.size() > limits.comment) closing = notes(false);
  return out + closing;
}

}  // namespace diff
