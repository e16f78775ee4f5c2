// A sequence diagram planned on rows: each message on a row of its own,
// top to bottom, and what the drawing needs of each lifeline, message,
// activation and combined fragment as typed numbers.  From the plan come
// the graph Graphviz lays out and the same graph in the DOT language.
//
// Laid out left to right, the rows are one column of point nodes "t.0"
// (the objects' row) to the row where the lifelines end, and each object
// "o.<n>" is a rank of its own, in order of first appearance.  A message
// is a loop on its row's node, so that its first point lies at the row's
// height; an object is held at the height of the top row by a heavy edge
// from there, and one created later is moved to its creation's row once
// laid out.
//
// The DOT text carries what the engine's drawing of layout files reads
// (mode 18), so that a user can lay it out with the dot program and draw
// it there: object nodes marked "zarncls" with the row their lifeline
// ends at ("zarnlast"); message loops marked "zarnedge" (1 a call, 2 a
// return) with "zarnfrom" and "zarnto", "zarnself" on a message to the
// sender itself and "zarnsuper" on a creation, call texts in "taillabel"
// and return texts in "headlabel"; activations as "zarnbar" (the row that
// ends one) with "zarnlevel"; fragments as "zarnfrag", "zarnend",
// "zarnleft", "zarnright" and "zarnlevel" on their first row, further
// operands as "zarnguard" and "zarnof"; an object box its name needs
// larger as "zarnwidth" and "zarnheight", in the drawing's inches.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphviz/graph_layout.h"
#include "sequence/diagram.h"
#include "text/box_text.h"

namespace seqdraw {

// Message texts are cut to these many characters, the full ones kept for
// hovering.
inline constexpr size_t kMessageColumns = 48;

// How wide a text is drawn, in inches, at a font size in points.
using TextMeasure = std::function<double(std::string_view text, double fontSize)>;

// Texts below are as Graphviz holds them once read: backslashes doubled,
// lines joined by "\n".
struct PlannedLifeline {
  std::string label;
  double nodeWidth = 0.0;  // the layout's inches: wider than the box when messages need the room
  double boxWidth = 0.0;   // the drawn box, in the drawing's inches
  double boxHeight = 0.0;
  std::optional<size_t> createdAt;  // the row of the message that creates it
};

struct PlannedMessage {
  sequence::Message::Kind kind = sequence::Message::Kind::Call;
  size_t row = 0;
  size_t from = 0;  // lifelines
  size_t to = 0;
  std::string label;
  std::optional<size_t> barEnd;  // the activation it starts ends at this row
  int barLevel = 0;
};

// The method's own activation, on the first object.
struct PlannedBar {
  size_t lifeline = 0;
  size_t fromRow = 0;
  size_t toRow = 0;
};

struct PlannedFragment {
  size_t row = 0;     // above its first message
  size_t endRow = 0;  // its bottom edge stands on this row
  size_t left = 0;    // the outermost lifelines it spans
  size_t right = 0;
  int level = 0;  // fragments round it
  std::string text;  // "alt [x > 0] [else]"
  size_t page = sequence::kNone;  // a ref frame's page among the diagram's pages
  std::string link;               // that page's name, once the pages are named
};

struct PlannedOperand {
  size_t row = 0;
  size_t fragment = 0;  // in the plan's fragments
  std::string guard;    // "[else]"
};

struct SequencePlan {
  text::Charset charset = text::Charset::Utf8;
  size_t lastRow = 0;  // rows are 0 to lastRow; the lifelines end at the last
  std::vector<PlannedLifeline> lifelines;
  std::vector<PlannedMessage> messages;  // one a row, top to bottom
  std::optional<PlannedBar> ownBar;
  std::vector<PlannedFragment> fragments;  // in row order
  std::vector<PlannedOperand> operands;    // in row order
};

// Without a measure, a character counts 0.6 of the font size.
SequencePlan planSequence(const sequence::Diagram& diagram, text::Charset charset,
                          const TextMeasure& measure = nullptr);

// The plan's nodes: its lifelines, then its rows.
inline size_t lifelineNode(size_t lifeline) { return lifeline; }
inline size_t rowNode(const SequencePlan& plan, size_t row) { return plan.lifelines.size() + row; }
// The node name of a lifeline: "o.<n>" for the n-th, from 1.
std::string lifelineNodeName(size_t lifeline);

// The graph Graphviz lays out: the plan's nodes, then its edges (the rows'
// chain, the objects' chain, the edges holding them at the top, the
// messages in order).
graphviz::Graph sequenceLayoutGraph(const SequencePlan& plan);
// The message edges come last, one a message.
inline size_t messageEdge(const SequencePlan& plan, size_t message) {
  const size_t objects = plan.lifelines.size();
  return plan.lastRow + (objects > 0 ? 2 * objects - 1 : 0) + message;
}

// The same graph in the DOT language, with what the drawing reads.
std::string sequenceDotText(const SequencePlan& plan);
// A length in inches as the DOT text writes it and a reader reads it back:
// to three decimals.
double writtenInches(double inches);

// The lines a lifeline's name is shown in within a box of that width:
// broken after ":" and ",", and before "<" and ".", as few as fit.
std::vector<std::string> lifelineLines(std::string_view label, double width, const TextMeasure& measure);

}  // namespace seqdraw
