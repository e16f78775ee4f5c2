// A method's control-flow graph, from its parsed source.
#pragma once

#include <optional>

#include "cfg/graph.h"
#include "xml/document.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"
#include "errors/problem.h"

namespace pipeline {

// The problem when the method has no body ("no body") or cannot be found
// in the tree.  The exception classes the program
// declares are looked up in `classes` (the file's and a source tree's, as
// sequence diagrams find classes); without it, in the file alone.
errors::Result<cfg::MethodFlow> methodFlow(ParsedSource& source, const MethodSummary& method,
                                           SequenceSources* classes = nullptr);

}  // namespace pipeline
