// A method's control-flow graph, from its parsed source.
#pragma once

#include <optional>

#include "cfg/graph.h"
#include "xml/document.h"
#include "pipeline/parsed_source.h"
#include "pipeline/problem.h"

namespace pipeline {

// nullopt with the problem when the method has no body ("no body") or
// cannot be found in the tree.
std::optional<cfg::MethodFlow> methodFlow(ParsedSource& source, const MethodSummary& method, Problem& problem);

}  // namespace pipeline
