// A sequence diagram as a graph in the DOT language, carrying what the
// sequence drawing reads from its layout: object nodes marked "zarncls"
// with the node their lifeline ends at ("zarnlast"); message edges marked
// "zarnedge" (1 for a call, 2 for a return) with "zarnfrom" and "zarnto",
// "zarnself" on a message to the sender itself and "zarnsuper" on a
// creation, call texts in "taillabel" and return texts in "headlabel".
// Every node name stands in double quotes.
//
// What the diagram adds beyond lifelines and messages is carried by
// attributes of their own, so that a layout without them draws as before:
// - activations: "zarnbar" on the message that starts one (the row whose
//   height ends it) with "zarnlevel" (how many of the same object's
//   activations it runs inside); the method's own on the first object's
//   node, from the row "zarnbarfrom";
// - combined fragments: on the row above a fragment's first message,
//   "zarnfrag" (its text, "alt [x > 0] [else]"), "zarnend" (the row its
//   bottom edge stands on), "zarnleft" and "zarnright" (the outermost
//   objects it spans) and "zarnlevel" (the fragments round it); on the row
//   where a further operand starts, "zarnguard" ("[else]") and "zarnof"
//   (the fragment's row);
// - an object box that its name needs larger: "zarnwidth" and
//   "zarnheight" in the drawing's inches.  Names are wrapped at ":", "<",
//   "," and "." with the layout's "\n", never inside a word.
//
// Laid out left to right (rankdir=LR), the rows of the diagram are one
// column of point nodes "t.0" (the objects' row) to the row where the
// lifelines end, in order from the top, and each object is a rank of its
// own, in order of first appearance: one column of rows keeps a diagram of
// a thousand messages quick to lay out, where a grid of rows by objects
// costs Graphviz minutes.  A message is a loop on its row's node, so that
// its first point lies at the row's height; an object is held at the
// height of the row it appears in by a heavy edge from there.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/box_text.h"
#include "text/dot_graph.h"
#include "sequence/diagram.h"

namespace sequence {

// Message texts are cut to these many characters, the full ones kept for
// hovering.
inline constexpr size_t kMessageColumns = 48;

// How wide a text is drawn, in inches, at a font size in points.
using TextMeasure = std::function<double(std::string_view text, double fontSize)>;

// The node name of a lifeline: "o.<n>" for the n-th, from 1.
std::string lifelineNodeName(size_t lifeline);

// Without a measure, a character counts 0.6 of the font size.
text::DotGraph sequenceGraph(const Diagram& diagram, text::Charset charset, const TextMeasure& measure = nullptr);

// The lines a lifeline's name is shown in within a box of that width:
// broken after ":" and ",", and before "<" and ".", as few as fit.
std::vector<std::string> lifelineLines(std::string_view label, double width, const TextMeasure& measure);

}  // namespace sequence
