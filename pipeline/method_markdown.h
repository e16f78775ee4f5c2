// A method's section of a Markdown document (draw -o OUT.md, batch
// --format md): its label, a line of its lines and measures, the warning
// of code hidden behind escapes, and its flowchart.
#pragma once

#include "cfg/graph.h"
#include "mermaid/markdown.h"
#include "metrics/measures.h"
#include "pipeline/parsed_source.h"

namespace pipeline {

// "Lines 4-9 · NLOC 5 · CC 2 · cognitive 1" (the complexities when the
// method has a body: measures given); flow none for a method listed with
// nothing to draw.
mermaid::MarkdownMethod markdownSection(ParsedSource& parsed, const MethodSummary& method,
                                        const metrics::MethodMeasures* measures, const cfg::MethodFlow* flow);

}  // namespace pipeline
