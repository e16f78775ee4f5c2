// One method's flowchart, from its parsed source to a drawing: the model
// is built as the engine's model build does (the same code, in the
// source's private work folder), written as one DOT graph per page, laid
// out with Graphviz in this process and drawn as the engine draws
// flowcharts.
#pragma once

#include <memory>
#include <optional>

#include "flowgraph/dot_text.h"
#include "flowgraph/method_model.h"
#include "pipeline/parsed_source.h"
#include "pipeline/problem.h"
#include "render/host/model.h"

namespace pipeline {

// A method's model and its pages as DOT graphs, before layout.
struct MethodGraphs {
  flowgraph::MethodModel model;
  flowgraph::FlowchartDot dot;
  std::string folder;  // the method's own work folder
};

struct MethodFlowchart {
  std::unique_ptr<host::DocumentModel> drawing;
  size_t blocks = 0;
  size_t successors = 0;
};

// nullopt with the problem when the model cannot be built.
std::optional<MethodGraphs> methodGraphs(ParsedSource& source, const MethodSummary& method, Problem& problem);

// nullopt with the problem when the model cannot be built, a page cannot
// be laid out or nothing can be drawn.
std::optional<MethodFlowchart> drawMethodFlowchart(ParsedSource& source, const MethodSummary& method,
                                                   Problem& problem);

}  // namespace pipeline
