// One method's flowchart, from its parsed source to a drawing: the
// method's control-flow graph, folded onto pages where it is too large
// to read on one, laid out with Graphviz in this process and drawn with
// the flowchart template.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flowdraw/drawing.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"
#include "drawing/model.h"
#include "errors/problem.h"

namespace pipeline {

struct MethodFlowchart {
  std::unique_ptr<drawing::Document> drawing;
  size_t boxes = 0;
  size_t arrows = 0;
};

// The warning a method's drawing shows above it and first in its pages'
// descriptions when Unicode escapes hide code in it; empty for none.
std::string hiddenCodeNote(const std::vector<java::HiddenCode>& hidden);

// The masters of the flowchart template built into the program, or why
// it cannot be read.
const errors::Result<flowdraw::Masters>& flowchartTemplate();
// Its masters; none when it cannot be read.
const flowdraw::Masters& flowchartMasters();

// A problem when the method has no body (kind NoBody), its graph cannot
// be built, a page is too large or cannot be laid out.  classes: where
// the program's exception classes are found (methodFlow).
errors::Result<MethodFlowchart> drawMethodFlowchart(ParsedSource& source, const MethodSummary& method,
                                            flowdraw::Fold fold = flowdraw::Fold::Auto,
                                            SequenceSources* classes = nullptr);

// The pages' graphs in the DOT language, before layout.
errors::Result<std::string> methodFlowchartDot(ParsedSource& source, const MethodSummary& method,
                                       flowdraw::Fold fold = flowdraw::Fold::Auto,
                                       SequenceSources* classes = nullptr);

}  // namespace pipeline
