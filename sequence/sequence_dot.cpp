#include "sequence/sequence_dot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "text/dot_graph.h"

namespace sequence {
namespace {

// The drawn object box is 1.25 by 0.375 inches, which is 120 by 36 layout
// points (the drawing divides by 96): the nodes are given that size in
// inches of 72 points, so that neighbours never overlap.
const std::vector<text::DotAttribute> kObjectNode = {{"shape", "box", false},
                                                    {"fixedsize", "true", false},
                                                    {"width", "1.667", false},
                                                    {"height", "0.5", false},
                                                    {"fontsize", "9", false}};

// Widths in the layout's inches: the drawing shows 72 layout points as
// three quarters of an inch.
constexpr double kObjectWidth = 1.667;
constexpr double kRankSeparation = 0.55;
constexpr double kLayoutInchesPerDrawnInch = 96.0 / 72.0;

// The drawn object box and its text area (the stencil's Object Lifeline).
constexpr double kBoxWidth = 1.25;
constexpr double kBoxHeight = 0.375;
constexpr double kBoxTextShare = 0.92;   // of the width
constexpr double kBoxTextHeight = 0.9;   // of the height
constexpr double kBoxFontSize = 9.0;
constexpr double kLineHeight = kBoxFontSize * 1.2 / 72.0;
// The drawn distance between two rows: the point nodes and their gap.
constexpr double kRowPitch = (0.22 + 0.05) * 72.0 / 96.0;

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
    if (message.from == message.to || message.from >= objects || message.to >= objects) continue;
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

text::DotAttribute bare(std::string name, std::string value) { return {std::move(name), std::move(value), false}; }
text::DotAttribute quoted(std::string name, std::string value) { return {std::move(name), std::move(value), true}; }

text::DotStatement node(std::string name, std::vector<text::DotAttribute> attributes) {
  return {text::DotStatement::Kind::Node, {std::move(name)}, std::move(attributes)};
}

text::DotStatement edge(std::string tail, std::string head, std::vector<text::DotAttribute> attributes) {
  return {text::DotStatement::Kind::Edge, {std::move(tail), std::move(head)}, std::move(attributes)};
}

}  // namespace

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

text::DotGraph sequenceGraph(const Diagram& diagram, text::Charset charset, const TextMeasure& measure) {
  const TextMeasure measured = measure ? measure : TextMeasure(estimatedWidth);
  const size_t messages = diagram.messages.size();
  const size_t fragments = diagram.fragments.size();
  std::vector<BoxSize> boxes;
  boxes.reserve(diagram.lifelines.size());
  for (const Lifeline& lifeline : diagram.lifelines) boxes.push_back(boxFor(lifeline.label, measured));

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
  std::vector<size_t> rowOf(messages);
  std::vector<size_t> headerRow(fragments), closingRow(fragments);
  std::vector<std::pair<size_t, std::vector<text::DotAttribute>>> dividerRows;  // row, attributes
  size_t row = 0;
  for (size_t k = 0; k < messages; ++k) {
    for (const auto& [f, o] : dividersAt[k])
      dividerRows.push_back({++row,
                             {quoted("zarnguard", text::shownValue("[" + diagram.fragments[f].operands[o].guard + "]")),
                              quoted("zarnof", rowName(headerRow[f]))}});
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
  const size_t lastRow = row + 2;
  text::DotGraph graph{"sequence", {}};
  std::vector<text::DotStatement>& out = graph.statements;
  std::vector<text::DotAttribute> graphAttributes = {bare("rankdir", "LR"), bare("ranksep", inchesText(kRankSeparation)),
                                                     bare("nodesep", "0.22")};
  if (charset == text::Charset::Latin1) graphAttributes.push_back(bare("charset", "latin1"));
  out.push_back({text::DotStatement::Kind::Graph, {}, std::move(graphAttributes)});

  out.push_back({text::DotStatement::Kind::NodeDefaults, {}, kObjectNode});
  const std::vector<double> widths = objectWidths(diagram, charset, boxes);
  const Activation* own =
      !diagram.activations.empty() && diagram.activations.front().firstMessage == kNone ? &diagram.activations.front()
                                                                                      : nullptr;
  for (size_t i = 0; i < diagram.lifelines.size(); ++i) {
    std::vector<text::DotAttribute> attributes = {bare("zarncls", "1"), quoted("label", boxes[i].label),
                                                  quoted("zarnlast", rowName(lastRow))};
    if (widths[i] > kObjectWidth) attributes.push_back(bare("width", inchesText(widths[i])));
    if (boxes[i].width > kBoxWidth) attributes.push_back(bare("zarnwidth", inchesText(boxes[i].width)));
    if (boxes[i].height > kBoxHeight) attributes.push_back(bare("zarnheight", inchesText(boxes[i].height)));
    const size_t createdBy = diagram.lifelines[i].createdBy;
    if (createdBy != kNone && createdBy < messages) attributes.push_back(quoted("ypinto", rowName(rowOf[createdBy])));
    if (own && own->lifeline == i && messages > 0 && own->lastMessage < messages) {
      attributes.push_back(quoted("zarnbar", rowName(rowOf[own->lastMessage])));
      attributes.push_back(quoted("zarnbarfrom", rowName(rowOf[0])));
    }
    out.push_back(node(lifelineNodeName(i), std::move(attributes)));
  }

  // The rows, top to bottom, in one rank.
  out.push_back({text::DotStatement::Kind::NodeDefaults,
                 {},
                 {bare("shape", "point"), bare("width", "0.05"), bare("height", "0.05"), quoted("label", "")}});
  text::DotStatement rows{text::DotStatement::Kind::SameRank, {}, {}};
  for (size_t r = 0; r <= lastRow; ++r) rows.names.push_back(rowName(r));
  out.push_back(std::move(rows));
  // Chains are written an edge a statement: Graphviz's reader keeps a
  // chain statement on its parser stack, which a few thousand rows overflow.
  for (size_t r = 1; r <= lastRow; ++r) out.push_back(edge(rowName(r - 1), rowName(r), {bare("style", "invis")}));

  // The fragments on their rows: the objects they span, from the method
  // whose statement they stand for to every object their messages reach.
  for (size_t f = 0; f < fragments; ++f) {
    const Fragment& fragment = diagram.fragments[f];
    if (fragment.lastMessage >= messages) continue;
    size_t left = fragment.owner, right = fragment.owner;
    for (size_t k = fragment.firstMessage(); k <= fragment.lastMessage; ++k) {
      left = std::min({left, diagram.messages[k].from, diagram.messages[k].to});
      right = std::max({right, diagram.messages[k].from, diagram.messages[k].to});
    }
    out.push_back(node(rowName(headerRow[f]),
                       {quoted("zarnfrag", text::shownValue(fragment.text())), quoted("zarnend", rowName(closingRow[f])),
                        quoted("zarnleft", lifelineNodeName(left)), quoted("zarnright", lifelineNodeName(right)),
                        bare("zarnlevel", std::to_string(fragment.depth))}));
  }
  for (auto& [dividerRow, attributes] : dividerRows) out.push_back(node(rowName(dividerRow), std::move(attributes)));

  // The objects, left to right, each held at its row's height: all in a
  // chain from the top row, and those created later moved to their
  // creation's row once laid out (ypinto).  An edge from that row would
  // cross every rank to its left: many of them make the layout explode.
  // The chain of light edges only orders the ranks.
  for (size_t i = 1; i < diagram.lifelines.size(); ++i)
    out.push_back(edge(lifelineNodeName(i - 1), lifelineNodeName(i), {bare("style", "invis"), bare("weight", "0")}));
  std::string previousTop = rowName(0);
  for (size_t i = 0; i < diagram.lifelines.size(); ++i) {
    out.push_back(edge(previousTop, lifelineNodeName(i), {bare("style", "invis"), bare("weight", "1000")}));
    previousTop = lifelineNodeName(i);
  }

  // The activation each message starts.
  std::vector<const Activation*> startedBy(messages, nullptr);
  for (const Activation& activation : diagram.activations)
    if (activation.firstMessage < messages && activation.lastMessage < messages)
      startedBy[activation.firstMessage] = &activation;
  for (size_t k = 0; k < messages; ++k) {
    const Message& message = diagram.messages[k];
    std::string shown = text::shownValue(text::shortened(message.text, kMessageColumns, charset));
    std::vector<text::DotAttribute> attributes = {bare("zarnedge", message.kind == Message::Kind::Return ? "2" : "1"),
                                                  quoted("zarnfrom", lifelineNodeName(message.from)),
                                                  quoted("zarnto", lifelineNodeName(message.to))};
    if (message.kind == Message::Kind::SelfCall) attributes.push_back(bare("zarnself", "1"));
    if (message.kind == Message::Kind::Create) attributes.push_back(bare("zarnsuper", "1"));
    attributes.push_back(quoted(message.kind == Message::Kind::Return ? "headlabel" : "taillabel", std::move(shown)));
    if (const Activation* activation = startedBy[k]) {
      attributes.push_back(quoted("zarnbar", rowName(rowOf[activation->lastMessage])));
      attributes.push_back(bare("zarnlevel", std::to_string(activation->level)));
    }
    out.push_back(edge(rowName(rowOf[k]), rowName(rowOf[k]), std::move(attributes)));
  }
  return graph;
}

}  // namespace sequence
