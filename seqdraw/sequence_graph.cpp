#include "seqdraw/sequence_graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "text/dot_text.h"

namespace seqdraw {
namespace {

using sequence::Activation;
using sequence::Diagram;
using sequence::Fragment;
using sequence::kNone;
using sequence::Message;

// The drawn object box is 1.25 by 0.375 inches, which is 120 by 36 layout
// points (the drawing divides by 96): the nodes are given that size in
// inches of 72 points, so that neighbours never overlap.  Sizes in the
// layout's inches: the drawing shows 72 layout points as three quarters
// of an inch.
constexpr double kObjectWidth = 1.667;
constexpr double kObjectHeight = 0.5;
constexpr double kObjectFontSize = 9.0;
constexpr double kRowNodeSize = 0.05;  // a row's point node
constexpr double kNodeSeparation = 0.22;  // between rows
constexpr double kRankSeparation = 0.55;  // between objects
constexpr double kLayoutInchesPerDrawnInch = 96.0 / 72.0;

// The drawn object box and its text area (the stencil's Object Lifeline).
constexpr double kBoxWidth = 1.25;
constexpr double kBoxHeight = 0.375;
constexpr double kBoxTextShare = 0.92;   // of the width
constexpr double kBoxTextHeight = 0.9;   // of the height
constexpr double kBoxFontSize = 9.0;
constexpr double kLineHeight = kBoxFontSize * 1.2 / 72.0;
// The drawn distance between two rows: the point nodes and their gap.
constexpr double kRowPitch = (kNodeSeparation + kRowNodeSize) * 72.0 / 96.0;

double estimatedWidth(std::string_view text, double fontSize) {
  size_t characters = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  return static_cast<double>(characters) * 0.6 * fontSize / 72.0;
}

struct BoxSize {
  double width = kBoxWidth;
  double height = kBoxHeight;
  std::string label;  // as Graphviz holds it, lines joined by "\n"
};

// The box a lifeline's name needs: the standard one while its lines fit,
// wider for a piece that fits no line, taller for more than two lines.
BoxSize boxFor(const std::string& label, const TextMeasure& measure) {
  BoxSize box;
  const std::vector<std::string> lines = lifelineLines(label, kBoxWidth * kBoxTextShare, measure);
  double widest = 0.0;
  for (size_t i = 0; i < lines.size(); ++i) {
    widest = std::max(widest, measure(lines[i], kBoxFontSize));
    box.label += (i ? "\\n" : "") + text::shownValue(lines[i]);
  }
  box.width = std::max(kBoxWidth, std::ceil((widest + 0.02) / kBoxTextShare * 100.0) / 100.0);
  box.height = std::max(kBoxHeight, std::ceil(static_cast<double>(lines.size()) * kLineHeight / kBoxTextHeight * 100.0 + 2.0) / 100.0);
  return box;
}


// About how wide a message's text is drawn (8 points, 0.6 em a character
// on average; longer texts wrap at 2.5 inches), with a little margin, in
// the layout's inches.
double messageTextWidth(std::string_view shown, text::Charset charset) {
  size_t characters = 0;
  for (char c : shown)
    if (charset != text::Charset::Utf8 || (static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  const double drawnInches = std::min(static_cast<double>(characters) * 0.6 * 8.0 / 72.0, 2.5) + 0.25;
  return drawnInches * kLayoutInchesPerDrawnInch;
}

// How much wider than the others each object's node is made, so that the
// text of every message between two objects fits between their lifelines.
// Shorter messages are fitted first; a message that needs more room gets
// it in the gap before its right-hand end.
std::vector<double> objectWidths(const Diagram& diagram, text::Charset charset,
                                 const std::vector<BoxSize>& boxes) {
  const size_t objects = diagram.lifelines.size();
  std::vector<double> gapExtra(objects > 0 ? objects - 1 : 0, 0.0);
  struct Span {
    size_t left, right;
    double needed;
  };
  std::vector<Span> spans;
  for (const Message& message : diagram.messages) {
    if (message.from == message.to || message.from >= objects || message.to >= objects ||
        message.kind == Message::Kind::Ref)
      continue;
    const std::string shown = text::shortened(message.text, kMessageColumns, charset);
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
  // A box made wider for its name keeps its neighbours clear of it.
  for (size_t i = 0; i < objects; ++i)
    if (boxes[i].width > kBoxWidth) widths[i] += (boxes[i].width - kBoxWidth) * kLayoutInchesPerDrawnInch;
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

std::string rowName(size_t row) { return "t." + std::to_string(row); }

}  // namespace

double writtenInches(double inches) { return std::strtod(inchesText(inches).c_str(), nullptr); }

std::string lifelineNodeName(size_t lifeline) { return "o." + std::to_string(lifeline + 1); }

namespace {

// A text in pieces at one kind of boundary: ":" and "," end a piece (the
// blank after a comma with it), "<" and "." start one.
std::vector<std::string> piecesAt(std::string_view text, char boundary) {
  std::vector<std::string> pieces;
  std::string current;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool starts = c == boundary && (c == '<' || c == '.');
    if (starts && !current.empty() && current.back() != '.') {
      pieces.push_back(std::move(current));
      current.clear();
    }
    current += c;
    // ":Type" keeps its colon: a line of a colon alone says nothing.
    if (c == boundary && (c == ':' || c == ',') && current.size() > 1) {
      if (c == ',' && i + 1 < text.size() && text[i + 1] == ' ') current += text[++i];
      pieces.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) pieces.push_back(std::move(current));
  return pieces;
}

}  // namespace

std::vector<std::string> lifelineLines(std::string_view label, double width, const TextMeasure& measure) {
  // Lines too wide are broken at the boundary that separates most first:
  // the name from its type, then type arguments, their commas and dots.
  std::vector<std::string> lines{std::string(label)};
  for (const char boundary : {':', '<', ',', '.'}) {
    std::vector<std::string> next;
    for (std::string& line : lines) {
      if (measure(line, kBoxFontSize) <= width) {
        next.push_back(std::move(line));
        continue;
      }
      bool first = true;
      for (std::string& piece : piecesAt(line, boundary)) {
        if (!first && measure(next.back() + piece, kBoxFontSize) <= width) {
          next.back() += piece;
          continue;
        }
        first = false;
        next.push_back(std::move(piece));
      }
    }
    lines = std::move(next);
  }
  // A line does not end with the blank after a comma.
  for (std::string& line : lines)
    while (line.size() > 1 && line.back() == ' ') line.pop_back();
  return lines;
}

namespace {

// The fragments on their rows: the objects they span, from the method
// whose statement they stand for to every object their messages reach.
// Kept in row order, which is the order of their first messages; and
// their further operands on theirs.
void planFragments(const Diagram& diagram, const std::vector<size_t>& headerRow, const std::vector<size_t>& closingRow,
                   const std::vector<std::pair<size_t, size_t>>& dividers, const std::vector<size_t>& dividerRows,
                   SequencePlan& plan) {
  const size_t messages = diagram.messages.size();
  const size_t fragments = diagram.fragments.size();
  std::vector<size_t> planned(fragments, kNone);
  for (size_t f = 0; f < fragments; ++f) {
    const Fragment& fragment = diagram.fragments[f];
    if (fragment.lastMessage >= messages) continue;
    size_t left = fragment.owner, right = fragment.owner;
    for (size_t k = fragment.firstMessage(); k <= fragment.lastMessage; ++k) {
      left = std::min({left, diagram.messages[k].from, diagram.messages[k].to});
      right = std::max({right, diagram.messages[k].from, diagram.messages[k].to});
    }
    planned[f] = plan.fragments.size();
    plan.fragments.push_back({headerRow[f], closingRow[f], left, right, fragment.depth,
                              text::shownValue(fragment.text()), fragment.page, std::string()});
  }
  for (size_t d = 0; d < dividers.size(); ++d) {
    const auto [f, o] = dividers[d];
    plan.operands.push_back(
        {dividerRows[d], planned[f], text::shownValue("[" + diagram.fragments[f].operands[o].guard + "]")});
  }
}

}  // namespace

SequencePlan planSequence(const Diagram& diagram, text::Charset charset, const TextMeasure& measure) {
  const TextMeasure measured = measure ? measure : TextMeasure(estimatedWidth);
  const size_t messages = diagram.messages.size();
  const size_t fragments = diagram.fragments.size();
  std::vector<BoxSize> boxes;
  boxes.reserve(diagram.lifelines.size());
  for (const sequence::Lifeline& lifeline : diagram.lifelines) boxes.push_back(boxFor(lifeline.label, measured));

  // Where fragments and their further operands start and end.
  std::vector<std::vector<std::pair<size_t, size_t>>> dividersAt(messages);  // fragment, operand
  std::vector<std::vector<size_t>> headersAt(messages), closingsAt(messages);
  for (size_t f = 0; f < fragments; ++f) {
    const Fragment& fragment = diagram.fragments[f];
    if (fragment.lastMessage >= messages) continue;
    headersAt[fragment.firstMessage()].push_back(f);
    for (size_t o = 1; o < fragment.operands.size(); ++o)
      dividersAt[fragment.operands[o].firstMessage].push_back({f, o});
  }
  for (size_t f = fragments; f-- > 0;)
    if (diagram.fragments[f].lastMessage < messages) closingsAt[diagram.fragments[f].lastMessage].push_back(f);

  // Each message has a row; a new object's box, as tall as a row is high,
  // gets an empty row above it (more for a taller box), each fragment a
  // row above its first message and one below its last, and each further
  // operand a row for its guard.  The lifelines end two rows below the
  // last message, clear of a box made by it.
  SequencePlan plan;
  plan.charset = charset;
  std::vector<size_t> rowOf(messages);
  std::vector<size_t> headerRow(fragments), closingRow(fragments);
  std::vector<std::pair<size_t, size_t>> dividers;  // fragment, operand, in row order
  std::vector<size_t> dividerRows;
  size_t row = 0;
  for (size_t k = 0; k < messages; ++k) {
    for (const auto& divider : dividersAt[k]) {
      dividers.push_back(divider);
      dividerRows.push_back(++row);
    }
    // A fragment round the first message keeps clear of the boxes above.
    if (k == 0 && !headersAt[k].empty()) ++row;
    for (size_t f : headersAt[k]) headerRow[f] = ++row;
    const Message& message = diagram.messages[k];
    if (message.kind == Message::Kind::Create) {
      const double extra = message.to < boxes.size() ? boxes[message.to].height - kBoxHeight : 0.0;
      row += 1 + static_cast<size_t>(std::ceil(std::max(0.0, extra) / kRowPitch - 1e-9));
    }
    rowOf[k] = ++row;
    for (size_t f : closingsAt[k]) closingRow[f] = ++row;
  }
  plan.lastRow = row + 2;

  const std::vector<double> widths = objectWidths(diagram, charset, boxes);
  for (size_t i = 0; i < diagram.lifelines.size(); ++i) {
    PlannedLifeline lifeline{boxes[i].label, widths[i], boxes[i].width, boxes[i].height, std::nullopt};
    const size_t createdBy = diagram.lifelines[i].createdBy;
    if (createdBy != kNone && createdBy < messages) lifeline.createdAt = rowOf[createdBy];
    plan.lifelines.push_back(std::move(lifeline));
  }
  const Activation* own =
      !diagram.activations.empty() && diagram.activations.front().firstMessage == kNone ? &diagram.activations.front()
                                                                                      : nullptr;
  if (own && own->lifeline < diagram.lifelines.size() && messages > 0 && own->lastMessage < messages)
    plan.ownBar = PlannedBar{own->lifeline, rowOf[0], rowOf[own->lastMessage]};

  planFragments(diagram, headerRow, closingRow, dividers, dividerRows, plan);

  // The activation each message starts.
  std::vector<const Activation*> startedBy(messages, nullptr);
  for (const Activation& activation : diagram.activations)
    if (activation.firstMessage < messages && activation.lastMessage < messages)
      startedBy[activation.firstMessage] = &activation;
  for (size_t k = 0; k < messages; ++k) {
    const Message& message = diagram.messages[k];
    // A throw is drawn as a message to the thrower itself, with no bar.
    const Message::Kind kind = message.kind == Message::Kind::Throw ? Message::Kind::SelfCall : message.kind;
    // A part on a page of its own is shown by its ref frame alone.
    PlannedMessage planned{kind, rowOf[k], message.from, message.to,
                           kind == Message::Kind::Ref
                               ? std::string()
                               : text::shownValue(text::shortened(message.text, kMessageColumns, charset)),
                           std::nullopt, 0};
    if (const Activation* activation = startedBy[k]) {
      planned.barEnd = rowOf[activation->lastMessage];
      planned.barLevel = activation->level;
    }
    plan.messages.push_back(std::move(planned));
  }
  return plan;
}

graphviz::Graph sequenceLayoutGraph(const SequencePlan& plan) {
  graphviz::Graph graph;
  graph.kind = graphviz::GraphKind::Rows;
  graph.rankSeparation = kRankSeparation;
  graph.nodeSeparation = kNodeSeparation;
  graph.nodeFontPoints = kObjectFontSize;
  graph.latin1 = plan.charset == text::Charset::Latin1;
  const size_t objects = plan.lifelines.size();
  for (size_t i = 0; i < objects; ++i) {
    const PlannedLifeline& lifeline = plan.lifelines[i];
    graphviz::GraphNode node;
    node.name = lifelineNodeName(i);
    node.label = lifeline.label;
    node.width = std::max(lifeline.nodeWidth, kObjectWidth);
    node.height = kObjectHeight;
    if (lifeline.createdAt) node.heightOf = rowNode(plan, *lifeline.createdAt);
    graph.nodes.push_back(std::move(node));
  }
  // The rows, top to bottom, in one rank.
  graph.sameRank.emplace_back();
  for (size_t r = 0; r <= plan.lastRow; ++r) {
    graphviz::GraphNode node;
    node.name = rowName(r);
    node.shape = graphviz::LayoutShape::Point;
    node.width = node.height = kRowNodeSize;
    graph.nodes.push_back(std::move(node));
    graph.sameRank.back().push_back(rowNode(plan, r));
  }
  auto invisible = [&graph](size_t tail, size_t head, int weight) {
    graphviz::GraphEdge edge;
    edge.tail = tail;
    edge.head = head;
    edge.invisible = true;
    edge.weight = weight;
    graph.edges.push_back(std::move(edge));
  };
  for (size_t r = 1; r <= plan.lastRow; ++r) invisible(rowNode(plan, r - 1), rowNode(plan, r), 1);
  // The objects, left to right, each held at the top row's height: all in
  // a chain from the top row.  An edge from a later row would cross every
  // rank to its left: many of them make the layout explode.  The chain of
  // light edges only orders the ranks.
  for (size_t i = 1; i < objects; ++i) invisible(lifelineNode(i - 1), lifelineNode(i), 0);
  for (size_t i = 0; i < objects; ++i) invisible(i == 0 ? rowNode(plan, 0) : lifelineNode(i - 1), lifelineNode(i), 1000);
  for (const PlannedMessage& message : plan.messages) {
    graphviz::GraphEdge edge;
    edge.tail = edge.head = rowNode(plan, message.row);
    (message.kind == Message::Kind::Return ? edge.headLabel : edge.tailLabel) = message.label;
    graph.edges.push_back(std::move(edge));
  }
  return graph;
}

namespace {

// DOT statements written as the engine's layout files read them back.
struct DotWriter {
  std::string out;

  static std::string quoted(std::string_view value) { return text::quotedValue(value); }

  void attribute(std::string_view name, std::string_view value, bool quote, bool& first) {
    out += first ? " [" : ", ";
    first = false;
    out += name;
    out += '=';
    out += quote ? quoted(value) : std::string(value);
  }
};

}  // namespace

std::string sequenceDotText(const SequencePlan& plan) {
  DotWriter dot;
  std::string& out = dot.out;
  out = "digraph \"sequence\" {\n  graph [rankdir=LR, ranksep=" + inchesText(kRankSeparation) +
        ", nodesep=" + inchesText(kNodeSeparation);
  if (plan.charset == text::Charset::Latin1) out += ", charset=latin1";
  out += "];\n  node [shape=box, fixedsize=true, width=" + inchesText(kObjectWidth) + ", height=" +
         inchesText(kObjectHeight) + ", fontsize=" + inchesText(kObjectFontSize) + "];\n";
  const std::string lastRow = rowName(plan.lastRow);
  for (size_t i = 0; i < plan.lifelines.size(); ++i) {
    const PlannedLifeline& lifeline = plan.lifelines[i];
    bool first = true;
    out += "  " + dot.quoted(lifelineNodeName(i));
    dot.attribute("zarncls", "1", false, first);
    dot.attribute("label", lifeline.label, true, first);
    dot.attribute("zarnlast", lastRow, true, first);
    if (lifeline.nodeWidth > kObjectWidth) dot.attribute("width", inchesText(lifeline.nodeWidth), false, first);
    if (lifeline.boxWidth > kBoxWidth) dot.attribute("zarnwidth", inchesText(lifeline.boxWidth), false, first);
    if (lifeline.boxHeight > kBoxHeight) dot.attribute("zarnheight", inchesText(lifeline.boxHeight), false, first);
    if (lifeline.createdAt) dot.attribute("ypinto", rowName(*lifeline.createdAt), true, first);
    if (plan.ownBar && plan.ownBar->lifeline == i) {
      dot.attribute("zarnbar", rowName(plan.ownBar->toRow), true, first);
      dot.attribute("zarnbarfrom", rowName(plan.ownBar->fromRow), true, first);
    }
    out += "];\n";
  }

  out += "  node [shape=point, width=" + inchesText(kRowNodeSize) + ", height=" + inchesText(kRowNodeSize) +
         ", label=\"\"];\n  { rank=same;";
  for (size_t r = 0; r <= plan.lastRow; ++r) out += " " + dot.quoted(rowName(r)) + ";";
  out += " }\n";
  // Chains are written an edge a statement: Graphviz's reader keeps a
  // chain statement on its parser stack, which a few thousand rows overflow.
  auto invisible = [&](const std::string& tail, const std::string& head, const char* weight) {
    out += "  " + dot.quoted(tail) + " -> " + dot.quoted(head) + " [style=invis" +
           (weight ? std::string(", weight=") + weight : std::string()) + "];\n";
  };
  for (size_t r = 1; r <= plan.lastRow; ++r) invisible(rowName(r - 1), rowName(r), nullptr);
  for (const PlannedFragment& fragment : plan.fragments) {
    bool first = true;
    out += "  " + dot.quoted(rowName(fragment.row));
    dot.attribute("zarnfrag", fragment.text, true, first);
    dot.attribute("zarnend", rowName(fragment.endRow), true, first);
    dot.attribute("zarnleft", lifelineNodeName(fragment.left), true, first);
    dot.attribute("zarnright", lifelineNodeName(fragment.right), true, first);
    dot.attribute("zarnlevel", std::to_string(fragment.level), false, first);
    out += "];\n";
  }
  for (const PlannedOperand& operand : plan.operands) {
    bool first = true;
    out += "  " + dot.quoted(rowName(operand.row));
    dot.attribute("zarnguard", operand.guard, true, first);
    dot.attribute("zarnof", rowName(plan.fragments[operand.fragment].row), true, first);
    out += "];\n";
  }
  for (size_t i = 1; i < plan.lifelines.size(); ++i) invisible(lifelineNodeName(i - 1), lifelineNodeName(i), "0");
  std::string previousTop = rowName(0);
  for (size_t i = 0; i < plan.lifelines.size(); ++i) {
    invisible(previousTop, lifelineNodeName(i), "1000");
    previousTop = lifelineNodeName(i);
  }
  for (const PlannedMessage& message : plan.messages) {
    if (message.kind == Message::Kind::Ref) continue;
    const std::string row = dot.quoted(rowName(message.row));
    bool first = true;
    out += "  " + row + " -> " + row;
    dot.attribute("zarnedge", message.kind == Message::Kind::Return ? "2" : "1", false, first);
    dot.attribute("zarnfrom", lifelineNodeName(message.from), true, first);
    dot.attribute("zarnto", lifelineNodeName(message.to), true, first);
    if (message.kind == Message::Kind::SelfCall) dot.attribute("zarnself", "1", false, first);
    if (message.kind == Message::Kind::Create) dot.attribute("zarnsuper", "1", false, first);
    dot.attribute(message.kind == Message::Kind::Return ? "headlabel" : "taillabel", message.label, true, first);
    if (message.barEnd) {
      dot.attribute("zarnbar", rowName(*message.barEnd), true, first);
      dot.attribute("zarnlevel", std::to_string(message.barLevel), false, first);
    }
    out += "];\n";
  }
  return out + "}\n";
}

}  // namespace seqdraw
