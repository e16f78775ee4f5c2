#include "sequence/sequence_dot.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "flowgraph/dot_text.h"

namespace sequence {
namespace {

// The drawn object box is 1.25 by 0.375 inches, which is 120 by 36 layout
// points (the drawing divides by 96): the nodes are given that size in
// inches of 72 points, so that neighbours never overlap.
constexpr const char* kObjectNode = "shape=box, fixedsize=true, width=1.667, height=0.5, fontsize=9";

// Widths in the layout's inches: the drawing shows 72 layout points as
// three quarters of an inch.
constexpr double kObjectWidth = 1.667;
constexpr double kRankSeparation = 0.55;
constexpr double kLayoutInchesPerDrawnInch = 96.0 / 72.0;

// About how wide a message's text is drawn (8 points, 0.6 em a character
// on average; longer texts wrap at 2.5 inches), with a little margin, in
// the layout's inches.
double messageTextWidth(std::string_view shown, flowgraph::Charset charset) {
  size_t characters = 0;
  for (char c : shown)
    if (charset != flowgraph::Charset::Utf8 || (static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  const double drawnInches = std::min(static_cast<double>(characters) * 0.6 * 8.0 / 72.0, 2.5) + 0.25;
  return drawnInches * kLayoutInchesPerDrawnInch;
}

// How much wider than the others each object's node is made, so that the
// text of every message between two objects fits between their lifelines.
// Shorter messages are fitted first; a message that needs more room gets
// it in the gap before its right-hand end.
std::vector<double> objectWidths(const Diagram& diagram, flowgraph::Charset charset) {
  const size_t objects = diagram.lifelines.size();
  std::vector<double> gapExtra(objects > 0 ? objects - 1 : 0, 0.0);
  struct Span {
    size_t left, right;
    double needed;
  };
  std::vector<Span> spans;
  for (const Message& message : diagram.messages) {
    if (message.from == message.to || message.from >= objects || message.to >= objects) continue;
    const std::string shown = flowgraph::shortened(message.text, kMessageColumns, charset);
    double needed = messageTextWidth(shown, charset);
    // A creation ends at the new object's box, half a box short of its lifeline.
    if (message.kind == Message::Kind::Create) needed += kObjectWidth / 2.0;
    spans.push_back({std::min(message.from, message.to), std::max(message.from, message.to), needed});
  }
  std::stable_sort(spans.begin(), spans.end(),
                   [](const Span& a, const Span& b) { return a.right - a.left < b.right - b.left; });
  for (const Span& span : spans) {
    double have = 0.0;
    for (size_t gap = span.left; gap < span.right; ++gap) have += kObjectWidth + kRankSeparation + gapExtra[gap];
    if (have < span.needed) gapExtra[span.right - 1] += span.needed - have;
  }
  // A gap is half of each neighbour's width plus the rank separation: the
  // right-hand neighbour grows by twice the room its gap lacks.
  std::vector<double> widths(objects, kObjectWidth);
  for (size_t gap = 0; gap < gapExtra.size(); ++gap) widths[gap + 1] += 2.0 * gapExtra[gap];
  return widths;
}

// Three decimals at most, trailing zeros dropped: 0.55, 2.031.
std::string inchesText(double inches) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", inches);
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out;
}

std::string quoted(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 2);
  out += '"';
  out += name;
  out += '"';
  return out;
}

std::string rowName(size_t row) { return quoted("t." + std::to_string(row)); }

std::string quotedLifeline(size_t lifeline) { return quoted(lifelineNodeName(lifeline)); }

}  // namespace

std::string lifelineNodeName(size_t lifeline) { return "o." + std::to_string(lifeline + 1); }

std::string sequenceDot(const Diagram& diagram, flowgraph::Charset charset) {
  const size_t messages = diagram.messages.size();
  // Each message has a row; a new object's box, as tall as a row is high,
  // gets an empty row above it, and the lifelines end two rows below the
  // last message, clear of a box made by it.
  std::vector<size_t> rowOf(messages);
  size_t row = 0;
  for (size_t k = 0; k < messages; ++k) {
    if (diagram.messages[k].kind == Message::Kind::Create) ++row;
    rowOf[k] = ++row;
  }
  const size_t lastRow = row + 2;
  std::string out = "digraph \"sequence\" {\n  graph [rankdir=LR, ranksep=" + inchesText(kRankSeparation) +
                    ", nodesep=0.22";
  if (charset == flowgraph::Charset::Latin1) out += ", charset=latin1";
  out += "];\n";

  out += "  node [" + std::string(kObjectNode) + "];\n";
  const std::vector<double> widths = objectWidths(diagram, charset);
  for (size_t i = 0; i < diagram.lifelines.size(); ++i) {
    out +=
        "  " + quotedLifeline(i) + " [zarncls=1, label=" +
        flowgraph::dotShownText(flowgraph::shortened(diagram.lifelines[i].label, kLifelineColumns, charset)) +
        ", zarnlast=" + flowgraph::dotQuoted("t." + std::to_string(lastRow));
    if (widths[i] > kObjectWidth) out += ", width=" + inchesText(widths[i]);
    out += "];\n";
  }

  // The rows, top to bottom, in one rank.
  out += "  node [shape=point, width=0.05, height=0.05, label=\"\"];\n  { rank=same;";
  for (size_t r = 0; r <= lastRow; ++r) {
    out += ' ';
    out += rowName(r);
    out += ';';
  }
  out += " }\n  ";
  for (size_t r = 0; r <= lastRow; ++r) {
    if (r > 0) out += " -> ";
    out += rowName(r);
  }
  out += " [style=invis];\n";

  // The objects, left to right, each held at its row's height: those there
  // from the start in a chain from the top row, the others by their
  // creation's row.  The chain of light edges only orders the ranks.
  if (diagram.lifelines.size() > 1) {
    out += "  ";
    for (size_t i = 0; i < diagram.lifelines.size(); ++i) {
      if (i > 0) out += " -> ";
      out += quotedLifeline(i);
    }
    out += " [style=invis, weight=0];\n";
  }
  std::string previousTop = rowName(0);
  for (size_t i = 0; i < diagram.lifelines.size(); ++i) {
    const size_t createdBy = diagram.lifelines[i].createdBy;
    const std::string from = createdBy == kNone ? previousTop : rowName(rowOf[createdBy]);
    out += "  " + from + " -> " + quotedLifeline(i) + " [style=invis, weight=1000];\n";
    if (createdBy == kNone) previousTop = quotedLifeline(i);
  }

  for (size_t k = 0; k < messages; ++k) {
    const Message& message = diagram.messages[k];
    const std::string text =
        flowgraph::dotShownText(flowgraph::shortened(message.text, kMessageColumns, charset));
    out += "  " + rowName(rowOf[k]) + " -> " + rowName(rowOf[k]) +
           " [zarnedge=" + (message.kind == Message::Kind::Return ? "2" : "1") +
           ", zarnfrom=" + quotedLifeline(message.from) + ", zarnto=" + quotedLifeline(message.to);
    if (message.kind == Message::Kind::SelfCall) out += ", zarnself=1";
    if (message.kind == Message::Kind::Create) out += ", zarnsuper=1";
    out += message.kind == Message::Kind::Return ? ", headlabel=" + text : ", taillabel=" + text;
    out += "];\n";
  }
  out += "}\n";
  return out;
}

}  // namespace sequence
