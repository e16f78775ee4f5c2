// Draws a laid-out sequence plan as a UML sequence diagram on one page of
// the drawing model, with the masters of the sequence stencil, shape by
// shape as the engine's drawing of layout files puts them (mode 18): the
// same graph drawn either way gives the same drawing, byte for byte.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "errors/problem.h"
#include "graphviz/graph_layout.h"
#include "drawing/model.h"
#include "seqdraw/sequence_graph.h"

namespace seqdraw {

// The masters a sequence diagram is drawn with: those of the template
// (its Note) and of the stencil it opens.
struct SequenceMasters {
  std::string templateName;
  std::vector<std::shared_ptr<const drawing::Master>> templateMasters;
  std::shared_ptr<const drawing::Master> lifeline, call, selfCall, reply, activation, fragment, operand, note;
};

// A Problem when the template or the stencil does not parse or lacks a
// master.
errors::Result<SequenceMasters> sequenceMasters(std::string_view templateName, std::string_view templateText,
                                                std::string_view stencilText);

// The drawing of a plan laid out from sequenceLayoutGraph(plan); the page
// is named "Sequence diagram".
std::unique_ptr<drawing::Document> drawSequence(const SequencePlan& plan, const graphviz::Layout& layout,
                                                  const SequenceMasters& masters);

// Puts a note in one box below the drawing's lower left corner, where the
// drawing host would let a person add one.
void addNote(drawing::Page& page, const SequenceMasters& masters, const std::string& text);

}  // namespace seqdraw
