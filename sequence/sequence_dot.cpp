#include "sequence/sequence_dot.h"

#include <vector>

#include "flowgraph/dot_text.h"

namespace sequence {
namespace {

// The drawn object box is 1.25 by 0.375 inches, which is 120 by 36 layout
// points (the drawing divides by 96): the nodes are given that size in
// inches of 72 points, so that neighbours never overlap.
constexpr const char* kObjectNode = "shape=box, fixedsize=true, width=1.667, height=0.5, fontsize=9";

std::string rowName(size_t row) { return "\"t." + std::to_string(row) + "\""; }

std::string quotedLifeline(size_t lifeline) { return "\"" + lifelineNodeName(lifeline) + "\""; }

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
  std::string out = "digraph \"sequence\" {\n  graph [rankdir=LR, ranksep=0.55, nodesep=0.22";
  if (charset == flowgraph::Charset::Latin1) out += ", charset=latin1";
  out += "];\n";

  out += "  node [" + std::string(kObjectNode) + "];\n";
  for (size_t i = 0; i < diagram.lifelines.size(); ++i)
    out +=
        "  " + quotedLifeline(i) + " [zarncls=1, label=" +
        flowgraph::dotShownText(flowgraph::shortened(diagram.lifelines[i].label, kLifelineColumns, charset)) +
        ", zarnlast=" + flowgraph::dotQuoted("t." + std::to_string(lastRow)) + "];\n";

  // The rows, top to bottom, in one rank.
  out += "  node [shape=point, width=0.05, height=0.05, label=\"\"];\n  { rank=same;";
  for (size_t r = 0; r <= lastRow; ++r) out += " " + rowName(r) + ";";
  out += " }\n  ";
  for (size_t r = 0; r <= lastRow; ++r) out += (r ? " -> " : "") + rowName(r);
  out += " [style=invis];\n";

  // The objects, left to right, each held at its row's height: those there
  // from the start in a chain from the top row, the others by their
  // creation's row.  The chain of light edges only orders the ranks.
  if (diagram.lifelines.size() > 1) {
    out += "  ";
    for (size_t i = 0; i < diagram.lifelines.size(); ++i) out += (i ? " -> " : "") + quotedLifeline(i);
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
