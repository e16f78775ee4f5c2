#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <tuple>

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

// The merged flow as Mermaid; each changed node numbered, in the order
// of MethodDiff::nodes, as the table under the chart names it.
std::string mermaidOf(const MergedFlow& merged, const std::vector<size_t>& numbers) {
  mermaid::FlowMarks marks;
  for (size_t g = 0; g < merged.nodeChanges.size(); ++g) {
    marks.nodes.emplace_back();
    marks.numbers.emplace_back();
    for (size_t n = 0; n < merged.nodeChanges[g].size(); ++n) {
      marks.nodes.back().push_back(markOf(merged.nodeChanges[g][n]));
      marks.numbers.back().push_back(numbers.empty() ? 0 : numbers[merged.nodeDiffs[g][n]]);
    }
  }
  for (const auto& graph : merged.edgeChanges) {
    marks.edges.emplace_back();
    for (Change change : graph) marks.edges.back().push_back(markOf(change));
  }
  return mermaid::flowchartText(merged.flow, &marks);
}

// The nodes kept, and each run of the others (those joined by edges
// among them, in one graph) folded into one box saying how many it holds;
// the edges between kept nodes and runs, once each.
MethodDiff folded(const MethodDiff& method, std::vector<bool> keep) {
  MethodDiff out;
  out.change = method.change;
  out.base = method.base;
  out.head = method.head;
  out.graphs = method.graphs;
  // The runs: the left-out nodes joined through the edges between them.
  std::vector<size_t> run(method.nodes.size());
  for (size_t k = 0; k < run.size(); ++k) run[k] = k;
  const std::function<size_t(size_t)> root = [&](size_t k) { return run[k] == k ? k : run[k] = root(run[k]); };
  for (const EdgeDiff& edge : method.edges)
    if (!keep[edge.from] && !keep[edge.to]) run[root(edge.from)] = root(edge.to);
  std::vector<size_t> at(method.nodes.size()), held(method.nodes.size(), 0);
  for (size_t k = 0; k < method.nodes.size(); ++k)
    if (!keep[k]) ++held[root(k)];
  // A box folded alone takes as much room as itself.
  for (size_t k = 0; k < method.nodes.size(); ++k)
    if (!keep[k] && held[root(k)] == 1) keep[k] = true;
  std::map<size_t, size_t> foldOf;
  for (size_t k = 0; k < method.nodes.size(); ++k) {
    if (keep[k]) {
      at[k] = out.nodes.size();
      out.nodes.push_back(method.nodes[k]);
      continue;
    }
    const size_t r = root(k);
    if (!foldOf.count(r)) {
      foldOf[r] = out.nodes.size();
      NodeDiff fold;
      fold.id = "fold" + std::to_string(foldOf.size());
      fold.kind = cfg::NodeKind::Statement;
      fold.text = "\u22EE " + std::to_string(held[r]) + (held[r] == 1 ? " unchanged box" : " unchanged boxes");
      fold.graph = method.nodes[k].graph;
      out.nodes.push_back(fold);
    }
    at[k] = foldOf[r];
  }
  for (MethodDiff::GraphInfo& graph : out.graphs)
    if (graph.parentNode) graph.parentNode = at[*graph.parentNode];
  std::set<std::tuple<size_t, size_t, cfg::EdgeKind, std::string, Change>> seen;
  for (const EdgeDiff& edge : method.edges) {
    if (!keep[edge.from] && !keep[edge.to]) continue;
    EdgeDiff kept = edge;
    kept.from = at[edge.from];
    kept.to = at[edge.to];
    if (seen.insert({kept.from, kept.to, kept.kind, kept.label, kept.change}).second) out.edges.push_back(kept);
  }
  return out;
}

// The changed nodes, their neighbours up to `reach` edges away, and each
// graph's start and end.
std::vector<bool> changedRegion(const MethodDiff& method, size_t reach) {
  std::vector<bool> keep(method.nodes.size(), false);
  for (size_t k = 0; k < method.nodes.size(); ++k) keep[k] = method.nodes[k].change != Change::Same;
  for (const EdgeDiff& edge : method.edges)
    if (edge.change != Change::Same) keep[edge.from] = keep[edge.to] = true;
  // Not through the ways out, which every return and throw leads to.
  const auto hub = [&](size_t k) {
    return method.nodes[k].kind == cfg::NodeKind::End || method.nodes[k].kind == cfg::NodeKind::Exit;
  };
  for (size_t step = 0; step < reach; ++step) {
    std::vector<bool> wider = keep;
    for (const EdgeDiff& edge : method.edges)
      if ((keep[edge.from] && !hub(edge.from)) || (keep[edge.to] && !hub(edge.to)))
        wider[edge.from] = wider[edge.to] = true;
    keep = std::move(wider);
  }
  for (size_t k = 0; k < method.nodes.size(); ++k)
    if (method.nodes[k].kind == cfg::NodeKind::Start || method.nodes[k].kind == cfg::NodeKind::End) keep[k] = true;
  return keep;
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

std::vector<size_t> changedNumbers(const MethodDiff& method) {
  std::vector<size_t> numbers(method.nodes.size(), 0);
  size_t next = 0;
  for (size_t k = 0; k < method.nodes.size(); ++k)
    if (method.nodes[k].change == Change::Changed) numbers[k] = ++next;
  return numbers;
}

std::string mergedMermaid(const MethodDiff& method, const MarkdownLimits& limits) {
  const std::vector<size_t> numbers = changedNumbers(method);
  if (method.nodes.size() <= limits.readableBoxes) {
    std::string text = mermaidOf(mergedFlow(method, false), numbers);
    if (fits(text, limits)) return text;
  }
  // Too large to read or to render whole: the changed region with its
  // neighbours, as near as fits, the rest folded.
  for (size_t reach : {2, 1, 0}) {
    const MethodDiff part = folded(method, changedRegion(method, reach));
    std::vector<size_t> partNumbers;
    for (const NodeDiff& node : part.nodes) {
      const auto found = std::find_if(method.nodes.begin(), method.nodes.end(),
                                      [&](const NodeDiff& whole) { return whole.id == node.id; });
      partNumbers.push_back(found == method.nodes.end() ? 0 : numbers[size_t(found - method.nodes.begin())]);
    }
    std::string text = mermaidOf(mergedFlow(part, false), partNumbers);
    if (fits(text, limits) && (reach == 0 || part.nodes.size() <= limits.readableBoxes)) return text;
  }
  return {};
}

namespace {

// Where a node stands: "L12", "L12–14", or nothing.
std::string linesText(const std::vector<int32_t>& lines) {
  if (lines.empty()) return "";
  const int32_t first = *std::min_element(lines.begin(), lines.end());
  const int32_t last = *std::max_element(lines.begin(), lines.end());
  return "L" + std::to_string(first) + (last > first ? "\u2013" + std::to_string(last) : std::string()) + " ";
}

// The changed boxes of a chart, each with its text before and after and
// their lines: a reviewer sees what a "~" box was without the JSON.
std::string changedBoxes(const MethodDiff& method) {
  const std::vector<size_t> numbers = changedNumbers(method);
  std::string out;
  for (size_t k = 0; k < method.nodes.size(); ++k) {
    const NodeDiff& node = method.nodes[k];
    if (!numbers[k] || !node.baseText) continue;
    const auto shown = [](const std::string& text) {
      return codeSpan(text::shortened(text, 300, text::Charset::Utf8));
    };
    out += "| ~" + std::to_string(numbers[k]) + " | " + linesText(node.baseLines) + shown(*node.baseText) + " | " +
           linesText(node.headLines) + shown(node.text) + " |\n";
  }
  return out.empty() ? out : "\n| box | before | after |\n|---|---|---|\n" + out;
}

}  // namespace

bool isTestSource(std::string_view path) {
  const std::string file(path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1));
  const auto endsWith = [&](std::string_view tail) {
    return file.size() >= tail.size() && file.compare(file.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (endsWith("Test.java") || endsWith("Tests.java") || endsWith("IT.java")) return true;
  // Maven's and Gradle's test source sets: src/test/, src/integrationTest/, src/jmhTest/...
  const std::string whole = "/" + std::string(path);
  for (size_t at = whole.find("/src/"); at != std::string::npos; at = whole.find("/src/", at + 1)) {
    const size_t start = at + 5, end = whole.find('/', start);
    if (end == std::string::npos) break;
    const std::string_view set = std::string_view(whole).substr(start, end - start);
    if (set == "test" || set.find("Test") != std::string_view::npos) return true;
  }
  return false;
}

namespace {

// Why a listed method has no chart in the comment, if it has none.
enum class Chart : uint8_t { Drawn, None, NoFlowChange, TooLarge, OverLimit };

std::string chartNote(Chart chart, size_t index) {
  switch (chart) {
    case Chart::Drawn: return " ([chart](#" + anchorOf(index) + "))";
    case Chart::NoFlowChange: return " (no chart: the same flow)";
    case Chart::TooLarge: return " (not drawn: too large for a Mermaid block)";
    case Chart::OverLimit: return " (not drawn: the comment's limit)";
    case Chart::None: return "";
  }
  return "";
}

std::string tableRow(const MethodDiff& method, const std::string& linkPrefix, Chart chart, size_t index) {
  const MethodVersion& shown = method.shown();
  std::string file = fileSpan(shown.file);
  std::string name = codeSpan(shown.className + "." + shown.signature);
  if (!linkPrefix.empty()) {
    const std::string target = linkTo(linkPrefix, shown.file);
    file = "[" + file + "](" + target + ")";
    name = "[" + name + "](" + target + "#L" + std::to_string(shown.line) + ")";
  }
  name += chartNote(chart, index);
  std::string change(changeName(method.change));
  if (method.withClass) change += " with its class from " + codeSpan(method.base->className);
  else if (method.change == Change::Renamed) change += " from " + codeSpan(method.base->signature);
  if (method.head && !method.head->hiddenCode.empty()) change += ", hidden code at " + hiddenLines(*method.head);
  return "| " + file + " | " + name + " | " + change + " | " + valueText(method.base, &Measures::complexity) +
         " \u2192 " + valueText(method.head, &Measures::complexity) + " | " +
         valueText(method.base, &Measures::cognitive) + " \u2192 " + valueText(method.head, &Measures::cognitive) +
         " | " + std::to_string(method.count(Change::Added)) + "/" + std::to_string(method.count(Change::Removed)) +
         "/" + std::to_string(method.count(Change::Changed)) + " |\n";
}

std::string sideName(const std::string& side) {
  return plainText(text::shortened(text::quotedName(side), 200, text::Charset::Utf8));
}

// The title, the counts, the files not compared (at most half the
// comment; the rest counted) and the code Unicode escapes hide.
std::string headText(const Diff& diff, const MarkdownLimits& limits) {
  std::string head = "## Control-flow changes: " + sideName(diff.base) + " \u2192 " + sideName(diff.head) + "\n\n";
  head += std::to_string(diff.methods.size()) + (diff.methods.size() == 1 ? " method" : " methods") +
          " listed, " + std::to_string(diff.unchanged) + " unchanged.  Marks: `+` added, `\u2212` removed (dashed), "
          "`~` changed (numbered as in the table under its chart).\n\n";
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
  return head;
}

// The methods to chart in the order they earn the comment's room:
// production code before tests, then the larger change first.
std::vector<size_t> chartOrder(const Diff& diff) {
  std::vector<size_t> order;
  for (size_t k = 0; k < diff.methods.size(); ++k)
    if (diff.methods[k].head && diff.methods[k].size() > 0) order.push_back(k);
  std::vector<bool> test(diff.methods.size());
  for (size_t k : order) test[k] = isTestSource(diff.methods[k].shown().file);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (test[a] != test[b]) return !test[a];
    return diff.methods[a].size() > diff.methods[b].size();
  });
  return order;
}

std::string chartSection(const Diff& diff, size_t k, const std::string& chart) {
  const MethodDiff& method = diff.methods[k];
  return "\n<a id=\"" + anchorOf(k) + "\"></a>\n### " + codeSpan(method.shown().className + "." + method.shown().signature) +
         " (" + std::string(changeName(method.change)) + ")\n\n" + fenced(chart) + changedBoxes(method);
}

}  // namespace

std::string diffMarkdown(const Diff& diff, const std::string& linkPrefix, const MarkdownLimits& limits) {
  const std::string head = headText(diff, limits);
  const std::string table = "| file | method | change | CC | COG | nodes +/\u2212/~ |\n|---|---|---|---|---|---|\n";
  // Each method's chart, or why it has none; the charts first all counted
  // as left out, then taken in order as long as the comment holds them.
  std::vector<Chart> charts(diff.methods.size(), Chart::None);
  for (size_t k = 0; k < diff.methods.size(); ++k)
    if (diff.methods[k].head) charts[k] = diff.methods[k].size() > 0 ? Chart::OverLimit : Chart::NoFlowChange;
  const std::vector<size_t> order = chartOrder(diff);
  const auto closing = [&] {
    size_t overLimit = 0, tooLarge = 0;
    for (Chart chart : charts) overLimit += chart == Chart::OverLimit, tooLarge += chart == Chart::TooLarge;
    if (!overLimit && !tooLarge) return std::string();
    return "\n" + std::to_string(overLimit + tooLarge) +
           " flowcharts not drawn (the table says why): `-o DIR` writes the site, which draws them all.\n";
  };
  size_t size = head.size() + table.size() + closing().size() + 200;
  for (size_t k = 0; k < diff.methods.size(); ++k) size += tableRow(diff.methods[k], linkPrefix, charts[k], k).size();
  std::vector<std::string> sections(diff.methods.size());
  for (size_t k : order) {
    const std::string chart = mergedMermaid(diff.methods[k], limits);
    if (chart.empty()) {
      charts[k] = Chart::TooLarge;
      continue;
    }
    std::string section = chartSection(diff, k, chart);
    const size_t grows = section.size() + tableRow(diff.methods[k], linkPrefix, Chart::Drawn, k).size() -
                         tableRow(diff.methods[k], linkPrefix, Chart::OverLimit, k).size();
    if (size + grows > limits.comment) continue;
    size += grows;
    charts[k] = Chart::Drawn;
    sections[k] = std::move(section);
  }
  std::string out = head + table;
  const size_t reserve = 600;  // for the closing note of what was left out
  size_t rowsShown = 0;
  for (size_t k = 0; k < diff.methods.size(); ++k) {
    const std::string row = tableRow(diff.methods[k], linkPrefix, charts[k], k);
    if (out.size() + row.size() + reserve > limits.comment) break;
    out += row;
    ++rowsShown;
  }
  if (rowsShown < diff.methods.size())
    return out + "\n" + std::to_string(diff.methods.size() - rowsShown) +
           " more methods are left out of the table: the comment would pass GitHub's size limit.  "
           "Run `flowchart diff` with `-o OUT.json` or `-o DIR` for all.\n";
  for (size_t k : order) out += sections[k];
  return out + closing();
}

}  // namespace diff
